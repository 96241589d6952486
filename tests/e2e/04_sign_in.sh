# Signing in from the login dialog: a refused password keeps the dialog; the
# right one ends it, and the saved settings remember the number, the auto-login
# choice and the password only when auto-login was chosen. An unreachable
# service is told as a send failure.
source "$(dirname "$0")/lib.sh"
login_prologue

start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys 05512345678
ui keys --title "$login_title" --id 1008 --keys 'abc124{ENTER}'
expect_box 登录 无效账号/密码 "$login_title"
ui wait --title "$login_title" --timeout 0 >/dev/null || fail "a refused login closed the dialog"
ui keys --title "$login_title" --id 1008 --keys "$(erase_keys 6)abc123{ENTER}"
exit_signed_in
log=$(service_commands)
echo "$log"
[ "$log" = $'1000 0\n1002 11000\n1000 0\n1002 0\n1004 0' ] || fail "commands sent"
saved=$(read_settings "$dir/velmarin.dat")
echo "$saved"
grep -qF '<username>05512345678</username><userpwd>737373</userpwd>' <<<"$saved" || fail "default user"
grep -qF '<userlist><user name="05512345678" /></userlist>' <<<"$saved" || fail "user list"
grep -qF '<autologin>false</autologin>' <<<"$saved" || fail "auto-login"

# Another number with auto-login chosen: its password is kept, the list grows at its end.
service POST reset >/dev/null
start_login "$dir"
texts=$(ui texts --title "$login_title")
[ "$(control_text "$texts" 1007)" = 05512345678 ] || fail "the remembered number is not shown: $texts"
ui keys --title "$login_title" --id 1007 --keys "$(erase_keys 11)01087654321"
ui keys --title "$login_title" --id 1008 --keys 密码123
ui click --title "$login_title" --id 1009
[ "$(ui check --title "$login_title" --id 1009)" = 1 ] || fail "auto-login box not checked"
ui keys --title "$login_title" --id 1008 --keys '{ENTER}'
exit_signed_in
[ "$(service_commands)" = $'1000 0\n1002 0\n1004 0' ] || fail "second sign-in"
saved=$(read_settings "$dir/velmarin.dat")
echo "$saved"
grep -qF '<username>01087654321</username><userpwd>密码123</userpwd>' <<<"$saved" || fail "default user"
grep -qF '<userlist><user name="05512345678" /><user name="01087654321" /></userlist>' <<<"$saved" ||
    fail "user list"
grep -qF '<autologin>true</autologin>' <<<"$saved" || fail "auto-login"

# A port nobody listens on.
dead=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
write_settings "$(settings_xml appserver=http://127.0.0.1:$dead)" "$dir/velmarin.dat"
start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys 05512345678
ui keys --title "$login_title" --id 1008 --keys 'abc123{ENTER}'
expect_box 登录 发送失败，请检查网络! "$login_title"
close_login
