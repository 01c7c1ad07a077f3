# SPDX-License-Identifier: GPL-3.0-or-later
# Installing Korvel Transfer and Zenobar, and packaging them for Debian.
#
# Layout under the prefix (default /opt/korvel-transfer):
#   lib/korvel-transfer/          the program folder: korvel-transfer, zenobar
#                                 and Support/, side by side as in the build's bin/
#   bin/korvel-transfer, bin/zenobar
#                                 launchers that exec the programs by their real
#                                 path, so the program folder is always theirs
#   share/applications, share/icons/hicolor, share/mime/packages
#                                 desktop entries, icons and the *.gps MIME type
#                                 (or in /usr/share: see below)
#
# Where the desktop entries, icons and MIME type go is decided when installing,
# from the prefix then in force (cmake --install --prefix may change it):
# KORVEL_DESKTOP_IN_USR AUTO (default) puts them into /usr/share, where desktops
# look, and links /usr/bin/korvel-transfer and /usr/bin/zenobar to the
# launchers (so the entries' Exec lines find them) when the prefix is under
# /opt/; any other prefix keeps them under <prefix>/share. ON or OFF forces the
# choice. The Debian package is always built with the prefix /opt/korvel-transfer.
#
# The installed program folder is written only by the install: every folder
# in it is 0755, none writable by every user. Its Support/ holds the marker
# Installed (platform/programfolder.h), from which the programs know they were
# installed and keep each user's own files (the default drawing, printed
# reports, the start folder of Open and Save, a copy of Rules.rls) under
# $XDG_DATA_HOME/korvel-transfer instead of Support/Data and Support/Rules.rls
# beside the program, as a build tree does.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/korvel-transfer CACHE PATH "Install prefix" FORCE)
endif()

set(KORVEL_PROGRAM_DIR lib/korvel-transfer) # relative to the prefix
set(KORVEL_LAUNCHER_DIR bin)
set(KORVEL_DESKTOP_IN_USR AUTO CACHE STRING
    "Desktop entries, icons and MIME type in /usr/share, links in /usr/bin: AUTO (for a prefix under /opt/), ON, OFF")
set_property(CACHE KORVEL_DESKTOP_IN_USR PROPERTY STRINGS AUTO ON OFF)

set(_korvel_packaging ${CMAKE_CURRENT_LIST_DIR})
set(_korvel_packaging_build ${CMAKE_BINARY_DIR}/packaging)

# ---------------------------------------------------------------- program folder

set(_korvel_programs)
foreach(program korvel-transfer zenobar)
  if(TARGET ${program})
    list(APPEND _korvel_programs ${program})
  endif()
endforeach()
install(TARGETS ${_korvel_programs} RUNTIME DESTINATION ${KORVEL_PROGRAM_DIR})

# The built Support/ folder, less what the build's own runs leave in it: Data/
# holds files written by tests and by running the built programs, so only the
# shipped Data/ files are installed. Rules.rls (which a run may have edited) is
# rebuilt for the installed folder (installsteps.cmake).
string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" _korvel_support_re "${KORVEL_SUPPORT_DIR}")
set(_korvel_support_excludes REGEX "^${_korvel_support_re}/Data$" EXCLUDE REGEX "\\.tmp$" EXCLUDE)
if(TARGET makerules)
  # (with any SQLite journal a run of the built tree has open)
  list(APPEND _korvel_support_excludes REGEX "^${_korvel_support_re}/Rules\\.rls(-journal|-wal|-shm)?$" EXCLUDE)
endif()
install(DIRECTORY ${KORVEL_SUPPORT_DIR}/ DESTINATION ${KORVEL_PROGRAM_DIR}/Support ${_korvel_support_excludes})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/support/Data/ DESTINATION ${KORVEL_PROGRAM_DIR}/Support/Data
        PATTERN ".keep" EXCLUDE)
install(FILES ${_korvel_packaging}/Installed DESTINATION ${KORVEL_PROGRAM_DIR}/Support)

install(CODE "set(KORVEL_PROGRAM_DIR \"${KORVEL_PROGRAM_DIR}\")
set(KORVEL_LAUNCHER_DIR \"${KORVEL_LAUNCHER_DIR}\")
set(KORVEL_DESKTOP_IN_USR \"${KORVEL_DESKTOP_IN_USR}\")
set(KORVEL_PACKAGING_DIR \"${_korvel_packaging}\")
set(KORVEL_STAGING_DIR \"${_korvel_packaging_build}\")
set(KORVEL_RULES_SQL \"${PROJECT_SOURCE_DIR}/support/Rules.sql\")
set(KORVEL_MAKERULES \"$<$<TARGET_EXISTS:makerules>:$<TARGET_FILE:makerules>>\")
set(KORVEL_PROGRAMS \"${_korvel_programs}\")")

# ---------------------------------------------------------------- launchers

file(RELATIVE_PATH _korvel_launcher_relative /prefix/${KORVEL_LAUNCHER_DIR} /prefix/${KORVEL_PROGRAM_DIR})
foreach(program ${_korvel_programs})
  set(LAUNCHER_PROGRAM ${program})
  set(LAUNCHER_RELATIVE ${_korvel_launcher_relative})
  configure_file(${_korvel_packaging}/launcher.sh.in ${_korvel_packaging_build}/${program} @ONLY)
  install(PROGRAMS ${_korvel_packaging_build}/${program} DESTINATION ${KORVEL_LAUNCHER_DIR})
endforeach()

# ---------------------------------------------------------------- install-time steps

# Desktop entries, icons, MIME type, /usr/bin links, rules database, desktop
# caches.
install(SCRIPT ${_korvel_packaging}/installsteps.cmake)

# ---------------------------------------------------------------- Debian package

# Installing and packaging take what was built: build first (scripts/package.sh
# does). Without this, cpack would first build every target of the tree,
# tests included, in a tree whose tests may be running.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvel-transfer)
set(CPACK_PACKAGE_VENDOR "Korvel Transfer developers")
set(CPACK_PACKAGE_CONTACT "Korvel Transfer developers <korvel-transfer@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS waypoint transfer to tables, points files and DXF drawings")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "GPS waypoint transfer to tables, points files and DXF drawings
 Korvel Transfer moves waypoints and track points between a Magellan receiver
 on a serial port, an editable waypoint table, binary points files (*.gps),
 a printed report and a DXF drawing, where each point becomes a labelled block
 at its UTM position.
 .
 Zenobar converts a latitude and longitude to a UTM zone, easting and
 northing, in metres or feet.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Install as the tree above, with its absolute /usr parts, under a staging root.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /opt/korvel-transfer)
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/korvel-transfer)
set(CPACK_STRIP_FILES ON)
# The SQLite driver is a Qt plugin, loaded at run time, so no linked library
# names it; nor does any name PROJ's database (proj.db, in proj-data), which
# zenobar --crs reads at run time. The linked libraries (libproj25 among them)
# are found by dpkg-shlibdeps when present.
find_program(KORVEL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KORVEL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, proj-data")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, libqt6core6, libqt6gui6, libqt6widgets6, libqt6serialport6, libqt6sql6, libqt6sql6-sqlite, libqt6printsupport6, zlib1g, libxml2, libproj25, proj-data")
endif()
# The report and table ask for Arial: Liberation Sans has its metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
include(CPack)
