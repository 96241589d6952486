#!/usr/bin/env bash
# Runs every test of both builds and ends with one summary line:
# native tests under the sanitizers, the stand-in service's own tests, the
# fuzz targets for a fixed number of runs, then the Windows build under Wine
# (unit tests and end-to-end tests with the UI driver).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
root=${BUILD_ROOT:-build}
logs=$root/test-logs
rm -rf "$logs"; mkdir -p "$logs"
passed=0; failed=0; failures=()

note() { printf '%-44s %s\n' "$1" "$2"; }

# A GoogleTest binary: counts its tests.
gtest() { # name, command...
    local name=$1; shift
    local log=$logs/$name.log
    # A hung test must fail the run, not stall it.
    timeout "${TEST_TIMEOUT:-1200}" "$@" --gtest_brief=1 >"$log" 2>&1
    local rc=$?
    local p f
    p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    p=${p:-0}; f=${f:-0}
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    passed=$((passed + p)); failed=$((failed + f))
    if [ "$f" -ne 0 ]; then
        failures+=("$name"); note "$name" "FAILED ($p passed, $f failed)"; grep -E '^\[  FAILED  \]|Failure|ERROR|Sanitizer' "$log" | head -20
    else
        note "$name" "$p passed"
    fi
}

# One command that is one test.
single() { # name, command...
    local name=$1; shift
    local log=$logs/$name.log
    if timeout "${SINGLE_TIMEOUT:-600}" "$@" >"$log" 2>&1; then
        passed=$((passed + 1)); note "$name" "passed"
    else
        failed=$((failed + 1)); failures+=("$name"); note "$name" "FAILED"; tail -20 "$log"
    fi
}

# The stand-in service, for the integration and end-to-end tests.
service_pid=""
start_service() {
    [ -f devservice/server.py ] || return 0
    local pf=$root/devservice.port
    rm -f "$pf"
    python3 devservice/server.py --port 0 --port-file "$pf" >"$logs/devservice-server.log" 2>&1 &
    service_pid=$!
    for _ in $(seq 100); do [ -s "$pf" ] && break; sleep 0.1; done
    if [ -s "$pf" ]; then
        export VELMARIN_DEVSERVICE=127.0.0.1:$(cat "$pf")
    else
        echo "the stand-in service did not start"; failed=$((failed + 1)); failures+=("devservice-start")
    fi
}
stop_service() { [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null; wait "$service_pid" 2>/dev/null; service_pid=""; }

source scripts/wine-env.sh
cleanup() { stop_service; wine_cleanup; }
trap cleanup EXIT

start_service

echo "== native (AddressSanitizer, UBSan)"
gtest native-core_tests "$root/native/bin/core_tests"

if [ -f devservice/test_devservice.py ]; then
    echo "== stand-in service"
    log=$logs/devservice-tests.log
    python3 -m unittest discover -s devservice >"$log" 2>&1; rc=$?
    n=$(sed -n 's/^Ran \([0-9]*\) test.*/\1/p' "$log" | tail -1); n=${n:-0}
    bad=$(sed -n 's/^FAILED (\(.*\))/\1/p' "$log" | grep -o '[0-9]\+' | awk '{s+=$1} END {print s+0}')
    bad=${bad:-0}; [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
    passed=$((passed + n - bad)); failed=$((failed + bad))
    if [ "$bad" -ne 0 ]; then failures+=("devservice-tests"); note devservice-tests "FAILED"; tail -30 "$log"; else note devservice-tests "$n passed"; fi
fi

if compgen -G "$root/fuzz/bin/*_fuzz" >/dev/null; then
    echo "== fuzz targets (${FUZZ_RUNS:=20000} runs or 10 s each)"
    for f in "$root"/fuzz/bin/*_fuzz; do
        name=$(basename "$f")
        corpus=fuzz/corpus/$name
        work=$(mktemp -d)
        [ -d "$corpus" ] && cp -r "$corpus"/. "$work"/
        single "$name" "$f" -runs="$FUZZ_RUNS" -max_total_time=10 -seed=1 "$work"
        grep -h '^Done [0-9]* runs' "$logs/$name.log" | sed 's/^/    /'
        rm -rf "$work"
    done
fi

echo "== Windows build under Wine (LC_ALL=$LC_ALL)"
wine_display && wine_prefix
win=$root/win/bin
gtest wine-core_tests "$WINE" "$win/core_tests.exe"
[ -f "$win/win_tests.exe" ] && gtest wine-win_tests "$WINE" "$win/win_tests.exe"

if [ -f "$win/uidriver.exe" ] && [ -f "$win/Velmarin.exe" ]; then
    echo "== end to end"
    export E2E_BIN=$top/$win E2E_NATIVE_BIN=$top/$root/native/bin E2E_ROOT=$top/$root
    for t in tests/e2e/[0-9]*.sh; do
        single "e2e-$(basename "$t" .sh)" bash "$t"
    done
fi

if [ -f "$win/uidriver.exe" ] && [ -f "$win/Velmarin.exe" ] && [ -f tests/faults/matrix.sh ]; then
    echo "== fault matrix (one signed-in run, a few minutes)"
    FAULTS_TABLE=$top/$logs/faults.md SINGLE_TIMEOUT=900 single faults bash tests/faults/matrix.sh
    [ -f "$logs/faults.md" ] && sed -n '3,$p' "$logs/faults.md" | sed 's/^/    /'
fi

echo
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
