# Cross-compiles veldor for 32-bit ARM Linux with hardware floating point,
# ARMv7 (g++-arm-linux-gnueabihf):
#   cmake -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/linux-armhf.cmake
set(CMAKE_SYSTEM_PROCESSOR arm)
set(cross_triple arm-linux-gnueabihf)
set(cross_qemu qemu-arm)
set(VELDOR_ARCH armhf)
set(VELDOR_DEB_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
