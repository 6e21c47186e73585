#!/usr/bin/env bash
# The window benchmarks, from a build with LIANSHUO_BENCH=ON:
#  - responsiveness: the longest gap of a 5 ms timer during a 200-address batch
#    against 50 ms replies, with an idle event loop as the reference;
#  - the history window over 1,000,000 conversions: first paint and the longest
#    gap while a search walks through them;
#  - start-up: the time to the shown main window and its peak memory, side by
#    side with a minimal Qt Widgets window (medians of several rounds).
# Usage: scripts/bench-ui.sh <build-folder> [rounds]
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
rounds=${2:-7}
export QT_QPA_PLATFORM=offscreen no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

runstat=$build/runstat
[ -x "$runstat" ] || runstat=$build/bench/runstat

"$build/ui_responsiveness"
if [ -x "$build/ui_history" ]; then "$build/ui_history"; fi

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
for _ in $(seq 1 "$rounds"); do
    printf '' > "$work/start.ini"
    LIANSHUO_SETTINGS="$work/start.ini" LIANSHUO_QUIT_WHEN_SHOWN=1 "$runstat" "$build/lianshuo" \
        2>/dev/null | tail -n 1 >> "$work/ours.txt"
    "$runstat" "$build/windowreference" 2>/dev/null | tail -n 1 >> "$work/reference.txt"
done
ours_s=$(cut -d' ' -f1 < "$work/ours.txt" | median)
ours_kib=$(cut -d' ' -f2 < "$work/ours.txt" | median)
ref_s=$(cut -d' ' -f1 < "$work/reference.txt" | median)
ref_kib=$(cut -d' ' -f2 < "$work/reference.txt" | median)
awk -v a="$ours_s" -v b="$ref_s" -v c="$ours_kib" -v d="$ref_kib" 'BEGIN {
    printf "start-up time: %.3f s vs %.3f s, ratio %.2f (goal <= 1.50: %s)\n", a, b, a / b, (a / b <= 1.5 ? "met" : "MISSED")
    printf "start-up memory: %d KiB vs %d KiB, ratio %.2f (goal <= 1.50: %s)\n", c, d, c / d, (c / d <= 1.5 ? "met" : "MISSED")
}'
