# Build: runs the Windows test programs of a cross build under Wine, inside the build folder's prefix.
#
# Every test discovered by gtest_discover_tests in a cross build requires the fixture `wine_env`
# (set up once, torn down after the last test that needs it). A target opts in explicitly with
#   tandemere_wine_test(<target> [NEEDS_DISPLAY] [PROPERTIES ...])
# NEEDS_DISPLAY marks tests that show windows (they are serialised on the shared display); the
# Xvfb display itself is always present, since every wine process must see the same DISPLAY.
if(NOT CMAKE_CROSSCOMPILING OR TANDEMERE_WINE_CMAKE_INCLUDED)
  return()
endif()
set(TANDEMERE_WINE_CMAKE_INCLUDED TRUE)

set(TANDEMERE_WINE_ENV ${PROJECT_SOURCE_DIR}/tests/wine/wine-env.sh)
set(TANDEMERE_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

# How this machine runs the 32-bit Wine loader: natively, by emulation (a kernel without 32-bit
# support, with qemu registered by scripts/enable-32bit-emulation.sh), or not at all. Under
# emulation every Windows process takes tens of seconds to start, so each test program runs once
# as one test instead of once per test case; without any way, the programs are built and each
# reports itself skipped with the reason. Emulated runs are opt-in: the engine's program has
# crashed inside the emulated Wine, not yet understood.
option(TANDEMERE_RUN_EMULATED_32BIT "Run the 32-bit Windows tests where only emulation can" OFF)
set(TANDEMERE_WINE_MODE native)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} 32bit-mode
                  OUTPUT_VARIABLE TANDEMERE_WINE_MODE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(TANDEMERE_WINE_MODE STREQUAL "none" OR TANDEMERE_WINE_MODE STREQUAL "")
    set(TANDEMERE_WINE_MODE none)
    message(WARNING "This machine cannot run 32-bit programs (no 32-bit kernel support, no emulation): "
                    "the 32-bit test programs are built but reported as skipped. "
                    "scripts/enable-32bit-emulation.sh sets up the emulation.")
  elseif(TANDEMERE_WINE_MODE STREQUAL "emulated" AND NOT TANDEMERE_RUN_EMULATED_32BIT)
    set(TANDEMERE_WINE_MODE none)
    message(WARNING "32-bit programs run here only by emulation: the 32-bit test programs are built "
                    "but reported as skipped. -DTANDEMERE_RUN_EMULATED_32BIT=ON runs them (slowly).")
  elseif(TANDEMERE_WINE_MODE STREQUAL "emulated")
    message(STATUS "32-bit programs run by emulation: each test program runs as one test")
  endif()
endif()

function(_tandemere_wine_fixture)
  get_property(done GLOBAL PROPERTY TANDEMERE_WINE_FIXTURE_DONE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY TANDEMERE_WINE_FIXTURE_DONE TRUE)
  add_test(NAME wine_env_setup COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} setup)
  add_test(NAME wine_env_teardown COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} teardown)
  set_tests_properties(wine_env_setup PROPERTIES FIXTURES_SETUP wine_env TIMEOUT 900)
  set_tests_properties(wine_env_teardown PROPERTIES FIXTURES_CLEANUP wine_env TIMEOUT 60)
endfunction()

# Test discovery runs the program too (when ctest starts), through the same emulator wrapper,
# which sets the environment up on first use; the fixture orders set-up and tear-down around
# the tests themselves.
function(gtest_discover_tests target)
  _tandemere_wine_fixture()
  # The first discovery of a run may make the prefix (minutes on a loaded machine).
  cmake_parse_arguments(arg "" "DISCOVERY_TIMEOUT" "PROPERTIES" ${ARGN})
  if(TANDEMERE_WINE_MODE STREQUAL "none")
    add_test(NAME ${target}.needs_32bit_support
             COMMAND sh -c "echo '${target}: 32-bit programs do not run here (or only by emulation, not enabled); skipped'; exit 77")
    set_tests_properties(${target}.needs_32bit_support PROPERTIES SKIP_RETURN_CODE 77)
  elseif(TANDEMERE_WINE_MODE STREQUAL "emulated")
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine_env ${arg_PROPERTIES})
    # One process for every case: its time limit is the sum of theirs, not one case's.
    set_tests_properties(${target} PROPERTIES TIMEOUT 2400)
  else()
    _gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS} DISCOVERY_TIMEOUT 900
                          PROPERTIES FIXTURES_REQUIRED wine_env ${arg_PROPERTIES})
  endif()
endfunction()

function(tandemere_wine_test target)
  cmake_parse_arguments(arg "NEEDS_DISPLAY" "" "PROPERTIES" ${ARGN})
  set(props ${arg_PROPERTIES})
  if(arg_NEEDS_DISPLAY)
    list(APPEND props RESOURCE_LOCK wine_display)
  endif()
  gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS} PROPERTIES ${props})
endfunction()
