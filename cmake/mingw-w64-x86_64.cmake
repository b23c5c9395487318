# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix flavour: the win32 one has
# no std::thread or std::mutex in GCC 12). Programs link statically, so an .exe needs nothing but
# what every Windows has, and each one embeds the manifest that makes its code page UTF-8.
# Tests run under Wine (CMAKE_CROSSCOMPILING_EMULATOR), in a prefix of the build's own.
#
# libxml2 and GoogleTest are not Debian packages for MinGW: scripts/windows.sh builds them once
# into VR7_WINDOWS_DEPS (default ~/.cache/vr7loncfgmaker/mingw-w64), which this file searches.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VR7_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VR7_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VR7_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VR7_MINGW}-windres)
set(CMAKE_AR ${VR7_MINGW}-gcc-ar-posix)
set(CMAKE_RANLIB ${VR7_MINGW}-gcc-ranlib-posix)

if(NOT DEFINED VR7_WINDOWS_DEPS)
    if(DEFINED ENV{VR7_WINDOWS_DEPS})
        set(VR7_WINDOWS_DEPS $ENV{VR7_WINDOWS_DEPS})
    else()
        set(VR7_WINDOWS_DEPS $ENV{HOME}/.cache/vr7loncfgmaker/mingw-w64)
    endif()
endif()
set(VR7_WINDOWS_DEPS ${VR7_WINDOWS_DEPS} CACHE PATH "The MinGW builds of libxml2 and GoogleTest")
# try_compile projects read this file again; they get the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VR7_WINDOWS_DEPS VR7_WINEPREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${VR7_MINGW} ${VR7_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 at -O3 warns falsely of overlapping copies inside std::string (-Wrestrict), which the
# strict core builds treat as errors: a release is -O2, as RelWithDebInfo is.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")

# One .exe with the C and C++ runtimes and winpthreads inside.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine's 64-bit loader is not on PATH. Its Mono and Gecko add-ons would be offered for download
# on the prefix's first start: switched off, and so is its debug chatter. The prefix lives in the
# build folder; the tests make it first and remove it last (tests/CMakeLists.txt).
if(NOT DEFINED VR7_WINEPREFIX)
    set(VR7_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
endif()
set(VR7_WINEPREFIX ${VR7_WINEPREFIX} CACHE PATH "The Wine prefix the tests make, use and remove")
set(VR7_WINE64 /usr/lib/wine/wine64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
    WINEPREFIX=${VR7_WINEPREFIX} ${VR7_WINE64})
