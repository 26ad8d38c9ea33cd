#!/usr/bin/env bash
# Runs every benchmark binary of a build folder, three repetitions each, reporting medians.
set -euo pipefail
dir=${1:-build/bench}
find "$dir/bench" -type f -executable -name 'bench_*' | sort | while read -r b; do
  echo "== $(basename "$b")"
  "$b" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
done
