# Signed in elsewhere: the next heartbeat learns it, the user is told once and
# the program ends without signing out (the session is no longer its own).
source "$(dirname "$0")/lib.sh"
session_prologue

service POST session "{\"user\": \"$session_user\", \"action\": \"elsewhere\"}" >/dev/null
h=$(wait_main_box 15) || fail "no box after the forced sign-out"
texts=$(ui texts --title "$main_title")
echo "$texts"
grep -qF 您的帐号在另一地点登录，您已被迫下线！ <<<"$texts" || fail "box text"
ok=$(awk -F'\t' 'NR > 1 && $1 == "Button" { print $2; exit }' <<<"$texts")
[ -n "$ok" ] || fail "no button in the box"
ui click --title "$main_title" --id "$ok"
wait_app_end 30
log=$(service_commands)
echo "$log"
[ "$(service GET log | jq '[.commands[] | select(.retn == "12000")] | length')" = 1 ] ||
    fail "not one heartbeat answered 12000"
[ "$(tail -n 1 <<<"$log")" = "9999 12000" ] || fail "commands after the forced sign-out"
[ "$(count_code 1004)" = 0 ] || fail "signed out a session that was not its own"
