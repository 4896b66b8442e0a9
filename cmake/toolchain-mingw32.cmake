# Build: cross toolchain for the 32-bit Windows binaries (mingw-w64 i686, posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TANDEMERE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
