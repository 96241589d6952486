#!/usr/bin/env bash
# Takes a screenshot of the skinned host in each scenario, for looking:
#   tools/skinhost/screenshots.sh BUILD_BIN_DIR OUT_DIR [scenario...]
# Uses its own Xvfb display and the Wine prefix of WINEPREFIX.
set -uo pipefail
bin=$(cd "$1" && pwd)
out=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
scenarios=("$@")
[ ${#scenarios[@]} -eq 0 ] && scenarios=(active inactive maximized hover closehover menu menusel sysmenu fixed pressleave maxhover focus)
unset DISPLAY
source "$(dirname "$0")/../../scripts/wine-env.sh"
wine_display || exit 1
trap wine_cleanup EXIT
wine_prefix
cd "$bin"
for s in "${scenarios[@]}"; do
    # Scenarios that play input need a few steps more.
    case $s in pressleave | maxhover | focus) settle=10 ;; *) settle=4 ;; esac
    "$WINE" skinhost.exe "$s" $((settle + 2)) &
    host=$!
    sleep "$settle"
    import -window root "$out/$s.png"
    wait "$host"
done
