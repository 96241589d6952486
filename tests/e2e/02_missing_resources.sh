# With the settings file but without res.dll the program says so, and still
# saves the settings on the way out: auto-login with an empty password makes
# the save write the placeholder password. A res.dll in the working folder,
# where the system's search would once have found it, is never taken for the
# program's own.
source "$(dirname "$0")/lib.sh"
folder_prologue Velmarin.exe Skin.dll
work=$(program_folder res.dll)
also_on_exit 'rm -rf "$work"'

write_settings '<velmarin><userinfo><defaultuser><username>05512345678</username><userpwd></userpwd></defaultuser><userlist><user name="05512345678" /></userlist></userinfo><loginset><autologin>true</autologin></loginset><hotkeyset><allowhotkey>1</allowhotkey><ctrlkey>1</ctrlkey><shiftkey>0</shiftkey><altkey>1</altkey><codekey>Z</codekey></hotkeyset><serverinfo><appserver>http://127.0.0.1:9</appserver><updserver>http://127.0.0.1:9</updserver></serverinfo><updateinfo><lastversion>1.0.0.1</lastversion><version>1.0.0.1</version><adtime>20260101</adtime><filelist /></updateinfo><soundset><isopen>false</isopen><soundlist /></soundset></velmarin>' "$dir/velmarin.dat"
before=$(read_settings "$dir/velmarin.dat")
grep -q '<userpwd' <<<"$before" && ! grep -q '737373' <<<"$before" || fail "bad fixture"

expect_start_failure "$dir" '加载资源文件失败！' "$work"

after=$(read_settings "$dir/velmarin.dat")
echo "$after"
grep -q '<userpwd>737373</userpwd>' <<<"$after" || fail "settings were not saved on the way out"
grep -q '<codekey>Z</codekey>' <<<"$after" || fail "hot key lost"
grep -q '<user name="05512345678" />' <<<"$after" || fail "user list lost"
