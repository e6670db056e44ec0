# Builds the type library from resources/Lanterwell.idl: the IDL goes to code page 932
# (its help strings are Japanese), widl writes the MSFT library with IDispatch taken from
# Wine's stdole2.tlb, and the listed type flags are made exact.
find_path(LANTERWELL_STDOLE_DIR stdole2.tlb
    PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows
          /usr/lib32/wine/i386-windows
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(LANTERWELL_ICONV iconv NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(LANTERWELL_TYPELIB ${CMAKE_BINARY_DIR}/Lanterwell.tlb)
set(idl ${CMAKE_SOURCE_DIR}/resources/Lanterwell.idl)
set(idl932 ${CMAKE_BINARY_DIR}/Lanterwell.932.idl)
add_custom_command(OUTPUT ${LANTERWELL_TYPELIB}
    COMMAND ${LANTERWELL_ICONV} -f UTF-8 -t CP932 ${idl} -o ${idl932}
    COMMAND ${LANTERWELL_WIDL} --win32 -t -I ${CMAKE_SOURCE_DIR}/resources
            -L ${LANTERWELL_STDOLE_DIR} -o ${CMAKE_BINARY_DIR}/Lanterwell.widl.tlb ${idl932}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/typelib-flags.py
            ${CMAKE_BINARY_DIR}/Lanterwell.widl.tlb ${LANTERWELL_TYPELIB}
            C62B8D47-91E5-4F0C-B3A6-58E4D7019F2B=0x11C0
            5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13=0x2
    DEPENDS ${idl} ${CMAKE_SOURCE_DIR}/resources/OleBase.idl
            ${CMAKE_SOURCE_DIR}/cmake/typelib-flags.py
    COMMENT "Building the type library"
    VERBATIM)
add_custom_target(lanterwell_typelib DEPENDS ${LANTERWELL_TYPELIB})
