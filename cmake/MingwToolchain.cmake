# The part of the cross-compiling toolchains that both architectures share: the posix-thread
# flavour of mingw-w64 (the one that builds GoogleTest) for LANTERWELL_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LANTERWELL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LANTERWELL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LANTERWELL_TRIPLET}-windres)
set(LANTERWELL_WIDL ${LANTERWELL_TRIPLET}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${LANTERWELL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
