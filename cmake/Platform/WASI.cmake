# WASI as CMake is to know it (cmake/wasi.cmake): static programs, named
# .wasm.
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set_property(GLOBAL PROPERTY TARGET_SUPPORTS_SHARED_LIBS FALSE)
