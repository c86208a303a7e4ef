# Cross-compiles veldor.exe for 64-bit Windows with mingw-w64:
#   cmake -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# (mingw-w64-i686.cmake includes this file for 32-bit Windows.)  The
# program and the tests are linked statically, so that they run on a bare
# Windows with no DLL beside them; tests run under Wine.  The PE header
# gets no link time, so that one commit links the same bytes.
if(NOT mingw_arch)
  set(mingw_arch x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${mingw_arch})
# The POSIX thread model: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${mingw_arch}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_arch}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_arch}-w64-mingw32-windres)
set(CMAKE_STRIP ${mingw_arch}-w64-mingw32-strip)
set(CMAKE_OBJCOPY ${mingw_arch}-w64-mingw32-objcopy)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_arch}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
