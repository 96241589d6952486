# Sourced by run-tests.sh: runs tests as jobs, several at a time, each Wine job
# in its own display, Wine prefix, stand-in service and temporary folder, and
# collects each job's verdict, counts and time.
# Needs: top, root, logs (absolute), and wine-env.sh sourced.

results=$logs/.results
mkdir -p "$results"
pool_jobs=${TEST_JOBS:-4}
pool_pids=()

note() { printf '%-44s %s\n' "$1" "$2"; }

# One job's verdict: name, passed, failed, seconds, what to say.
verdict() {
    printf '%s\t%s\t%s\t%s\n' "$2" "$3" "$4" "$5" >"$results/$1"
}

# A GoogleTest binary as one job. A skipped case is a failure: nothing passes
# by not running.
gtest_body() { # name, command...
    local name=$1; shift
    local log=$logs/$name.log start=$SECONDS
    timeout -k 10 "${TEST_TIMEOUT:-600}" "$@" --gtest_brief=1 >"$log" 2>&1
    local rc=$? p f s
    p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    p=${p:-0}; f=$((${f:-0} + ${s:-0}))
    [ "$rc" -eq 124 ] && echo "timed out after ${TEST_TIMEOUT:-600} s" >>"$log"
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
    if [ "$p" -eq 0 ] && [ "$f" -eq 0 ]; then f=1; echo "no test ran" >>"$log"; fi
    local say="$p passed"
    [ "$f" -ne 0 ] && say="FAILED ($p passed, $f failed${s:+, $s skipped})"
    verdict "$name" "$p" "$f" $((SECONDS - start)) "$say"
}

# One command that is one test. With RETRY_ONCE=1 a failure is tried once more
# in the same box, its first log kept beside: a script that drives Wine under
# load can still lose a race of the harness's own, and a second failure tells
# a fault from such a flake. A pass on the second try is named in the summary.
single_body() { # name, command...
    local name=$1; shift
    local log=$logs/$name.log start=$SECONDS rc
    single_try "$log" "$@"
    rc=$?
    if [ "$rc" -ne 0 ] && [ "${RETRY_ONCE:-0}" = 1 ]; then
        mv "$log" "$logs/$name.first-try.log"
        wineserver_cmd -k
        single_try "$log" "$@"
        rc=$?
        if [ "$rc" -eq 0 ]; then
            verdict "$name" 1 0 $((SECONDS - start)) "passed on a second try (first: $name.first-try.log)"
            return
        fi
    fi
    if [ "$rc" -eq 0 ]; then
        verdict "$name" 1 0 $((SECONDS - start)) passed
    else
        verdict "$name" 0 1 $((SECONDS - start)) FAILED
    fi
}

single_try() { # log, command...
    local log=$1 rc
    shift
    timeout -k 10 "${SINGLE_TIMEOUT:-300}" "$@" >"$log" 2>&1
    rc=$?
    [ "$rc" -eq 124 ] && echo "timed out after ${SINGLE_TIMEOUT:-300} s" >>"$log"
    return "$rc"
}

# Starts the stand-in service on a free port; exports VELMARIN_DEVSERVICE and
# sets service_pid. With the tests' certificates it serves HTTPS on a second
# port too, exported as VELMARIN_DEVSERVICE_TLS. The log goes to the file given.
start_service() { # log file
    local pf tpf tls=()
    pf=$(mktemp)
    tpf=$(mktemp)
    [ -f "$root/test-ca/server.pem" ] && tls=(--tls-dir "$root/test-ca" --tls-port-file "$tpf")
    python3 "$top/devservice/server.py" --port 0 --port-file "$pf" "${tls[@]}" >"$1" 2>&1 &
    service_pid=$!
    # The HTTPS port is written first: once the HTTP one is there, both are.
    for _ in $(seq 100); do [ -s "$pf" ] && break; sleep 0.05; done
    if [ -s "$pf" ]; then
        export VELMARIN_DEVSERVICE=127.0.0.1:$(cat "$pf")
        [ -s "$tpf" ] && export VELMARIN_DEVSERVICE_TLS=127.0.0.1:$(cat "$tpf")
        rm -f "$pf" "$tpf"
    else
        rm -f "$pf" "$tpf"
        echo "the stand-in service did not start" >&2
        return 1
    fi
}
stop_service() {
    [ -n "${service_pid:-}" ] || return 0
    kill "$service_pid" 2>/dev/null; wait "$service_pid" 2>/dev/null
    service_pid=""
}

