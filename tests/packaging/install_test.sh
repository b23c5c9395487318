#!/usr/bin/env bash
# install_test.sh SOURCE_DIR BUILD_DIR: checks the installed program and its Debian package.
# Every check runs, whatever failed before it; each failure is said, and counted in the status.
set -uo pipefail
src=$1 build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The tools the checks and the package build run, with the Debian package of each
# (scripts/setup.sh test installs them all).
missing_tools=()
for pair in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file lintian:lintian \
    objcopy:binutils readelf:binutils desktop-file-validate:desktop-file-utils \
    appstreamcli:appstream man:man-db strace:strace; do
    tool=${pair%%:*}
    command -v "$tool" >/dev/null 2>&1 || missing_tools+=("$tool (package ${pair#*:})")
done
for tool in "${missing_tools[@]}"; do fail "missing tool: $tool"; done

# The desktop entry and the metainfo as the desktop and software centres read them.
desktop-file-validate "$src/packaging/vr7loncfgmaker.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$src/packaging/vr7loncfgmaker.metainfo.xml" >/dev/null ||
    fail "metainfo"

# An install under /usr into a scratch root.
root="$scratch/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null || fail "cmake --install"
usr="$root/usr"
for f in bin/vr7loncfgmaker bin/vr7loncfgmaker-launch bin/vr7lon bin/vr7sim \
    share/vr7loncfgmaker/calcbank.xml share/vr7loncfgmaker/vr7_12/CONFIG/main.xmc \
    share/vr7loncfgmaker/vr7_12/CONFIG/duxgate.cfg share/applications/vr7loncfgmaker.desktop \
    share/metainfo/net.vr7tools.vr7loncfgmaker.metainfo.xml \
    share/icons/hicolor/scalable/apps/vr7loncfgmaker.svg \
    share/icons/hicolor/48x48/apps/vr7loncfgmaker.png \
    share/man/man1/vr7lon.1.gz share/man/man1/vr7sim.1.gz share/man/man1/vr7loncfgmaker.1.gz \
    share/man/man1/vr7loncfgmaker-launch.1.gz share/doc/vr7loncfgmaker/copyright \
    share/doc/vr7loncfgmaker/changelog.gz share/doc-base/vr7loncfgmaker; do
    [ -e "$usr/$f" ] || fail "not installed: /usr/$f"
done
[ -x "$usr/bin/vr7loncfgmaker-launch" ] || fail "the launcher is not executable"
# The menu entry starts the launcher, which starts the program beside it.
exec_line=$(sed -n 's/^Exec=//p' "$usr/share/applications/vr7loncfgmaker.desktop")
[ -x "$usr/bin/${exec_line%% *}" ] || fail "the menu entry's Exec ($exec_line) is not installed"

# The manual pages render, and say what the programs' --help says.
if command -v man >/dev/null 2>&1; then
    page=$(MANWIDTH=100 man -l "$usr/share/man/man1/vr7lon.1.gz" 2>&1) || fail "man vr7lon"
    grep -q "vr7lon device store" <<<"$page" || fail "the vr7lon page lacks its device commands"
    for name in vr7sim vr7loncfgmaker vr7loncfgmaker-launch; do
        MANWIDTH=100 man -l "$usr/share/man/man1/$name.1.gz" >/dev/null 2>&1 || fail "man $name"
    done
fi

# The installed vr7lon, started from a working folder without a catalogue, finds the installed
# one: the demo configuration's tree has its variables.
work="$scratch/work"
mkdir -p "$work"
tree=$(cd "$work" && "$usr/bin/vr7lon" tree "$usr/share/vr7loncfgmaker/vr7_12") ||
    fail "installed vr7lon tree"
grep -q "^VR7 №12" <<<"$tree" || fail "installed vr7lon: no device root"
[ "$(grep -c $'\timage=6' <<<"$tree")" -gt 0 ] || fail "installed vr7lon: no variables"

# The installed demo is read-only to an ordinary user (root-owned files, as the package installs
# them): vr7lon shows its whole tree, and vr7sim serves it. As root the commands run as nobody.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 755 "$scratch"
    chmod -R go+rX "$root"
fi
user_tree=$(cd / && "${as_user[@]}" "$usr/bin/vr7lon" tree "$usr/share/vr7loncfgmaker/vr7_12") ||
    fail "vr7lon tree of the read-only demo"
[ "$user_tree" = "$tree" ] || fail "the read-only demo's tree differs from the full one"
# vr7sim says where it listens once the folder is loaded, and refuses at once when it cannot be.
exec {sim_out}< <(cd / && exec "${as_user[@]}" "$usr/bin/vr7sim" \
    --folder "$usr/share/vr7loncfgmaker/vr7_12" --tcp 0 2>&1)
sim_pid=$!
sim_line=""
read -r -t 10 sim_line <&"$sim_out" || true
kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
exec {sim_out}<&-
[[ "$sim_line" == "listening tcp 127.0.0.1:"* ]] ||
    fail "vr7sim does not serve the read-only demo (${sim_line:-no line})"

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
deb=""
for f in "$scratch"/dist/*.deb; do [ -e "$f" ] && deb=$f && break; done
if [ -n "$deb" ]; then
    contents=$(dpkg-deb -c "$deb")
    for f in ./usr/bin/vr7loncfgmaker ./usr/bin/vr7lon ./usr/bin/vr7sim \
        ./usr/share/applications/vr7loncfgmaker.desktop ./usr/share/vr7loncfgmaker/calcbank.xml \
        ./usr/share/man/man1/vr7lon.1.gz ./usr/share/doc/vr7loncfgmaker/copyright \
        ./usr/share/doc/vr7loncfgmaker/changelog.gz; do
        grep -q " $f\$" <<<"$contents" || fail "package lacks $f"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for d in libqt6widgets6 libqt6printsupport6 libxml2 qt6-qpa-plugins; do
        grep -q "$d" <<<"$depends" || fail "package does not depend on $d ($depends)"
    done
    # Debian's own judgement of the package: no error and no warning (the tags of lesser
    # severity depend on the build's flags, which only scripts/package.sh sets as Debian does;
    # its package is clean of those too). Overrides are in the package, each with its reason.
    if command -v lintian >/dev/null 2>&1; then
        lintian --pedantic --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
            fail "lintian: $(cat "$scratch/lintian.log")"
        [ -s "$build/debug-symbols/vr7lon.debug" ] || fail "the debug symbols were not kept"
        dpkg-deb -x "$deb" "$scratch/unpacked" &&
            ! file "$scratch"/unpacked/usr/bin/* | grep -q "not stripped" ||
            fail "the package's programs are not stripped"
    fi
else
    fail "no package was made"
fi

[ "$failures" -eq 0 ] && echo "installed copy and package: all checks passed"
exit "$failures"
