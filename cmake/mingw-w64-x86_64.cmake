# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the POSIX-thread
# flavour, for std::thread and std::mutex). The libraries come from
# scripts/windows-deps: pass its folder as CARTONYM_WINDOWS_DEPS. Everything is
# linked statically, so that a program runs without any DLL beside it.
# Programs built run under wine (for the tests and gtest_discover_tests).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CARTONYM_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CARTONYM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CARTONYM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CARTONYM_MINGW_TRIPLET}-windres)

# The folder of the libraries scripts/windows-deps built (the cache
# variable or the environment's CARTONYM_WINDOWS_DEPS).
if(NOT CARTONYM_WINDOWS_DEPS AND DEFINED ENV{CARTONYM_WINDOWS_DEPS})
    set(CARTONYM_WINDOWS_DEPS $ENV{CARTONYM_WINDOWS_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CARTONYM_WINDOWS_DEPS)

# Libraries, headers and packages of the target only: Debian's mingw-w64
# folder and that folder; programs of the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${CARTONYM_MINGW_TRIPLET})
if(CARTONYM_WINDOWS_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${CARTONYM_WINDOWS_DEPS})
    list(APPEND CMAKE_PREFIX_PATH ${CARTONYM_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the target's .pc files and gives the flags of a
# static link.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${CARTONYM_MINGW_TRIPLET}/lib/pkgconfig:${CARTONYM_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN --static)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(CARTONYM_WINE NAMES wine64 wine)
if(CARTONYM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CARTONYM_WINE})
endif()
