# The updater refuses a download that failed, was cut short or is no program:
# it says so, changes nothing in the program folder and starts Velmarin again.
source "$(dirname "$0")/lib.sh"
dir=$(login_folder)
cp "$E2E_BIN/clientupdate.exe" "$dir/"
updater_pid=""
trap '[ -n "$updater_pid" ] && kill "$updater_pid" 2>/dev/null; stop_app; rm -rf "$dir"' EXIT
service POST reset >/dev/null
write_settings "$(settings_xml lastversion=1.0.0.2 version=1.0.0.1 users=$session_user user=$session_user)" \
    "$dir/velmarin.dat"
before=$(md5sum <"$dir/Velmarin.exe")
caption="Velmarin 升级"

refused() { # what the stand-in offers, as JSON
    echo "== $1"
    service POST installer "$1" >/dev/null
    (cd "$dir" && exec "$WINE" clientupdate.exe para) >/dev/null 2>&1 &
    updater_pid=$!
    expect_box "$caption" 新版本下载失败或不完整，未做任何更改。
    # Velmarin comes back as it was, update link and all.
    ui wait --title "$login_title" --timeout 30000 >/dev/null || fail "Velmarin was not started again"
    texts=$(ui texts --title "$login_title")
    [ "$(control_text "$texts" 1015)" = 程序已升级，请单击更新！ ] || fail "the update link is gone: $texts"
    ui click --title "$login_title" --id 1001 || fail "no close button"
    ui gone --title "$login_title" --timeout 20000 || fail "the login dialog stayed"
    wait "$updater_pid" 2>/dev/null || true
    updater_pid=""
    [ "$(md5sum <"$dir/Velmarin.exe")" = "$before" ] || fail "the program was changed"
    read_settings "$dir/velmarin.dat" | grep -qF '<lastversion>1.0.0.2</lastversion><version>1.0.0.1</version>' ||
        fail "the update state was changed"
}

refused '{"path": null}'
refused "{\"path\": \"$E2E_BIN/Velmarin.exe\", \"truncate\": 4096}"
refused "{\"path\": \"$dir/velmarin.dat\", \"truncate\": null}"
service GET log | jq -e '[.installer_downloads[] | [.status, .complete]] == [[404, false], [200, false], [200, true]]' \
    >/dev/null || fail "downloads: $(service GET log | jq -c .installer_downloads)"
ls "$dir" | grep -qv -e '^Velmarin.exe$' -e '^Skin.dll$' -e '^res.dll$' -e '^skin$' -e '^ad$' -e '^clientupdate.exe$' \
    -e '^velmarin.dat$' && fail "the updater left files: $(ls "$dir")"
echo "refused all three"
