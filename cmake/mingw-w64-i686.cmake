# Cross toolchain: the shipped 32-bit Windows modules, built with mingw-w64 (posix threads)
# and run under Wine's 32-bit half.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
