#!/usr/bin/env bash
# scripts/windows.sh [deps|build|test]: the 64-bit Windows build, cross-compiled with MinGW-w64.
#   deps   installs the toolchain and Wine (Debian packages) and builds the two libraries Debian
#          has no MinGW build of, once: libxml2 from Debian's own source package and GoogleTest
#          from /usr/src/googletest, static, into the cache folder (see below)
#   build  deps, then cross-builds vr7lon.exe and vr7sim.exe in build-windows/ and packs them
#          as build-windows/vr7lon-windows-x64.zip (the default)
#   test   build with the tests, and the Linux vr7sim and vr7lon they talk to (build/), then runs
#          the Windows tests under Wine; prints how long each step took
# The cache folder is $VR7_WINDOWS_DEPS, by default ~/.cache/vr7loncfgmaker/mingw-w64; remove it
# to build the libraries again.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-build}
case "$mode" in
    deps | build | test) ;;
    *)
        echo "usage: scripts/windows.sh [deps|build|test]" >&2
        exit 64
        ;;
esac
jobs=$(nproc)
mingw=x86_64-w64-mingw32
deps=${VR7_WINDOWS_DEPS:-$HOME/.cache/vr7loncfgmaker/mingw-w64}
sources=$(dirname "$deps")/src
export VR7_WINDOWS_DEPS=$deps

step_started=0
step() {
    local now
    now=$(date +%s)
    [ "$step_started" -ne 0 ] && echo "   ($((now - step_started)) s)"
    step_started=$now
    echo "== $* =="
}

# The toolchain (the posix flavour), Wine and the tools to unpack a Debian source package.
# ccache, when the machine has it, serves both builds.
step "toolchain"
scripts/setup.sh none g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine dpkg-dev cmake \
    ninja-build libgtest-dev

# apt-get source needs deb-src entries: the same archives the machine already installs from.
# Nothing is written when the machine has them already.
add_deb_src() {
    apt-cache showsrc libxml2 >/dev/null 2>&1 && [ -n "$(apt-cache showsrc libxml2 2>/dev/null)" ] &&
        return 0
    local list=/etc/apt/sources.list.d/vr7-deb-src.sources
    local text=""
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        # deb822 stanzas whose Types has "deb": the same stanza as deb-src.
        text+=$(awk '
            BEGIN { RS = ""; ORS = "\n\n" }
            /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t]|$|\n)/ {
                out = ""
                n = split($0, lines, "\n")
                for (i = 1; i <= n; i++) {
                    if (lines[i] ~ /^#/) continue
                    if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
                    out = out lines[i] "\n"
                }
                print out
            }' "$f")
        text+=$'\n\n'
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        text+=$(sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f")
        text+=$'\n'
    done
    if [ -z "${text//[[:space:]]/}" ]; then
        echo "No apt source to take a deb-src entry from: add one for libxml2's source." >&2
        exit 1
    fi
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    if grep -q '^deb-src' <<<"$text"; then
        list=/etc/apt/sources.list.d/vr7-deb-src.list
        printf '%s\n' "$text" | grep '^deb-src' | $sudo tee "$list" >/dev/null
    else
        printf '%s\n' "$text" | $sudo tee "$list" >/dev/null
    fi
    echo "Added $list"
    $sudo apt-get update -qq
}

# libxml2, static, without what the program does not use: no iconv (the program registers its
# own Windows-1251 decoder), no compression, no network, no Python, no programs or tests.
build_libxml2() {
    [ -f "$deps/lib/libxml2.a" ] && return 0
    step "libxml2 from Debian's source package"
    add_deb_src
    rm -rf "$sources/libxml2"
    mkdir -p "$sources/libxml2"
    (cd "$sources/libxml2" && apt-get source -qq libxml2 >/dev/null 2>&1)
    local dir
    dir=$(find "$sources/libxml2" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)
    [ -n "$dir" ] || {
        echo "apt-get source libxml2 gave no source folder" >&2
        exit 1
    }
    # Its own CMake build; the autotools one would want automake after Debian's patches.
    local build="$sources/libxml2-build"
    rm -rf "$build"
    cmake -S "$dir" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
        -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
        -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF \
        -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_DEBUG=OFF \
        -DCMAKE_C_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
    cmake --build "$build" -j"$jobs" >/dev/null
    cmake --install "$build" >/dev/null
    rm -rf "$build" "$sources/libxml2"
    [ -f "$deps/lib/libxml2.a" ] || {
        echo "libxml2 did not build" >&2
        exit 1
    }
}

build_gtest() {
    [ -f "$deps/lib/libgtest.a" ] && return 0
    step "GoogleTest from /usr/src/googletest"
    rm -rf "$sources/googletest-build"
    cmake -S /usr/src/googletest -B "$sources/googletest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
    cmake --build "$sources/googletest-build" -j"$jobs" >/dev/null
    cmake --install "$sources/googletest-build" >/dev/null
    rm -rf "$sources/googletest-build"
}

build_libxml2
build_gtest
[ "$mode" = deps ] && exit 0

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
tests=OFF
host_args=()
if [ "$mode" = test ]; then
    tests=ON
    # The Linux simulator and vr7lon that the Windows programs are tested against.
    step "Linux vr7sim and vr7lon (build/)"
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
    fi
    cmake --build build -j"$jobs" --target vr7sim_prog vr7lon >/dev/null
    host_args=(-DVR7_HOST_SIM="$PWD/build/sim/vr7sim" -DVR7_HOST_LON="$PWD/build/app/ui/vr7lon")
fi

step "Windows build (build-windows/)"
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVR7_BUILD_UI=OFF -DVR7_BUILD_TESTS=$tests \
    -DVR7_WERROR="${VR7_WERROR:-OFF}" "${host_args[@]}" "${launcher[@]}" >/dev/null
cmake --build build-windows -j"$jobs"

# The portable copy: the two programs, the catalogue, the demo folder, the manual and a README
# in Russian (UTF-8 with a byte order mark and CR LF, as Notepad reads it best). Its ini files
# and backups go beside the programs when they are first used.
step "vr7lon-windows-x64.zip"
stage=build-windows/package/vr7lon-windows-x64
rm -rf build-windows/package build-windows/vr7lon-windows-x64.zip
mkdir -p "$stage/demo" "$stage/manual/images"
cp build-windows/app/ui/vr7lon.exe build-windows/sim/vr7sim.exe examples/calcbank.xml "$stage/"
cp -r examples/vr7_12 "$stage/demo/"
cp docs/manual/*.html docs/manual/style.css "$stage/manual/"
cp docs/manual/images/*.png "$stage/manual/images/"
{
    printf '\xef\xbb\xbf'
    sed 's/$/\r/' packaging/windows/README.txt
} >"$stage/README.txt"
(cd build-windows/package && cmake -E tar cf ../vr7lon-windows-x64.zip --format=zip \
    vr7lon-windows-x64)
rm -rf build-windows/package

if [ "$mode" = test ]; then
    step "Windows tests under Wine"
    status=0
    ctest --test-dir build-windows --output-on-failure -j"$jobs" || status=1
    step "done"
    exit $status
fi
step "done"
echo "build-windows/vr7lon-windows-x64.zip"
