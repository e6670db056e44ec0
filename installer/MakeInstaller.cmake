# Runs makensis on installer/Lanterwell.nsi once the three architectures are built, with the
# estimated size taken from the files.
# cmake -DSOURCE_DIR=... -DDOCS_DIR=... -DVERSION=... -DPUBLISHER=... -DCOPYRIGHT=...
#       -DX64_DIR=... -DX86_DIR=... -DARM64_DIR=... -DOUTPUT_DIR=... [-DTEST_NATIVE_ARM64=ON]
#       -P MakeInstaller.cmake
set(x64_files ${X64_DIR}/Lanterwell.dll ${X64_DIR}/SUBST.DLL ${X64_DIR}/lwsubst.exe
    ${X64_DIR}/Lanterwell.exe)
set(x86_files ${X86_DIR}/Lanterwell.dll ${X86_DIR}/SUBST.DLL ${X86_DIR}/lwsubst.exe
    ${X86_DIR}/Lanterwell.exe)
set(arm64_files ${ARM64_DIR}/Lanterwell.dll ${ARM64_DIR}/SUBST.DLL ${ARM64_DIR}/lwsubst.exe
    ${ARM64_DIR}/Lanterwell.exe)
function(total_bytes variable)
    set(bytes 0)
    foreach(file ${ARGN})
        if(NOT EXISTS ${file})
            message(FATAL_ERROR "missing ${file}: build the three architectures first")
        endif()
        file(SIZE ${file} size)
        math(EXPR bytes "${bytes} + ${size}")
    endforeach()
    set(${variable} ${bytes} PARENT_SCOPE)
endfunction()
# What the setup program lays down: the native set (x64 or ARM64, the larger counts) with its
# Windows 11 package, the x86 set, the README and the uninstaller (about as large as the setup
# program's own code).
total_bytes(x64_bytes ${x64_files} ${X64_DIR}/${PACKAGE_FILE})
total_bytes(arm64_bytes ${arm64_files} ${ARM64_DIR}/${ARM64_PACKAGE_FILE})
set(doc_files ${DOCS_DIR}/README.md ${DOCS_DIR}/LICENSE.txt ${DOCS_DIR}/THIRD-PARTY-NOTICES.txt)
total_bytes(bytes ${x86_files} ${doc_files})
if(x64_bytes GREATER arm64_bytes)
    math(EXPR bytes "${bytes} + ${x64_bytes}")
else()
    math(EXPR bytes "${bytes} + ${arm64_bytes}")
endif()
math(EXPR kilobytes "(${bytes} + 1023) / 1024 + 160")

# The packages for Windows 11's context menu: unsigned ones are registered with -AllowUnsigned
# (the two are made alike).
file(STRINGS ${X64_DIR}/${PACKAGE_FILE} signature LIMIT_COUNT 1 REGEX "AppxSignature\\.p7x")
file(STRINGS ${ARM64_DIR}/${ARM64_PACKAGE_FILE} arm64_signature LIMIT_COUNT 1
     REGEX "AppxSignature\\.p7x")
if(NOT signature STREQUAL arm64_signature)
    message(FATAL_ERROR "the x64 and ARM64 packages must both be signed, or neither")
endif()
if(signature)
    set(allow_unsigned "")
else()
    set(allow_unsigned " -AllowUnsigned")
endif()

# Signed when a certificate is given (tools/release/sign.py): every PE file of the sets here, the
# uninstaller before it is packed and the setup program itself by makensis. The package was
# signed when it was made.
find_program(MAKENSIS makensis REQUIRED)
set(signing "")
if("$ENV{LANTERWELL_SIGNING_PFX}" STREQUAL "")
    message(STATUS "LANTERWELL_SIGNING_PFX is not set: nothing is signed")
else()
    find_program(PYTHON3 python3 REQUIRED)
    set(sign_script ${SOURCE_DIR}/tools/release/sign.py)
    function(sign_files)
        foreach(file ${ARGN})
            execute_process(COMMAND ${PYTHON3} ${sign_script} ${file} RESULT_VARIABLE result)
            if(NOT result EQUAL 0)
                message(FATAL_ERROR "signing ${file} failed")
            endif()
        endforeach()
    endfunction()
    sign_files(${x64_files} ${x86_files} ${arm64_files})
    set(signing "-DSIGN_PYTHON=${PYTHON3}" "-DSIGN_SCRIPT=${sign_script}")
    # NSIS's own code that goes into the setup program and the uninstaller, its plug-ins and
    # its registry tool, signed too: makensis takes them from a copy of its folder (NSISDIR)
    # where they are. Its stubs become the setup program and the uninstaller, signed whole.
    execute_process(COMMAND ${MAKENSIS} -HDRINFO OUTPUT_VARIABLE header COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCH "NSISDIR=[^,\n]*" nsis_dir "${header}")
    string(REPLACE "NSISDIR=" "" nsis_dir "${nsis_dir}")
    set(signed_nsis ${OUTPUT_DIR}/nsis)
    file(REMOVE_RECURSE ${signed_nsis})
    file(COPY ${nsis_dir}/ DESTINATION ${signed_nsis})
    file(GLOB nsis_code ${signed_nsis}/Plugins/x86-unicode/*.dll ${signed_nsis}/Bin/RegTool-*.bin)
    sign_files(${nsis_code})
    set(ENV{NSISDIR} ${signed_nsis})
endif()
set(test_native "")
if(TEST_NATIVE_ARM64)
    set(test_native -DTEST_NATIVE_ARM64)
endif()
# The setup program keeps each file's time: every file carries the one build time of the
# release, so that the same source makes the same setup program.
execute_process(COMMAND sh ${SOURCE_DIR}/tools/release/source-of epoch OUTPUT_VARIABLE epoch
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND touch -d @${epoch} ${x64_files} ${x86_files} ${arm64_files} ${doc_files}
    ${X64_DIR}/${PACKAGE_FILE} ${ARM64_DIR}/${ARM64_PACKAGE_FILE} COMMAND_ERROR_IS_FATAL ANY)
set(output ${OUTPUT_DIR}/Lanterwell-${VERSION}-setup.exe)
execute_process(
    COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${VERSION} -DVERSION4=${VERSION4}
            "-DPUBLISHER=${PUBLISHER}" "-DCOPYRIGHT=${COPYRIGHT}"
            -DSOURCE_DIR=${SOURCE_DIR} -DDOCS_DIR=${DOCS_DIR}
            -DX64_DIR=${X64_DIR} -DX86_DIR=${X86_DIR} -DARM64_DIR=${ARM64_DIR}
            -DESTIMATED_KB=${kilobytes} -DPACKAGE_FILE=${PACKAGE_FILE}
            -DARM64_PACKAGE_FILE=${ARM64_PACKAGE_FILE} "-DALLOW_UNSIGNED=${allow_unsigned}"
            "-DCLASS_ID={${CLASS_ID}}" "-DAPP_ID={${APP_ID}}" "-DINTERFACE_ID={${INTERFACE_ID}}"
            "-DLIBRARY_ID={${LIBRARY_ID}}" ${signing} ${test_native}
            -DOUTFILE=${output} ${SOURCE_DIR}/installer/Lanterwell.nsi
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "makensis failed (${result})")
endif()
message(STATUS "Made ${output}")
