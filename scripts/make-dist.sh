#!/usr/bin/env bash
# Lays out a runnable program folder from the Windows build:
#   make-dist.sh FOLDER [SERVER_BASE_URL]
# With a server, both servers of the settings point at it; without, the
# settings keep the build's default server. A settings file the program saved
# there before keeps everything else (remembered numbers, auto-login, hot key,
# advertisement time); otherwise the build's first settings are used.
# WIN_BUILD names the Windows build folder (default build/win).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$top/build}
case $root in /*) ;; *) root=$top/$root ;; esac
dest=$1 server=${2:-}
win=${WIN_BUILD:-$root/win}
bin=$win/bin
datfile=$root/native/bin/datfile

mkdir -p "$dest/ad"
for f in Velmarin.exe Skin.dll res.dll config.dll clientupdate.exe; do cp "$bin/$f" "$dest/"; done
rm -rf "$dest/skin"; cp -r "$bin/skin" "$dest/skin"

xml=$(mktemp)
trap 'rm -f "$xml"' EXIT
if [ -f "$dest/velmarin.dat" ] && "$datfile" decode "$dest/velmarin.dat" >"$xml" 2>/dev/null && [ -s "$xml" ]; then
    echo "make-dist: keeping the saved settings${server:+, servers pointed at $server}"
else
    cp "$win/installer/velmarin.xml" "$xml"
fi
if [ -n "$server" ]; then
    python3 - "$xml" "$server" <<'PY'
import re, sys
path, server = sys.argv[1], sys.argv[2]
text = open(path, encoding="utf-8").read()
for key in ("appserver", "updserver"):
    text, n = re.subn(r"<%s\s*/>|<%s>.*?</%s>" % (key, key, key), "<%s>%s</%s>" % (key, server, key), text, flags=re.S)
    if n != 1:
        sys.exit("make-dist: the settings have no single <%s>" % key)
open(path, "w", encoding="utf-8").write(text)
PY
fi
"$datfile" encode "$xml" "$dest/velmarin.dat"
