# Stages the test bundle and packs it into a zip that reproduces: every entry in name order,
# with the release's one time.
# usage: cmake -DLIST=files.txt -DSTAGE=dir -DNAME=Lanterwell-tests-V-ARCH -DSOURCE_DIR=...
#              -P MakeBundle.cmake
# LIST holds one file a line: "FOLDER|SOURCE[|NAME]", FOLDER "." for the bundle's top.
file(REMOVE_RECURSE ${STAGE})
file(STRINGS ${LIST} lines)
foreach(line IN LISTS lines)
    string(REPLACE "|" ";" parts "${line}")
    list(GET parts 0 folder)
    list(GET parts 1 source)
    get_filename_component(name ${source} NAME)
    list(LENGTH parts count)
    if(count GREATER 2)
        list(GET parts 2 name)
    endif()
    file(MAKE_DIRECTORY ${STAGE}/${NAME}/${folder})
    file(COPY_FILE ${source} ${STAGE}/${NAME}/${folder}/${name})
endforeach()
execute_process(COMMAND sh ${SOURCE_DIR}/tools/release/source-date-epoch OUTPUT_VARIABLE epoch
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
string(TIMESTAMP when "%Y-%m-%d %H:%M:%S UTC" UTC)
file(GLOB_RECURSE entries RELATIVE ${STAGE} ${STAGE}/${NAME}/*)
list(SORT entries)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${NAME}.zip --format=zip "--mtime=${when}"
        -- ${entries}
    WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
