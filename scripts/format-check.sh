#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format
# makes of it, naming the files; `make format` mends them.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench fuzz -name '*.cpp' -o -name '*.h')
unformatted=$(echo "$files" | xargs clang-format --dry-run 2>&1 | grep -oE '^[^:]+\.(cpp|h)' | sort -u || true)
if [ -n "$unformatted" ]; then
    echo "format-check: these files differ from .clang-format (run make format):" >&2
    echo "$unformatted" >&2
    exit 1
fi
echo "format-check: $(echo "$files" | wc -l) files follow .clang-format"
