# Cross-compiles veldor for another Linux architecture with Debian's cross
# compilers; included by linux-aarch64.cmake and linux-armhf.cmake, which
# name it:
#   cross_triple  the GNU triple of the compilers and the C library
#   cross_qemu    the qemu-user program that runs its programs
#   VELDOR_ARCH   the architecture in the Linux archive's name
#   VELDOR_DEB_ARCH  Debian's name for it, in the .deb
# Programs run under qemu-user, with the C library of the cross compilers.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triple}-g++)
set(CMAKE_STRIP ${cross_triple}-strip)
set(CMAKE_OBJCOPY ${cross_triple}-objcopy)
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)  # the note that GCC 7.1 changed ARM's calls
set(CMAKE_CROSSCOMPILING_EMULATOR ${cross_qemu} -L /usr/${cross_triple})
