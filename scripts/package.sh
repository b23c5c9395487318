#!/usr/bin/env bash
# Builds the Debian package of the program into dist/: the window, vr7lon and vr7sim with their
# data, desktop entry, icon, metainfo and manual pages, installed under /usr. Installs what it
# needs (like the other scripts) and builds in build-package/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh fp-utils-3.2.2  # chmcmd, which compiles the manual into Help.chm
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j "$(nproc)"
mkdir -p dist
(cd build-package && cpack -G DEB -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls dist/*.deb
