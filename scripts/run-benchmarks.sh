#!/usr/bin/env bash
# Runs every benchmark binary of a build folder, three repetitions each, reporting medians; then
# the scale run (OXA_BENCH_SCALE=0 skips it): the full scan through oxa-lib of a library of
# 20,000 files and of one of 200,000 (short tracks, so the large one stays a few GB), in one run
# beside the tag-reading floor of each, with the ratio of the two scan times, and the program's
# start to its first frame on a library of 200,000 tracks; OXA_BENCH_SCALE=only runs the scale
# run alone.
set -euo pipefail
dir=${1:-build/bench}
if [ "${OXA_BENCH_SCALE:-1}" != "only" ]; then
  find "$dir/bench" -type f -executable -name 'bench_*' | sort | while read -r b; do
    echo "== $(basename "$b")"
    "$b" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
  done
fi

if [ "${OXA_BENCH_SCALE:-1}" = "0" ]; then
  exit 0
fi
scan="$dir/bench/scan/bench_scan_driver"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for files in 20000 200000; do
  echo "== scale: $files files"
  OXA_BENCH_SCAN_FILES=$files OXA_BENCH_TRACK_MS=1000 "$scan" \
    --benchmark_filter='BM_TagInsertFloor/|BM_OxaLibFull/' --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out="$out/$files.json" --benchmark_out_format=json
done
echo "== scale: the start on a library of 200000 tracks"
OXA_BENCH_START_TRACKS=200000 "$dir/bench/Music/bench_music_start" \
  --benchmark_filter='BM_StartToFirstFrame|BM_OpenAndListFloor' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true
python3 - "$out/20000.json" "$out/200000.json" <<'PY'
import json, sys

def medians(file):
    runs = json.load(open(file))["benchmarks"]
    return {r["run_name"].split("/")[0]: r for r in runs if r.get("aggregate_name") == "median"}

small, large = medians(sys.argv[1]), medians(sys.argv[2])
full, floor = "BM_OxaLibFull", "BM_TagInsertFloor"
for name, runs in (("20,000", small), ("200,000", large)):
    print(f"{name} files: full scan {runs[full]['real_time']:.0f} ms, floor {runs[floor]['real_time']:.0f} ms,"
          f" ratio {runs[full]['real_time'] / runs[floor]['real_time']:.2f}x,"
          f" peak {runs[full]['peak_MB']:.0f} MB")
print(f"200,000 / 20,000 full scan: {large[full]['real_time'] / small[full]['real_time']:.1f}x"
      " (target <= 11x); peak memory target <= 300 MB")
PY
