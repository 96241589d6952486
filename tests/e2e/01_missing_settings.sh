# Without velmarin.dat the program says so in its standard box and ends
# without creating a settings file.
source "$(dirname "$0")/lib.sh"
dir=$(program_folder Velmarin.exe Skin.dll res.dll)
trap 'rm -rf "$dir"' EXIT

start_app "$dir"
ui wait --title Velmarin --timeout 20000 >/dev/null || fail "no message box"
texts=$(ui texts --title Velmarin)
echo "$texts"
grep -q '加载配置文件失败！' <<<"$texts" || fail "message text"
ui click --title Velmarin --id 1
wait_app_end 15
[ ! -e "$dir/velmarin.dat" ] || fail "a settings file was created"
