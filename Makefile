# Two set-up commands for a fresh machine: `make demo` and `make test`. Each installs what it needs.
# `make package` builds the Debian package; `make check-data` opens the CSV files in LibreOffice.
.PHONY: all deps build test check-data asan demo bench package package-check format clean

PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev \
            qt6-charts-dev libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins \
            fonts-dejavu-core fonts-dejavu-extra libeigen3-dev \
            libqt6sql6-sqlite qt6-translations-l10n python3-pyvisa python3-pyvisa-py
# Only for `make package`: man pages, the package's own checks, dpkg-shlibdeps.
PACKAGE_TOOLS := help2man desktop-file-utils appstream dpkg-dev file lintian
# Only for `make check-data`: the spreadsheet that reads the CSV files back.
DATA_TOOLS := libreoffice-calc-nogui
BUILD    := build
JOBS     ?= 2
TESTJOBS ?= 8
# More options of the demo's simulated meter, e.g. make demo SIM="--vanish-after 200 --away 3000"
SIM      ?=
# Root installs directly; anyone else through sudo. Without sudo, deps prints the line to run
# as root and stops.
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ -n "$(SUDO)" ] && ! command -v $(SUDO) >/dev/null 2>&1; then \
	    echo "Missing Debian packages:$$missing" >&2; \
	    echo "sudo is not installed. Run this line as root (for example with su -), then make again:" >&2; \
	    echo "" >&2; \
	    echo "    apt-get update && apt-get install -y --no-install-recommends$$missing" >&2; \
	    echo "" >&2; \
	    exit 1; \
	  fi; \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake --preset dev

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest -j $(TESTJOBS) -LE data --output-on-failure

# Both CSV dialects imported by LibreOffice Calc under German and Russian locales, cell for cell.
check-data:
	$(MAKE) build PACKAGES="$(PACKAGES) $(DATA_TOOLS)"
	cd $(BUILD) && ctest -L data --output-on-failure

asan: deps
	cmake --preset asan
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest -j $(TESTJOBS) -LE data --output-on-failure

demo: build
	./$(BUILD)/app/impedix --demo $(if $(SIM),--demo-sim '$(SIM)')

bench: deps
	cmake --preset release
	cmake --build build-release -j $(JOBS)
	cmake --build build-release --target bench

package:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(PACKAGE_TOOLS)"
	cmake --preset release
	cmake --build build-release -j $(JOBS) --target impedix impedix-cli impedix-sim man_pages package_changelog
	cd build-release && cpack
	@ls build-release/impedix_*.deb

package-check: package
	packaging/check-package.sh "$$(ls -t build-release/impedix_*.deb | head -n 1)"

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-release
