# Windows signing the user out or shutting down: before the program answers
# the end of the session it has stopped, logged out (briefly, even from a
# service that does not answer) and saved what the session changed, for
# Windows may end it the moment it answers. A settings plug-in without its
# entry point is told.
source "$(dirname "$0")/lib.sh"
login_prologue --no-settings

# Sends WM_QUERYENDSESSION and WM_ENDSESSION (ending) as Windows does; fails
# when the program refuses or takes longer than the seconds given to answer.
end_session() { # seconds
    local answer
    answer=$(ui send --title "$main_title" --class '#32770' --message 17 --timeout 5000) ||
        fail "WM_QUERYENDSESSION unanswered"
    [ "$answer" != 0 ] || fail "the program refused the end of the session"
    ui send --title "$main_title" --class '#32770' --message 22 --wparam 1 --timeout $(($1 * 1000)) >/dev/null ||
        fail "WM_ENDSESSION not answered within $1 s"
}

# Signed in by hand with auto-login ticked: only the program knows that yet.
service POST reset >/dev/null
write_settings "$(settings_xml)" "$dir/velmarin.dat"
start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys 05512345678
ui keys --title "$login_title" --id 1008 --keys abc123
ui click --title "$login_title" --id 1009
ui keys --title "$login_title" --id 1008 --keys '{ENTER}'
await_main_window
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat"
end_session 10
saved=$(read_settings "$dir/velmarin.dat")
echo "$saved"
grep -qF '<username>05512345678</username><userpwd>abc123</userpwd>' <<<"$saved" || fail "default user not saved"
grep -qF '<autologin>true</autologin>' <<<"$saved" || fail "auto-login not saved"
[ "$(count_code 1004)" = 1 ] || fail "no sign-out"
since=$(log_length)
sleep 7
[ "$(log_length)" = "$since" ] || fail "commands after the sign-out: $(service_commands | tail -n +$((since + 1)))"
stop_app

# A service that holds the logout's answer does not hold the end of the session.
service POST reset >/dev/null
service POST fault '{"fault": "delay", "code": "1004", "seconds": 12}' >/dev/null
start_session "$dir"
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat"
start=$(date +%s%N)
end_session 8
took=$((($(date +%s%N) - start) / 1000000))
echo "answered the end of the session after $took ms with the logout unanswered"
((took < 4500)) || fail "the logout held the end of the session for $took ms"
read_settings "$dir/velmarin.dat" | grep -qF '<autologin>true</autologin>' || fail "settings lost"
stop_app

# A plug-in that lacks its entry point: the box, and the window stays.
cp "$E2E_BIN/res.dll" "$dir/config.dll"
service POST reset >/dev/null
start_session "$dir"
page_loaded
tray_settings
expect_box 错误 加载Config.dll函数失败！
ui wait --title "$main_title" --class '#32770' --timeout 0 >/dev/null || fail "the main window went with the error"
