# Installation under /usr and the Debian package (cpack -G DEB).
#
# The programs and libQEL_COPN.so live together in /usr/lib/tarnwick: the
# application looks for the library beside its executable, and the links in
# /usr/bin resolve to that folder.
include(GNUInstallDirs)
set(TARNWICK_PRIVATE_DIR lib/tarnwick)
set(TARNWICK_PROGRAMS tarnwick tarnwick-gatewaysim)
if(TARGET tarnwick-record)
  list(APPEND TARNWICK_PROGRAMS tarnwick-record)
endif()
if(TARGET tarnwick-node)
  list(APPEND TARNWICK_PROGRAMS tarnwick-node)
endif()
install(TARGETS ${TARNWICK_PROGRAMS} RUNTIME DESTINATION ${TARNWICK_PRIVATE_DIR})
install(TARGETS QEL_COPN LIBRARY DESTINATION ${TARNWICK_PRIVATE_DIR} NAMELINK_SKIP)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/usr-bin)
foreach(program IN LISTS TARNWICK_PROGRAMS)
  file(CREATE_LINK ../${TARNWICK_PRIVATE_DIR}/${program} ${CMAKE_BINARY_DIR}/usr-bin/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/usr-bin/${program} DESTINATION bin)
endforeach()

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/tarnwick.desktop DESTINATION share/applications)
install(FILES ${packaging}/com.quelbrook.Tarnwick.metainfo.xml DESTINATION share/metainfo)
install(FILES ${packaging}/icons/tarnwick.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${packaging}/icons/tarnwick-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME tarnwick.png)
endforeach()
# Debian wants the copyright and a compressed changelog in the package's doc folder.
set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9n -c ${packaging}/changelog > ${changelog}
  DEPENDS ${packaging}/changelog)
add_custom_target(tarnwick_changelog ALL DEPENDS ${changelog})
install(FILES ${packaging}/copyright ${changelog} DESTINATION share/doc/tarnwick)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Quelbrook <tarnwick@quelbrook.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watches a vehicle's CANopen gateway node live")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnwick attaches a PC to a vehicle's CANopen network through a CAN adapter
and shows the vehicle's gateway node live: MTU engine parameters, fault
codes, DinBus bytes and J1939 parameters. The package also holds a gateway
simulator for trying it without a vehicle.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Loaded at run time, so the library scan cannot see them: the window-system
# plugins of Qt and the faces the windows ask for. The CAN plugins come with
# libqt6serialbus6 on Debian 12, which the scan finds.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
