#!/usr/bin/env bash
# Checks a built Debian package as an installed system would see it: unpacked into a scratch
# root, its dependencies, files, desktop entry, metainfo and man pages, and the programs run.
set -euo pipefail
deb=${1:?usage: check-package.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "package check: $*" >&2; exit 1; }

depends=$(dpkg-deb --field "$deb" Depends)
for dependency in qt6-qpa-plugins libqt6sql6-sqlite libqt6widgets6 libqt6serialport6 libqt6svg6 libc6; do
  grep -q "$dependency" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

dpkg -x "$deb" "$root"
id=org.impedix.Impedix
for file in usr/bin/impedix usr/bin/impedix-sim \
            usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/$id.svg \
            usr/share/man/man1/impedix.1.gz usr/share/man/man1/impedix-sim.1.gz \
            usr/share/doc/impedix/copyright usr/share/doc/impedix/changelog.gz; do
  [ -e "$root/$file" ] || fail "missing /$file"
done

# Hints as well as errors: a hint there means a menu that files the program wrongly.
hints=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) ||
  fail "desktop entry: $hints"
[ -z "$hints" ] || fail "desktop entry: $hints"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
# The metainfo, the desktop entry it launches and the icon, checked together.
appstreamcli validate-tree --no-net "$root"

# The installed programs against the system's Qt, without a display.
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/impedix" --help)
grep -q '^Usage: impedix' <<<"$help" || fail "impedix --help printed: $help"
# Captured first: grep -q leaves at its first match, and a help longer than one pipe write
# would then end the program on SIGPIPE, which pipefail reports as a failure.
sim_help=$("$root/usr/bin/impedix-sim" --help)
grep -q '^Usage: impedix-sim' <<<"$sim_help" || fail "impedix-sim --help printed: $sim_help"
man_page=$(zcat "$root/usr/share/man/man1/impedix.1.gz")
grep -q 'list\\-ports' <<<"$man_page" || fail "man page of impedix"

# The changelog names the version the package carries.
version=$(dpkg-deb --field "$deb" Version)
changelog=$(zcat "$root/usr/share/doc/impedix/changelog.gz")
head -n 1 <<<"$changelog" | grep -qF "impedix ($version)" ||
  fail "the changelog does not begin with version $version"

# Debian's own checks: any error or warning fails.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" || fail "lintian found problems"

echo "package check passed: $deb"
