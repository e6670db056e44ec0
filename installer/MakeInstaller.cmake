# Runs makensis on installer/Lanterwell.nsi once both architectures are built, with the
# estimated size taken from the files.
# cmake -DSOURCE_DIR=... -DVERSION=... -DPUBLISHER=... -DX64_DIR=... -DX86_DIR=...
#       -DOUTPUT_DIR=... -P MakeInstaller.cmake
# Both sets, as the installer lays them out; the installer itself is small beside them.
set(bytes 0)
# Everything the setup program lays down: both sets, the Windows 11 package, the README and the
# uninstaller (about as large as the setup program's own code).
foreach(file ${X64_DIR}/Lanterwell.dll ${X64_DIR}/SUBST.DLL ${X64_DIR}/lwsubst.exe
             ${X86_DIR}/Lanterwell.dll ${X86_DIR}/SUBST.DLL ${X86_DIR}/lwsubst.exe
             ${X64_DIR}/${PACKAGE_FILE} ${SOURCE_DIR}/README.md)
    if(NOT EXISTS ${file})
        message(FATAL_ERROR "missing ${file}: build both architectures first")
    endif()
    file(SIZE ${file} size)
    math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kilobytes "(${bytes} + 1023) / 1024 + 160")

# The package for Windows 11's context menu: an unsigned one is registered with -AllowUnsigned.
file(STRINGS ${X64_DIR}/${PACKAGE_FILE} signature LIMIT_COUNT 1 REGEX "AppxSignature\\.p7x")
if(signature)
    set(allow_unsigned "")
else()
    set(allow_unsigned " -AllowUnsigned")
endif()

# Signed when a certificate is given (tools/sign.py): every PE file of both sets here, the
# uninstaller before it is packed and the setup program itself by makensis. The package was
# signed when it was made.
find_program(MAKENSIS makensis REQUIRED)
set(signing "")
if("$ENV{LANTERWELL_SIGNING_PFX}" STREQUAL "")
    message(STATUS "LANTERWELL_SIGNING_PFX is not set: nothing is signed")
else()
    find_program(PYTHON3 python3 REQUIRED)
    set(sign_script ${SOURCE_DIR}/tools/sign.py)
    foreach(file ${X64_DIR}/Lanterwell.dll ${X64_DIR}/SUBST.DLL ${X64_DIR}/lwsubst.exe
                 ${X86_DIR}/Lanterwell.dll ${X86_DIR}/SUBST.DLL ${X86_DIR}/lwsubst.exe)
        execute_process(COMMAND ${PYTHON3} ${sign_script} ${file} RESULT_VARIABLE result)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "signing ${file} failed")
        endif()
    endforeach()
    set(signing "-DSIGN_PYTHON=${PYTHON3}" "-DSIGN_SCRIPT=${sign_script}")
endif()
set(output ${OUTPUT_DIR}/Lanterwell-${VERSION}-setup.exe)
execute_process(
    COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${VERSION} -DVERSION4=${VERSION4}
            "-DPUBLISHER=${PUBLISHER}"
            -DSOURCE_DIR=${SOURCE_DIR}
            -DX64_DIR=${X64_DIR} -DX86_DIR=${X86_DIR} -DESTIMATED_KB=${kilobytes}
            -DPACKAGE_FILE=${PACKAGE_FILE} "-DALLOW_UNSIGNED=${allow_unsigned}"
            "-DCLASS_ID={${CLASS_ID}}" "-DAPP_ID={${APP_ID}}" "-DINTERFACE_ID={${INTERFACE_ID}}"
            "-DLIBRARY_ID={${LIBRARY_ID}}" ${signing}
            -DOUTFILE=${output} ${SOURCE_DIR}/installer/Lanterwell.nsi
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "makensis failed (${result})")
endif()
message(STATUS "Made ${output}")
