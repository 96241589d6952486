# A number that another running copy holds (its per-account name) is refused
# before anything is sent; the dialog stays, and once the other copy has gone
# the same dialog signs in.
source "$(dirname "$0")/lib.sh"
login_prologue
holder_pid=""
stop_holder() {
    [ -n "$holder_pid" ] || return 0
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
    holder_pid=""
}
also_on_exit stop_holder

ui_background hold-mutex --name velmarin_05512345678 --timeout 120000 >"$dir/holder.out"
holder_pid=$!
for _ in $(seq 100); do grep -q held "$dir/holder.out" && break; sleep 0.1; done
grep -q held "$dir/holder.out" || fail "the name could not be held"

start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys 05512345678
ui keys --title "$login_title" --id 1008 --keys 'abc123{ENTER}'
expect_box Velmarin 你已经登录一个相同Velmarin账号：05512345678，不能重复登录！ "$login_title"
ui wait --title "$login_title" --timeout 0 >/dev/null || fail "the refusal closed the dialog"
log=$(service GET log)
[ "$(jq '.commands | length' <<<"$log")" = 0 ] || fail "a refused login sent: $log"

stop_holder
ui keys --title "$login_title" --id 1008 --keys '{ENTER}'
exit_signed_in
[ "$(service_commands)" = $'1000 0\n1002 0\n1004 0' ] || fail "no sign-in after the other copy ended"
