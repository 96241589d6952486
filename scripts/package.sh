#!/usr/bin/env bash
# Makes the installer and a zip of the program folder from the Windows build:
#   package.sh [--build DIR] [--server URL] [--out DIR] [--sign-key FILE]
# DIR is the Windows build folder (default build/win); the installed settings
# point at the build's default server unless --server names another. Writes
# OUT/Velmarin-<version>-setup.exe and OUT/Velmarin-<version>.zip (default
# OUT: build/dist) and prints the installer's path. With --sign-key (the
# release's Ed25519 private key, PEM) it also writes the update manifest and
# its signature beside the installer: <installer>.manifest and .manifest.sig.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-build}
case $root in /*) ;; *) root=$top/$root ;; esac
build=$root/win server="" out=$root/dist key=""
while [ $# -gt 0 ]; do
    case $1 in
        --build) build=$2; shift 2 ;;
        --server) server=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --sign-key) key=$2; shift 2 ;;
        *) echo "usage: package.sh [--build DIR] [--server URL] [--out DIR] [--sign-key FILE]" >&2; exit 2 ;;
    esac
done
info=$build/installer/version.nsh
[ -f "$info" ] || { echo "package: no Windows build in $build" >&2; exit 1; }
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$info")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
WIN_BUILD=$build BUILD_ROOT=$root "$top/scripts/make-dist.sh" "$stage/Velmarin" $server >/dev/null

# The theme's files by name, for the uninstaller: it removes what it
# installed and leaves whatever else a user put in those folders.
python3 - "$stage/Velmarin" "$stage/skin-files.nsh" <<'PY'
import os, sys
stage, target = sys.argv[1], sys.argv[2]
lines, folders = [], []
for folder, dirs, files in os.walk(os.path.join(stage, "skin")):
    rel = os.path.relpath(folder, stage).replace("/", "\\")
    folders.append(rel)
    lines += ['Delete "$INSTDIR\\%s\\%s"' % (rel, name) for name in sorted(files)]
lines += ['RMDir "$INSTDIR\\%s"' % rel for rel in sorted(folders, key=len, reverse=True)]
open(target, "w", encoding="utf-8").write("\n".join(lines) + "\n")
PY

mkdir -p "$out"
setup=$out/Velmarin-$version-setup.exe
makensis -V2 -INPUTCHARSET UTF8 -DBUILDINFO="$info" -DSTAGE="$stage/Velmarin" -DSKINFILES="$stage/skin-files.nsh" \
    -DDATFILE="$build/bin/datfile.exe" -DOUTFILE="$setup" "$top/installer/velmarin.nsi" >&2
if [ -n "$key" ]; then
    python3 "$top/scripts/sign-release.py" --key "$key" --version "$version" "$setup"
else
    # An old manifest beside a new installer would only be refused.
    rm -f "$setup.manifest" "$setup.manifest.sig"
fi
python3 - "$stage" "$out/Velmarin-$version.zip" <<'PY'
import os, sys, zipfile
stage, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target + ".new", "w", zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in os.walk(stage):
        dirs.sort()
        rel = os.path.relpath(folder, stage)
        if rel != "." and not files and not dirs:
            z.write(folder, rel + "/")
        for name in sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, stage))
os.replace(target + ".new", target)
PY
echo "$setup"
