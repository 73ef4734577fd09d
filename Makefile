# Two set-up commands for a fresh machine: `make demo` and `make test`. Each installs what it needs.
# `make package` builds the Debian package.
.PHONY: all deps build test asan demo bench package package-check format clean

PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev \
            qt6-charts-dev libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins \
            fonts-dejavu-core fonts-dejavu-extra libeigen3-dev
# Only for `make package`: man pages, the package's own checks, dpkg-shlibdeps.
PACKAGE_TOOLS := help2man desktop-file-utils appstream dpkg-dev file
BUILD    := build
JOBS     ?= 2
TESTJOBS ?= 8
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake --preset dev

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest -j $(TESTJOBS) --output-on-failure

asan: deps
	cmake --preset asan
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest -j $(TESTJOBS) --output-on-failure

demo: build
	./$(BUILD)/app/impedix --demo

bench: deps
	cmake --preset release
	cmake --build build-release -j $(JOBS)
	cmake --build build-release --target bench

package:
	$(MAKE) deps PACKAGES="$(PACKAGES) $(PACKAGE_TOOLS)"
	cmake --preset release
	cmake --build build-release -j $(JOBS) --target impedix impedix-sim man_pages
	cd build-release && cpack
	@ls build-release/impedix_*.deb

package-check: package
	packaging/check-package.sh "$$(ls -t build-release/impedix_*.deb | head -n 1)"

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-asan build-release
