# The fault matrix: the real program, signed in against the stand-in with its
# session started, meets one fault of the network or the service after the
# other, each for a couple of heartbeat cycles. Throughout, the UI driver pings
# the main window; after each fault the heartbeat must be back within a cycle;
# at the end the exit must still log out and save the settings. verdict.py
# judges the stand-in's log and prints the table (build/test-logs/faults.md).
# FAULTS_TLS=1: the program talks to the stand-in's HTTPS port and meets the
# transport's faults under TLS: a refused connect, a stall, a close mid-reply.
source "$(dirname "$0")/../e2e/lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
table=${FAULTS_TABLE:-$here/../../build/test-logs/faults.md}
mkdir -p "$(dirname "$table")"
dir=$(login_folder)
work=$(mktemp -d /tmp/velmarin-faults.XXXXXX)
ping_pid=""
finish() {
    stop_app
    [ -z "$ping_pid" ] || kill "$ping_pid" 2>/dev/null || true
    rm -rf "$dir" "$work"
}
trap finish EXIT
trap 'exit 1' TERM INT

box_text=函数GetJScrip调用失败！
tls=${FAULTS_TLS:-0}
over=""
[ "$tls" = 1 ] && over=" over TLS"
# Each faulty heartbeat the stand-in is given; "several cycles".
cycles=2

now_ms() { date +%s%3N; }
alive() { kill -0 "$app_pid" 2>/dev/null && echo 1 || echo 0; }

# One line of the timeline: fault (as the stand-in logs it), label, kind
# (count, outage, messages), on and off (epoch ms; "-": from the log), the
# seconds the client waits on each faulty call, whether the program lives.
record() { printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$@" "$(alive)" >>"$work/timeline.tsv"; }

# Waits until the stand-in has used up the faults it was given.
await_used_up() { # seconds
    local end=$((SECONDS + $1))
    until [ "$(service GET state | jq '.faults | length')" = 0 ]; do
        [ $SECONDS -lt $end ] || fail "$label: the faults were not used up within $1 s"
        sleep 0.3
    done
}

# Waits for a heartbeat the stand-in answered as usual, logged from index since on.
await_good_beat() { # since, seconds
    local end=$((SECONDS + $2))
    until service GET "log?since=$1" | jq -e '[.commands[] | select(.code == "9999" and .fault == null
            and .status == 200 and .committed and .path == "/serv/clientservice.asmx")] | length > 0' >/dev/null; do
        [ $SECONDS -lt $end ] || fail "$label: no heartbeat within $2 s after the fault"
        kill -0 "$app_pid" 2>/dev/null || fail "$label: the program ended"
        sleep 0.3
    done
}

# A fault of the stand-in's Entry replies, on for $cycles heartbeats.
count_fault() { # fault, label, [client wait on each call, extra JSON]
    label=$2$over
    echo "== $label"
    local on
    on=$(now_ms)
    service POST fault "{\"fault\": \"$1\", \"count\": $cycles, \"code\": \"9999\"${4:+, $4}}" >/dev/null
    await_used_up $((cycles * 20 + 10))
    await_good_beat "$(log_length)" 30
    record "$1" "$label" count "$on" - "${3:-0}"
}

# The service stopped: every connection cut, new ones refused, for two cycles.
outage() {
    label="service stopped (connection refused)$over"
    echo "== $label"
    local on off
    on=$(now_ms)
    service POST outage '{"seconds": 11}' >/dev/null
    sleep 2
    until service GET state >/dev/null 2>&1; do sleep 0.2; done
    off=$(now_ms)
    await_good_beat "$(log_length)" 30
    record outage "$label" outage "$on" "$off" 0
}

# Messages the program must skip: fewer than five fields. Nothing reaches the page.
short_messages() {
    label="messages of fewer than five fields"
    echo "== $label"
    local on since
    on=$(now_ms)
    since=$(log_length)
    service POST messages "{\"user\": \"$session_user\", \"messages\": [\"1;2;3\", \"a;b;c;0\", \"\", \"x\"]}" >/dev/null
    service_wait 9999 1 "$since" 15 || fail "$label: no heartbeat"
    await_good_beat "$(log_length)" 30
    [ -z "$(wait_main_box 1)" ] || fail "$label: a message reached the page"
    record messages "$label" messages "$on" - 0
}

