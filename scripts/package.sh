#!/usr/bin/env bash
# `make package`: an optimised build of the program alone (the package preset),
# packed by CPack into a Debian package whose library dependencies come from
# dpkg-shlibdeps. Prints the package's path on standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package
[ -f "$build/build.ninja" ] || cmake --preset package >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" >&2
rm -f "$build"/*.deb
cpack --preset package >&2
deb=$(find "$build" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$deb" ] || { echo "cpack wrote no .deb into $build" >&2; exit 1; }
realpath "$deb"
