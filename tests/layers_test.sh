#!/usr/bin/env bash
# The floor check fails on an include that runs up, on one beside its floor and
# on Qt outside ui/, naming the file and line; a tree that points down passes.
set -euo pipefail
check=$(dirname "$0")/../scripts/layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{base,store,http,jobs,ui}
printf '#include "base/a.h"\n' >"$tree/store/s.cpp"
printf '#include <QString>\n' >"$tree/ui/w.cpp"
bash "$check" "$tree" >/dev/null

printf '#pragma once\n#include "jobs/j.h"\n' >"$tree/store/up.h"
printf '#include "http/h.h"\n' >"$tree/store/beside.cpp"
printf '#include <QString>\n' >"$tree/jobs/qt.cpp"
if out=$(bash "$check" "$tree" 2>&1); then
  echo "an upward include passed the check" >&2
  exit 1
fi
for expected in "store/up.h:2:" "store/beside.cpp:1:" "jobs/qt.cpp:1:"; do
  grep -qF "$expected" <<<"$out" || { echo "not reported: $expected in: $out" >&2; exit 1; }
done
