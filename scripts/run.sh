#!/usr/bin/env bash
# Starts the program from a build folder. Without a display (a server, a
# container) it runs on a virtual one so that `make run` still works.
set -euo pipefail
build=${1:-build/dev}
program="$build/lianshuo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running on a virtual X display (xvfb-run)." >&2
    exec xvfb-run -a "$program" "${@:2}"
fi
exec "$program" "${@:2}"
