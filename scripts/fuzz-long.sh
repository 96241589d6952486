#!/usr/bin/env bash
# Runs every fuzz target (or those named) long, at low priority, until it has
# made at least RUNS executions (default 10 million) or SECONDS have passed,
# then minimises the kept corpus in fuzz/corpus/<target> and prints the
# executions and findings of each target.
#   fuzz-long.sh [--runs N] [--time SECONDS] [--no-keep] [target...]
# Findings (crash, leak, time-out inputs) go to build/fuzz/findings/<target>/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
runs=10000000 seconds=0 keep=1 targets=()
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift 2 ;;
        --time) seconds=$2; shift 2 ;;
        --no-keep) keep=0; shift ;;
        -*) echo "usage: fuzz-long.sh [--runs N] [--time SECONDS] [--no-keep] [target...]" >&2; exit 2 ;;
        # The older form: a number alone is the time.
        *[!0-9]*) targets+=("$1"); shift ;;
        *) seconds=$1; shift ;;
    esac
done
nice -n 15 scripts/build.sh fuzz
[ ${#targets[@]} -gt 0 ] || for f in build/fuzz/bin/*_fuzz; do targets+=("$(basename "$f")"); done

results=()
for name in "${targets[@]}"; do
    bin=build/fuzz/bin/$name
    work=build/fuzz/corpus/$name findings=build/fuzz/findings/$name kept=fuzz/corpus/$name
    mkdir -p "$work" "$findings" "$kept"
    log=build/fuzz/$name.log
    echo "== $name: $runs runs${seconds:+ or $seconds s}"
    # A finding stops the target's run; its input is kept in findings.
    nice -n 15 "$bin" -runs="$runs" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "$kept" >"$log" 2>&1 || true
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    found=$(find "$findings" -type f | wc -l)
    grep -E '^(==[0-9]+==ERROR|SUMMARY)' "$log" | head -5 || true
    if [ "$keep" = 1 ]; then
        # The smallest set of inputs that covers what the whole work corpus covers.
        fresh=$(mktemp -d)
        nice -n 15 "$bin" -merge=1 "$fresh" "$kept" "$work" >"$log.merge" 2>&1 || true
        if [ -n "$(ls -A "$fresh")" ]; then
            rm -rf "$kept"; mkdir -p "$kept"; cp "$fresh"/* "$kept"/
        fi
        rm -rf "$fresh"
    fi
    results+=("$(printf '%-28s %12s executions  %3d findings  %4d corpus inputs' "$name" "${execs:-?}" "$found" "$(ls "$kept" | wc -l)")")
done
echo
printf '%s\n' "${results[@]}"
