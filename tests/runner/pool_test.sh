# The test runner's own checks: what counts as passed, time-outs, and that
# jobs side by side share no display, Wine prefix, stand-in service or folder.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
root=$(mktemp -d /tmp/velmarin-pool.XXXXXX)
logs=$root/test-logs
mkdir -p "$logs"
trap 'rm -rf "$root"' EXIT
source "$top/scripts/wine-env.sh"
source "$top/scripts/test-pool.sh"
# The outer run's choice of jobs is not this one's.
unset TEST_ONLY
problems=0
expect() { # name, expected "passed failed", what
    local got
    got=$(cut -f1,2 "$results/$1" | tr '\t' ' ')
    [ "$got" = "$2" ] || { echo "FAIL: $3: got \"$got\", want \"$2\""; problems=$((problems + 1)); }
}

# Output as a GoogleTest binary writes it.
fake_gtest() { # passed, failed, skipped, exit code
    echo "[==========] $(($1 + $2 + $3)) tests ran."
    echo "[  PASSED  ] $1 tests."
    [ "$3" -eq 0 ] || echo "[  SKIPPED ] $3 tests, listed below:"
    [ "$2" -eq 0 ] || echo "[  FAILED  ] $2 tests, listed below:"
    return "$4"
}
export -f fake_gtest
# Gtest passes --gtest_brief=1 last; the fake ignores it.
gtest_body clean bash -c 'fake_gtest 5 0 0 0' && expect clean "5 0" "all passed"
gtest_body skipped bash -c 'fake_gtest 5 0 2 0' && expect skipped "5 2" "a skipped case is a failure"
gtest_body failed bash -c 'fake_gtest 4 1 0 1' && expect failed "4 1" "a failed case"
gtest_body crashed bash -c 'fake_gtest 3 0 0 0; exit 3' && expect crashed "3 1" "a crash after the cases"
gtest_body empty true && expect empty "0 1" "nothing ran"
TEST_TIMEOUT=1 gtest_body hung bash -c 'sleep 30' && expect hung "0 1" "a hung binary"
grep -q 'timed out' "$logs/hung.log" || { echo "FAIL: the log does not say it timed out"; problems=$((problems + 1)); }
SINGLE_TIMEOUT=1 single_body slow sleep 30 && expect slow "0 1" "a script past its time"
single_body ok true && expect ok "1 0" "a script that passes"
# A flake passes on its second try and is named as such, its first log kept; a fault fails both.
flag=$root/flaky.flag
RETRY_ONCE=1 single_body flaky bash -c "[ -e $flag ] || { touch $flag; echo first; exit 1; }" &&
    expect flaky "1 0" "a second try that passes"
grep -q 'second try' "$results/flaky" && grep -q first "$logs/flaky.first-try.log" ||
    { echo "FAIL: a second try's pass is not named, or its first log is gone"; problems=$((problems + 1)); }
RETRY_ONCE=1 single_body broken false && expect broken "0 1" "a script that fails on both tries"
single_body once bash -c "exit 1" && expect once "0 1" "no second try unless asked"

# Two jobs at once, each reporting the world it saw.
if [ ! -f "${WINE_TEMPLATE_PREFIX:-}/.template" ]; then
    echo "FAIL: no prepared Wine prefix in WINE_TEMPLATE_PREFIX"
    problems=$((problems + 1))
else
    world() { # name
        echo "$DISPLAY $WINEPREFIX $VELMARIN_DEVSERVICE $TMPDIR" >"$root/$1.world"
        "$WINE" reg query 'HKCU\Software\Wine\X11 Driver' /v Managed 2>/dev/null | grep -q 'Managed.*N' && touch "$root/$1.unmanaged"
        curl -sSf "http://$VELMARIN_DEVSERVICE/control/state" >/dev/null && verdict "$1" 1 0 0 passed
    }
    # A display of the caller's must not leak into the jobs.
    export DISPLAY=:0
    pool_start isolated one world one
    pool_start isolated two world two
    pool_drain >/dev/null
    expect one "1 0" "first job"
    expect two "1 0" "second job"
    read -r -a a <"$root/one.world"
    read -r -a b <"$root/two.world"
    for i in 0 1 2 3; do
        [ -n "${a[i]:-}" ] && [ "${a[i]}" != "${b[i]:-}" ] || { echo "FAIL: shared between jobs: ${a[i]:-}"; problems=$((problems + 1)); }
    done
    [ -f "$root/one.unmanaged" ] || { echo "FAIL: windows are managed in the job's prefix"; problems=$((problems + 1)); }
    [ -z "$(ls -A "$root/test-boxes")" ] || { echo "FAIL: left behind: $(ls "$root/test-boxes")"; problems=$((problems + 1)); }
fi
[ "$problems" -eq 0 ] && echo "all runner checks passed"
exit "$problems"
