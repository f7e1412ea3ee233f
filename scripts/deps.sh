#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds and tests with, only
# those that are missing. Sourced by ./run and ./test.
set -euo pipefail

ORX_PACKAGES=(
    build-essential cmake ninja-build pkg-config locales
    clang-14 libclang-rt-14-dev llvm-14
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev libqt6serialport6-dev qt6-charts-dev libqt6opengl6-dev
    libxlsxwriter-dev fonts-liberation2
    libshp-dev shapelib gdal-bin python3 python3-dbf python3-openpyxl poppler-utils
    libreoffice-calc-nogui python3-xlsxwriter python3-reportlab
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
