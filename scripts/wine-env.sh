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

# Starts Xvfb on a free display unless one is given. Xvfb picks the display
# itself, so that runs started side by side never take the same one.
wine_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local f n=""
    f=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$f" >/dev/null 2>&1 &
    started_xvfb=$!
    for _ in $(seq 100); do
        n=$(head -1 "$f")
        [ -n "$n" ] && break
        sleep 0.05
    done
    rm -f "$f"
    [ -n "$n" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$n
}

# Creates the prefix on first use: a copy of WINE_TEMPLATE_PREFIX when that
# is a prepared prefix, else wineboot (about 8 s). Wine has no 宋体 of its own
# and its fallback drops thin strokes at dialog sizes; a Song-style face from
# Debian's packages stands in for it.
wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ] && [ -f "${WINE_TEMPLATE_PREFIX:-}/.template" ]; then
        wine_prefix_copy "$WINE_TEMPLATE_PREFIX" "$WINEPREFIX"
    fi
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
    wine_trust_test_ca
}

# The tests' certificate authority (scripts/make-test-ca.py) becomes a trusted
# root of this prefix's user, and of nothing else: never the host's store.
wine_trust_test_ca() {
    local root=${BUILD_ROOT:-build} sum
    case $root in /*) ;; *) root=$top/$root ;; esac
    local ca=$root/test-ca/ca.der tool=$root/win/bin/trustca.exe
    [ -f "$ca" ] && [ -f "$tool" ] || return 0
    sum=$(sha256sum <"$ca")
    [ "$(cat "$WINEPREFIX/.test-ca" 2>/dev/null)" = "$sum" ] && return 0
    "$WINE" "$tool" "Z:${ca//\//\\}" >/dev/null 2>&1 || { echo "wine-env: cannot trust $ca" >&2; return 1; }
    wineserver_cmd -w
    echo "$sum" >"$WINEPREFIX/.test-ca"
}

# Makes the prefix the template of the test prefixes. Without a window manager
# Wine waits 2 s for one whenever a captioned window hides: a test prefix
# leaves every window to Wine itself, which keeps its own z-order and foreground.
wine_template() {
    wine_prefix || return 1
    [ -f "$WINEPREFIX/.template" ] && return 0
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || return 1
    wineserver_cmd -w
    touch "$WINEPREFIX/.template"
}

# Copies a prefix. Wine's own binaries (most of its 700 MB) are shared as hard
# links, as nothing writes them; every other file is the copy's own.
wine_prefix_copy() { # from, to
    mkdir -p "$2"
    if cp -al "$1"/. "$2"/ 2>/dev/null; then
        find "$2" -type f ! \( -name '*.dll' -o -name '*.exe' -o -name '*.nls' -o -name '*.sys' -o -name '*.drv' \) \
            -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +
    else
        rm -rf "$2"; mkdir -p "$2"
        cp -a "$1"/. "$2"/
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
