# Shared by the end-to-end tests. They run inside the Wine session that
# scripts/run-tests.sh set up; E2E_BIN holds the Windows build's programs and
# E2E_NATIVE_BIN the native tools.
set -euo pipefail
: "${WINE:?run through scripts/run-tests.sh}" "${E2E_BIN:?}" "${E2E_NATIVE_BIN:?}"

fail() { echo "FAIL: $*" >&2; exit 1; }

# A fresh program folder holding the named files of the Windows build.
program_folder() {
    local dir
    dir=$(mktemp -d /tmp/velmarin-e2e.XXXXXX)
    local f
    for f in "$@"; do cp -r "$E2E_BIN/$f" "$dir/"; done
    echo "$dir"
}

# The UI driver. One driver serves the script's commands for each Wine prefix
# and display, over two FIFOs, so that a command costs no Wine process start;
# it ends itself after ui_idle_ms without a command, and one that may be near
# that end is replaced instead of used. UI_SERVE=0: a process per command.
ui_idle_ms=6000
ui() {
    [ "${UI_SERVE:-1}" = 1 ] || { "$WINE" "$E2E_BIN/uidriver.exe" "$@"; return; }
    local dir
    dir=${TMPDIR:-/tmp}/velmarin-ui.$$.$(printf '%s %s' "${WINEPREFIX:-}" "${DISPLAY:-}" | cksum | cut -d' ' -f1)
    ui_serve_ready "$dir" || { "$WINE" "$E2E_BIN/uidriver.exe" "$@"; return; }
    local token=$RANDOM$RANDOM in out line code=""
    exec {in}<>"$dir/in" {out}<>"$dir/out"
    (IFS=$'\x1f'; printf '%s\n' "$token"$'\x1f'"$*") >&$in
    local answer=() part=""
    while :; do
        # A time-out keeps what came of the line so far.
        if ! IFS= read -r -t 2 -u $out line; then
            part+=$line
            kill -0 "$(cat "$dir/pid")" 2>/dev/null && continue
            echo "uidriver: the serving driver ended" >&2
            code=1
            rm -f "$dir/pid"
            break
        fi
        line=$part$line part=""
        case $line in
            $'\x1e'*)
                [ "${line%% *}" = $'\x1e'"$token" ] || { answer=(); continue; }
                code=${line##* }
                break ;;
            *) answer+=("$line") ;;
        esac
    done
    exec {in}>&- {out}>&-
    echo "${EPOCHREALTIME/./}" >"$dir/used"
    for line in ${answer[@]+"${answer[@]}"}; do
        case $line in
            $'\x1d'*) printf '%s\n' "${line#?}" >&2 ;;
            *) printf '%s\n' "$line" ;;
        esac
    done
    return "$code"
}

# Starts the serving driver in dir unless one runs there that was used lately.
ui_serve_ready() { # dir
    local dir=$1 pid="" used=0
    [ -f "$dir/pid" ] && pid=$(cat "$dir/pid")
    [ -f "$dir/used" ] && used=$(cat "$dir/used")
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        [ $((${EPOCHREALTIME/./} - used)) -lt $((ui_idle_ms * 500)) ] && return 0
        kill "$pid" 2>/dev/null
        local i
        for i in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    fi
    mkdir -p "$dir" || return 1
    rm -f "$dir/in" "$dir/out"
    mkfifo "$dir/in" "$dir/out" || return 1
    (exec "$WINE" "$E2E_BIN/uidriver.exe" serve --timeout $ui_idle_ms <>"$dir/in" 1<>"$dir/out" 2>>"$dir/err") &
    echo $! >"$dir/pid"
    echo "${EPOCHREALTIME/./}" >"$dir/used"
}

# The UI driver in the background, its own process in $!, so that kill reaches it.
ui_background() { (exec "$WINE" "$E2E_BIN/uidriver.exe" "$@") & }

# Starts Velmarin.exe in the folder; its pid is in $app_pid.
start_app() { # folder, [working folder]
    (cd "${2:-$1}" && exec "$WINE" "$1/Velmarin.exe") >/dev/null 2>&1 &
    app_pid=$!
}

# Waits for the program to end, failing after the given seconds.
wait_app_end() { # seconds
    local i
    for i in $(seq $(($1 * 10))); do
        kill -0 "$app_pid" 2>/dev/null || { wait "$app_pid" 2>/dev/null || true; return 0; }
        sleep 0.1
    done
    kill "$app_pid" 2>/dev/null || true
    fail "Velmarin did not end within $1 s"
}

# Writes an enciphered settings file from XML text.
write_settings() { # xml text, file
    local xml
    xml=$(mktemp)
    printf '%s' "$1" >"$xml"
    "$E2E_NATIVE_BIN/datfile" encode "$xml" "$2"
    rm -f "$xml"
}

read_settings() { "$E2E_NATIVE_BIN/datfile" decode "$1"; }

