# Installation as a desktop program: the binary, a menu entry, icons, a manual page,
# AppStream metadata for software centres, and the licence beside the README.
include(GNUInstallDirs)

set(SPUMEX_APPID io.github.spumex.spumex)
# Where each part goes: the program, menu entry, metadata, icons, manual page, and the
# README with the licence and the pictures it shows.
set(icondir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
set(SPUMEX_DESTINATIONS ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_DATADIR}/applications
    ${CMAKE_INSTALL_DATADIR}/metainfo ${icondir}/48x48/apps ${icondir}/256x256/apps
    ${CMAKE_INSTALL_MANDIR}/man6 ${CMAKE_INSTALL_DOCDIR} ${CMAKE_INSTALL_DOCDIR}/docs)
file(GLOB SPUMEX_PICTURES ${CMAKE_CURRENT_SOURCE_DIR}/docs/*.png)

# First of all, the directories the install is about to make are recorded for uninstalling.
install(CODE "set(SPUMEX_DIRS_RECORD \"${CMAKE_BINARY_DIR}/install_directories.txt\")
  set(SPUMEX_INSTALL_DIRS \"${SPUMEX_DESTINATIONS}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/installdirs.cmake)
install(TARGETS spumex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${SPUMEX_APPID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${SPUMEX_APPID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/${size}/spumex.png DESTINATION ${icondir}/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/spumex.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${SPUMEX_PICTURES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# Renders the icons for dist/makeicon.sh; never installed.
add_executable(spumex-icon ${CMAKE_CURRENT_LIST_DIR}/makeicon.cpp)
target_link_libraries(spumex-icon PRIVATE spumexlib)

# Installs into a staging directory and checks what arrives there.
if(SPUMEX_BUILD_TESTS)
  add_test(NAME install_staging
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/install/install_test.sh
                   ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(install_staging PROPERTIES TIMEOUT 120 LABELS install)
endif()
