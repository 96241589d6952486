# Auto-login: with a valid stored account the program signs in during start-up
# and never shows the login dialog; with a refused one it says so, then shows
# the dialog with the number filled in and auto-login unchecked.
source "$(dirname "$0")/lib.sh"
login_prologue --no-settings
watch_pid=""
also_on_exit '[ -z "$watch_pid" ] || kill "$watch_pid" 2>/dev/null'

# Watches Velmarin.exe from its start to its end; "ui never" prints once it looks.
start_watched() { # [window options]
    ui_background never "$@" --while Velmarin.exe --timeout 60000 >"$dir/watch.out" 2>&1
    watch_pid=$!
    for _ in $(seq 100); do grep -q watching "$dir/watch.out" && break; sleep 0.1; done
    start_app "$dir"
}
watch_result() {
    local rc=0
    wait "$watch_pid" || rc=$?
    watch_pid=""
    cat "$dir/watch.out"
    return $rc
}

service POST reset >/dev/null
write_settings "$(settings_xml user=05512345678 pwd=abc123 auto=true users=05512345678)" "$dir/velmarin.dat"
start_watched --title "$login_title"
exit_signed_in
watch_result || fail "the login dialog showed during auto-login"
log=$(service_commands)
echo "$log"
[ "$log" = $'1000 0\n1002 0\n1004 0' ] || fail "auto-login did not sign in"
grep -qF '<userpwd>abc123</userpwd>' <<<"$(read_settings "$dir/velmarin.dat")" || fail "stored password lost"

service POST reset >/dev/null
write_settings "$(settings_xml user=05512345678 pwd=abc124 auto=true users=05512345678)" "$dir/velmarin.dat"
start_watched
expect_box 登录 无效账号/密码
ui wait --title "$login_title" --timeout 20000 >/dev/null || fail "no dialog after the refused auto-login"
! watch_result >/dev/null || fail "the watch missed the windows"
texts=$(ui texts --title "$login_title")
[ "$(control_text "$texts" 1007)" = 05512345678 ] || fail "number not filled in: $texts"
[ "$(ui check --title "$login_title" --id 1009)" = 0 ] || fail "auto-login box checked"
[ "$(service_commands)" = $'1000 0\n1002 11000' ] || fail "commands of the refused auto-login"
close_login
