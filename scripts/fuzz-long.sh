#!/usr/bin/env bash
# Runs every fuzz target for longer than ./test does: fuzz-long.sh [SECONDS each]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-300}
scripts/build.sh fuzz
for f in build/fuzz/bin/*_fuzz; do
    name=$(basename "$f")
    mkdir -p "build/fuzz/corpus/$name"
    echo "== $name for $seconds s"
    "$f" -max_total_time="$seconds" -print_final_stats=1 "build/fuzz/corpus/$name" "fuzz/corpus/$name" 2>&1 |
        grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || true
done
