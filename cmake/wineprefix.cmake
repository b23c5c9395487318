# cmake -DACTION=make|remove -DPREFIX=DIR -DWINE=/usr/lib/wine/wine64 -P wineprefix.cmake
# Makes a fresh Wine prefix for the Windows tests, or stops its server and removes it.
set(ENV{WINEPREFIX} ${PREFIX})
set(ENV{WINEDEBUG} -all)
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")
get_filename_component(wine_dir ${WINE} DIRECTORY)
if(ACTION STREQUAL "make")
    file(REMOVE_RECURSE ${PREFIX})
    execute_process(COMMAND ${WINE} wineboot --init RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/system.reg)
        message(FATAL_ERROR "wineboot --init failed (${result}) in ${PREFIX}")
    endif()
    # Wine maps COM1..COM4 to the machine's /dev/ttyS0..3; the tests never use them, and link
    # only the ports they make themselves (com5 and up) to pseudo-terminals.
    foreach(n 1 2 3 4)
        file(REMOVE ${PREFIX}/dosdevices/com${n})
    endforeach()
elseif(ACTION STREQUAL "remove")
    execute_process(COMMAND ${wine_dir}/wineserver -k OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND ${wine_dir}/wineserver -w OUTPUT_QUIET ERROR_QUIET)
    file(REMOVE_RECURSE ${PREFIX})
else()
    message(FATAL_ERROR "ACTION must be make or remove")
endif()
