#!/usr/bin/env bash
# The configuration's GB18030 check: GCC passes and builds the program; a
# compiler that writes other bytes is refused (GCC made to ignore the charset
# option, which accepts every flag and writes UTF-8; clang, which only writes
# UTF-8), unless the build makes the fuzz targets alone, and then without the
# program.
# Usage: gbk_literals_test.sh GNU-COMPILER [OTHER-COMPILER]
set -euo pipefail
project=$(dirname "$0")/gbk_literals
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

configure() {  # expected-status expected-text compiler options...
    local status=0 expected=$1 text=$2 compiler=$3 log
    shift 3
    log="$work/log" && rm -rf "$work/build"
    cmake -S "$project" -B "$work/build" -DCMAKE_CXX_COMPILER="$compiler" "$@" >"$log" 2>&1 ||
        status=$?
    if [ "$status" -ne "$expected" ] || ! grep -q "$text" "$log"; then
        echo "$compiler $*: status $status, wanted $expected and '$text':" >&2
        cat "$log" >&2
        failures=$((failures + 1))
    fi
}

configure 0 "program: ON" "$1"
configure 0 "program: ON" "$1" -DLIANSHUO_FUZZ=ON
cat >"$work/utf8-c++" <<WRAPPER
#!/usr/bin/env bash
args=()
for arg in "\$@"; do [[ \$arg == -fexec-charset=* ]] || args+=("\$arg"); done
exec "$1" "\${args[@]}"
WRAPPER
chmod +x "$work/utf8-c++"
configure 1 "cannot write GB18030 string literals" "$work/utf8-c++"
if [ -n "${2:-}" ] && command -v "$2" >/dev/null; then
    configure 1 "cannot write GB18030 string literals" "$2"
    configure 1 "cannot write GB18030 string literals" "$2" -DLIANSHUO_FUZZ=ON -DLIANSHUO_TESTS=ON
    configure 0 "program: OFF" "$2" -DLIANSHUO_FUZZ=ON
else
    echo "no second compiler: only GCC checked"
fi
[ "$failures" -eq 0 ] || exit 1
echo "the GB18030 check takes GCC and refuses a UTF-8 compiler outside a fuzz-only build"
