# Cross-compiles for 32-bit Windows (x86).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LANTERWELL_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
