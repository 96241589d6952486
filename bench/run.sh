#!/usr/bin/env bash
# The benchmark table: start-up, sign-in, service calls, idle cost, memory and
# growth of the Windows build under Wine against the stand-in service, each
# figure against its floor measured in the same run. Prints the table and
# writes it to build/bench/results.md. Needs the builds of ./test (it builds
# the bench programs if missing). Not part of ./test's pass or fail.
# Environment: BENCH_REPEATS (5), BENCH_CALLS (1000), BENCH_IDLE_SECONDS (60),
# BENCH_IDLE_REPEATS (3), BENCH_STALL_REPEATS (3).
# Each block of rows is a function that records its repeats; a block whose
# floor moved more than 20 % between repeats runs once more (see the end).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
root=${BUILD_ROOT:-build}
repeats=${BENCH_REPEATS:-5}
calls=${BENCH_CALLS:-1000}
idle_seconds=${BENCH_IDLE_SECONDS:-60}
idle_repeats=${BENCH_IDLE_REPEATS:-3}
stall_repeats=${BENCH_STALL_REPEATS:-3}
out=$top/$root/bench
bin=$top/$root/win/bin

[ -x "$top/$root/native/bin/datfile" ] && [ -d "$root/win" ] || { echo "bench: run ./test (or scripts/build.sh all) first" >&2; exit 1; }
nice cmake --build "$root/win" --target Velmarin Skin res uidriver probe min_dialog min_dialog_themed min_dialog_login empty_loop growth_bench \
    entry_bench raw_entry_bench stall_bench >/dev/null

rm -rf "$out"/login "$out"/auto "$out"/floor; mkdir -p "$out"
: >"$out/probe.log"
raw=$out/raw.txt
: >"$raw"
record() { echo "$1 $2" >>"$raw"; } # name value
forget() { # names...: drops their figures before a block runs again
    local name
    for name in "$@"; do sed -i "/^$name /d" "$raw"; done
}

source scripts/wine-env.sh
service_pid=""
folders=()
# Without a window manager Wine waits 2 s for one whenever a captioned window
# is hidden (the login dialog's end): a stall of the display, not of the
# program. The bench's programs run as unmanaged windows, for its run only.
bench_programs="Velmarin.exe min_dialog.exe min_dialog_themed.exe min_dialog_login.exe empty_loop.exe"
unmanaged() { # add|delete
    local exe
    for exe in $bench_programs; do
        if [ "$1" = add ]; then
            "$WINE" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\X11 Driver" /v Managed /t REG_SZ /d N /f
        else
            "$WINE" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$exe" /f
        fi
    done >/dev/null 2>&1
}
cleanup() {
    [ -z "$service_pid" ] || { kill "$service_pid" 2>/dev/null; wait "$service_pid" 2>/dev/null; }
    unmanaged delete
    wine_cleanup
}
trap cleanup EXIT
trap "exit 1" INT TERM

pf=$out/devservice.port
rm -f "$pf"
python3 devservice/server.py --quiet --port 0 --port-file "$pf" >"$out/devservice.log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do [ -s "$pf" ] && break; sleep 0.1; done
[ -s "$pf" ] || { echo "bench: the stand-in service did not start" >&2; exit 1; }
export VELMARIN_DEVSERVICE=127.0.0.1:$(cat "$pf")
base=http://$VELMARIN_DEVSERVICE

wine_display && wine_prefix
unmanaged add
export E2E_BIN=$bin E2E_NATIVE_BIN=$top/$root/native/bin
source tests/e2e/lib.sh
set +e +o pipefail; set -u

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# probe COMMAND ARGS...: its name=value lines, without carriage returns.
probe() { "$WINE" "$bin/probe.exe" "$@" 2>>"$out/probe.log" | tr -d '\r'; }
value() { sed -n "s/^$1=//p" <<<"$2"; }

# Program folders: one that shows the login dialog, one that signs in by itself.
login_dir=$out/login auto_dir=$out/auto floor_dir=$out/floor
for d in "$login_dir" "$auto_dir"; do
    mkdir -p "$d/ad"
    for f in Velmarin.exe Skin.dll res.dll config.dll; do cp "$bin/$f" "$d/"; done
    cp -r "$bin/skin" "$d/"
done
write_settings "$(settings_xml user=05512345678 users=05512345678)" "$login_dir/velmarin.dat"
write_auto_login "$auto_dir" users=05512345678
mkdir -p "$floor_dir"
cp "$bin/min_dialog.exe" "$bin/min_dialog_themed.exe" "$bin/min_dialog_login.exe" "$bin/empty_loop.exe" "$floor_dir/"

