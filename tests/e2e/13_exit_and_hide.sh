# The tray's commands while signed in: a missing settings plug-in is reported,
# exit asks first and "No" changes nothing, "Yes" signs out and ends. Closing
# the main window only hides it: the session goes on in the background.
source "$(dirname "$0")/lib.sh"
session_prologue

tray_settings
expect_box 错误 加载Config.dll失败，请检查该文件是否存在！
ui wait --title "$main_title" --class '#32770' --timeout 0 >/dev/null || fail "the main window went with the error"

tray_exit
expect_main_box 是否退出Velmarin客户端？ 7
since=$(log_length)
service_wait 9999 1 "$since" 10 || fail "no heartbeat after declining exit"
kill -0 "$app_pid" 2>/dev/null || fail "declining exit ended the program"
[ "$(count_code 1004)" = 0 ] || fail "declining exit signed out"

tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30
[ "$(count_code 1004)" = 1 ] || fail "not one sign-out"
[ "$(service_commands | tail -n 1)" = "1004 0" ] || fail "commands after the sign-out"

# Closing hides; the hidden program still beats and still obeys the service.
service POST reset >/dev/null
start_session "$dir"
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat"
ui close --title "$main_title" --class '#32770' >/dev/null
ui gone --title "$main_title" --class '#32770' --timeout 15000 || fail "closing did not hide the main window"
since=$(log_length)
service_wait 9999 2 "$since" 15 || fail "no heartbeats while hidden"
kill -0 "$app_pid" 2>/dev/null || fail "closing ended the program"
[ "$(count_code 1004)" = 0 ] || fail "closing signed out"
windows=$(ui list)
grep -q "^$main_window"$'\t#32770\t'"$main_title"$'\t0$' <<<"$windows" || fail "the main window $main_window was destroyed: $windows"
service POST session "{\"user\": \"$session_user\", \"action\": \"elsewhere\"}" >/dev/null
expect_main_box 您的帐号在另一地点登录，您已被迫下线！
wait_app_end 30
