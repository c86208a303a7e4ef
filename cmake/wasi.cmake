# Builds veldor.wasm, a WASI command, with clang and the WebAssembly builds
# of the C and C++ libraries (Debian: tests/install-deps wasi installs them):
#   cmake -B build-wasi -DCMAKE_TOOLCHAIN_FILE=cmake/wasi.cmake
#   cmake --build build-wasi              # veldor.wasm
#   cmake --build build-wasi --target web # veldor.html, the page
# The libraries have no C++ exceptions, and signal() is WASI's emulation.
set(CMAKE_SYSTEM_NAME WASI)  # Platform/WASI.cmake
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -D_WASI_EMULATED_SIGNAL")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-lwasi-emulated-signal -Wl,--strip-all")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wasi-run)