# Starts the program in the folder, expects a start-up failure box with the
# text, presses its OK button and waits for the program to end.
expect_start_failure() { # folder, text, [working folder]
    start_app "$1" "${3:-}"
    ui wait --title Velmarin --timeout 20000 >/dev/null || fail "no message box"
    local texts
    texts=$(ui texts --title Velmarin)
    echo "$texts"
    grep -q "$2" <<<"$texts" || fail "message text"
    ui click --title Velmarin --id 1
    wait_app_end 15
}

# ---- The login dialog against the stand-in service ----

login_title=Velmarin登录

# A program folder as installed: program, libraries, theme, an empty ad folder.
login_folder() {
    local dir
    dir=$(program_folder Velmarin.exe Skin.dll res.dll skin)
    mkdir -p "$dir/ad"
    echo "$dir"
}

# The stand-in service's control interface: JSON in and out.
service() { # GET|POST, name[?query], [json body]
    : "${VELMARIN_DEVSERVICE:?address of the stand-in service}"
    local url="http://$VELMARIN_DEVSERVICE/control/$2" body='{}'
    [ $# -ge 3 ] && body=$3
    if [ "$1" = GET ]; then
        curl -sSf "$url"
    else
        curl -sSf -X POST -H 'Content-Type: application/json' --data-binary "$body" "$url"
    fi
}

# "code retn" of each command the service has logged, one a line.
service_commands() { service GET log | jq -r '.commands[] | "\(.code) \(.retn)"'; }

# A complete settings document; NAME=VALUE arguments replace the defaults:
# user and pwd (default user and password), auto (true/false), users (the
# remembered numbers, space-separated), appserver and updserver (default the
# stand-in), lastversion, version, adtime.
settings_xml() {
    local user="" pwd=737373 auto=false users="" lastversion=1.0.0.1 version=1.0.0.1 adtime=""
    local appserver="http://$VELMARIN_DEVSERVICE" updserver="http://$VELMARIN_DEVSERVICE"
    local arg name
    for arg in "$@"; do
        name=${arg%%=*}
        case $name in
            user | pwd | auto | users | lastversion | version | adtime | appserver | updserver)
                printf -v "$name" '%s' "${arg#*=}" ;;
            *) fail "settings_xml: unknown $arg" ;;
        esac
    done
    local list="" u
    for u in $users; do list+="<user name=\"$u\" />"; done
    printf '%s' "<velmarin><userinfo><defaultuser><username>$user</username><userpwd>$pwd</userpwd></defaultuser><userlist>$list</userlist></userinfo><loginset><autologin>$auto</autologin></loginset><hotkeyset><allowhotkey>1</allowhotkey><ctrlkey>1</ctrlkey><shiftkey>0</shiftkey><altkey>1</altkey><codekey>Z</codekey></hotkeyset><serverinfo><appserver>$appserver</appserver><updserver>$updserver</updserver></serverinfo><updateinfo><lastversion>$lastversion</lastversion><version>$version</version><adtime>$adtime</adtime><filelist /></updateinfo><soundset><isopen>false</isopen><soundlist /></soundset></velmarin>"
}

