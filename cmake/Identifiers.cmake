# Every identifier Lanterwell publishes, defined here once. The build writes them out for the
# code and its tests (generated/LanterwellIds.h), the test scripts (generated/identifiers.sh),
# the type library's IDL, the class's registry script, the package and the setup program.
# Each is LANTERWELL_<NAME>, a bare GUID in upper case.
set(LANTERWELL_IDENTIFIERS
    CLSID_SHELL_EXTENSION 5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13
    CLSID_EXPLORER_COMMAND 35D1BE52-E400-4ACF-B650-7BE3F6E8B01E
    CLSID_EXPLORER_DELETE_COMMAND 55C7F9CC-54BA-408E-96AB-A17A69F88CBE
    IID_ISHELL_EXTENSION C62B8D47-91E5-4F0C-B3A6-58E4D7019F2B
    LIBID_LANTERWELL 3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054
    APPID_LANTERWELL A7E3C915-62D0-4B7E-8F24-D19B05E6C3A8
    # The Windows Installer packages' upgrade codes, one a platform: every release's package
    # of a platform replaces the older one.
    MSI_UPGRADE_X64 71D876D3-846D-436D-9359-DB65456ED905
    MSI_UPGRADE_X86 E221F852-0A02-4B82-9DE0-FCFBD0150BA4)

# "{0x5B1D7E20, 0x3C44, 0x4A8F, {0x9E, 0x61, ...}}" for a GUID's C initializer.
function(lanterwell_guid_initializer guid out)
    # CMake's expressions count no repetitions: the digits are spelt out.
    string(REPEAT "[0-9A-F]" 4 four)
    string(REPEAT "[0-9A-F]" 12 twelve)
    string(REGEX MATCH "^(${four}${four})-(${four})-(${four})-(${four})-(${twelve})$" parts
        "${guid}")
    if(NOT parts)
        message(FATAL_ERROR "${guid} is no GUID")
    endif()
    set(head "0x${CMAKE_MATCH_1}, 0x${CMAKE_MATCH_2}, 0x${CMAKE_MATCH_3}")
    string(REGEX REPLACE "(..)" "0x\\1, " bytes "${CMAKE_MATCH_4}${CMAKE_MATCH_5}")
    string(REGEX REPLACE ", $" "" bytes "${bytes}")
    set(${out} "{${head}, {${bytes}}}" PARENT_SCOPE)
endfunction()

string(CONCAT header "// Written by the build from cmake/Identifiers.cmake.\n#pragma once\n"
           "// __CRT_UUID_DECL for an interface, given an identifier's _ARGS.\n"
           "#define LANTERWELL_UUID_DECL(type, ...) __CRT_UUID_DECL(type, __VA_ARGS__)\n")
list(LENGTH LANTERWELL_IDENTIFIERS count)
math(EXPR last "${count} - 1")
foreach(index RANGE 0 ${last} 2)
    math(EXPR value_index "${index} + 1")
    list(GET LANTERWELL_IDENTIFIERS ${index} name)
    list(GET LANTERWELL_IDENTIFIERS ${value_index} guid)
    set(LANTERWELL_${name} ${guid})
    lanterwell_guid_initializer(${guid} initializer)
    string(REPLACE "{" "" arguments "${initializer}")
    string(REPLACE "}" "" arguments "${arguments}")
    string(APPEND header "#define LANTERWELL_${name}_INIT ${initializer}\n"
                         "#define LANTERWELL_${name}_ARGS ${arguments}\n"
                         "#define LANTERWELL_${name}_BARE \"${guid}\"\n"
                         "#define LANTERWELL_${name}_TEXT \"{${guid}}\"\n"
                         "#define LANTERWELL_${name}_WIDE L\"{${guid}}\"\n")
endforeach()

# The commands' numbers: the offsets of the classic menu's identifiers from idCmdFirst and the
# Explorer command's numbers. The letters A: to Z: first, then the popup (in Windows 11, the
# group) that holds them, then the delete command; callers invoke them by these numbers.
set(LANTERWELL_COMMAND_OFFSETS LETTER_COUNT=26 POPUP_OFFSET=26 DELETE_OFFSET=27 COMMAND_COUNT=28)
set(script "# Written by the build from cmake/Identifiers.cmake.\n")
foreach(index RANGE 0 ${last} 2)
    list(GET LANTERWELL_IDENTIFIERS ${index} name)
    string(APPEND script "${name}='{${LANTERWELL_${name}}}'\n")
endforeach()
foreach(offset IN LISTS LANTERWELL_COMMAND_OFFSETS)
    string(REPLACE "=" " " definition "${offset}")
    string(APPEND header "#define LANTERWELL_${definition}\n")
    string(APPEND script "${offset}\n")
endforeach()
set(LANTERWELL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(CONFIGURE OUTPUT ${LANTERWELL_GENERATED_DIR}/LanterwellIds.h CONTENT "${header}" @ONLY)
# Test scripts read it from LANTERWELL_IDENTIFIERS, which CTest sets for them.
set(LANTERWELL_IDENTIFIERS_SCRIPT ${LANTERWELL_GENERATED_DIR}/identifiers.sh)
file(CONFIGURE OUTPUT ${LANTERWELL_IDENTIFIERS_SCRIPT} CONTENT "${script}" @ONLY)
include_directories(${LANTERWELL_GENERATED_DIR})
