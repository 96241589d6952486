#!/usr/bin/env bash
# Runs every test of both builds and ends with one summary line:
# native tests under the sanitizers, the stand-in service's own tests, the
# fuzz targets (their corpus and a short search), then the Windows build under
# Wine: unit tests in shards, end-to-end tests and the fault matrix, side by
# side (TEST_JOBS at a time, default 4: they mostly wait), each in a display,
# Wine prefix, stand-in service and folder of its own.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
root=${BUILD_ROOT:-build}
case $root in /*) ;; *) root=$top/$root ;; esac
logs=$root/test-logs
rm -rf "$logs" "$root/test-boxes"; mkdir -p "$logs"
run_start=$SECONDS

source scripts/wine-env.sh
source scripts/test-pool.sh

cleanup() {
    local pid
    for pid in "${pool_pids[@]}"; do kill -- "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$root/test-boxes"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

stage() { echo "== $* ($((SECONDS - run_start)) s)"; }

# The prepared prefix every Wine job starts from: made once, never run in.
stage "Wine prefix template"
export WINE_TEMPLATE_PREFIX=$root/wine-template
WINEPREFIX=$WINE_TEMPLATE_PREFIX wine_template || { echo "cannot prepare $WINE_TEMPLATE_PREFIX"; exit 1; }


win=$root/win/bin
have_e2e=0
[ -f "$win/uidriver.exe" ] && [ -f "$win/Velmarin.exe" ] && have_e2e=1
export E2E_BIN=$win E2E_NATIVE_BIN=$root/native/bin E2E_ROOT=$root

# The longest first, so that the short ones fill the gaps at the end.
stage "Wine: fault matrix, unit tests, end to end (jobs: $pool_jobs)"
if [ $have_e2e = 1 ] && [ -f tests/faults/matrix.sh ]; then
    FAULTS_TABLE=$logs/faults.md SINGLE_TIMEOUT=600 RETRY_ONCE=1 pool_start isolated faults single_body faults \
        bash tests/faults/matrix.sh
    # The transport's faults once more, under TLS.
    [ -f "$root/test-ca/server.pem" ] &&
        FAULTS_TLS=1 FAULTS_TABLE=$logs/faults-tls.md SINGLE_TIMEOUT=300 RETRY_ONCE=1 \
            pool_start isolated faults-tls single_body faults-tls bash tests/faults/matrix.sh
fi
shards=${WIN_TEST_SHARDS:-3}
if [ -f "$win/win_tests.exe" ]; then
    for ((i = 0; i < shards; i++)); do
        GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i \
            pool_start isolated "wine-win_tests-$((i + 1))of$shards" gtest_body "wine-win_tests-$((i + 1))of$shards" \
            "$WINE" "$win/win_tests.exe"
    done
fi
if [ $have_e2e = 1 ]; then
    # The journey is the longest script: first.
    declare -A queued=()
    for t in tests/e2e/15_*.sh tests/e2e/[0-9]*.sh; do
        [ -f "$t" ] && [ -z "${queued[$t]:-}" ] || continue
        queued[$t]=1
        name=e2e-$(basename "$t" .sh)
        RETRY_ONCE=1 pool_start isolated "$name" single_body "$name" bash "$t"
    done
fi
# Under Wine only what the platform changes: the code page, sockets, files,
# and the libraries this build compiles for Windows (XML, SOAP, signatures).
# The rest is the same code the native run checks under the sanitizers.
wine_core_filter='AnsiText.*:HttpClient.*:Socket.*:ServiceClient.*:ServiceIntegration.*:SignIn.*'
wine_core_filter+=':SettingsPaths.*:SettingsFileTest.*:SoapReply.*:ReleaseManifest.*'
[ -f "$win/core_tests.exe" ] && pool_start isolated wine-core_tests gtest_body wine-core_tests "$WINE" \
    "$win/core_tests.exe" --gtest_filter="$wine_core_filter"

# The CPU-bound native part fills the slots as the Wine jobs wait.
pool_start single_body layers bash -c "scripts/check-layers.sh && bash tests/runner/layers_test.sh"
pool_start single_body format bash scripts/check-format.sh
# One clang-tidy at a time: the job holds one slot of the pool.
NAMES_JOBS=1 SINGLE_TIMEOUT=1500 pool_start single_body names bash scripts/check-names.sh
pool_start single_body runner-pool bash tests/runner/pool_test.sh
pool_start with_service native-core_tests gtest_body native-core_tests "$root/native/bin/core_tests"
if [ -f devservice/test_devservice.py ]; then
    devservice_tests() {
        local log=$logs/devservice-tests.log start=$SECONDS rc n bad
        timeout -k 10 300 python3 -m unittest discover -s devservice >"$log" 2>&1
        rc=$?
        n=$(sed -n 's/^Ran \([0-9]*\) test.*/\1/p' "$log" | tail -1); n=${n:-0}
        bad=$(sed -n 's/^FAILED (\(.*\))/\1/p' "$log" | grep -o '[0-9]\+' | awk '{s+=$1} END {print s+0}')
        # A skipped case counts against the run, as in the GoogleTest binaries.
        bad=$((${bad:-0} + $(grep -c '\.\.\. skipped' "$log")))
        [ "$rc" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1
        [ "$n" -eq 0 ] && bad=1
        if [ "$bad" -ne 0 ]; then
            verdict devservice-tests $((n - bad < 0 ? 0 : n - bad)) "$bad" $((SECONDS - start)) FAILED
        else
            verdict devservice-tests "$n" 0 $((SECONDS - start)) "$n passed"
        fi
    }
    pool_start devservice_tests devservice-tests
fi
# Fuzz targets: the kept corpus, then a short search; the long one is
# scripts/fuzz-long.sh.
if compgen -G "$root/fuzz/bin/*_fuzz" >/dev/null; then
    fuzz_body() { # name, binary
        local work
        work=$(mktemp -d)
        [ -d "fuzz/corpus/$1" ] && cp -r "fuzz/corpus/$1"/. "$work"/
        single_body "$1" nice -n 5 "$2" -runs="${FUZZ_RUNS:-20000}" -max_total_time="${FUZZ_SECONDS:-4}" -seed=1 "$work"
        rm -rf "$work"
    }
    for f in "$root"/fuzz/bin/*_fuzz; do pool_start fuzz_body "$(basename "$f")" "$f"; done
fi
pool_drain

for table in "$logs/faults.md" "$logs/faults-tls.md"; do
    [ -f "$table" ] || continue
    echo "fault matrix$([ "$table" = "$logs/faults-tls.md" ] && echo ' over TLS'):"
    sed -n '3,$p' "$table" | sed 's/^/    /'
done
stage "done"
slowest
echo
[ ${#second_tries[@]} -gt 0 ] && echo "passed only on a second try (logs: *.first-try.log): ${second_tries[*]}"
[ ${#failures[@]} -gt 0 ] && echo "failed: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
