# The suites that run under Wine (64-bit), included by the MinGW build when
# WINE_TESTS is on. Every Windows program is started through
# tools/wine/wine.sh, which refuses to run without the private, safe prefix
# that test.sh makes for each test run (WINE_PREFIX).
set(WINE_PREFIX "" CACHE PATH "The private Wine prefix of this test run (made by tools/wine/wine.sh create)")
if(NOT WINE_PREFIX)
    message(FATAL_ERROR "WINE_TESTS needs -DWINE_PREFIX=<prefix under the build tree>")
endif()
set(PLUGIN_DLL_DIR "" CACHE PATH "Folder holding the genuine .wfx64 and .wfx that build.sh built")
set(WINE_SH ${CMAKE_SOURCE_DIR}/tools/wine/wine.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_SH} run ${WINE_PREFIX})

# GoogleTest, cross-compiled from Debian's sources (needs the -posix compilers).
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include(GoogleTest)

set(WINE_DISPLAY_PREFIX "" CACHE PATH "The private Wine prefix with an X display (Xvfb) for the dialog suite")

# fixture: the ctest fixture whose prefix the tests run in.
function(wine_test_program target fixture test_prefix)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0600 WINVER=0x0600)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-cast-function-type)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    target_link_libraries(${target} PRIVATE gtest gtest_main)
    # The tests are found in the sources: listing them by running the program
    # would start Wine before the set-up fixture (and outside its care).
    gtest_add_tests(TARGET ${target} TEST_PREFIX "${test_prefix}" TEST_LIST tests)
    # A test that Wine cannot serve says so and shows as skipped.
    set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED ${fixture} SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    set(${target}_TESTS ${tests} PARENT_SCOPE)
endfunction()

add_executable(conformance_tests
    tests/conformance/conformance_test.cpp
    tests/conformance/scratch_windows.cpp)
wine_test_program(conformance_tests wine "wine.")

# The genuine DLL end to end, driving the command-line host.
add_executable(e2e_tests
    tests/e2e/end_to_end_test.cpp
    tests/e2e/host_runner.cpp)
wine_test_program(e2e_tests wine "wine.")

# The settings dialog in a real window: its own prefix, whose windows show on
# a private Xvfb (tools/wine/wine.sh starts and stops it with the prefix's
# wineserver).
if(NOT WINE_DISPLAY_PREFIX)
    message(FATAL_ERROR "WINE_TESTS needs -DWINE_DISPLAY_PREFIX=<prefix under the build tree, made with display>")
endif()
add_executable(dialog_tests
    tests/dialog/settings_dialog_test.cpp
    tests/dialog/user.cpp
    tests/e2e/host_runner.cpp)
target_link_libraries(dialog_tests PRIVATE user32 gdi32)
set_target_properties(dialog_tests PROPERTIES CROSSCOMPILING_EMULATOR "${WINE_SH};run;${WINE_DISPLAY_PREFIX}")
wine_test_program(dialog_tests wine_display "wine.dialog.")
set_tests_properties(${dialog_tests_TESTS} PROPERTIES TIMEOUT 180)

add_test(NAME wine.dialog.setup COMMAND ${WINE_SH} start ${WINE_DISPLAY_PREFIX})
set_tests_properties(wine.dialog.setup PROPERTIES FIXTURES_SETUP wine_display)
add_test(NAME wine.dialog.stage COMMAND ${WINE_SH} stage ${WINE_DISPLAY_PREFIX}
    ${PLUGIN_DLL_DIR}/${PLUGIN_BASE_NAME}${PLUGIN_SUFFIX} ${CMAKE_SOURCE_DIR}/resources/lang/German.lng
    ${CMAKE_SOURCE_DIR}/resources/lang/Russian.lng)
set_tests_properties(wine.dialog.stage PROPERTIES FIXTURES_SETUP wine_display)
add_test(NAME wine.dialog.cleanup COMMAND ${WINE_SH} stop ${WINE_DISPLAY_PREFIX})
set_tests_properties(wine.dialog.cleanup PROPERTIES FIXTURES_CLEANUP wine_display)
add_test(NAME wine.dialog.prefix_still_safe COMMAND ${WINE_SH} check ${WINE_DISPLAY_PREFIX})
set_tests_properties(wine.dialog.prefix_still_safe PROPERTIES FIXTURES_CLEANUP wine_display
    DEPENDS wine.dialog.cleanup)
# The screenshot the OK test took, as a PNG in the test output.
add_test(NAME wine.dialog.screenshot
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/bmp_to_png.py
            ${WINE_DISPLAY_PREFIX}/drive_c/scratch/dialog/settings-dialog.bmp
            ${CMAKE_BINARY_DIR}/test-output/settings-dialog.png)
set_tests_properties(wine.dialog.screenshot PROPERTIES DEPENDS "${dialog_tests_TESTS}")
add_test(NAME wine.dialog.screenshot_russian
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/bmp_to_png.py
            ${WINE_DISPLAY_PREFIX}/drive_c/scratch/dialog/settings-dialog-russian.bmp
            ${CMAKE_BINARY_DIR}/test-output/settings-dialog-russian.png)
set_tests_properties(wine.dialog.screenshot_russian PROPERTIES DEPENDS "${dialog_tests_TESTS}")

# Everything the Wine suites need, built by one target.
add_custom_target(wine_tests DEPENDS conformance_tests e2e_tests dialog_tests tarnwick_host)

# The wineserver stays up for the whole run (a server per test would make
# ctest wait for it to let go of each test's output), and the prefix is
# checked for a way out of drive_c before and after.
add_test(NAME wine.setup COMMAND ${WINE_SH} start ${WINE_PREFIX})
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine)
# The genuine DLL that build.sh built, and the host, go to C:\tarnwick.
add_test(NAME wine.stage COMMAND ${WINE_SH} stage ${WINE_PREFIX}
    ${PLUGIN_DLL_DIR}/${PLUGIN_BASE_NAME}${PLUGIN_SUFFIX} $<TARGET_FILE:tarnwick_host>)
set_tests_properties(wine.stage PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine.cleanup COMMAND ${WINE_SH} stop ${WINE_PREFIX})
set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP wine)
add_test(NAME wine.prefix_still_safe COMMAND ${WINE_SH} check ${WINE_PREFIX})
set_tests_properties(wine.prefix_still_safe PROPERTIES FIXTURES_CLEANUP wine DEPENDS wine.cleanup)

# The host loads the genuine DLL and answers the plainest questions.
add_test(NAME wine.host.loads_the_plugin
    COMMAND ${WINE_SH} run ${WINE_PREFIX} C:\\tarnwick\\tarnwick-host.exe
            C:\\tarnwick\\${PLUGIN_BASE_NAME}${PLUGIN_SUFFIX} rootname + list \\)
set_tests_properties(wine.host.loads_the_plugin PROPERTIES FIXTURES_REQUIRED wine
    PASS_REGULAR_EXPRESSION "root name: NTFS - Tarnwick"
    FAIL_REGULAR_EXPRESSION "fault:|cannot load")

# Benchmarks of the genuine DLL under Wine (run by hand, not by ctest):
#   tools/wine/wine.sh run PREFIX build/wine64/wine_bench.exe C:\\tarnwick\\NTFSTarnwick.wfx64
add_executable(wine_bench bench/wine_bench.cpp)
target_include_directories(wine_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(wine_bench PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0600 WINVER=0x0600)
target_compile_options(wine_bench PRIVATE -O2 -Wall -Wextra -Wno-cast-function-type)
target_link_options(wine_bench PRIVATE -static -static-libgcc -static-libstdc++ -municode)
