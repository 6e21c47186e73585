#!/usr/bin/env bash
# The floors of src/, lowest first, in one place: a folder may include its own
# headers and those of the floors below it, never a floor beside or above it,
# and only ui/ may use Qt. Prints the file and line of every include that runs
# up and fails when there is one.
# Usage: scripts/layers.sh [src-dir]
set -euo pipefail
src=${1:-"$(dirname "$0")/../src"}

floors=(
  "base"
  "store script http history"
  "services"
  "jobs"
  "cli ui"
  "main"
)

declare -A rank
for i in "${!floors[@]}"; do
  for folder in ${floors[$i]}; do rank[$folder]=$i; done
done

status=0
while IFS= read -r -d '' file; do
  relative=${file#"$src"/}
  folder=${relative%%/*}
  if [ -z "${rank[$folder]+set}" ]; then
    echo "$relative: the folder $folder has no floor in scripts/layers.sh" >&2
    status=1
    continue
  fi
  while IFS=: read -r line target; do
    included=${target%%/*}
    if [ "$included" = "$folder" ]; then continue; fi
    if [ -z "${rank[$included]+set}" ]; then
      echo "$relative:$line: includes $target from no known floor" >&2
      status=1
    elif [ "${rank[$included]}" -ge "${rank[$folder]}" ]; then
      echo "$relative:$line: $folder includes $target from a floor that is not below it" >&2
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+/' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/' || true)
  if [ "$folder" != ui ]; then
    while IFS=: read -r line _; do
      echo "$relative:$line: only ui/ may include Qt" >&2
      status=1
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<Q' "$file" || true)
  fi
done < <(find "$src" -mindepth 2 \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

[ "$status" -eq 0 ] && echo "Every include of $(basename "$src")/ points down its floors."
exit "$status"
