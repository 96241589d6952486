# The program killed at random moments of its shutdown save leaves a settings
# file that is either the old one or the new one, whole; the next save clears
# any temporary file a kill left. Without res.dll the program loads the
# settings, shows its box and saves on the way out: the shortest way to a save.
source "$(dirname "$0")/lib.sh"
folder_prologue Velmarin.exe Skin.dll
kills=${KILLS:-20}

# Auto-login with an empty password: the save writes the placeholder password.
write_settings "$(settings_xml user=05512345678 pwd= auto=true users=05512345678 appserver=http://127.0.0.1:9)" "$dir/old.dat"
cp "$dir/old.dat" "$dir/velmarin.dat"
old=$(read_settings "$dir/old.dat")
expect_start_failure "$dir" '加载资源文件失败！' >/dev/null
new=$(read_settings "$dir/velmarin.dat")
[ "$new" != "$old" ] && grep -q '<userpwd>737373</userpwd>' <<<"$new" || fail "the save changed nothing"

temps() { find "$dir" -maxdepth 1 -name 'velmarin.dat.*.tmp' | wc -l; }
kept=0 written=0 left=0 ended=0 estimate=2000
for ((i = 0; i < kills; i++)); do
    cp "$dir/old.dat" "$dir/velmarin.dat"
    start_app "$dir"
    ui wait --title Velmarin --timeout 20000 >/dev/null || fail "no message box"
    # OK without waiting for the box to go: the shutdown save comes about 2 s later.
    ui send --title Velmarin --message 273 --wparam 1 --timeout 100 >/dev/null 2>&1 || true
    # Mostly around the end of the shutdown, where the save is, some well
    # before; a program that ends first tells how long its shutdown took.
    if ((RANDOM % 4)); then delay=$((estimate - 400 + RANDOM % 500)); else delay=$((RANDOM % estimate)); fi
    took=$(python3 - "$app_pid" "$delay" <<'KILL'
import os, signal, sys, time
pid, start = int(sys.argv[1]), time.monotonic()
while time.monotonic() < start + int(sys.argv[2]) / 1000:
    try:
        os.kill(pid, 0)
    except OSError:
        break
    time.sleep(0.0005)
try:
    os.kill(pid, signal.SIGKILL)
except OSError:
    print(int((time.monotonic() - start) * 1000))
KILL
)
    [ -z "$took" ] || { ended=$((ended + 1)); estimate=$((took > 500 ? took : 500)); }
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    now=$(read_settings "$dir/velmarin.dat") || fail "kill $i: the settings file does not load"
    if [ "$now" = "$old" ]; then
        kept=$((kept + 1))
    elif [ "$now" = "$new" ]; then
        written=$((written + 1))
    else
        fail "kill $i: the settings file is neither the old nor the new one: $now"
    fi
    [ "$(temps)" -eq 0 ] || left=$((left + 1))
done
echo "$kills runs, $((kills - ended)) killed, $ended ended by themselves: $kept left the old settings, $written the new ones, $left a temporary file"

cp "$dir/old.dat" "$dir/velmarin.dat"
expect_start_failure "$dir" '加载资源文件失败！' >/dev/null
[ "$(read_settings "$dir/velmarin.dat")" = "$new" ] || fail "the last save did not write"
[ "$(temps)" -eq 0 ] || fail "a stale temporary file stayed"
