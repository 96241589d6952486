# Without velmarin.dat the program says so in its standard box and ends
# without creating a settings file. The settings come first: with res.dll
# missing as well, the box is still about the settings, and only that one shows.
source "$(dirname "$0")/lib.sh"
folder_prologue Velmarin.exe Skin.dll res.dll

expect_start_failure "$dir" '加载配置文件失败！'
[ ! -e "$dir/velmarin.dat" ] || fail "a settings file was created"

# A second box (about res.dll) would keep the program from ending.
rm "$dir/res.dll"
expect_start_failure "$dir" '加载配置文件失败！'
[ ! -e "$dir/velmarin.dat" ] || fail "a settings file was created"
