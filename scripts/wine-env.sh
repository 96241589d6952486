# Sourced by the scripts that run Windows programs: one Wine prefix in the
# build folder, a zh_CN locale (code page 936), and an X display.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No install prompts for .NET or the HTML engine, and no menu entries or
# desktop files on the host for the shortcuts the installer makes.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export LC_ALL=zh_CN.UTF-8
WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINE
started_xvfb=""

# Starts Xvfb on a free display unless one is given.
wine_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 120); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        started_xvfb=$!
        export DISPLAY=:$n
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && return 0; sleep 0.1; done
        echo "wine-env: Xvfb did not start" >&2
        return 1
    done
}

# Creates the prefix on first use (about 8 s). Wine has no 宋体 of its own and
# its fallback drops thin strokes at dialog sizes; a Song-style face from
# Debian's packages stands in for it.
wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 || true
        wineserver_cmd -w
    fi
    if [ ! -f "$WINEPREFIX/.song-face" ]; then
        local face
        for face in 宋体 SimSun 新宋体 NSimSun; do
            "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
                /d "AR PL UMing CN" /f >/dev/null 2>&1 || true
        done
        wineserver_cmd -w
        touch "$WINEPREFIX/.song-face"
    fi
}

wineserver_cmd() {
    local ws
    ws=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
    "$ws" "$@" >/dev/null 2>&1 || true
}

# Ends the Wine session and the display this script started.
wine_cleanup() {
    wineserver_cmd -k
    if [ -n "$started_xvfb" ]; then
        kill "$started_xvfb" 2>/dev/null || true
        wait "$started_xvfb" 2>/dev/null || true
    fi
}
