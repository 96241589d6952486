#!/usr/bin/env bash
# Builds: native (portable core and tests, sanitizers), windows (mingw-w64),
# next (the shipped programs one version up, after windows), fuzz (libFuzzer
# targets with clang), or all of them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${JOBS:-$(nproc)}
# BUILD_ROOT lets parallel work use separate build folders.
root=${BUILD_ROOT:-build}
# A compiler cache shared by every checkout: paths under the checkout are
# hashed relative to it, so another work tree reuses the same objects.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR=$top CCACHE_NOHASHDIR=1
fi

# The release key pair of test builds, shared by win and win-next so that one
# signs what the other installs. Never committed; a real release names its own
# public key instead.
release_key() {
    local dir=$root/release-key
    case $dir in /*) ;; *) dir=$top/$dir ;; esac
    scripts/make-release-key.sh "$dir"
    echo "$dir/release.pub"
}

native() {
    cmake -S . -B "$root/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$root/native" -j "$jobs"
}

windows() {
    scripts/fetch-sources.sh build/deps >/dev/null
    cmake -S . -B "$root/win" -G Ninja -DVELMARIN_DEPS_SRC="$top/build/deps" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-toolchain.cmake" \
        -DVELMARIN_UPDATE_PUBLIC_KEY="${VELMARIN_UPDATE_PUBLIC_KEY:-$(release_key)}" >/dev/null
    cmake --build "$root/win" -j "$jobs"
}

# The shipped programs once more, one version up: the upgrade that the
# end-to-end journey installs over the first build.
next() {
    local version
    version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$root/win/installer/version.nsh")
    version=${version%.*}.$((${version##*.} + 1))
    cmake -S . -B "$root/win-next" -G Ninja -DVELMARIN_DEPS_SRC="$top/build/deps" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-toolchain.cmake" -DVELMARIN_VERSION="$version" \
        -DVELMARIN_UPDATE_PUBLIC_KEY="${VELMARIN_UPDATE_PUBLIC_KEY:-$(release_key)}" >/dev/null
    cmake --build "$root/win-next" -j "$jobs" --target Velmarin Skin res config clientupdate datfile skin_theme
}

fuzz() {
    [ -d fuzz ] && [ -f fuzz/CMakeLists.txt ] || return 0
    CC=clang CXX=clang++ cmake -S . -B "$root/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMARIN_FUZZ=ON >/dev/null
    cmake --build "$root/fuzz" -j "$jobs"
}

case "${1:-all}" in
    native) native ;;
    windows) windows ;;
    next) next ;;
    fuzz) fuzz ;;
    all) native; windows; next; fuzz ;;
    *) echo "usage: build.sh [native|windows|next|fuzz|all]" >&2; exit 2 ;;
esac
