#!/usr/bin/env bash
# Unpacks Debian's source packages of the libraries the Windows build compiles itself.
# Usage: fetch-sources.sh DEST
set -euo pipefail
dest=$1
mkdir -p "$dest"
cd "$dest"

fetch() { # package, folder glob
  local pkg=$1
  if compgen -G "$pkg-[0-9]*/" >/dev/null; then return 0; fi
  # The newest version may be missing from a mirror; fall back to older ones.
  for v in $(apt-cache showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV); do
    if apt-get source -qq "$pkg=$v" >/dev/null 2>&1; then return 0; fi
  done
  echo "fetch-sources: cannot get the source package $pkg" >&2
  return 1
}

fetch tinyxml
fetch expat
fetch libsodium
ls -d tinyxml-[0-9]*/ expat-[0-9]*/ libsodium-[0-9]*/ | head -3
