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
set(TANDEMERE_VM32 ${PROJECT_SOURCE_DIR}/tests/wine/vm32.sh)
# The test machine's tree (about 8 GB with its disk image, 7 to 15 minutes to make) outlives
# build folders and clones.
if(DEFINED ENV{TANDEMERE_VM32_ROOT})
  set(TANDEMERE_VM32_ROOT $ENV{TANDEMERE_VM32_ROOT})
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(TANDEMERE_VM32_ROOT $ENV{XDG_CACHE_HOME}/tandemere/vm32)
else()
  set(TANDEMERE_VM32_ROOT $ENV{HOME}/.cache/tandemere/vm32)
endif()

# How this machine runs the 32-bit Wine loader: natively; else, where the kernel cannot run 32-bit
# programs (some virtual machines boot with ia32_emulation off), inside a small Debian machine
# under full-system emulation (tests/wine/vm32.sh), whose own kernel can; else not at all, and the
# 32-bit programs are built and each reports itself skipped with the reason. qemu's user-mode
# emulation of the loader alone does not count: under it Wine's per-thread state breaks, and the
# programs crash or hang at random points.
# TANDEMERE_FORCE_VM32 takes the test machine even where the kernel could run the loader, so
# that path can be tested on any machine.
option(TANDEMERE_FORCE_VM32 "Run the 32-bit tests in the test machine even where this kernel runs them" OFF)
set(TANDEMERE_WINE_MODE native)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  if(TANDEMERE_FORCE_VM32)
    set(TANDEMERE_WINE_MODE none)
  else()
    execute_process(COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} 32bit-mode
                    OUTPUT_VARIABLE TANDEMERE_WINE_MODE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(NOT TANDEMERE_WINE_MODE STREQUAL "native")
    find_program(TANDEMERE_QEMU_SYSTEM qemu-system-x86_64)
    find_program(TANDEMERE_DEBOOTSTRAP debootstrap PATHS /usr/sbin /sbin)
    find_program(TANDEMERE_MKFS_EXT4 mkfs.ext4 PATHS /usr/sbin /sbin)
    if(TANDEMERE_QEMU_SYSTEM AND TANDEMERE_DEBOOTSTRAP AND TANDEMERE_MKFS_EXT4)
      message(STATUS "The 32-bit tests run in a virtual machine (tests/wine/vm32.sh, in "
                     "${TANDEMERE_VM32_ROOT}): this kernel cannot run 32-bit programs, or "
                     "TANDEMERE_FORCE_VM32 is on")
      set(TANDEMERE_WINE_MODE vm)
    else()
      message(WARNING "This machine cannot run 32-bit programs, and has no qemu-system-x86_64, "
                      "debootstrap and mkfs.ext4 for the test machine: the 32-bit test programs are "
                      "built but reported as skipped.")
      set(TANDEMERE_WINE_MODE none)
    endif()
  endif()
endif()

function(_tandemere_wine_fixture)
  get_property(done GLOBAL PROPERTY TANDEMERE_WINE_FIXTURE_DONE)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY TANDEMERE_WINE_FIXTURE_DONE TRUE)
  if(TANDEMERE_WINE_MODE STREQUAL "vm")
    add_test(NAME wine_vm32_setup COMMAND ${TANDEMERE_VM32} --root ${TANDEMERE_VM32_ROOT} make)
    set_tests_properties(wine_vm32_setup PROPERTIES FIXTURES_SETUP wine_vm32 RESOURCE_LOCK wine_vm32 TIMEOUT 3600)
  else()
    add_test(NAME wine_env_setup COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} setup)
    add_test(NAME wine_env_teardown COMMAND ${TANDEMERE_WINE_ENV} --root ${TANDEMERE_WINE_ROOT} teardown)
    set_tests_properties(wine_env_setup PROPERTIES FIXTURES_SETUP wine_env TIMEOUT 900)
    set_tests_properties(wine_env_teardown PROPERTIES FIXTURES_CLEANUP wine_env TIMEOUT 60)
  endif()
endfunction()

# In the test machine a program runs whole, as one test, in one boot (a boot per case would cost
# half a minute each). The source and build folders are shared at their own paths; the Wine
# environment, with the test trees in its prefix, lies on the machine's own disk.
function(_tandemere_vm32_test target)
  set(shares --share ${PROJECT_SOURCE_DIR})
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${CMAKE_BINARY_DIR}" NORMALIZE binary_in_source)
  if(NOT binary_in_source)
    list(APPEND shares --share ${CMAKE_BINARY_DIR})
  endif()
  add_test(NAME ${target}.in_vm32
           COMMAND ${TANDEMERE_VM32} --root ${TANDEMERE_VM32_ROOT} wine-run ${shares} -- $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(${target}.in_vm32 PROPERTIES FIXTURES_REQUIRED wine_vm32
                       RESOURCE_LOCK wine_vm32 TIMEOUT 3600)
endfunction()

# Test discovery runs the program too (when ctest starts), through the same emulator wrapper,
# which sets the environment up on first use; the fixture orders set-up and tear-down around
# the tests themselves.
function(gtest_discover_tests target)
  _tandemere_wine_fixture()
  # Tells wine-env.sh that the program's own code started (see start_marker.cpp).
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/wine/start_marker.cpp)
  # The first discovery of a run may make the prefix (minutes on a loaded machine).
  cmake_parse_arguments(arg "" "DISCOVERY_TIMEOUT" "PROPERTIES;VM32_ARGS" ${ARGN})
  if(TANDEMERE_WINE_MODE STREQUAL "none")
    add_test(NAME ${target}.needs_32bit_support
             COMMAND sh -c "echo '${target}: 32-bit programs do not run on this machine; skipped'; exit 77")
    set_tests_properties(${target}.needs_32bit_support PROPERTIES SKIP_RETURN_CODE 77)
  elseif(TANDEMERE_WINE_MODE STREQUAL "vm")
    _tandemere_vm32_test(${target} ${arg_VM32_ARGS})
  else()
    _gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS} DISCOVERY_TIMEOUT 900
                          PROPERTIES FIXTURES_REQUIRED wine_env ${arg_PROPERTIES})
  endif()
endfunction()

function(tandemere_wine_test target)
  cmake_parse_arguments(arg "NEEDS_DISPLAY" "" "PROPERTIES;VM32_ARGS" ${ARGN})
  set(props ${arg_PROPERTIES})
  if(arg_NEEDS_DISPLAY)
    list(APPEND props RESOURCE_LOCK wine_display)
  endif()
  gtest_discover_tests(${target} ${arg_UNPARSED_ARGUMENTS} VM32_ARGS ${arg_VM32_ARGS} PROPERTIES ${props})
endfunction()
