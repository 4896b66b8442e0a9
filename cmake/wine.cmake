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

# A kernel without 32-bit support cannot run the 32-bit Wine loader: the 32-bit suite then builds
# and checks its imports, and each test program reports itself skipped with the reason.
set(TANDEMERE_WINE_CAN_RUN ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} can-run-32
                  RESULT_VARIABLE _tandemere_can32 OUTPUT_QUIET ERROR_QUIET)
  if(NOT _tandemere_can32 EQUAL 0)
    set(TANDEMERE_WINE_CAN_RUN OFF)
    message(WARNING "This machine cannot run 32-bit programs (no 32-bit kernel support): "
                    "the 32-bit test programs are built but reported as skipped.")
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
  set_tests_properties(wine_env_setup PROPERTIES FIXTURES_SETUP wine_env TIMEOUT 300)
  set_tests_properties(wine_env_teardown PROPERTIES FIXTURES_CLEANUP wine_env TIMEOUT 60)
endfunction()

# Test discovery runs the program too (when ctest starts), through the same emulator wrapper,
# which sets the environment up on first use; the fixture orders set-up and tear-down around
# the tests themselves.
function(gtest_discover_tests target)
  _tandemere_wine_fixture()
  if(NOT TANDEMERE_WINE_CAN_RUN)
    add_test(NAME ${target}.needs_32bit_support
             COMMAND sh -c "echo '${target}: this machine cannot run 32-bit programs; skipped'; exit 77")
    set_tests_properties(${target}.needs_32bit_support PROPERTIES SKIP_RETURN_CODE 77)
    return()
  endif()
  cmake_parse_arguments(arg "" "" "PROPERTIES" ${ARGN})
  _gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS}
                        PROPERTIES FIXTURES_REQUIRED wine_env ${arg_PROPERTIES})
endfunction()

function(tandemere_wine_test target)
  cmake_parse_arguments(arg "NEEDS_DISPLAY" "" "PROPERTIES" ${ARGN})
  set(props ${arg_PROPERTIES})
  if(arg_NEEDS_DISPLAY)
    list(APPEND props RESOURCE_LOCK wine_display)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 300 ${arg_UNPARSED_ARGUMENTS} PROPERTIES ${props})
endfunction()
