#!/usr/bin/env bash
# Builds the Debian package from a build tree, checks its files and control
# fields, and runs lintian on it: no errors allowed.
#   tests/package_test.sh BUILD_DIR VERSION
set -euo pipefail
build="$1"
version="$2"
if ! command -v dpkg-deb >/dev/null || ! command -v lintian >/dev/null; then
    echo "dpkg-deb or lintian missing: skipped"
    exit 77
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb="$(ls "$out"/orx_"$version"_*.deb)"
fail=0
check() { if ! eval "$2"; then echo "FAILED: $1"; fail=1; fi; }

files="$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
for f in /usr/bin/orx /usr/bin/orx-cli /usr/bin/velari-sim /usr/share/orx/orx.html \
         /usr/share/applications/orx.desktop /usr/share/icons/hicolor/scalable/apps/orx.svg \
         /usr/share/man/man1/orx.1.gz /usr/share/man/man1/orx-cli.1.gz \
         /usr/share/man/man1/velari-sim.1.gz /usr/share/doc/orx/copyright; do
    check "the package holds $f" "grep -qx '$f' <<<\"\$files\""
done
for size in 16 22 24 32 48 64 128 256; do
    check "icon ${size}x${size}" "grep -qx '/usr/share/icons/hicolor/${size}x${size}/apps/orx.png' <<<\"\$files\""
done
check "nothing outside /usr" "! grep -v '^/usr' <<<\"\$files\" | grep -q ."

field() { dpkg-deb -f "$deb" "$1"; }
check "Package: orx" "[ \"\$(field Package)\" = orx ]"
check "Version from the project" "[ \"\$(field Version)\" = '$version' ]"
check "Depends computed from the binaries" "field Depends | grep -q 'libqt6widgets6' && field Depends | grep -q 'libxlsxwriter'"
check "Section science" "[ \"\$(field Section)\" = science ]"

desktop="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/orx.desktop)"
check "desktop entry name" "grep -qx 'Name=ВЕЛАРИ-5' <<<\"\$desktop\""
check "desktop entry passes the file" "grep -qx 'Exec=orx %f' <<<\"\$desktop\""
check "desktop entry categories" "grep -qx 'Categories=Science;Utility;' <<<\"\$desktop\""
check "desktop entry Russian comment" "grep -q '^Comment\[ru\]=' <<<\"\$desktop\""
man="$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/orx-cli.1.gz | zcat)"
check "orx-cli man page from its --help" "grep -q 'orx\\\\-cli stats' <<<\"\$man\""

if ! report="$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1)"; then
    echo "FAILED: lintian reports errors"
    fail=1
fi
grep -v 'root privileges' <<<"$report" || true
[ "$fail" -eq 0 ] && echo "package $(basename "$deb") checked"
exit "$fail"
