#!/usr/bin/env bash
# Renders the program icon (ui/icons/orx.svg) into the PNG sizes of the
# hicolor icon theme, kept in packaging/icons/. Run it again after changing
# the drawing; the build itself only copies the PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsvg-convert >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y --no-install-recommends librsvg2-bin
fi
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" ui/icons/orx.svg -o "packaging/icons/orx-$size.png"
done
