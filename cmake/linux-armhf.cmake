# Cross-compiles veldor for 32-bit ARM Linux with hardware floating point,
# ARMv7 (g++-arm-linux-gnueabihf):
#   cmake -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/linux-armhf.cmake
set(VELDOR_ARCH armhf)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
