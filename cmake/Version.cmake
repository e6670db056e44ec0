# The release's version, the module's own and the publisher, each in one place:
# - LANTERWELL_VERSION (a.b.c) and LANTERWELL_VERSION4 (a.b.c.0): the release, from the
#   project's VERSION; it names and numbers everything a release ships (the setup program, its
#   Apps & features entry, the Windows 11 package, lwsubst.exe and SUBST.DLL);
# - LANTERWELL_MODULE_VERSION (a.b.c.d): Lanterwell.dll's own file version, which its version
#   block keeps as it is whatever the release;
# - LANTERWELL_PUBLISHER: the version block's company name;
# - LANTERWELL_COPYRIGHT: the version block's rights notice, which ends in the licence's SPDX
#   identifier, LANTERWELL_LICENSE (the licence itself is LICENSE).
# The publisher and the rights notice are read from the DLL's version block, and written out
# for the tools' (generated/Release.h).
set(LANTERWELL_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(LANTERWELL_VERSION4 ${LANTERWELL_VERSION}.0)
set(version_block ${CMAKE_SOURCE_DIR}/resources/Version.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${version_block})
file(STRINGS ${version_block} version_line REGEX "^FILEVERSION ")
string(REGEX REPLACE "^FILEVERSION +([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+).*" "\\1.\\2.\\3.\\4"
    LANTERWELL_MODULE_VERSION "${version_line}")
file(STRINGS ${version_block} publisher_line REGEX "\"CompanyName\"")
string(REGEX REPLACE ".*\"CompanyName\", *\"([^\"]*)\".*" "\\1" LANTERWELL_PUBLISHER
    "${publisher_line}")
file(STRINGS ${version_block} copyright_line REGEX "\"LegalCopyright\"")
string(REGEX REPLACE ".*\"LegalCopyright\", *\"([^\"]*)\".*" "\\1" LANTERWELL_COPYRIGHT
    "${copyright_line}")
string(REGEX REPLACE ".*SPDX-License-Identifier: *([^ ]+)$" "\\1" LANTERWELL_LICENSE
    "${LANTERWELL_COPYRIGHT}")
if(NOT LANTERWELL_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$" OR
   NOT LANTERWELL_MODULE_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$" OR
   LANTERWELL_PUBLISHER STREQUAL "" OR NOT LANTERWELL_COPYRIGHT MATCHES "SPDX-License-Identifier")
    message(FATAL_ERROR "no release version, module version, publisher or licence")
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/Release.h CONTENT
    "// Written by the build from resources/Version.rc (cmake/Version.cmake).\n#pragma once\n#define LANTERWELL_PUBLISHER_TEXT \"@LANTERWELL_PUBLISHER@\"\n#define LANTERWELL_COPYRIGHT_TEXT \"@LANTERWELL_COPYRIGHT@\"\n"
    @ONLY)
