#!/usr/bin/env bash
# Keeps the core portable: compiles every core source (everything under src/
# but the windows in src/ui and the POSIX side of the platform seam) for
# Windows with the mingw-w64 cross-compiler in syntax-only mode, against the
# Debian packages' own headers of PCRE2, libcurl, zlib, libqrencode (and SQLite and
# nlohmann-json when installed) and a declaration-only iconv.h; and refuses
# POSIX headers outside the seam. New sources are found by themselves.
# Fails with the file and line of each problem. Usage: scripts/windows-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=${WINDOWS_CXX:-x86_64-w64-mingw32-g++-posix}
jobs=${JOBS:-$(nproc)}
command -v "$cxx" >/dev/null || { echo "windows-check: $cxx is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

# Only the libraries' headers: the rest of /usr/include is glibc's and would
# stand in for the Windows headers of mingw-w64.
stage=build/windows-check/include
rm -rf "$stage"
mkdir -p "$stage"
for header in /usr/include/pcre2.h /usr/include/zlib.h /usr/include/zconf.h /usr/include/qrencode.h \
              /usr/include/sqlite3.h /usr/include/sqlite3ext.h /usr/include/nlohmann \
              /usr/include/x86_64-linux-gnu/curl /usr/include/curl; do
  [ -e "$header" ] && ln -sfn "$header" "$stage/$(basename "$header")"
done

# Headers CMake generates (version.h): any value will do for a syntax check.
for template in cmake/*.h.in; do
  [ -e "$template" ] && sed 's/@[A-Za-z_]*@/0/g' "$template" >"$stage/$(basename "$template" .in)"
done

mapfile -t sources < <(find src -name '*.cpp' ! -path 'src/ui/*' ! -name '*_posix.cpp' | sort)
mapfile -t core < <(find src \( -name '*.cpp' -o -name '*.h' \) ! -path 'src/ui/*' ! -name '*_posix.cpp' | sort)

failed=0
posix='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd|fcntl|dlfcn|pthread|poll|dirent|termios|pwd|grp|syslog|spawn|netdb|sys/[a-z_]+|arpa/[a-z_]+|netinet/[a-z_]+)\.h>'
if grep -nHE "$posix" "${core[@]}" >build/windows-check/posix.txt; then
  sed 's/$/   <- POSIX header outside the platform seam (src\/app\/base\/platform.h)/' build/windows-check/posix.txt >&2
  failed=1
fi

out=build/windows-check/errors
rm -rf "$out"
mkdir -p "$out"
check() {  # compiler stage out source
  "$1" -std=c++20 -fsyntax-only -w -Isrc -I"$2" -Icmake/windows "$4" 2>"$3/${4//\//_}.txt" ||
    return 0
  rm -f "$3/${4//\//_}.txt"
}
export -f check
printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} bash -c 'check "$@"' _ "$cxx" "$stage" "$out" {}
for source in "${sources[@]}"; do
  errors="$out/${source//\//_}.txt"
  [ -f "$errors" ] || continue
  grep -E '(error|note: in expansion)' "$errors" | head -n 20 >&2
  failed=1
done

if [ "$failed" -ne 0 ]; then
  echo "windows-check: the core must call the system only through src/base/platform.h" >&2
  exit 1
fi
echo "windows-check: ${#sources[@]} core sources compile for Windows"
