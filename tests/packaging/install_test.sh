#!/usr/bin/env bash
# install_test.sh SOURCE_DIR BUILD_DIR: checks the installed program and its Debian package.
set -euo pipefail
src=$1 build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The desktop entry and the metainfo as the desktop and software centres read them.
desktop-file-validate "$src/packaging/vr7loncfgmaker.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$src/packaging/vr7loncfgmaker.metainfo.xml" >/dev/null ||
    fail "metainfo"

# An install under /usr into a scratch root.
root="$scratch/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
for f in bin/vr7loncfgmaker bin/vr7loncfgmaker-launch bin/vr7lon bin/vr7sim \
    share/vr7loncfgmaker/calcbank.xml share/vr7loncfgmaker/vr7_12/CONFIG/main.xmc \
    share/vr7loncfgmaker/vr7_12/CONFIG/duxgate.cfg share/applications/vr7loncfgmaker.desktop \
    share/metainfo/net.vr7tools.vr7loncfgmaker.metainfo.xml \
    share/icons/hicolor/scalable/apps/vr7loncfgmaker.svg \
    share/icons/hicolor/48x48/apps/vr7loncfgmaker.png \
    share/man/man1/vr7lon.1 share/man/man1/vr7sim.1; do
    [ -e "$usr/$f" ] || fail "not installed: /usr/$f"
done
[ -x "$usr/bin/vr7loncfgmaker-launch" ] || fail "the launcher is not executable"
# The menu entry starts the launcher, which starts the program beside it.
exec_line=$(sed -n 's/^Exec=//p' "$usr/share/applications/vr7loncfgmaker.desktop")
[ -x "$usr/bin/${exec_line%% *}" ] || fail "the menu entry's Exec ($exec_line) is not installed"

# The manual pages render, and say what the programs' --help says.
if command -v man >/dev/null 2>&1; then
    page=$(MANWIDTH=100 man -l "$usr/share/man/man1/vr7lon.1" 2>&1) || fail "man vr7lon"
    grep -q "vr7lon device store" <<<"$page" || fail "the vr7lon page lacks its device commands"
    MANWIDTH=100 man -l "$usr/share/man/man1/vr7sim.1" >/dev/null 2>&1 || fail "man vr7sim"
fi

# The installed vr7lon, started from a working folder without a catalogue, finds the installed
# one: the demo configuration's tree has its variables.
work="$scratch/work"
mkdir -p "$work"
tree=$(cd "$work" && "$usr/bin/vr7lon" tree "$usr/share/vr7loncfgmaker/vr7_12") ||
    fail "installed vr7lon tree"
grep -q "^VR7 №12" <<<"$tree" || fail "installed vr7lon: no device root"
[ "$(grep -c $'\timage=6' <<<"$tree")" -gt 0 ] || fail "installed vr7lon: no variables"

# The menu entry's command, as the desktop runs it: the launcher makes the user's working folder
# and starts the installed window there, which finds the installed catalogue (the working folder
# has none). The window runs offscreen until it is ended; what it opened is seen by strace.
if command -v strace >/dev/null 2>&1; then
    home="$scratch/home"
    mkdir -p "$home"
    (cd "$work" && HOME="$home" XDG_DATA_HOME="" XDG_CONFIG_HOME="" QT_QPA_PLATFORM=offscreen \
        timeout -s TERM 3 strace -f -qq -e trace=openat -o "$scratch/opened.log" \
        "$usr/bin/$exec_line" >/dev/null 2>&1) || true
    [ -d "$home/.local/share/vr7loncfgmaker" ] || fail "the launcher made no working folder"
    [ -w "$home/.local/share/vr7loncfgmaker/vr7_12/CONFIG/main.def" ] ||
        fail "the launcher did not put a writable demo configuration into the working folder"
    grep -q "share/vr7loncfgmaker/calcbank.xml\", O_RDONLY[^)]*) = [0-9]" "$scratch/opened.log" ||
        fail "the installed window did not open the installed catalogue"
else
    echo "strace is not installed: the installed window's start is not checked" >&2
fi

# The Debian package of the same rules: its files and computed dependencies.
(cd "$build" && cpack -G DEB -B "$scratch/dist" >/dev/null) || fail "cpack"
deb=$(ls "$scratch"/dist/*.deb 2>/dev/null | head -n 1)
if [ -n "$deb" ]; then
    contents=$(dpkg-deb -c "$deb")
    for f in ./usr/bin/vr7loncfgmaker ./usr/bin/vr7lon ./usr/bin/vr7sim \
        ./usr/share/applications/vr7loncfgmaker.desktop ./usr/share/vr7loncfgmaker/calcbank.xml \
        ./usr/share/man/man1/vr7lon.1; do
        grep -q " $f\$" <<<"$contents" || fail "package lacks $f"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in libqt6widgets6 libxml2 qt6-qpa-plugins; do
        grep -q "$d" <<<"$depends" || fail "package does not depend on $d ($depends)"
    done
else
    fail "no package was made"
fi

[ "$failures" -eq 0 ] && echo "installed copy and package: all checks passed"
exit "$failures"
