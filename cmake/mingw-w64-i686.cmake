# Cross-compiles veldor.exe for 32-bit Windows, which older machines still
# run, with mingw-w64:
#   cmake -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# Tests run under 32-bit Wine (Debian's wine32).
set(mingw_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
