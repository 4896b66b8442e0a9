# Build: shared part of the mingw-w64 cross toolchains; expects TANDEMERE_MINGW_TRIPLE to be set.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

# The -posix compilers: the win32-thread ones lack std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${TANDEMERE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TANDEMERE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TANDEMERE_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${TANDEMERE_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TANDEMERE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLL may follow the binaries into the file manager's process.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--nxcompat -Wl,--dynamicbase")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--nxcompat -Wl,--dynamicbase")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--nxcompat -Wl,--dynamicbase")
# Wide Win32 calls throughout; no ANSI fallback is compiled by accident.
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601")

# ctest and test discovery run every Windows program under Wine, through one wrapper that makes
# and reuses the prefix under the build folder (see tests/wine/wine-env.sh).
get_filename_component(_tandemere_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${_tandemere_source_dir}/tests/wine/wine-env.sh;--root;${CMAKE_BINARY_DIR}/wine;run")
# Discover tests when ctest runs, not after each link: the build then never needs Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
