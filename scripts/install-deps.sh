#!/usr/bin/env bash
# Installs, from Debian's packages only, whatever the builds and tests need.
# Safe to run again: it does nothing when everything is present.
set -euo pipefail

pkgs=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 xvfb locales-all fonts-wqy-zenhei fonts-arphic-uming
      googletest libgtest-dev libtinyxml-dev libexpat1-dev libsodium-dev dpkg-dev cmake ninja-build
      clang libclang-rt-14-dev imagemagick x11-apps x11-utils jq curl python3 python3-cryptography nsis ccache
      clang-format-16 clang-tidy-16)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages for the Windows build need deb-src entries for the same suites.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
  fi
  apt-get update -qq
fi
