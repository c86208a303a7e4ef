# Cross-compiles veldor for another Linux architecture with Debian's cross
# compilers; included by cmake/linux-NAME.cmake, which sets VELDOR_ARCH to
# NAME.  The rest is the architecture's line in platforms.sh: Debian's name
# of it (VELDOR_DEB_ARCH, for the .deb), the GNU triple of its compilers and
# C library, CMake's processor, and the qemu-user program that runs its
# programs here, with the cross compilers' C library.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/platforms.sh row REGEX "^${VELDOR_ARCH} ")
string(REGEX REPLACE " +" ";" row "${row}")
list(GET row 1 VELDOR_DEB_ARCH)
list(GET row 2 cross_triple)
list(GET row 3 CMAKE_SYSTEM_PROCESSOR)
list(GET row 4 cross_qemu)
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
