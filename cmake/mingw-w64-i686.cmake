# Cross-compiles korvane for Windows (i686) with Debian's mingw-w64:
#   cmake -S . -B build-win32 -G Ninja --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# Floating point in SSE registers, as on x86_64: the x87 unit's wider
# intermediates would shade the thread pictures differently by a unit here and
# there, and a picture must be the same whichever Windows draws it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Lets ctest run the Windows executables here, through wine: 32-bit programs
# need wine32:i386 beside it, which tools/setup.sh installs.
find_program(KORVANE_WINE wine)
if(KORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})
endif()
