# The updater runs only an installer that the build's release key signed, that
# matches its manifest byte for byte and that is newer than the installed
# program. Everything else, and a failed or cut-short download, it refuses with
# one box: nothing runs, nothing in the program folder changes, no file is left
# and Velmarin starts again.
source "$(dirname "$0")/lib.sh"
: "${E2E_ROOT:?the build root, holding release-key}"
top=$(cd "$(dirname "$0")/../.." && pwd)
login_prologue --no-settings
offer=$(mktemp -d)
cp "$E2E_BIN/clientupdate.exe" "$dir/"
updater_pid=""
also_on_exit '[ -z "$updater_pid" ] || kill "$updater_pid" 2>/dev/null'
also_on_exit 'rm -rf "$offer"'
write_settings "$(settings_xml lastversion=1.0.0.2 version=1.0.0.1 users=$session_user user=$session_user)" \
    "$dir/velmarin.dat"
before=$(md5sum <"$dir/Velmarin.exe")
caption="Velmarin 升级"

# The "installer" on offer records its start in the updater's working folder,
# which is the program folder here: any run of it leaves clientupdate.log.
sign() { # installer, version, [key]
    python3 "$top/scripts/sign-release.py" --key "${3:-$E2E_ROOT/release-key/release.key}" --version "$2" "$1"
}
payload() { # name
    cp "$E2E_BIN/clientupdate_stub.exe" "$offer/$1"
    echo "$offer/$1"
}
"$top/scripts/make-release-key.sh" "$offer/other-key"

# The box shares its caption with the progress window before it: wait until
# what carries the caption is the box, then let expect_box read and close it.
await_box() { # text
    for _ in $(seq 300); do
        ui texts --title "$caption" 2>/dev/null | grep -qF -- "$1" && return 0
        sleep 0.2
    done
}
refused() { # what the stand-in offers (JSON), the box's text
    echo "== $1"
    service POST installer "$1" >/dev/null
    (cd "$dir" && exec "$WINE" clientupdate.exe para) >/dev/null 2>&1 &
    updater_pid=$!
    await_box "$2"
    expect_box "$caption" "$2"
    # Velmarin comes back as it was, update link and all.
    ui wait --title "$login_title" --timeout 30000 >/dev/null || fail "Velmarin was not started again"
    texts=$(ui texts --title "$login_title")
    [ "$(control_text "$texts" 1015)" = 程序已升级，请单击更新！ ] || fail "the update link is gone: $texts"
    ui click --title "$login_title" --id 1001 || fail "no close button"
    ui gone --title "$login_title" --timeout 20000 || fail "the login dialog stayed"
    wait "$updater_pid" 2>/dev/null || true
    updater_pid=""
    [ ! -e "$dir/clientupdate.log" ] || fail "the offered installer ran: $(cat "$dir/clientupdate.log")"
    kept=$(find "$WINEPREFIX/drive_c" -iname 'Velmarin-update-*' 2>/dev/null)
    [ -z "$kept" ] || fail "the downloaded installer was left: $kept"
    [ "$(md5sum <"$dir/Velmarin.exe")" = "$before" ] || fail "the program was changed"
    read_settings "$dir/velmarin.dat" | grep -qF '<lastversion>1.0.0.2</lastversion><version>1.0.0.1</version>' ||
        fail "the update state was changed"
}
none=null
no_manifest=$(payload unsigned.exe)
other=$(payload other.exe) && sign "$other" 1.0.0.2 "$offer/other-key/release.key"
good=$(payload good.exe) && sign "$good" 1.0.0.2
# The same length, one byte changed, under the good manifest and signature.
altered=$(payload altered.exe)
python3 - "$altered" <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(4096); byte = f.read(1); f.seek(4096); f.write(bytes([byte[0] ^ 1]))
PY
older=$(payload older.exe) && sign "$older" 1.0.0.0
same=$(payload same.exe) && sign "$same" 1.0.0.1

no_box=无法取得新版本的签名清单，未做任何更改。
unsigned_box=新版本未通过签名校验，可能已被篡改，未做任何更改。
older_box=服务器提供的版本不比已安装的版本新，未做任何更改。
failed_box=新版本下载失败或不完整，未做任何更改。
refused "{\"path\": $none}" "$no_box"
refused "{\"path\": \"$no_manifest\"}" "$no_box"
refused "{\"path\": \"$other\"}" "$unsigned_box"
refused "{\"path\": \"$altered\", \"manifest\": \"$good.manifest\", \"signature\": \"$good.manifest.sig\"}" \
    "$unsigned_box"
refused "{\"path\": \"$older\", \"manifest\": null, \"signature\": null}" "$older_box"
refused "{\"path\": \"$same\"}" "$older_box"
refused "{\"path\": \"$good\", \"truncate\": 4096}" "$failed_box"
refused "{\"path\": \"$good\", \"truncate\": null, \"status\": 404}" "$failed_box"
# Only the manifests that were ours and newer let the installer be fetched at all.
service GET log | jq -e '[.installer_downloads[] | [.status, .complete]] == [[200, true], [200, false], [404, false]]' \
    >/dev/null || fail "downloads: $(service GET log | jq -c .installer_downloads)"
ls "$dir" | grep -qv -e '^Velmarin.exe$' -e '^Skin.dll$' -e '^res.dll$' -e '^skin$' -e '^ad$' -e '^clientupdate.exe$' \
    -e '^velmarin.dat$' && fail "the updater left files: $(ls "$dir")"
echo "refused all eight"
