#!/usr/bin/env bash
# scripts/setup.sh SET [PACKAGE...]: installs the Debian packages SET needs (and the PACKAGEs
# named), only those missing. The sets:
#   run      building and running the program (scripts/run.sh)
#   package  run, plus making and checking the Debian package (scripts/package.sh)
#   test     package, plus what the tests need (scripts/test.sh; the packaging test builds the
#            package and checks the installed copy)
#   none     only the PACKAGEs named
# `scripts/setup.sh --list SET` prints the set's packages and installs nothing.
set -euo pipefail
list_only=0
if [ "${1:-}" = "--list" ]; then
    list_only=1
    shift
fi
set_name=${1:-run}
[ $# -gt 0 ] && shift

# Building and running: the compiler and build tools, Qt with its platform plugins, libxml2, a
# font with Cyrillic letters, and Qt's own Russian texts for its standard dialogs and buttons
# (the window loads qtbase_ru).
run_set=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-qpa-plugins libxml2-dev
    fonts-dejavu-core qt6-translations-l10n)
# Making the package: dpkg-deb and dpkg-shlibdeps (dpkg-dev), file (which CPack's Debian
# generator runs on every installed file), lintian to check the result, and chmcmd (fp-utils),
# which compiles the manual into the Help.chm the package carries.
package_set=(dpkg-dev file lintian fp-utils-3.2.2)
# The tests: GoogleTest; the sources of the Russian locale the build compiles for a caption test;
# man to read the manual pages, the desktop entry's and metainfo's validators, and strace to see
# what the installed window opens; clang-format and clang-tidy for the checks of scripts/lint.sh;
# clang with its sanitizer runtime for the sanitizer build, and ccache for rebuilds.
test_set=(libgtest-dev locales man-db desktop-file-utils appstream strace clang-format clang-tidy
    clang libclang-rt-14-dev ccache)

case "$set_name" in
    run) packages=("${run_set[@]}") ;;
    package) packages=("${run_set[@]}" "${package_set[@]}") ;;
    test) packages=("${run_set[@]}" "${package_set[@]}" "${test_set[@]}") ;;
    none) packages=() ;;
    *)
        echo "usage: scripts/setup.sh [--list] run|package|test|none [PACKAGE...]" >&2
        exit 64
        ;;
esac
packages+=("$@")
if [ $list_only -eq 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

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
        # sudo only when it may be used: without a password (sudo -n), or after the password is
        # asked on a terminal; otherwise say what an administrator has to install.
        if ! sudo -n true 2>/dev/null; then
            if [ -z "${CI:-}" ] && [ -t 0 ] && [ -t 2 ] && sudo -v; then
                :
            else
                echo "These Debian packages are missing: ${missing[*]}" >&2
                echo "sudo may not be used here without a password prompt; ask an administrator to run:" >&2
                echo "    apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
                exit 1
            fi
        fi
        sudo="sudo"
    fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi
