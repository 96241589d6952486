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

# The tests' certificate authority and the stand-in's certificates: made once
# under the build folder, trusted only inside the test Wine prefixes.
test_ca() {
    python3 scripts/make-test-ca.py "$root/test-ca"
}

windows() {
    test_ca
    scripts/fetch-sources.sh build/deps >/dev/null
    cmake -S . -B "$root/win" -G Ninja -DVELMARIN_DEPS_SRC="$top/build/deps" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-toolchain.cmake" \
        -DVELMARIN_UPDATE_PUBLIC_KEY="${VELMARIN_UPDATE_PUBLIC_KEY:-$(release_key)}" >/dev/null
    cmake --build "$root/win" -j "$jobs"
}

# The shipped programs once more, one version up: the upgrade that the
# end-to-end journey installs over the first build. The version reaches only
# the resources and the installer, so the Windows tree builds them with the
# next version, they are kept in win-next, and the tree goes back to its own.
next() {
    local tree=$root/win version next_version
    version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$tree/installer/version.nsh")
    next_version=${version%.*}.$((${version##*.} + 1))
    local targets=(Velmarin Skin res config clientupdate datfile skin_theme)
    cmake -S . -B "$tree" -DVELMARIN_VERSION="$next_version" >/dev/null
    # Ninja knows no header a resource script includes: the compiled resources go, so
    # that each is made again with the version.
    find "$tree" -name '*.rc.res' -delete
    local ok=1
    cmake --build "$tree" -j "$jobs" --target "${targets[@]}" || ok=0
    if [ $ok = 1 ]; then
        rm -rf "$root/win-next"
        mkdir -p "$root/win-next/bin" "$root/win-next/installer"
        local f
        for f in Velmarin.exe Skin.dll res.dll config.dll clientupdate.exe datfile.exe skin; do
            cp -r "$tree/bin/$f" "$root/win-next/bin/"
        done
        find "$tree/installer" -maxdepth 1 -type f \( -name '*.nsh' -o -name '*.xml' \) \
            -exec cp {} "$root/win-next/installer/" \;
    fi
    cmake -S . -B "$tree" -DVELMARIN_VERSION="$version" >/dev/null
    find "$tree" -name '*.rc.res' -delete
    cmake --build "$tree" -j "$jobs"
    [ $ok = 1 ]
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
