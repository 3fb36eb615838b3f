# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Debian's hardening flags, for every build: what dpkg-buildflags gives a
# package with hardening=+all, plus the two protections that the toolchain
# supports and hardening-check asks for (stack clash, control flow). Also the
# flags that keep the build's own folders out of the program, so that two
# builds of one source in different places give the same bytes.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported(LANGUAGES CXX)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "VARDEL_HAS${flag}" has_flag)
    check_cxx_compiler_flag(${flag} ${has_flag})
    if(${has_flag})
        add_compile_options(${flag})
    endif()
endforeach()

# Fortified calls need the optimiser (without it the compiler warns, and the
# warning is an error here), and they would hide from AddressSanitizer what it
# checks itself. Flags handed in from outside (dpkg-buildflags' CPPFLAGS in
# CXXFLAGS) choose their own level.
if(NOT VARDEL_SANITIZE AND NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()

# The global offset table read-only once the program is loaded.
add_link_options(LINKER:-z,relro LINKER:-z,now)

# Source and build folders named as "." in file names and debug data. The
# build folder may lie inside the source folder: the map given last is tried
# first.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
# The compiler names its working folder as the system resolves it: a tree
# reached through a link (a checkout under a linked folder) is mapped under
# that name too, or its builds would differ by the folder they ran in.
foreach(dir PROJECT_SOURCE_DIR PROJECT_BINARY_DIR)
    file(REAL_PATH "${${dir}}" _real)
    if(NOT _real STREQUAL "${${dir}}")
        add_compile_options(-ffile-prefix-map=${_real}=.)
    endif()
endforeach()
# moc includes a header by its path from moc's own output folder
# ("../../../../src/app/frmMain.h"), which no prefix map can reach and which
# holds where the source folder lies next to the build folder. With a path
# prefix it includes the header by its path below one of the target's include
# folders ("app/frmMain.h"), found there by its absolute, mapped, name.
set(CMAKE_AUTOMOC_PATH_PREFIX ON)
