#!/usr/bin/env bash
# Installs a build into a fresh folder as `cmake --install` does for a user, and
# checks that exactly the expected files land there, each icon at its size.
# Usage: stage.sh BUILD-DIR STAGE-DIR APP-ID WINDOWS(ON|OFF)
set -euo pipefail
build=$1 stage=$2 id=$3 windows=$4

rm -rf "$stage"
cmake --install "$build" --prefix "$stage/usr" >/dev/null

expected=(usr/bin/lianshuo usr/share/man/man1/lianshuo.1
          usr/share/bash-completion/completions/lianshuo)
sizes=(16 22 24 32 48 64 128 256)
if [ "$windows" = ON ]; then
    expected+=("usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml")
    for size in "${sizes[@]}"; do
        expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
    done
fi
if ! diff -u <(printf '%s\n' "${expected[@]}" | sort) \
             <(cd "$stage" && find . -type f -printf '%P\n' | sort); then
    echo "installed files differ from the expected list (- expected, + installed)" >&2
    exit 1
fi
[ -x "$stage/usr/bin/lianshuo" ] || { echo "usr/bin/lianshuo is not executable" >&2; exit 1; }

if [ "$windows" = ON ]; then
    for size in "${sizes[@]}"; do
        icon=$stage/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
        kind=$(file -b "$icon")
        case $kind in
            "PNG image data, $size x $size, 8-bit/color RGBA"*) ;;
            *) echo "$icon: $kind" >&2; exit 1 ;;
        esac
    done
fi
echo "installed ${#expected[@]} files"
