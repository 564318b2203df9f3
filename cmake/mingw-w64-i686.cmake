# Cross-compiles korvane for Windows (i686) with Debian's mingw-w64:
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KORVANE_MINGW_TRIPLE i686-w64-mingw32)
# The posix thread model: GCC 12's win32 model lacks std::thread, std::mutex and
# std::condition_variable, so standard threading code would build on Linux only.
# The top-level CMakeLists links statically, so winpthread adds no DLL.
set(CMAKE_C_COMPILER ${KORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No emulator: Debian's wine runs 32-bit programs only with wine32:i386 from a
# multiarch setup, so this build is compiled and linked but not run here.
