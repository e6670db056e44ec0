# The product's version and publisher, read from the module's version block so that they are
# never typed twice: LANTERWELL_VERSION (a.b.c.d) and LANTERWELL_PUBLISHER.
set(version_block ${CMAKE_SOURCE_DIR}/resources/Version.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${version_block})
file(STRINGS ${version_block} version_line REGEX "^FILEVERSION ")
string(REGEX REPLACE "^FILEVERSION +([0-9]+), *([0-9]+), *([0-9]+), *([0-9]+).*" "\\1.\\2.\\3.\\4"
    LANTERWELL_VERSION "${version_line}")
file(STRINGS ${version_block} publisher_line REGEX "\"CompanyName\"")
string(REGEX REPLACE ".*\"CompanyName\", *\"([^\"]*)\".*" "\\1" LANTERWELL_PUBLISHER
    "${publisher_line}")
if(NOT LANTERWELL_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$" OR
   LANTERWELL_PUBLISHER STREQUAL "")
    message(FATAL_ERROR "no version or publisher in ${version_block}")
endif()
