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
status=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: ${file#./} (run clang-format -i ${file#./})" >&2
    status=1
  fi
done < <(find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
exit $status
