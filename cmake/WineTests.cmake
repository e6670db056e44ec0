# Runs Windows test programs under Wine, in a private prefix inside the build tree that one
# persistent wineserver serves for the whole test run. The prefix's architecture is the
# build's, chosen explicitly: with 64-bit Wine installed, a new prefix would otherwise be
# 64-bit whatever the programs are.
set(LANTERWELL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(LANTERWELL_ARCH STREQUAL "x86")
    set(LANTERWELL_WINEARCH win32)
else()
    set(LANTERWELL_WINEARCH win64)
endif()
# ARM64 programs run under an emulated arm64 Wine (tools/roots/enter-root.sh), many times slower:
# there only these suites run, in one locale; the rest test code that every architecture
# shares, and run on x86 and x64.
set(LANTERWELL_EMULATED_SUITES core)
set(LANTERWELL_WINE_LOCALES "ja_JP.UTF-8;en_US.UTF-8")
# The label of the tests that run no Windows program (checks of the built files, a second
# build): their result is the same on either Wine, and tools/test.sh runs them on the
# machine's Wine only, not again on Wine 10.
set(LANTERWELL_NO_WINE no-wine)

function(lanterwell_wine_fixture)
    add_test(NAME wine.start
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh start ${LANTERWELL_WINEPREFIX}
                ${LANTERWELL_WINEARCH})
    set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
    add_test(NAME wine.stop
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine-prefix.sh stop ${LANTERWELL_WINEPREFIX})
    set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()

# lanterwell_wine_test(NAME name TARGET target [AS exe-name] [LOCALES ...]
#                      [VERSION win98|nt40] [SUMMARY regex] [FOLDER /below] [ARGS ...]
#                      [FILES file[=name] ...])
# One CTest test per locale; each runs the whole program in a fresh folder holding the
# program and the files it needs (FOLDER: a folder of that name below the test's own).
function(lanterwell_wine_test)
    cmake_parse_arguments(T "" "NAME;TARGET;AS;VERSION;SUMMARY;FOLDER" "LOCALES;FILES;ARGS" ${ARGN})
    if(NOT T_SUMMARY)
        set(T_SUMMARY "^\\[  PASSED  \\]")
    endif()
    string(REPLACE ";" " " arguments "${T_ARGS}")
    if(NOT T_LOCALES)
        set(T_LOCALES ${LANTERWELL_WINE_LOCALES})
    endif()
    if(NOT T_AS)
        set(T_AS ${T_TARGET}.exe)
    endif()
    if(NOT T_VERSION)
        set(T_VERSION default)
    endif()
    if(LANTERWELL_ARCH STREQUAL "arm64")
        if(NOT T_NAME IN_LIST LANTERWELL_EMULATED_SUITES)
            return()
        endif()
        list(GET T_LOCALES 0 T_LOCALES)
    endif()
    foreach(locale IN LISTS T_LOCALES)
        string(REGEX REPLACE "[._-].*" "" short ${locale})
        set(test ${T_NAME}.${short})
        add_test(NAME ${test}
            COMMAND ${CMAKE_COMMAND} -E env "WINE_RUN_SUMMARY=${T_SUMMARY}"
                "WINE_RUN_ARGS=${arguments}"
                bash ${CMAKE_SOURCE_DIR}/tests/wine-run.sh
                ${LANTERWELL_WINEPREFIX} ${CMAKE_BINARY_DIR}/runs/${test}${T_FOLDER} ${locale}
                ${T_VERSION}
                $<TARGET_FILE:${T_TARGET}>=${T_AS} ${T_FILES})
        # The tests share one registry and one set of DOS devices: one at a time.
        set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
            TIMEOUT 600)
    endforeach()
endfunction()

# Every test of the calling folder gets the identifiers and the commands' numbers as the
# build writes them out for scripts (cmake/Identifiers.cmake).
function(lanterwell_identify_tests)
    get_property(tests DIRECTORY PROPERTY TESTS)
    set_property(TEST ${tests} APPEND
        PROPERTY ENVIRONMENT "LANTERWELL_IDENTIFIERS=${LANTERWELL_IDENTIFIERS_SCRIPT}")
endfunction()
