#!/usr/bin/env bash
# Builds the Debian package of the program: scripts/package.sh [BUILD_DIR [OUT_DIR]]
# (defaults: build/ and build/package/). Install it with
#   sudo apt-get install ./build/package/orx_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
out="${2:-$build/package}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    source scripts/deps.sh
    orx_install_deps
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j "$(nproc)" >/dev/null
mkdir -p "$out"
out="$(cd "$out" && pwd)"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
ls "$out"/orx_*.deb
