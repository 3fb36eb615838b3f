# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Read by cpack when it packs, so that the choice follows the packing machine.
# dpkg-shlibdeps (package dpkg-dev) finds the exact libraries the program
# links; without it the same packages are named by hand.
if(CPACK_GENERATOR STREQUAL "DEB")
    cmake_policy(SET CMP0109 NEW) # a program must be executable to be found
    find_program(VARDEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(VARDEL_DPKG_SHLIBDEPS)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    else()
        message(STATUS "dpkg-shlibdeps not found: naming the library packages by hand")
        string(PREPEND CPACK_DEBIAN_PACKAGE_DEPENDS
            "libc6, libstdc++6, libglib2.0-0, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), "
            "libqt6dbus6 (>= 6.4), ")
    endif()
endif()

# One time for every file in the package, so that the same sources give the
# same bytes: the time of the sources' last commit, unless the caller names one.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_VARDEL_SOURCE_DIR)
    find_program(VARDEL_GIT git)
    if(VARDEL_GIT)
        execute_process(COMMAND ${VARDEL_GIT} -C ${CPACK_VARDEL_SOURCE_DIR} log -1 --format=%ct
                        OUTPUT_VARIABLE _vardel_commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE _vardel_git_failed ERROR_QUIET)
        if(NOT _vardel_git_failed AND _vardel_commit_time MATCHES "^[0-9]+$")
            set(ENV{SOURCE_DATE_EPOCH} ${_vardel_commit_time})
        endif()
    endif()
endif()
