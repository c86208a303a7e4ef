# Cross-compiles veldor for 64-bit ARM Linux (g++-aarch64-linux-gnu):
#   cmake -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-aarch64.cmake
set(VELDOR_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
