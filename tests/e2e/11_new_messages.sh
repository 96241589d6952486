# Messages queued for the user reach the page one by one (under Wine each
# fails with a box), then one notice counts those that are not of kinds 3 and
# 4. Exit from the tray signs out once and saves the settings at shutdown.
source "$(dirname "$0")/lib.sh"
login_prologue

# Signed in from the dialog: the number is remembered but written only at shutdown.
start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys "$session_user"
ui keys --title "$login_title" --id 1008 --keys "$session_password{ENTER}"
await_main_window
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat"
grep -qF '<userlist />' <<<"$(read_settings "$dir/velmarin.dat")" || fail "settings written before shutdown"

# Another program sends the heartbeat's two messages with forged pointers:
# the window reads nothing through them and lives on.
for message in 1125 1126; do
    ui send --handle "$main_window" --message $message --wparam 16 --lparam 3735928559 >/dev/null ||
        fail "forged message $message unanswered"
done
[ -z "$(wait_main_box 1)" ] || fail "a forged message showed a box"

service POST messages "{\"user\": \"$session_user\", \"messages\": [
    [\"101\", \"13800000000\", \"2024-01-01 10:00:00\", \"你好\", \"0\"],
    [\"102\", \"13800000001\", \"2024-01-01 10:00:01\", \"receipt\", \"4\"]]}" >/dev/null
expect_main_box 函数GetJScrip调用失败！
expect_main_box 函数GetJScrip调用失败！
texts=$(notice_texts)
echo "$texts"
[ "$(control_text "$texts" 1013)" = "您的Velmarin有(1)条新消息！" ] || fail "notice text"
popups=$(visible_windows | awk -F'\t' '$2 == "#32770" && $3 == ""' | wc -l)
[ "$popups" = 1 ] || fail "$popups notice popups"
[ -z "$(wait_main_box 1)" ] || fail "a third box"
[ "$(service GET log | jq '[.commands[] | select(.code == "9999" and .retn == "0")] | length')" = 1 ] ||
    fail "the messages did not come in one heartbeat"

tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30
log=$(service_commands)
echo "$log"
[ "$(count_code 1004)" = 1 ] || fail "not one sign-out"
[ "$(tail -n 1 <<<"$log")" = "1004 0" ] || fail "commands after the sign-out"
saved=$(read_settings "$dir/velmarin.dat")
echo "$saved"
grep -qF "<userlist><user name=\"$session_user\" /></userlist>" <<<"$saved" || fail "settings not saved at shutdown"
