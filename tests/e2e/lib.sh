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

ui() { "$WINE" "$E2E_BIN/uidriver.exe" "$@"; }

# Starts Velmarin.exe in the folder; its pid is in $app_pid.
start_app() { # folder
    (cd "$1" && exec "$WINE" Velmarin.exe) >/dev/null 2>&1 &
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
expect_start_failure() { # folder, text
    start_app "$1"
    ui wait --title Velmarin --timeout 20000 >/dev/null || fail "no message box"
    local texts
    texts=$(ui texts --title Velmarin)
    echo "$texts"
    grep -q "$2" <<<"$texts" || fail "message text"
    ui click --title Velmarin --id 1
    wait_app_end 15
}
