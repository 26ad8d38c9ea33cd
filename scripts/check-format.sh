#!/usr/bin/env bash
# Fails, naming each file, when a C++ file of the tree differs from what clang-format makes of it
# with the project's .clang-format. Usage: check-format.sh [SOURCE_ROOT]
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
if ! command -v clang-format >/dev/null; then
  echo "clang-format is not installed (see scripts/packages.txt)" >&2
  exit 2
fi
# One clang-format run over all files; it reports each difference as "FILE:LINE:COLUMN: error".
report=$(find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 -r clang-format --dry-run -Werror 2>&1)
status=$?
drifted=$(grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u)
for file in $drifted; do
  echo "not formatted: ${file#./} (run clang-format -i ${file#./})" >&2
done
if [[ -n $drifted ]]; then
  exit 1
fi
if [[ $status -ne 0 ]]; then
  echo "$report" >&2
  exit 2
fi
