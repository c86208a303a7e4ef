# Cross-compiles veldor for 64-bit ARM Linux (g++-aarch64-linux-gnu):
#   cmake -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-aarch64.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(cross_triple aarch64-linux-gnu)
set(cross_qemu qemu-aarch64)
set(VELDOR_ARCH aarch64)
set(VELDOR_DEB_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
