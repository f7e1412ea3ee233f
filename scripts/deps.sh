#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds and tests with, only
# those that are missing. Sourced by ./run and ./test.
#
# Every entry is the name of a real package, never a name that another package
# only provides: dpkg reports a provided name as not installed, and the list
# would then call apt-get (and sudo) on every run. The test deps_packages
# compares the list with what dpkg holds.
set -euo pipefail

ORX_PACKAGES=(
    build-essential cmake ninja-build pkg-config locales
    clang-14 libclang-rt-14-dev llvm-14
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
    xvfb xauth
    libxlsxwriter-dev fonts-liberation2
    libshp-dev shapelib gdal-bin python3 python3-dbf python3-openpyxl poppler-utils
    libreoffice-calc-nogui python3-xlsxwriter python3-reportlab
    dpkg-dev help2man lintian
)

orx_install_deps() {
    local missing=()
    local p
    for p in "${ORX_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}
