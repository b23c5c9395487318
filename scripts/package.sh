#!/usr/bin/env bash
# Builds the Debian package of the program into dist/: the window, vr7lon and vr7sim with their
# data, desktop entry, icon, metainfo, manual pages and documentation, installed under /usr, with
# the stripped programs' debug symbols in an archive beside it. Installs what it needs
# (scripts/setup.sh package), builds in build-package/ with Debian's hardening flags, and checks
# the result with lintian.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
# Debian's compiler and linker flags (fortified functions, stack protector, full RELRO with
# immediate binding): CMake takes no CPPFLAGS, so they join CXXFLAGS. Given on each configure,
# since CMake reads the environment's flags only into a new cache.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Only what the package holds is built (not the tests); cpack then installs without building
# all. RelWithDebInfo: the install strips the programs and keeps their debug symbols aside.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DVR7_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
targets=(vr7loncfgmaker vr7lon vr7sim_prog vr7_man_pages vr7_package_docs)
# (The list is read whole first: grep -q would stop reading it, and pipefail fail the test.)
all_targets=$(ninja -C build-package -t targets all)
if grep -q '^vr7_help_chm:' <<<"$all_targets"; then targets+=(vr7_help_chm); fi
cmake --build build-package -j "$(nproc)" --target "${targets[@]}"
mkdir -p dist
rm -f dist/vr7loncfgmaker*.deb dist/vr7loncfgmaker*.ddeb dist/vr7loncfgmaker*-debug-symbols.tar.xz
rm -rf build-package/debug-symbols
(cd build-package && cpack -G DEB -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
deb=$(echo dist/vr7loncfgmaker_*.deb)
tar -C build-package -cJf "${deb%.deb}-debug-symbols.tar.xz" debug-symbols
ls dist/vr7loncfgmaker*
# lintian's verdict, at every level down to pedantic and informational remarks: nothing beyond
# the overrides the package carries (each says why).
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb"
echo "lintian --pedantic: no complaints"
