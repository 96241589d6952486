#!/usr/bin/env bash
# Lays out a runnable program folder from the Windows build:
#   make-dist.sh FOLDER SERVER_BASE_URL
# The sample settings point both servers at SERVER_BASE_URL.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-$top/build}
dest=$1 server=$2
bin=$root/win/bin

mkdir -p "$dest/ad"
for f in Velmarin.exe Skin.dll res.dll; do cp "$bin/$f" "$dest/"; done
if [ -d "$bin/skin" ]; then rm -rf "$dest/skin"; cp -r "$bin/skin" "$dest/skin"; else mkdir -p "$dest/skin"; fi

xml=$(mktemp)
sed "s#http://127.0.0.1:8080#$server#g" "$top/res/velmarin.sample.xml" >"$xml"
"$root/native/bin/datfile" encode "$xml" "$dest/velmarin.dat"
rm -f "$xml"
