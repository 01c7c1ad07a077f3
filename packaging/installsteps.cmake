# SPDX-License-Identifier: GPL-3.0-or-later
# Install-time steps that plain install() rules cannot express. Runs inside
# cmake_install.cmake, after the files are in place; the KORVEL_* variables
# are set by install.cmake. Paths written into installed files are the final
# ones (prefix without DESTDIR); files are written under DESTDIR.

set(_root "$ENV{DESTDIR}")
set(_program_dir "${CMAKE_INSTALL_PREFIX}/${KORVEL_PROGRAM_DIR}")
set(_support "${_program_dir}/Support")

# ---------------------------------------------------------------- desktop files
# Decided here, not when configuring, so that it follows the prefix actually
# installed to (cmake --install --prefix, cpack).
if(KORVEL_DESKTOP_IN_USR STREQUAL "AUTO")
  if(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
    set(_in_usr ON)
  else()
    set(_in_usr OFF)
  endif()
else()
  set(_in_usr ${KORVEL_DESKTOP_IN_USR})
endif()
if(_in_usr AND NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(_share /usr/share)
  set(_links ON)
else()
  set(_share "${CMAKE_INSTALL_PREFIX}/share")
  set(_links OFF)
endif()

# file(INSTALL) prints each file, records it in install_manifest.txt and puts
# DESTDIR in front of the destination itself.
set(_p "${KORVEL_PACKAGING_DIR}")
# The entries start the programs by name, found on PATH through /usr/bin,
# /usr/local/bin or the links above; under any other prefix they name the
# launcher by its full path instead.
set(_bin "${CMAKE_INSTALL_PREFIX}/${KORVEL_LAUNCHER_DIR}")
if(_links OR _bin STREQUAL "/usr/bin" OR _bin STREQUAL "/usr/local/bin")
  file(INSTALL "${_p}/korvel-transfer.desktop" "${_p}/zenobar.desktop" DESTINATION "${_share}/applications")
else()
  # Quoted as the desktop entry format wants: backslash, double quote, backquote
  # and dollar escaped by a backslash inside the quotes, then every backslash
  # doubled, as in any string value.
  string(REGEX REPLACE "([\\\\\"`$])" "\\\\\\1" _quoted "${_bin}")
  string(REPLACE "\\" "\\\\" _quoted "${_quoted}")
  foreach(entry korvel-transfer zenobar)
    file(READ "${_p}/${entry}.desktop" _text)
    string(REPLACE "\nExec=${entry}" "\nExec=\"${_quoted}/${entry}\"" _text "${_text}")
    set(_staged "${KORVEL_STAGING_DIR}/desktop/${entry}.desktop")
    file(WRITE "${_staged}" "${_text}")
    file(INSTALL "${_staged}" DESTINATION "${_share}/applications")
  endforeach()
endif()
foreach(icon korvel-transfer zenobar)
  file(INSTALL "${_p}/${icon}.svg" DESTINATION "${_share}/icons/hicolor/scalable/apps")
  file(INSTALL "${_p}/${icon}-48.png" DESTINATION "${_share}/icons/hicolor/48x48/apps" RENAME ${icon}.png)
endforeach()
file(INSTALL "${_p}/korvel-transfer-mime.xml" DESTINATION "${_share}/mime/packages"
     RENAME korvel-transfer.xml)

# /usr/bin links to the launchers, relative so that the tree also works when
# unpacked somewhere else (dpkg -x).
if(_links)
  file(MAKE_DIRECTORY "${_root}/usr/bin")
  foreach(program ${KORVEL_PROGRAMS})
    file(RELATIVE_PATH _target /usr/bin "${CMAKE_INSTALL_PREFIX}/${KORVEL_LAUNCHER_DIR}/${program}")
    message(STATUS "Installing: ${_root}/usr/bin/${program} -> ${_target}")
    file(REMOVE "${_root}/usr/bin/${program}")
    file(CREATE_LINK ${_target} "${_root}/usr/bin/${program}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_root}/usr/bin/${program}")
  endforeach()
endif()

# ---------------------------------------------------------------- Support/
# Rules.rls is built afresh for the installed folder, from the same statements
# (its block paths are relative to the program folder).
if(KORVEL_MAKERULES)
  message(STATUS "Building: ${_root}${_support}/Rules.rls")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
            ${KORVEL_MAKERULES} ${KORVEL_RULES_SQL} ${_root}${_support}/Rules.rls ${_support}
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "Could not build ${_root}${_support}/Rules.rls (${_rc})")
  endif()
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_root}${_support}/Rules.rls")
endif()

# ---------------------------------------------------------------- caches
# A direct install (no DESTDIR) refreshes the desktop's caches; a package
# leaves that to the Debian triggers of these tools.
if(_root STREQUAL "")
  find_program(_update_mime update-mime-database)
  find_program(_update_desktop update-desktop-database)
  find_program(_update_icons gtk-update-icon-cache)
  if(_update_mime)
    execute_process(COMMAND ${_update_mime} "${_share}/mime" RESULT_VARIABLE _ignored)
  endif()
  if(_update_desktop)
    execute_process(COMMAND ${_update_desktop} "${_share}/applications" RESULT_VARIABLE _ignored)
  endif()
  if(_update_icons AND EXISTS "${_share}/icons/hicolor/index.theme")
    execute_process(COMMAND ${_update_icons} -q -t "${_share}/icons/hicolor" RESULT_VARIABLE _ignored)
  endif()
endif()
