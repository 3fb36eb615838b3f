# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Vardel developers

# Installing Vardel and packing it for Debian.
#   cmake --install <build> [--prefix /usr]
#   cd <build> && cpack -G DEB          -> vardel_<version>_<arch>.deb
include(GNUInstallDirs)

set(VARDEL_APP_ID io.github.vardel.Vardel)
set(VARDEL_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)

# Qt comes from the system's library folders: no run path is needed.
set_target_properties(vardel PROPERTIES INSTALL_RPATH "")
install(TARGETS vardel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cpack's) also drops the compilers' notes, as Debian's
# dh_strip does.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        set(_bindir [[${CMAKE_INSTALL_BINDIR}]])
        if(NOT IS_ABSOLUTE \"\${_bindir}\")
            set(_bindir \"\${CMAKE_INSTALL_PREFIX}/\${_bindir}\")
        endif()
        execute_process(COMMAND [[${CMAKE_STRIP}]] --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${_bindir}/$<TARGET_FILE_NAME:vardel>\" COMMAND_ERROR_IS_FATAL ANY)
    endif()
")

# The program seeks its two state icons in the folder it is started from; they
# get a folder of their own, which the desktop entry names as its working
# directory.
install(FILES ${PROJECT_SOURCE_DIR}/resources/Eye.ico ${PROJECT_SOURCE_DIR}/resources/Lighton.ico
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vardel)

# The entry holds absolute paths, so it is written when installing, from the
# prefix in force then: cpack installs under /usr, and `cmake --install
# --prefix` may name another prefix than the one configured.
set(_vardel_desktop ${PROJECT_BINARY_DIR}/dist/${VARDEL_APP_ID}.desktop)
install(CODE "
    set(_bindir [[${CMAKE_INSTALL_BINDIR}]])
    set(_datadir [[${CMAKE_INSTALL_DATADIR}]])
    if(NOT IS_ABSOLUTE \"\${_bindir}\")
        set(_bindir \"\${CMAKE_INSTALL_PREFIX}/\${_bindir}\")
    endif()
    if(NOT IS_ABSOLUTE \"\${_datadir}\")
        set(_datadir \"\${CMAKE_INSTALL_PREFIX}/\${_datadir}\")
    endif()
    set(VARDEL_EXEC \"\${_bindir}/$<TARGET_FILE_NAME:vardel>\")
    set(VARDEL_DATA_PATH \"\${_datadir}/vardel\")
    configure_file([[${VARDEL_DIST_DIR}/${VARDEL_APP_ID}.desktop.in]] [[${_vardel_desktop}]] @ONLY)
")
install(FILES ${_vardel_desktop} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VARDEL_DIST_DIR}/${VARDEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# What Debian asks of every package: the licence in its machine-readable form,
# a changelog and a manual page, these two compressed as gzip -9n leaves them
# (no name, no time, so the package is the same from one build to the next).
set(_vardel_gz ${PROJECT_BINARY_DIR}/dist/gz)
install(CODE "
    file(MAKE_DIRECTORY [[${_vardel_gz}]])
    foreach(_name changelog vardel.1)
        execute_process(COMMAND gzip -9n -c INPUT_FILE \"${VARDEL_DIST_DIR}/\${_name}\"
                        OUTPUT_FILE \"${_vardel_gz}/\${_name}.gz\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
")
install(FILES ${VARDEL_DIST_DIR}/copyright ${_vardel_gz}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vardel)
install(FILES ${_vardel_gz}/vardel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/vardel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VARDEL_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/scalable/apps/vardel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VARDEL_APP_ID}.svg)
# What lintian is told to let stand, each with its reason: only in a system
# install (the package's), where lintian looks.
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL /usr)
        file(INSTALL [[${VARDEL_DIST_DIR}/vardel.lintian-overrides]] DESTINATION /usr/share/lintian/overrides
             RENAME vardel)
    endif()
")

# The Debian package.
set(VARDEL_PACKAGE_MAINTAINER "The Vardel developers <vardel@users.noreply.github.com>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME vardel)
set(CPACK_PACKAGE_VENDOR "The Vardel developers")
set(CPACK_PACKAGE_CONTACT "${VARDEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
"Vardel keeps an eye on one folder. It notes the files there at start, lists
the folder again at a period of the user's choice and marks every file that
has appeared since as new. When the set of new files changes, its window icon
lights up, its caption shows the count and a message tells the user. From its
list files are opened, copied or deleted.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Not linked, but needed at run time: the platform plugins beyond xcb and the
# MIME database that names the file types.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, shared-mime-info")
# Qt's Wayland platform plugin: without it the program runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Linked library packages and the package's time: see the file below, read
# when cpack runs.
set(CPACK_VARDEL_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${VARDEL_DIST_DIR}/CPackProjectConfig.cmake)
include(CPack)
