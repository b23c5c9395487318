#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, only those missing.
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev libxml2-dev libgtest-dev fonts-dejavu-core
    locales)  # locales: the sources of the Russian locale the build compiles for a caption test
# The installed program's pieces and their checks: man to read the manual pages, the
# desktop entry's and metainfo's validators, dpkg-shlibdeps for the package's dependencies, and
# strace to see what the installed window opens.
packages+=(desktop-file-utils appstream dpkg-dev man-db strace)
# Qt's own Russian texts for its standard dialogs and buttons (the window loads qtbase_ru).
packages+=(qt6-translations-l10n)
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "These Debian packages are missing: ${missing[*]}" >&2
            echo "Install them as root, then run this again:" >&2
            echo "    su -c 'apt-get install --no-install-recommends ${missing[*]}'" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
