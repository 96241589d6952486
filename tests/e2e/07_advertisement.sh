# The login advertisement: downloaded at start when its Last-Modified differs
# from the stored ad time, written as the dated copy and as ad\loginad.gif,
# and the time kept in the settings; an unchanged picture is fetched but no
# file is written; a changed one is written again.
source "$(dirname "$0")/lib.sh"
login_prologue adtime='2023-12-31 23:59:59'
ads="$dir/ad"
dated="$ads/loginad_$(date +%Y%m%d).gif"

saved_adtime() { read_settings "$dir/velmarin.dat" | sed -n 's:.*<adtime>\(.*\)</adtime>.*:\1:p'; }

# Starts the program, waits for both files, compares them with the served picture and closes.
expect_download() {
    curl -sSf "http://$VELMARIN_DEVSERVICE/ad/loginad.gif" -o "$dir/served.gif"
    start_login "$dir"
    for _ in $(seq 200); do [ -s "$ads/loginad.gif" ] && break; sleep 0.1; done
    ls -l "$ads"
    cmp "$dated" "$dir/served.gif" || fail "the dated copy is not the served picture"
    cmp "$ads/loginad.gif" "$dir/served.gif" || fail "ad\\loginad.gif is not the served picture"
    close_login
}

expect_download
[ "$(saved_adtime)" = '2024-01-01 00:00:00' ] || fail "ad time saved: $(saved_adtime)"

# Unchanged on the server: the program asks, and writes nothing.
rm -f "$ads"/*
since=$(service GET log | jq '.ads | length')
start_login "$dir"
for _ in $(seq 200); do
    ended=$(service GET "log?ads_since=$since" | jq '[.ads[] | select(.method == "GET" and .ended != null)] | length')
    [ "$ended" -gt 0 ] && break
    sleep 0.1
done
[ "$ended" -gt 0 ] || fail "the advertisement was not fetched"
sleep 1
close_login
[ -z "$(ls -A "$ads")" ] || fail "an unchanged advertisement was written: $(ls "$ads")"
[ "$(saved_adtime)" = '2024-01-01 00:00:00' ] || fail "ad time changed: $(saved_adtime)"

# Changed on the server: downloaded again, with its time kept as the server wrote it.
service POST ad '{"modified": 1750000000}' >/dev/null
expect_download
[ "$(saved_adtime)" = "$(date -u -d @1750000000 '+%Y-%m-%d %H:%M:%S')" ] || fail "new ad time: $(saved_adtime)"