# Ends the program if it still runs: for the scripts' exit traps.
stop_app() {
    [ -n "${app_pid:-}" ] || return 0
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# Starts the program in the folder and waits for its login dialog.
start_login() { # folder
    start_app "$1"
    ui wait --title "$login_title" --timeout 20000 >/dev/null || fail "no login dialog"
}

# The text of the control with the id in the output of "ui texts".
control_text() { # texts, id
    awk -F'\t' -v id="$2" 'NR > 1 && $2 == id { print $3; exit }' <<<"$1"
}

# Expects a message box with the caption and the text, owned by the window
# titled as the third argument when one is given; closes it with OK.
expect_box() { # caption, text, [owner title]
    ui wait --title "$1" --timeout 20000 >/dev/null || fail "no box captioned \"$1\" (expected \"$2\")"
    local texts
    texts=$(ui texts --title "$1")
    echo "$texts"
    grep -qF -- "$2" <<<"$texts" || fail "the box \"$1\" does not say \"$2\""
    if [ $# -ge 3 ]; then
        [ "$(ui owner --title "$1")" = "$3" ] || fail "the box \"$1\" is not owned by \"$3\""
    fi
    ui click --title "$1" --id 1 || fail "no OK in the box \"$1\""
    ui gone --title "$1" --timeout 15000 || fail "the box \"$1\" stayed"
}

# Closes the login dialog with its close button and waits for the program to end.
close_login() {
    ui click --title "$login_title" --id 1001 || fail "no close button"
    wait_app_end 20
}

# Keys that erase a box's text of up to n characters: {END} and n {BACKSPACE}.
erase_keys() { # n
    local keys="{END}" i
    for ((i = 0; i < $1; i++)); do keys+="{BACKSPACE}"; done
    printf '%s' "$keys"
}

# ---- The main window and the session ----

main_title=Velmarin
session_user=05512345678
session_password=abc123

# Settings that sign the built-in user in at start-up.
write_auto_login() { # folder, [more settings_xml arguments]
    local dir=$1
    shift
    write_settings "$(settings_xml user=$session_user pwd=$session_password auto=true "$@")" "$dir/velmarin.dat"
}

# Starts the program (signing in by itself) and waits for the wait window over
# the main window; the main window's handle is in $main_window.
start_session() { # folder
    start_app "$1"
    await_main_window
}

# After a sign-in: waits for the wait window over the main window; $main_window.
await_main_window() {
    ui wait --title loading --timeout 20000 >/dev/null || fail "no wait window after sign-in"
    main_window=$(ui list | awk -F'\t' -v t="$main_title" '$2 == "#32770" && $3 == t && $4 == 1 { print $1; exit }')
    [ -n "$main_window" ] || fail "no main window under the wait window"
}

# Under Wine no page loads: close the wait window and start the session as the page would.
page_loaded() {
    ui close --title loading >/dev/null
    ui gone --title loading --timeout 15000 || fail "the wait window stayed"
    ui send --title "$main_title" --class '#32770' --message 1224 >/dev/null || fail "WM_START_SESSION unanswered"
}

# "handle class title" of each visible top-level window.
visible_windows() { ui list | awk -F'\t' '$4 == 1 { print $1 "\t" $2 "\t" $3 }'; }

# Waits for a visible "Velmarin" box other than the main window; prints its handle.
wait_main_box() { # seconds
    local end=$((SECONDS + $1)) h
    while :; do
        h=$(visible_windows | awk -F'\t' -v t="$main_title" -v m="${main_window:-}" \
            '$2 == "#32770" && $3 == t && $1 != m { print $1; exit }')
        [ -n "$h" ] && { echo "$h"; return 0; }
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}

# Waits until the window with the handle is no longer visible.
wait_handle_gone() { # handle, seconds
    local end=$((SECONDS + $2))
    while visible_windows | grep -q "^$1"$'\t'; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}

# Expects a "Velmarin" box (not the main window) saying the text; presses the
# button with the id (default: OK) and waits for the box to go.
expect_main_box() { # text, [button id]
    local h texts
    h=$(wait_main_box 20) || fail "no box saying \"$1\""
    texts=$(ui texts --title "$main_title")
    echo "$texts"
    grep -qF -- "$1" <<<"$texts" || fail "the box does not say \"$1\""
    ui click --title "$main_title" --id "${2:-1}" || fail "no button ${2:-1} in the box \"$1\""
    wait_handle_gone "$h" 15 || fail "the box \"$1\" stayed"
}

# The tray menu's commands, sent as the menu would; a box opened by the command
# keeps the message unanswered, hence the short wait.
tray_command() { # id
    ui send --title "$main_title" --class '#32770' --message 273 --wparam "$1" --timeout 1500 >/dev/null 2>&1 || true
}
tray_exit() { tray_command 32783; }
tray_settings() { tray_command 32782; }

# Blocks until the log holds count entries of the code from index since on.
service_wait() { # code, count, since, seconds
    service POST wait "{\"code\": \"$1\", \"count\": $2, \"since\": $3, \"timeout\": $4}" | jq -e .complete >/dev/null
}

# Number of entries in the service's log.
log_length() { service GET log | jq '.commands | length'; }

# Number of logged commands of the code.
count_code() { service_commands | awk -v c="$1" '$1 == c' | wc -l; }

# Waits for the captionless notice popup; prints its texts.
notice_texts() {
    ui wait --title '' --class '#32770' --timeout 20000 >/dev/null || fail "no notice popup"
    ui texts --title '' --class '#32770'
}

# After a sign-in: the main window comes up; exit from the tray, answer Yes and
# wait for the program to end (it logs out and saves the settings).
exit_signed_in() {
    await_main_window
    tray_exit
    expect_main_box 是否退出Velmarin客户端？ 6
    wait_app_end 30
}

# The prologues, one per kind of script. Each leaves its folder in $dir and
# sets the exit trap: the program ends, each command given to also_on_exit
# runs, then the folders go.
exit_commands=()
also_on_exit() { exit_commands+=("$1"); }
prologue_trap() { # folders
    exit_folders=("$@")
    trap 'stop_app; for c in ${exit_commands[@]+"${exit_commands[@]}"}; do eval "$c" || true; done; rm -rf "${exit_folders[@]}"' EXIT
}

# A program folder of the named files and no settings; no service.
folder_prologue() { # files
    dir=$(program_folder "$@")
    prologue_trap "$dir"
}

# An installed program folder before sign-in, the stand-in reset; settings
# from settings_xml's arguments unless the first argument is --no-settings.
login_prologue() { # [--no-settings | settings_xml arguments]
    dir=$(login_folder)
    prologue_trap "$dir"
    service POST reset >/dev/null
    [ "${1:-}" = --no-settings ] || write_settings "$(settings_xml "$@")" "$dir/velmarin.dat"
}

# Signed in by itself, the page stood in for, and the first heartbeat answered.
session_prologue() {
    login_prologue --no-settings
    write_auto_login "$dir"
    start_session "$dir"
    page_loaded
    service_wait 9999 1 0 15 || fail "no heartbeat"
}
