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
