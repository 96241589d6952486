# A newer version reported by the first version query is announced in the
# notice popup and remembered as the last version at shutdown; the next login
# dialog then offers the update.
source "$(dirname "$0")/lib.sh"
login_prologue

start_login "$dir"
texts=$(ui texts --title "$login_title")
[ -z "$(control_text "$texts" 1015)" ] || fail "an update offered before any: $texts"
ui keys --title "$login_title" --id 1007 --keys "$session_user"
ui keys --title "$login_title" --id 1008 --keys "$session_password{ENTER}"
await_main_window
service POST version '{"version": "1.0.0.2"}' >/dev/null
page_loaded
texts=$(notice_texts)
echo "$texts"
grep -qF Velmarin客户端已升级，请重新登录进行更新！ <<<"$texts" || fail "no upgrade notice"
service GET log | jq -e '[.commands[] | select(.code == "1005")] | length == 1' >/dev/null || fail "not one version query"

tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30
saved=$(read_settings "$dir/velmarin.dat")
echo "$saved"
grep -qF '<lastversion>1.0.0.2</lastversion>' <<<"$saved" || fail "last version not saved"
grep -qF '<version>1.0.0.1</version>' <<<"$saved" || fail "installed version changed"

start_login "$dir"
texts=$(ui texts --title "$login_title")
echo "$texts"
[ "$(control_text "$texts" 1015)" = 程序已升级，请单击更新！ ] || fail "the login dialog does not offer the update"
close_login