# A signed-in program ended from outside leaves its tray icon to Wine, which
# stalls the next program's start by seconds while it cleans up: wait, then
# let one start of the floor, whose figures are dropped, take what is left.
after_signed_in() {
    sleep 3
    probe show "$(winpath "$floor_dir/min_dialog.exe")" "$(winpath "$floor_dir")" BenchDialog - 0 >/dev/null
}

# Every Velmarin start here gets a fresh settings file: a killed program saves nothing,
# but the advertisement it fetched would spare the next start its download.
fresh_login_dir() { rm -f "$1"/ad/*; }

startup_rows() {
echo "bench: cold start, sign-in and memory, $repeats runs each (and one to warm up)"
forget cold_app cold_floor cold_themed_floor cold_login_floor signin_app signin_at_once_app auto_app mem_app mem_floor
# The cold starts first, away from the signed-in programs' ends.
for i in $(seq 0 "$repeats"); do
    fresh_login_dir "$login_dir"
    r=$(probe show "$(winpath "$login_dir/Velmarin.exe")" "$(winpath "$login_dir")" "Velmarin登录" - 0)
    app=$(value ms "$r")
    r=$(probe show "$(winpath "$floor_dir/min_dialog.exe")" "$(winpath "$floor_dir")" BenchDialog - 3000)
    floor=$(value ms "$r") floor_private=$(value private "$r")
    themed=$(value ms "$(probe show "$(winpath "$floor_dir/min_dialog_themed.exe")" "$(winpath "$floor_dir")" BenchDialog - 0)")
    # The login dialog's template has no title of its own.
    login=$(value ms "$(probe show "$(winpath "$floor_dir/min_dialog_login.exe")" "$(winpath "$floor_dir")" - '#32770' 0)")
    [ "$i" -eq 0 ] && continue # the first of each reads its files from disk
    record cold_app "${app:-nan}"; record cold_floor "${floor:-nan}"; record cold_themed_floor "${themed:-nan}"
    record cold_login_floor "${login:-nan}"
    record mem_floor "${floor_private:-nan}"
done
for i in $(seq 0 "$repeats"); do
    fresh_login_dir "$login_dir"
    # Pressed a second after the dialog showed, as a person would at the
    # earliest (typing the password alone takes longer), and again at once,
    # while the dialog's own start (the advertisement's download) still runs.
    signin=$(value ms "$(probe signin "$(winpath "$login_dir/Velmarin.exe")" "$(winpath "$login_dir")" 05512345678 abc123 1000)")
    after_signed_in
    fresh_login_dir "$login_dir"
    at_once=$(value ms "$(probe signin "$(winpath "$login_dir/Velmarin.exe")" "$(winpath "$login_dir")" 05512345678 abc123 0)")
    after_signed_in
    fresh_login_dir "$auto_dir"
    r=$(probe show "$(winpath "$auto_dir/Velmarin.exe")" "$(winpath "$auto_dir")" Velmarin '#32770' 3000)
    auto=$(value ms "$r") private=$(value private "$r")
    after_signed_in
    [ "$i" -eq 0 ] && continue
    record signin_app "${signin:-nan}"; record signin_at_once_app "${at_once:-nan}"; record auto_app "${auto:-nan}"
    record mem_app "${private:-nan}"
done
}

rate() { sed -n 's/.* \([0-9.]*\) calls\/s.*/\1/p' <<<"$1"; }
entry_run() { "$WINE" "$bin/$1.exe" "$base" "$calls" 2>>"$out/probe.log" | tr -d '\r'; }
call_rows() {
echo "bench: Entry calls, $calls a run, $repeats runs each way"
forget calls_app calls_floor close_app close_floor
for i in $(seq "$repeats"); do
    service POST reset >/dev/null
    record calls_app "$(rate "$(entry_run entry_bench)")"
    service POST reset >/dev/null
    record calls_floor "$(rate "$(entry_run raw_entry_bench)")"
    service POST reset >/dev/null
    service POST fault "{\"fault\": \"connection_close\", \"count\": $((calls + 10))}" >/dev/null
    record close_app "$(rate "$(entry_run entry_bench)")"
    service POST reset >/dev/null
    service POST fault "{\"fault\": \"connection_close\", \"count\": $((calls + 10))}" >/dev/null
    record close_floor "$(rate "$(entry_run raw_entry_bench)")"
done
service POST reset >/dev/null
}

# ---- Service calls over TLS: a stand-in of their own with the tests'
# certificates (trusted by this Wine prefix only). The raw client speaks
# plain HTTP only, so the floor stays the plain call.
tls_rows() {
tls_ca=$top/$root/test-ca
if [ -f "$tls_ca/server.pem" ]; then
    echo "bench: Entry calls over TLS, $calls a run, $repeats runs"
    tls_pf=$out/devservice-tls.port tls_ppf=$out/devservice-tls.plain-port
    rm -f "$tls_pf" "$tls_ppf"
    python3 devservice/server.py --quiet --port 0 --port-file "$tls_ppf" --tls-dir "$tls_ca" \
        --tls-port-file "$tls_pf" >"$out/devservice-tls.log" 2>&1 &
    tls_pid=$!
    for _ in $(seq 100); do [ -s "$tls_ppf" ] && break; sleep 0.1; done
    first_ms() { sed -n 's/^first call \([0-9.]*\) ms.*/\1/p' <<<"$1"; }
    for i in $(seq "$repeats"); do
        r=$("$WINE" "$bin/entry_bench.exe" "https://127.0.0.1:$(cat "$tls_pf")" "$calls" 2>>"$out/probe.log" | tr -d '\r')
        record tls_calls_app "$(rate "$r")"; record tls_first_app "$(first_ms "$r")"
        r=$(entry_run entry_bench)
        record tls_first_floor "$(first_ms "$r")"
    done
    kill "$tls_pid" 2>/dev/null; wait "$tls_pid" 2>/dev/null || true
fi
service POST reset >/dev/null
}

idle_rows() {
echo "bench: idle, $idle_repeats runs of $idle_seconds s"
for i in $(seq "$idle_repeats"); do
    fresh_login_dir "$auto_dir"
    r=$(probe idle "$idle_seconds" "$(winpath "$auto_dir/Velmarin.exe")" "$(winpath "$auto_dir")" \
        "$(winpath "$floor_dir/empty_loop.exe")" "$(winpath "$floor_dir")")
    wall=$(value wall_ms "$r")
    after_signed_in
    [ -n "$wall" ] || { echo "bench: idle run $i failed" >&2; continue; }
    record idle_app "$(python3 -c "print(100 * $(value program_cpu_ms "$r") / $wall)")"
    record idle_floor "$(python3 -c "print(100 * $(value floor_cpu_ms "$r") / $wall)")"
    record idle_mem_app "$(value program_private "$r")"
done
heartbeats=$(service GET log | jq '[.commands[] | select(.code == "9999")] | length')
record idle_heartbeats "$heartbeats"
service POST reset >/dev/null
}

growth_rows() {
echo "bench: growth"
r=$("$WINE" "$bin/growth_bench.exe" "$base" 2>>"$out/probe.log" | tr -d '\r')
echo "$r" >"$out/growth.txt"
while IFS='=' read -r k v; do [ -n "$k" ] && record "growth_$k" "$v"; done <<<"$r"
}

# The UI thread while a service call stalls past its 10 s time-out: at the
# heartbeat (the program's worker thread makes the call) and at a page command
# (the UI thread makes it, by design; measured in a program of its own, as no
# page runs under Wine).
stall_rows() {
echo "bench: stalled calls, $stall_repeats runs each"
local r stalled
for i in $(seq "$stall_repeats"); do
    service POST reset >/dev/null
    fresh_login_dir "$auto_dir"
    r=$(probe stall "$(winpath "$auto_dir/Velmarin.exe")" "$(winpath "$auto_dir")" "${VELMARIN_DEVSERVICE%:*}" \
        "${VELMARIN_DEVSERVICE##*:}")
    after_signed_in
    # Only a run whose heartbeat the service did hold counts.
    stalled=$(service GET log | jq '[.commands[] | select(.code == "9999" and .fault == "delay")] | length')
    [ "${stalled:-0}" -ge 1 ] && record stall_heartbeat "$(value slowest_answer_ms "$r")"
    service POST reset >/dev/null
    service POST fault '{"fault": "delay", "count": 1, "seconds": 12}' >/dev/null
    r=$("$WINE" "$bin/stall_bench.exe" "$base" 2>>"$out/probe.log" | tr -d '\r')
    record stall_page "$(value slowest_answer_ms "$r")"
done
service POST reset >/dev/null
}

startup_rows
call_rows
tls_rows
idle_rows
growth_rows
stall_rows

# A floor that moved more than 20 % between repeats: its block runs once more,
# and the table says so if it still moves.
for pair in cold_floor:startup_rows calls_floor:call_rows close_floor:call_rows; do
    floor=${pair%%:*} block=${pair#*:}
    python3 bench/table.py --moves "$raw" "$floor" || continue
    grep -q "^rerun_$block " "$raw" || { record "rerun_$block" 1; $block; }
    python3 bench/table.py --moves "$raw" "$floor" && record "moving_$floor" 1
done

# Where it ran.
{
    echo "cpu $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
    echo "cores $(nproc)"
    echo "wine $("$WINE" --version 2>/dev/null)"
    echo "load $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "date $(date -u '+%Y-%m-%d %H:%M UTC')"
} >"$out/machine.txt"

python3 bench/table.py "$raw" "$out/machine.txt" "$repeats" "$idle_seconds" "$calls" | tee "$out/results.md"
