# The login dialog's hints and input checks: each check in its order, in a box
# owned by the dialog, after which the dialog stays with the focus where the
# next key goes; Escape leaves the dialog open. Nothing reaches the service.
source "$(dirname "$0")/lib.sh"
login_prologue
start_login "$dir"

# An empty box shows its hint while the other one has the focus.
ui focus --title "$login_title" --id 1008
texts=$(ui texts --title "$login_title")
[ "$(control_text "$texts" 1007)" = 请输入带区号号码 ] || fail "number hint: $texts"
[ -z "$(control_text "$texts" 1008)" ] || fail "the focused password box kept its hint: $texts"
ui focus --title "$login_title" --id 1007
texts=$(ui texts --title "$login_title")
[ -z "$(control_text "$texts" 1007)" ] || fail "the focused number box kept its hint: $texts"
[ "$(control_text "$texts" 1008)" = 请输入密码 ] || fail "password hint: $texts"

# The hint counts as no number; after each number box the focus is back in it.
ui focus --title "$login_title" --id 1008
ui keys --title "$login_title" --keys '{ENTER}'
expect_box 用户登录 请输入用户账号！ "$login_title"
ui keys --title "$login_title" --keys '0551234567{ENTER}'
expect_box 用户登录 请输入带区号的11位号码！ "$login_title"
ui keys --title "$login_title" --keys "$(erase_keys 10)55123456789{ENTER}"
expect_box 用户登录 需输入带0的区号！ "$login_title"
# The password box shows its hint, then, focused after the box, is empty.
ui keys --title "$login_title" --keys "$(erase_keys 11)05512345678{ENTER}"
expect_box 参数输入 请输入用户密码！ "$login_title"
ui keys --title "$login_title" --keys '{ENTER}'
expect_box 参数输入 请输入用户密码！ "$login_title"

ui keys --title "$login_title" --keys '{ESC}'
sleep 0.5
ui wait --title "$login_title" --timeout 0 >/dev/null || fail "Escape closed the dialog"

[ -z "$(service_commands)" ] || fail "input that failed its checks reached the service"
close_login
