#!/usr/bin/env bash
# scripts/windows-qt.sh: cross-builds, once, the Qt the window needs for 64-bit Windows, from
# Debian's own qt6-base source package, with the MinGW-w64 toolchain of scripts/windows.sh and the
# machine's own Qt tools (moc, rcc, uic: same version) as the host tools.
#
# Only what the window uses is built: Core, Gui, Widgets, PrintSupport and Test, the windows and
# offscreen platform plugins, with Qt's bundled third-party libraries. No network, SQL, D-Bus,
# OpenGL, Vulkan, Concurrent or XML; no examples, tests or tools.
#
# Qt is built as DLLs: the LGPL lets a user replace the Qt libraries of a program, which DLLs in
# the program's folder allow as they are (a static Qt would oblige us to ship our object files
# for relinking).
#
# The result goes to $VR7_WINDOWS_QT, by default
#   ~/.cache/vr7loncfgmaker/qt6-mingw-<version>-<hash of the configure line>
# so that another configure line builds beside it rather than over it. The build is resumable: run
# it again after an interruption and it goes on where it stopped (Ninja's own bookkeeping). It
# prints its progress and, at the end, the time it took over all its runs.
#
#   scripts/windows-qt.sh          build (or finish building) and install
#   scripts/windows-qt.sh --where  print the folder the installed Qt is (or will be) in
set -euo pipefail
cd "$(dirname "$0")/.."
cache=$(dirname "${VR7_WINDOWS_DEPS:-$HOME/.cache/vr7loncfgmaker/mingw-w64}")
jobs=$(nproc)

# The source package's version decides the folder; the machine's Qt tools must be the same version.
version_of_source() {
    apt-cache showsrc qt6-base 2>/dev/null | sed -n 's/^Version: \([0-9.]*\).*/\1/p' | sort -V | tail -n 1
}

configure_args=(
    -G Ninja
    # The toolchain links programs statically; Qt's libraries are DLLs, and so is the C++ runtime
    # they and the window share.
    -DCMAKE_EXE_LINKER_FLAGS=
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_widgets=ON -DFEATURE_gui=ON
    -DFEATURE_icu=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
    # Qt 6.4's print support calls the DirectWrite font engine, which Gui builds only beside
    # Direct2D: without Direct2D there is no DirectWrite either (GDI draws the text, as it does by
    # default in this Qt).
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite=OFF
    # Debian's source leaves out the Wintab header the Windows tablet support needs; the window
    # takes no tablet input.
    -DFEATURE_tabletevent=OFF
)

version=$(version_of_source)
if [ -z "$version" ]; then
    # scripts/windows.sh adds the deb-src entries (from the machine's own apt sources) the first
    # time it builds libxml2.
    scripts/windows.sh deps
    version=$(version_of_source)
fi
if [ -z "$version" ]; then
    echo "apt-get source qt6-base has no source to give: add a deb-src entry for it." >&2
    exit 1
fi
hash=$( (printf "%s\n" "$version" "${configure_args[@]}"; cat cmake/mingw-w64-x86_64.cmake) | sha256sum | cut -c1-12)
prefix=${VR7_WINDOWS_QT:-$cache/qt6-mingw-$version-$hash}
if [ "${1:-}" = --where ]; then
    echo "$prefix"
    exit 0
fi
if [ -f "$prefix/.complete" ]; then
    echo "Qt $version for Windows is built: $prefix"
    exit 0
fi

host_version=$(qmake6 -query QT_VERSION 2>/dev/null || true)
if [ -n "$host_version" ] && [ "$host_version" != "$version" ]; then
    echo "The machine's Qt tools are $host_version, the source is $version: they must be the same." >&2
    exit 1
fi

work=$prefix.build
mkdir -p "$work"
seconds_file=$work/seconds
started=$(date +%s)
spent_before=$(cat "$seconds_file" 2>/dev/null || echo 0)
# The time of this run is added to the total even when the run is interrupted.
record_time() { echo $((spent_before + $(date +%s) - started)) >"$seconds_file"; }
trap record_time EXIT

step() { echo "== $* ($(($(date +%s) - started)) s) =="; }

step "toolchain (scripts/windows.sh deps)"
scripts/windows.sh deps >/dev/null

if [ ! -f "$work/source.done" ]; then
    step "qt6-base $version source (apt-get source)"
    rm -rf "$work/source"
    mkdir -p "$work/source"
    (cd "$work/source" && apt-get source -qq qt6-base >/dev/null 2>&1) || {
        echo "apt-get source qt6-base failed" >&2
        exit 1
    }
    touch "$work/source.done"
fi
src=$(find "$work/source" -mindepth 1 -maxdepth 1 -type d -name 'qt*base-*' | head -n 1)
[ -n "$src" ] || {
    echo "apt-get source qt6-base gave no source folder" >&2
    exit 1
}

if [ ! -f "$work/configure.done" ]; then
    step "configure"
    # The build keeps its own copy of the toolchain file: it must not change under a resumed build,
    # whichever checkout resumes it.
    cp cmake/mingw-w64-x86_64.cmake "$work/toolchain.cmake"
    echo "cmake -S $src -B $work/build ${configure_args[*]} -DCMAKE_TOOLCHAIN_FILE=$work/toolchain.cmake -DCMAKE_INSTALL_PREFIX=$prefix"
    cmake -S "$src" -B "$work/build" "${configure_args[@]}" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_C_COMPILER_LAUNCHER="$(command -v ccache || true)" \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >"$work/configure.log" 2>&1 || {
        tail -n 30 "$work/configure.log" >&2
        echo "configure failed: $work/configure.log" >&2
        exit 1
    }
    touch "$work/configure.done"
fi

step "build"
# Paths under the cache folder are hashed relative to it: a build under another configure line
# reuses what compiled the same.
export CCACHE_BASEDIR=$cache
# Ninja's "[done/total]" lines, shown at every 2 % with the time.
cmake --build "$work/build" -j"$jobs" 2>&1 | tee "$work/build.log" | {
    last=-1
    while IFS= read -r line; do
        if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
            fiftieths=$((BASH_REMATCH[1] * 50 / BASH_REMATCH[2]))
            pct=$((fiftieths * 2))
            if [ "$pct" -ne "$last" ]; then
                last=$pct
                echo "   ${BASH_REMATCH[1]}/${BASH_REMATCH[2]} ($pct %), $(($(date +%s) - started)) s"
            fi
        elif [[ $line == *FAILED* || $line == *error:* ]]; then
            echo "$line"
        fi
    done
}
[ "${PIPESTATUS[0]}" -eq 0 ] || {
    echo "the build failed: $work/build.log" >&2
    exit 1
}

step "install"
cmake --install "$work/build" >/dev/null
touch "$prefix/.complete"
record_time
trap - EXIT
total=$(cat "$seconds_file")
echo "Qt $version for Windows: $prefix ($(du -sh "$prefix" | cut -f1)), built in $((total / 60)) min $((total % 60)) s over all runs"
