# Builds the type library from resources/Lanterwell.idl.in: the identifiers are written in, the
# IDL goes to code page 932
# (its help strings are Japanese), widl writes the MSFT library for the build's architecture
# (SYS_WIN32 or SYS_WIN64) with IDispatch taken from that architecture's stdole2.tlb, and the
# listed type flags are made exact.
# ARM64 Windows reads the same 64-bit library as x64.
if(NOT LANTERWELL_ARCH STREQUAL "x86")
    set(LANTERWELL_WIDL_TARGET --win64)
    set(windows_dir x86_64-windows)
    set(unix_dirs /usr/lib/x86_64-linux-gnu/wine /usr/lib64/wine /usr/lib/wine)
else()
    set(LANTERWELL_WIDL_TARGET --win32)
    set(windows_dir i386-windows)
    set(unix_dirs /usr/lib/i386-linux-gnu/wine /usr/lib32/wine /usr/lib/wine)
endif()
# The cache entry is named for the architecture: a tree configured for one never takes the
# other's stdole2.tlb.
list(TRANSFORM unix_dirs APPEND /${windows_dir})
find_path(LANTERWELL_STDOLE_DIR_${LANTERWELL_ARCH} stdole2.tlb PATHS ${unix_dirs}
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(LANTERWELL_STDOLE_DIR ${LANTERWELL_STDOLE_DIR_${LANTERWELL_ARCH}})
find_program(LANTERWELL_ICONV iconv NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(LANTERWELL_TYPELIB ${CMAKE_BINARY_DIR}/Lanterwell.tlb)
set(idl ${CMAKE_BINARY_DIR}/Lanterwell.idl)
configure_file(${CMAKE_SOURCE_DIR}/resources/Lanterwell.idl.in ${idl} @ONLY)
# The class's registry script, likewise, byte for byte otherwise.
configure_file(${CMAKE_SOURCE_DIR}/resources/ShellExtension.rgs.in
    ${CMAKE_BINARY_DIR}/resources/ShellExtension.rgs @ONLY NEWLINE_STYLE CRLF)
set(idl932 ${CMAKE_BINARY_DIR}/Lanterwell.932.idl)
add_custom_command(OUTPUT ${LANTERWELL_TYPELIB}
    COMMAND ${LANTERWELL_ICONV} -f UTF-8 -t CP932 ${idl} -o ${idl932}
    COMMAND ${LANTERWELL_WIDL} ${LANTERWELL_WIDL_TARGET} -t -I ${CMAKE_SOURCE_DIR}/resources
            -L ${LANTERWELL_STDOLE_DIR} -o ${CMAKE_BINARY_DIR}/Lanterwell.widl.tlb ${idl932}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/typelib-flags.py
            ${CMAKE_BINARY_DIR}/Lanterwell.widl.tlb ${LANTERWELL_TYPELIB}
            ${LANTERWELL_IID_ISHELL_EXTENSION}=0x11C0
            ${LANTERWELL_CLSID_SHELL_EXTENSION}=0x2
    DEPENDS ${idl} ${CMAKE_SOURCE_DIR}/resources/OleBase.idl
            ${CMAKE_SOURCE_DIR}/cmake/typelib-flags.py
    COMMENT "Building the type library"
    VERBATIM)
add_custom_target(lanterwell_typelib DEPENDS ${LANTERWELL_TYPELIB})
