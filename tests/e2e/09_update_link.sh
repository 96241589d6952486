# The update notice shows only when the last version differs from the
# installed one; clicking it starts clientupdate.exe with "para" and the
# program ends.
source "$(dirname "$0")/lib.sh"
login_prologue --no-settings
cp "$E2E_BIN/clientupdate_stub.exe" "$dir/clientupdate.exe"

write_settings "$(settings_xml lastversion=1.0.0.1 version=1.0.0.1)" "$dir/velmarin.dat"
start_login "$dir"
texts=$(ui texts --title "$login_title")
grep -qF 程序已升级 <<<"$texts" && fail "update notice shown for the same version: $texts"
close_login

write_settings "$(settings_xml lastversion=1.0.0.2 version=1.0.0.1)" "$dir/velmarin.dat"
start_login "$dir"
texts=$(ui texts --title "$login_title")
[ "$(control_text "$texts" 1015)" = 程序已升级，请单击更新！ ] || fail "no update notice: $texts"
ui press --title "$login_title" --id 1015
wait_app_end 20
for _ in $(seq 100); do [ -s "$dir/clientupdate.log" ] && break; sleep 0.1; done
[ -s "$dir/clientupdate.log" ] || fail "clientupdate.exe did not run"
cat "$dir/clientupdate.log"
[ "$(wc -l <"$dir/clientupdate.log")" = 1 ] || fail "clientupdate.exe ran more than once"
grep -qE '(^|[" ])para$' "$dir/clientupdate.log" || fail "clientupdate.exe was not given \"para\""
[ -z "$(service_commands)" ] || fail "the update link signed in"
