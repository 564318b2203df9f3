# Cross-compiles korvane for Windows (i686) with Debian's mingw-w64:
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# No emulator: Debian's wine runs 32-bit programs only with wine32:i386 from a
# multiarch setup, so this build is compiled and linked but not run here.