# One reply of 5 000 messages, the last fault: each message goes to the page,
# which under Wine has no script, so each brings the bridge's box and waits
# for it to be closed (about a second each here: hours for all of them). A few
# are closed, each followed by the next; then the user exits in the middle of
# the delivery, which must log out, save and end without the rest.
flood_then_exit() {
    local n=5000 shown=5
    label="$n messages in one reply"
    echo "== $label"
    local on off closed
    python3 -c "import json,sys; print(json.dumps({'user': sys.argv[1], 'messages':
        [[str(i), '13800000000', '10:00', 'm%d' % i, '0'] for i in range($n)]}))" "$session_user" >"$work/many.json"
    on=$(now_ms)
    service POST messages "@$work/many.json" >/dev/null
    closed=$(ui dismiss --title "$main_title" --class '#32770' --text "$box_text" --id 1 --count $shown \
        --timeout 20000) || fail "$label: the boxes stopped"
    [ "$closed" = $shown ] || fail "$label: $closed boxes"
    wait_main_box 20 >/dev/null || fail "$label: the delivery stopped after $shown messages"
    off=$(now_ms)
    record messages "$label" flood "$on" "$off" 0
    echo "== exit during the delivery"
    # The tray menu's exit, to the main window by its handle: a box on top
    # carries the same title and class.
    ui send --handle "$main_window" --message 273 --wparam 32783 --timeout 1500 >/dev/null 2>&1 || true
    ui dismiss --title "$main_title" --class '#32770' --text 是否退出Velmarin客户端？ --id 6 --count 1 \
        --timeout 20000 >/dev/null || fail "no exit question"
    wait_app_end 40
}

# The tray menu's exit, answered Yes: logs out and saves.
exit_now() {
    echo "== exit"
    ui send --handle "$main_window" --message 273 --wparam 32783 --timeout 1500 >/dev/null 2>&1 || true
    ui dismiss --title "$main_title" --class '#32770' --text 是否退出Velmarin客户端？ --id 6 --count 1 \
        --timeout 20000 >/dev/null || fail "no exit question"
    wait_app_end 40
}

# Without a window manager Wine waits 2 s for one whenever a captioned window
# hides, in the thread that hides it: the program's own windows are left to
# Wine for this run, so that the watch sees the program and not that wait.
managed_key='HKCU\Software\Wine\AppDefaults\Velmarin.exe\X11 Driver'
"$WINE" reg add "$managed_key" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || fail "cannot set $managed_key"
trap 'finish; "$WINE" reg delete "$managed_key" /f >/dev/null 2>&1 || true' EXIT

service POST reset >/dev/null
if [ "$tls" = 1 ]; then
    : "${VELMARIN_DEVSERVICE_TLS:?the HTTPS port of the stand-in, from scripts/test-pool.sh}"
    write_auto_login "$dir" appserver=https://$VELMARIN_DEVSERVICE_TLS updserver=https://$VELMARIN_DEVSERVICE_TLS
else
    write_auto_login "$dir"
fi
before=$(stat -c '%i %Y' "$dir/velmarin.dat")
start_session "$dir"
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat after the session started"
ui_background ping --handle "$main_window" --every 200 --limit 1000 --timeout 1800000 >"$work/ping.txt" 2>&1
ping_pid=$!

outage
count_fault delay "reply stalled past the 10 s time-out" 10 '"seconds": 12'
if [ "$tls" = 1 ]; then
    count_fault close_mid_body "connection closed mid-body"
    exit_now
else
    count_fault close_mid_header "connection closed mid-header"
    count_fault close_mid_body "connection closed mid-body"
    count_fault connection_close "Connection: close on every reply"
    count_fault bad_chunked "malformed chunked body"
    count_fault interim_100 "100 Continue before the reply"
    count_fault redirect_loop "redirect loop"
    count_fault status_500 "HTTP 500 with a SOAP fault"
    count_fault status_202 "202 with no body"
    count_fault malformed_xml "malformed XML"
    count_fault wrong_key "reply enciphered under a wrong key"
    short_messages
    count_fault oversize "reply larger than the client's cap"
    flood_then_exit
fi

exit_problems=""
wait "$ping_pid" 2>/dev/null || true
ping_pid=""
after=$(stat -c '%i %Y' "$dir/velmarin.dat")
[ "$after" != "$before" ] || exit_problems+="settings not saved;"
grep -qF "<username>$session_user</username>" <<<"$(read_settings "$dir/velmarin.dat")" ||
    exit_problems+="saved settings lost the user;"

service GET log >"$work/log.json"
python3 "$here/verdict.py" --log "$work/log.json" --ping "$work/ping.txt" --timeline "$work/timeline.tsv" \
    --exit "$exit_problems" --table "$table" --tls "$tls"