# Runs the command with a stand-in service of its own (and its log).
with_service() { # name, command...
    local name=$1; shift
    service_pid=""
    trap 'stop_service; eval "${box_cleanup:-}"' EXIT
    trap 'exit 1' TERM INT
    if [ ! -f "$top/devservice/server.py" ] || start_service "$logs/$name.service.log"; then
        "$@"
    else
        verdict "$name" 0 1 0 "FAILED (no stand-in service)"
    fi
}

# Runs the command in a world of its own: an Xvfb display, a copy of the
# template Wine prefix (so its wineserver, windows, mutexes and files are its
# own), a stand-in service and a temporary folder; all of it goes afterwards.
isolated() { # name, command...
    local name=$1
    box=$root/test-boxes/$name
    rm -rf "$box"; mkdir -p "$box/tmp"
    export WINEPREFIX=$box/prefix TMPDIR=$box/tmp
    unset DISPLAY
    started_xvfb=""
    box_cleanup='wine_cleanup; rm -rf "$box"'
    trap 'eval "$box_cleanup"' EXIT
    trap 'exit 1' TERM INT
    if wine_prefix && wine_display; then
        with_service "$@"
    else
        verdict "$name" 0 1 0 "FAILED (no display or Wine prefix)"
    fi
}

# Starts a job in the background once a slot is free; finished jobs are
# reported as they end. TEST_ONLY (glob patterns) picks jobs by name.
pool_start() { # body function, name, command...
    if [ -n "${TEST_ONLY:-}" ]; then
        local pattern hit=0
        for pattern in $TEST_ONLY; do [[ $2 == $pattern ]] && hit=1; done
        [ $hit = 1 ] || return 0
    fi
    while [ "$(jobs -rp | wc -l)" -ge "$pool_jobs" ]; do
        wait -n 2>/dev/null
        pool_report
    done
    ("$@") &
    pool_pids+=("$!")
}

# Waits for every job still running, reporting each as it ends.
pool_drain() {
    while [ -n "$(jobs -rp)" ]; do
        wait -n 2>/dev/null
        pool_report
    done
    pool_report
}

reported=" "
passed=0; failed=0; failures=(); second_tries=()

# Prints the verdict of each job that has ended and not yet been reported.
pool_report() {
    local f name p fl secs say
    for f in "$results"/*; do
        [ -f "$f" ] || continue
        name=$(basename "$f")
        case $reported in *" $name "*) continue ;; esac
        reported+="$name "
        IFS=$'\t' read -r p fl secs say <"$f"
        passed=$((passed + p)); failed=$((failed + fl))
        note "$name" "$say ($secs s)"
        case $say in *"second try"*) second_tries+=("$name") ;; esac
        printf '%s\t%s\n' "$secs" "$name" >>"$logs/.times"
        if [ "$fl" -ne 0 ]; then
            failures+=("$name")
            grep -E '^\[  FAILED  \]|^\[  SKIPPED \]|Failure|ERROR|Sanitizer|FAIL:|timed out' "$logs/$name.log" 2>/dev/null |
                head -20 | sed 's/^/    /'
            [ "$say" = FAILED ] && tail -20 "$logs/$name.log" | sed 's/^/    /'
        fi
    done
}

# The ten slowest jobs of the run.
slowest() {
    [ -f "$logs/.times" ] || return 0
    echo "slowest:"
    sort -rn "$logs/.times" | head -10 | awk -F'\t' '{ printf "  %5d s  %s\n", $1, $2 }'
}
