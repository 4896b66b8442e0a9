# Build: cross toolchain for the 64-bit Windows binaries (mingw-w64 x86_64, posix threads).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TANDEMERE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
