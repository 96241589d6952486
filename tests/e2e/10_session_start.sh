# After sign-in the main window covers the work area under the wait window and
# stays silent until the page starts the session; then the version is asked
# once and heartbeats follow every 5 s. Starting the session twice does not
# double the heartbeat.
source "$(dirname "$0")/lib.sh"
login_prologue --no-settings
write_auto_login "$dir"

start_session "$dir"
work_area=$(xdpyinfo | awk '/dimensions:/ { split($2, s, "x"); print "0 0 " s[1] " " s[2] }')
[ -n "$work_area" ] || work_area="0 0 1280 800"
main_rect=$(ui rect --title "$main_title" --class '#32770')
echo "main window: $main_rect, work area: $work_area"
[ "$main_rect" = "$work_area" ] || fail "the main window does not cover the work area"
read -r l t r b <<<"$(ui rect --title loading)"
echo "wait window: $l $t $r $b"
read -r _ _ W H <<<"$main_rect"
((l >= 0 && t >= 0 && r <= W && b <= H && l < r && t < b)) || fail "the wait window is not over the main window"
# Above the main window in the z-order (the list runs from the top).
order=$(visible_windows | awk -F'\t' '$2 == "#32770" { print $3 }' | paste -sd,)
[ "$order" = "loading,$main_title" ] || fail "windows from the top: $order"

sleep 3
log=$(service_commands)
echo "$log"
[ "$log" = $'1000 0\n1002 0' ] || fail "commands before the session started"

page_loaded
service_wait 9999 2 0 15 || fail "no two heartbeats after the session started"
log=$(service_commands)
echo "$log"
# The heartbeat runs on its own thread: its first beat and the version query may come in either order.
sed -n 3,4p <<<"$log" | grep -qx '1005 0' || fail "the version query is not among the first commands of the session"
[ "$(count_code 1005)" = 1 ] || fail "version asked more than once"
[ -z "$(sed -n '3,$p' <<<"$log" | grep -v -e '^9999 10001$' -e '^1005 0$')" ] || fail "other commands than heartbeats"
times=$(service GET log | jq -r '[.commands[] | select(.code == "9999") | .time] | "\(.[0]) \(.[1])"')
gap=$(awk '{ printf "%.1f", $2 - $1 }' <<<"$times")
echo "heartbeat gap: $gap s"
awk -v g="$gap" 'BEGIN { exit !(g >= 4 && g <= 7) }' || fail "heartbeats $gap s apart"

ui send --title "$main_title" --class '#32770' --message 1224 >/dev/null || fail "second WM_START_SESSION unanswered"
since=$(log_length)
sleep 11
later=$(service GET log | jq -r --argjson s "$since" '.commands[$s:][] | "\(.code) \(.retn)"')
echo "$later"
beats=$(grep -c '^9999 ' <<<"$later" || true)
((beats >= 1 && beats <= 3)) || fail "$beats heartbeats in 11 s after a second start"
[ -z "$(grep -v '^9999 ' <<<"$later")" ] || fail "a second start sent more than heartbeats"
