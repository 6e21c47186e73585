#!/usr/bin/env bash
# Measures the program side by side with its references in one run and
# prints a table of ratios (also written to <build>/bench-results.md).
# Usage: scripts/bench.sh <release-build-folder>
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
bin=$build
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${svc_pid:-}" ] && kill "$svc_pid" 2>/dev/null || true' EXIT
results=$build/bench-results.md
rows=()

# BENCH_ONLY="batch files store window micro" picks sections (all by default).
only=${BENCH_ONLY:-batch files store window micro}
wanted() { [[ " $only " == *" $1 "* ]]; }
row() { rows+=("| $1 | $2 | $3 | $4 | $5 |"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g ? "met" : "MISSED") }'; }
measure() { "$bin/runstat" "$@" 2>/dev/null | tail -n 1; }

# ---- Batch throughput: 2,000 addresses through a custom interface --------
for i in $(seq 1 2000); do echo "http://long.example/catalogue/item?id=$i&ref=bench#top"; done > "$work/urls.txt"

batch_round() {  # scheme
    local scheme=$1
    exec {svc_in}> >(exec "$bin/fakeservice" "$scheme" > "$work/svc.txt")
    svc_pid=$!
    for _ in $(seq 1 100); do [ -s "$work/svc.txt" ] && break; sleep 0.05; done
    read -r port cert < "$work/svc.txt"
    local base="$scheme://127.0.0.1:$port/short"
    [ "$cert" != "-" ] && export SSL_CERT_FILE=$cert
    printf '[基本配置]\r\n短网址索引=0\r\n自定义接口短网址索引=0\r\n[短网址选项_127.0.0.1]\r\nURL编码=1\r\n接口地址=%s?u=#长网址#' "$base" |
        iconv -f UTF-8 -t GB18030 > "$work/settings.ini"
    local lianshuo curlshell curlc
    lianshuo=$(measure "$bin/lianshuo" convert --settings "$work/settings.ini" --no-save --interval 0 --input "$work/urls.txt")
    curlc=$(measure "$bin/curlloop" "$base?u=" "$work/urls.txt")
    curlshell=$(measure bash -c "while read -r u; do curl -s ${cert:+--cacert $cert} -G --data-urlencode \"u=\$u\" '$base' >/dev/null; done < '$work/urls.txt'")
    local t=${lianshuo% *} a=${curlshell% *} b=${curlc% *}
    row "Batch of 2,000 ($scheme) vs curl per address" "$t s" "$a s" "$(ratio "$t" "$a")" "<= 0.10: $(verdict "$(ratio "$t" "$a")" 0.10)"
    row "Batch of 2,000 ($scheme) vs one reused libcurl handle" "$t s" "$b s" "$(ratio "$t" "$b")" "<= 2.00: $(verdict "$(ratio "$t" "$b")" 2.00)"
    exec {svc_in}>&-
    wait "$svc_pid" 2>/dev/null || true
    svc_pid=
    unset SSL_CERT_FILE
}
if wanted batch; then
    batch_round http
    batch_round https
fi

# ---- File converter scan: 200 MB of HTML in 2,000 files --------------------
if wanted files; then
mkdir -p "$work/pages"
"$bin/makepages" "$work/pages" 2000 100000
largest_kib=$(( $(find "$work/pages" -type f -printf '%s\n' | sort -n | tail -1) / 1024 ))
printf '' > "$work/empty.ini"
scan=$(measure "$bin/lianshuo" files --settings "$work/empty.ini" --pattern '*.html' --white nomatch.invalid --no-black "$work/pages")
grepped=$(measure grep -rhoE '[a-zA-Z]+://[^[:space:]"<>]+' "$work/pages")
t=${scan% *}; g=${grepped% *}; rss=${scan#* }
row "File converter scan vs grep -oE" "$t s" "$g s" "$(ratio "$t" "$g")" "<= 2.00: $(verdict "$(ratio "$t" "$g")" 2.00)"
limit=$(( 3 * largest_kib + 102400 ))
row "File converter peak memory vs 3x largest file + 100 MB" "$rss KiB" "$limit KiB" "$(ratio "$rss" "$limit")" "<= 1.00: $(verdict "$(ratio "$rss" "$limit")" 1.00)"
# The same site again with every address in the history, against conversions stubbed to no cost.
if [ -x "$bin/historyscan" ]; then
    read -r hist stub < <("$bin/historyscan" "$work/pages" '*.html')
    row "File converter re-run from the history vs conversions stubbed" "$hist s" "$stub s" "$(ratio "$hist" "$stub")" "<= 1.20: $(verdict "$(ratio "$hist" "$stub")" 1.20)"
fi
rm -rf "$work/pages"
fi

# ---- Settings store: 1,000 interface saves (one durable save each) ---------
if wanted store; then
read -r ours theirs < <("$bin/storecompare" 1000)
row "Settings store, 1,000 interface saves vs QSettings + sync() per key" "$ours s" "$theirs s" "$(ratio "$ours" "$theirs")" "<= 1.00: $(verdict "$(ratio "$ours" "$theirs")" 1.00)"
fi

# ---- The window: responsiveness during a batch, start-up time and memory --
if wanted window && [ -x "$bin/ui_responsiveness" ] && [ -x "$bin/windowreference" ]; then
    bash "$(dirname "$0")/bench-ui.sh" "$build" 5 > "$work/ui.txt" 2>/dev/null || true
    while IFS= read -r line; do row "Window: $line" "" "" "" ""; done < "$work/ui.txt"
fi

# ---- JSON reader, regular expressions, engines, history, interfaces (Google Benchmark)
for b in json_bench regex_bench http_engines history_bench interface_json; do
    wanted micro && [ -x "$bin/$b" ] || continue
    "$bin/$b" --benchmark_min_time=0.2 --benchmark_format=console > "$work/$b.txt" 2>/dev/null || true
    while read -r name value; do row "$name" "$value" "" "" ""; done < <(awk '/^ratio/ { print $2, $3 }' "$work/$b.txt")
done

{
    echo "| Measure | Program | Reference | Ratio | Goal |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
} | tee "$results"
echo "Written to $results"
