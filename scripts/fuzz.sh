#!/usr/bin/env bash
# Runs every libFuzzer target of a build for the given number of seconds, each
# on a copy of its seed corpus (tests/corpus/<name without _fuzzer>) so that the
# corpus in the tree stays small. Inputs that crash are kept in
# <build-dir>/fuzz-artifacts/. Fails when any target fails.
# Usage: scripts/fuzz.sh <build-dir> <seconds>
set -euo pipefail

usage="usage: $0 <build-dir> <seconds>"
build=$(cd "${1:?$usage}" && pwd)
seconds=${2:?$usage}
root=$(cd "$(dirname "$0")/.." && pwd)
artifacts="$build/fuzz-artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"

mapfile -t fuzzers < <(find "$build" -maxdepth 3 -type f -name '*_fuzzer' -perm -u+x | sort)
if [ ${#fuzzers[@]} -eq 0 ]; then
  echo "No *_fuzzer binaries under $build" >&2
  exit 1
fi

failed=()
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer" _fuzzer)
  corpus="$work/$name"
  mkdir -p "$corpus"
  if [ -d "$root/tests/corpus/$name" ]; then cp -R "$root/tests/corpus/$name/." "$corpus/"; fi
  echo "== $name for ${seconds}s" >&2
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$name-" "$corpus" >"$work/$name.log" 2>&1; then
    tail -n 40 "$work/$name.log" >&2
    failed+=("$name")
  else
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/$name.log" >&2 || true
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Failed: ${failed[*]} (inputs in $artifacts)" >&2
  exit 1
fi
echo "All ${#fuzzers[@]} fuzzers ran ${seconds}s without a failure." >&2
