# The program against the stand-in's HTTPS port (its certificate from the
# tests' authority, which only this Wine prefix trusts): sign-in from the
# dialog, the advertisement, the heartbeat with a message, the version query
# and the exit's logout all go over TLS, nothing over plain http. A server
# whose certificate does not pass is a send failure, and hears no command.
source "$(dirname "$0")/lib.sh"
: "${VELMARIN_DEVSERVICE_TLS:?the HTTPS port of the stand-in, from scripts/test-pool.sh}"
secure=https://$VELMARIN_DEVSERVICE_TLS
dir=$(login_folder)
trap 'stop_app; rm -rf "$dir"' EXIT
service POST reset >/dev/null
write_settings "$(settings_xml appserver=$secure updserver=$secure)" "$dir/velmarin.dat"

start_login "$dir"
ui keys --title "$login_title" --id 1007 --keys "$session_user"
ui keys --title "$login_title" --id 1008 --keys "$session_password{ENTER}"
await_main_window
page_loaded
service_wait 9999 1 0 15 || fail "no heartbeat"
service POST messages "{\"user\": \"$session_user\", \"messages\": [
    [\"101\", \"13800000000\", \"2024-01-01 10:00:00\", \"你好\", \"0\"]]}" >/dev/null
expect_main_box 函数GetJScrip调用失败！
texts=$(notice_texts)
[ "$(control_text "$texts" 1013)" = "您的Velmarin有(1)条新消息！" ] || fail "notice text"
service_wait 1005 1 0 15 || fail "no version query"
tray_exit
expect_main_box 是否退出Velmarin客户端？ 6
wait_app_end 30

log=$(service GET log)
jq -r '.commands[] | "\(.code) \(.retn) \(.tls)"' <<<"$log"
jq -r '.tls[] | "handshake: \(.certificate) \(.version) \(.cipher) requests=\(.requests) error=\(.error)"' <<<"$log"
[ "$(jq -r '[.commands[].code] | first, last' <<<"$log" | tr '\n' ' ')" = "1000 1004 " ] || fail "not a whole session"
jq -e '.commands | length >= 5' <<<"$log" >/dev/null || fail "too few commands"
jq -e '[.commands[], .ads[]] | all(.tls == "TLSv1.2" or .tls == "TLSv1.3")' <<<"$log" >/dev/null ||
    fail "a request went over plain http or older TLS"
jq -e '.ads | length == 1' <<<"$log" >/dev/null || fail "the advertisement was not fetched once"
jq -e '.tls | all(.error == null)' <<<"$log" >/dev/null || fail "a failed handshake"
# The service calls share a kept-open connection: far fewer handshakes than calls.
calls=$(jq '.commands | length' <<<"$log")
entry_handshakes=$(jq '.tls | length - 1' <<<"$log")
[ "$entry_handshakes" -lt "$calls" ] || fail "$entry_handshakes handshakes for $calls calls"

# A certificate that does not pass: the dialog says the send failed, and the
# service hears nothing.
for certificate in untrusted wrong-name expired self-signed; do
    echo "== $certificate"
    service POST reset >/dev/null
    service POST tls "{\"certificate\": \"$certificate\"}" >/dev/null
    start_login "$dir"
    ui keys --title "$login_title" --id 1007 --keys "$(erase_keys 11)$session_user"
    ui keys --title "$login_title" --id 1008 --keys "$session_password{ENTER}"
    expect_box 登录 发送失败，请检查网络! "$login_title"
    close_login
    log=$(service GET log)
    jq -e '.commands | length == 0' <<<"$log" >/dev/null || fail "$certificate: a command reached the service"
    jq -e '.ads | length == 0' <<<"$log" >/dev/null || fail "$certificate: the advertisement was fetched"
    jq -e --arg c "$certificate" '.tls | length > 0 and all(.certificate == $c and .requests == 0)' <<<"$log" \
        >/dev/null || fail "$certificate: no refused handshake logged"
done
