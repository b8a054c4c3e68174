# Read by CTest when it starts (a test include file): one test per case of the GUI driver and
# locale. The case names come from the driver itself (`--list`, run under Wine), listed again
# only when the driver has been rebuilt. The build folder's gui-tests.cmake sets the paths and
# the settings below, then includes this file.
#
#   gui_driver, gui_program, gui_probe   the three programs
#   gui_run_script                       scripts/wine-test.sh: one case in one locale
#   gui_list_command                     runs a console program under Wine
#   gui_names_file                       where the list is kept
#   gui_locales                          tag=locale pairs: wine.<tag>.<case>
#   gui_zoned_tests                      case=zone pairs: the time zone a case runs in

cmake_policy(VERSION 3.25)

set(names_file "${gui_names_file}")
if(NOT EXISTS "${names_file}" OR "${gui_driver}" IS_NEWER_THAN "${names_file}")
    execute_process(
        COMMAND ${gui_list_command} "${gui_driver}" --list
        OUTPUT_VARIABLE names
        ERROR_VARIABLE errors
        RESULT_VARIABLE result
        TIMEOUT 120)
    if(NOT result EQUAL 0 OR NOT names MATCHES "^[A-Za-z]+\n")
        message(FATAL_ERROR "the GUI driver did not list its cases (${result}):\n${names}${errors}")
    endif()
    file(WRITE "${names_file}" "${names}")
endif()
file(STRINGS "${names_file}" gui_tests)

foreach(pair IN LISTS gui_zoned_tests)
    string(REGEX REPLACE "=.*" "" name "${pair}")
    if(NOT name IN_LIST gui_tests)
        message(FATAL_ERROR "zoned GUI test ${name} is not one of the driver's cases")
    endif()
endforeach()

# Under scripts/xvfb-run.sh --second-screen (ORVESSA_DISPLAY_2 set) the second locale's cases
# form a second lane, with a prefix and a screen of their own, which `ctest -j 2` runs beside
# the first; otherwise every case is in the first lane.
set(lane 1)
foreach(locale_pair IN LISTS gui_locales)
    string(REGEX REPLACE "=.*" "" tag "${locale_pair}")
    string(REGEX REPLACE ".*=" "" locale "${locale_pair}")
    if(lane EQUAL 1)
        set(suffix "")
        set(after win32.wine-server-stop)
    else()
        set(suffix -${lane})
        set(after "")
    endif()
    foreach(name IN LISTS gui_tests)
        set(test wine.${tag}.${name})
        add_test(${test} "${gui_run_script}" ${locale} "${gui_driver}" "${gui_program}" ${name}
            "${gui_probe}")
        # One Wine desktop a lane: keyboard focus and the foreground window cannot be shared.
        # The cases share one Wine server while they pass (see wine-test.sh); in the first lane,
        # after the unit cases' server, which has no display, has stopped.
        set(environment ORVESSA_WINE_KEEP_SERVER=1 ORVESSA_WINE_LANE=${lane})
        foreach(pair IN LISTS gui_zoned_tests)
            if(pair MATCHES "^${name}=(.*)")
                list(APPEND environment TZ=${CMAKE_MATCH_1})
            endif()
        endforeach()
        set_tests_properties(${test} PROPERTIES
            RESOURCE_LOCK orvessa-wine-desktop${suffix} TIMEOUT 240 LABELS wine
            ENVIRONMENT "${environment}" FIXTURES_REQUIRED orvessa-wine-kept${suffix} DEPENDS "${after}")
    endforeach()
    # The kept server ends after the lane's last case.
    if(NOT lane IN_LIST lanes_stopped)
        list(APPEND lanes_stopped ${lane})
        add_test(wine.server-stop${suffix} "${gui_env_script}" sh -c "wineserver -k || true")
        set_tests_properties(wine.server-stop${suffix} PROPERTIES
            ENVIRONMENT ORVESSA_WINE_LANE=${lane} FIXTURES_CLEANUP orvessa-wine-kept${suffix}
            RESOURCE_LOCK orvessa-wine-desktop${suffix} LABELS wine)
    endif()
    if(DEFINED ENV{ORVESSA_DISPLAY_2} AND lane EQUAL 1)
        set(lane 2)
    endif()
endforeach()
