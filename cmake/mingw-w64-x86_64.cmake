# Cross-compiles for 64-bit Windows with Debian's MinGW-w64, against the
# folder scripts/windows/toolchain.sh fills:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTUVR_WIN_TOOLCHAIN=<folder> ...
# (or TUVR_WIN_TOOLCHAIN in the environment). The same file builds that
# folder's Qt, when there is no folder to search yet.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix flavour: Qt needs std::thread and std::mutex, which the win32 one lacks.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# moc, uic, rcc and lrelease run here: Debian's, which must be the cross Qt's version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

set(TUVR_WIN_TOOLCHAIN "$ENV{TUVR_WIN_TOOLCHAIN}" CACHE PATH
    "The Windows libraries' folder that scripts/windows/toolchain.sh prints")
# Checks that compile test programs read this file again, without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TUVR_WIN_TOOLCHAIN)

# Libraries, headers and packages come from the Windows side only; programs
# (pkg-config, the Qt tools) from this machine.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TUVR_WIN_TOOLCHAIN})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(TUVR_WIN_TOOLCHAIN)
    list(APPEND CMAKE_PREFIX_PATH ${TUVR_WIN_TOOLCHAIN})
    # Only the folder's x264 and FFmpeg libraries, never this machine's.
    set(ENV{PKG_CONFIG_LIBDIR} ${TUVR_WIN_TOOLCHAIN}/lib/pkgconfig)
    unset(ENV{PKG_CONFIG_PATH})
endif()

# What is built runs here under Wine: CTest's tests among it. Only for a
# complete folder, so never while the folder's own Qt is being built.
if(EXISTS ${TUVR_WIN_TOOLCHAIN}/bin/Qt6Core.dll)
    get_filename_component(tuvr_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run.sh ABSOLUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${tuvr_wine_run} ${TUVR_WIN_TOOLCHAIN})
endif()
