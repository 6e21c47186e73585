#!/usr/bin/env bash
# Renders the windows to PNG files under <build>/screenshots, offscreen, so
# that no display is needed: `make screenshots` or scripts/screenshots.sh <build>.
set -euo pipefail
build=${1:-build/dev}
tool="$build/tests/ui/ui_screenshots"
if [ ! -x "$tool" ]; then
    cmake --build "$build" --target ui_screenshots
fi
QT_QPA_PLATFORM=offscreen "$tool" "$build/screenshots"
# A 1920 x 1200 screen at scale 2: 960 x 600 pixels of layout for the windows.
screen=$(mktemp)
trap 'rm -f "$screen"' EXIT
printf '{"screens":[{"name":"s","x":0,"y":0,"width":1920,"height":1200,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]}' >"$screen"
QT_SCALE_FACTOR=2 QT_QPA_PLATFORM="offscreen:configfile=$screen" "$tool" "$build/screenshots" scaled
