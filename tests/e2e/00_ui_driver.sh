# The UI driver kept running for a script answers as a driver started for each
# command does: the same output, exit codes and error text, Chinese and spaces
# intact; and a driver left idle is replaced without losing a command.
source "$(dirname "$0")/lib.sh"
login_prologue
start_login "$dir"

each() { UI_SERVE=0 ui "$@"; }
[ "$(ui texts --title "$login_title")" = "$(each texts --title "$login_title")" ] || fail "texts differ"
[ "$(ui list)" = "$(each list)" ] || fail "lists differ"
ui wait --title "$login_title" --class '#32770' --timeout 0 >/dev/null || fail "no dialog by title and class"

# A failure: exit code 1, nothing on standard output, the reason on standard error.
out=$(ui wait --title '没有 这个' --timeout 0 2>"$dir/err") && fail "a missing window was found"
[ -z "$out" ] || fail "output on a failure: $out"
grep -qF '"没有 这个"' "$dir/err" || fail "error text: $(cat "$dir/err")"
code=0
ui wait --bogus 1 2>/dev/null || code=$?
[ $code = 2 ] || fail "a usage error gave $code"

# Keys typed through the driver arrive whole, braces and all.
ui keys --title "$login_title" --id 1007 --keys "$(erase_keys 20)0551 {LBRACE}x{RBRACE}"
[ "$(control_text "$(ui texts --title "$login_title")" 1007)" = '0551 {x}' ] || fail "typed text arrived changed: $(ui texts --title "$login_title")"
ui wait --title "$login_title" --text '0551 {x}' --timeout 5000 >/dev/null || fail "no wait for the text"
ui wait --title "$login_title" --text '0551' --timeout 0 2>/dev/null && fail "a part of the text matched"

# Past half the idle time the driver is replaced; the command still runs once.
sleep $((ui_idle_ms / 1000 / 2 + 1))
ui wait --title "$login_title" --timeout 0 >/dev/null || fail "no answer after an idle spell"
close_login
