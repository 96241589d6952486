# A user's whole journey from a fresh Wine prefix: install silently, start the
# installed program from another folder, sign in, get a message, bring the
# window forward with the hot key, exit with a logout, learn of a newer version,
# update through the login dialog's link (the updater checks the newer build's
# signed manifest, installs it and starts it with the settings kept), and
# uninstall without a trace but for a file of the user's.
source "$(dirname "$0")/lib.sh"
: "${E2E_ROOT:?the build root, holding win and win-next}"
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/velmarin-journey.XXXXXX)
# Its own prefix and home: the installer writes into the user's folders.
export WINEPREFIX=$work/prefix HOME=$work/home
mkdir -p "$HOME" "$work/elsewhere"
source "$top/scripts/wine-env.sh"
cleanup() { stop_app; wineserver_cmd -k; rm -rf "$work"; }
trap cleanup EXIT
step() { echo "== $*"; }

step "two installers for the stand-in service: this build and the next, signed"
server=http://$VELMARIN_DEVSERVICE
setup1=$("$top/scripts/package.sh" --build "$E2E_ROOT/win" --server "$server" --out "$work/v1")
setup2=$("$top/scripts/package.sh" --build "$E2E_ROOT/win-next" --server "$server" --out "$work/v2" \
    --sign-key "$E2E_ROOT/release-key/release.key")
[ -s "$setup2.manifest" ] && [ -s "$setup2.manifest.sig" ] || fail "no signed manifest beside $setup2"
version1=$(basename "$setup1" | sed 's/^Velmarin-\(.*\)-setup\.exe$/\1/')
version2=$(basename "$setup2" | sed 's/^Velmarin-\(.*\)-setup\.exe$/\1/')
echo "$version1 -> $version2"
[ "$version1" != "$version2" ] || fail "the next build has the same version"

step "silent install into a fresh prefix"
wine_prefix
service POST reset >/dev/null
"$WINE" "$setup1" /S || fail "the installer failed"
install=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/Programs/Velmarin)
for f in Velmarin.exe Skin.dll res.dll config.dll clientupdate.exe velmarin.dat skin/theme.ini uninstall.exe; do
    [ -f "$install/$f" ] || fail "not installed: $f"
done
[ -d "$install/ad" ] || fail "no ad folder"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmarin'
registered() { "$WINE" reg query "$uninstall_key" 2>/dev/null | tr -d '\r'; }
registered | grep -q "DisplayVersion.*$version1" || fail "not registered as $version1"
read_settings "$install/velmarin.dat" | grep -qF "<version>$version1</version>" || fail "installed settings lack the version"

# From another working folder: the program finds its files by its own folder.
start_installed() {
    (cd "$work/elsewhere" && exec "$WINE" "$install/Velmarin.exe") >/dev/null 2>&1 &
    app_pid=$!
}
sign_in() {
    ui wait --title "$login_title" --timeout 30000 >/dev/null || fail "no login dialog"
    ui keys --title "$login_title" --id 1007 --keys "$(erase_keys 11)$session_user"
    ui keys --title "$login_title" --id 1008 --keys "$session_password{ENTER}"
    await_main_window
}

step "sign in from another folder"
start_installed
sign_in
page_loaded
[ "$(count_code 1002)" = 1 ] || fail "not one login at the stand-in"

step "a message queued at the stand-in reaches a notice"
service POST messages "{\"user\": \"$session_user\", \"messages\": [[\"1\", \"13900000000\", \"10:00\", \"你好\", \"0\"]]}" >/dev/null
expect_main_box 函数GetJScrip调用失败！
texts=$(notice_texts)
echo "$texts"
grep -qF '您的Velmarin有(1)条新消息！' <<<"$texts" || fail "no notice of one message"

step "the installed hot key ctrl+E is the main window's and brings it forward"
[ "$(ui hotkey --keys ctrl+E)" = taken ] || fail "the hot key of the settings is not registered"
ui activate --title '' --class '#32770' || fail "the notice did not come forward"
[ "$(ui foreground)" != "$main_window" ] || fail "the main window is still in front"
# WM_HOTKEY with the program's id, as the system sends it for the chord.
ui send --title "$main_title" --class '#32770' --message 786 --wparam 1234 >/dev/null
[ "$(ui foreground)" = "$main_window" ] || fail "the hot key did not bring the main window forward"

step "exit from the tray with a logout"
tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30
[ "$(count_code 1004)" = 1 ] || fail "not one logout"
saved=$(read_settings "$install/velmarin.dat")
grep -qF "<user name=\"$session_user\" />" <<<"$saved" || fail "the number was not remembered: $saved"

step "the stand-in announces $version2: one upgrade notice"
service POST version "{\"version\": \"$version2\"}" >/dev/null
start_installed
sign_in
page_loaded
texts=$(notice_texts)
grep -qF Velmarin客户端已升级，请重新登录进行更新！ <<<"$texts" || fail "no upgrade notice: $texts"
tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30
read_settings "$install/velmarin.dat" | grep -qF "<lastversion>$version2</lastversion>" || fail "last version not saved"

step "the next start offers the update; its link installs $version2 and starts it"
service POST installer "{\"path\": \"$setup2\"}" >/dev/null
start_installed
ui wait --title "$login_title" --timeout 30000 >/dev/null || fail "no login dialog"
texts=$(ui texts --title "$login_title")
[ "$(control_text "$texts" 1015)" = 程序已升级，请单击更新！ ] || fail "no update link: $texts"
ui press --title "$login_title" --id 1015
wait_app_end 30
# The updater starts the new version, which shows its login dialog.
ui wait --title "$login_title" --timeout 120000 >/dev/null || fail "the updated program did not start"
service GET log | jq -e '.installer_downloads | length == 1 and .[0].complete' >/dev/null || fail "not one whole download"
registered | grep -q "DisplayVersion.*$version2" || fail "not registered as $version2"
saved=$(read_settings "$install/velmarin.dat")
echo "$saved"
grep -qF "<version>$version2</version>" <<<"$saved" || fail "installed version not updated"
grep -qF "<user name=\"$session_user\" />" <<<"$saved" || fail "the remembered number was lost"
grep -qF "<codekey>E</codekey>" <<<"$saved" || fail "the hot key was lost"
texts=$(ui texts --title "$login_title")
echo "$texts"
[ -z "$(control_text "$texts" 1015)" ] || fail "the update is still offered"
[ "$(control_text "$texts" 1007)" = "$session_user" ] || fail "the remembered number is not offered"
# The updater started it: no app_pid of ours; close it and wait for it to go.
ui click --title "$login_title" --id 1001 || fail "no close button"
ui gone --title "$login_title" --timeout 20000 || fail "the login dialog stayed"
# Every process of this prefix ends before the uninstaller runs.
timeout 60 "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -w || true

step "uninstall leaves nothing behind but the user's own file"
echo mine >"$install/skin/notes.txt"
"$WINE" "$install/uninstall.exe" /S
for _ in $(seq 150); do [ -e "$install/uninstall.exe" ] || break; sleep 0.2; done
sleep 1
left=$(cd "$install" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./skin ./skin/notes.txt " ] || fail "left behind: $left"
[ "$(cat "$install/skin/notes.txt")" = mine ] || fail "the user's file was changed"
rm -r "$install"
registered | grep -q . && fail "the uninstall key is left"
left=$(find "$WINEPREFIX/drive_c/users" "$HOME" -iname '*velmarin*' 2>/dev/null)
[ -z "$left" ] || fail "left behind: $left"
echo "journey complete"
