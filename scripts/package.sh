#!/usr/bin/env bash
# Builds the Debian package of the program into dist/: the window, vr7lon and vr7sim with their
# data, desktop entry, icon, metainfo and manual pages, installed under /usr. Installs what it
# needs (like the other scripts) and builds in build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh fp-utils-3.2.2  # chmcmd, which compiles the manual into Help.chm
# Only what the package holds is built (not the tests); cpack then installs without building all.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
targets=(vr7loncfgmaker vr7lon vr7sim_prog vr7_man_pages)
if ninja -C build-package -t targets all | grep -q '^vr7_help_chm:'; then targets+=(vr7_help_chm); fi
cmake --build build-package -j "$(nproc)" --target "${targets[@]}"
mkdir -p dist
(cd build-package && cpack -G DEB -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls dist/*.deb
