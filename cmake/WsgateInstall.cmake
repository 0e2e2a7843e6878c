# Installation: libwsgate.so with the runtime and log libraries it loads,
# the host header, a CMake package (wsgate::wsgate and
# wsgate_add_soap_service) and wsgate.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(WSGATE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/wsgate)

# Components: runtime (the three libraries), dev (what a host builds with)
# and demo (examples/); each becomes one Debian package (WsgatePackage).
#
# libzep and libzeplog are installed beside libwsgate; hosts link only
# libwsgate, which finds them through its own directory. The stand-ins ship
# only with it, in one package, so they carry its SONAME number and need no
# link name of their own.
set_target_properties(wsgate PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(wsgate zep zeplog PROPERTIES VERSION ${PROJECT_VERSION}
                                                   SOVERSION ${WSGATE_SOVERSION})
install(TARGETS wsgate EXPORT wsgateTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(TARGETS zep zeplog EXPORT wsgateTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
install(FILES ${PROJECT_SOURCE_DIR}/public/include/wsgate/wsgate.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wsgate COMPONENT dev)

install(EXPORT wsgateTargets NAMESPACE wsgate:: DESTINATION ${WSGATE_INSTALL_CMAKEDIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/wsgateConfig.cmake.in
  ${PROJECT_BINARY_DIR}/wsgateConfig.cmake
  INSTALL_DESTINATION ${WSGATE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/wsgateConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/wsgateConfig.cmake
              ${PROJECT_BINARY_DIR}/wsgateConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/WsgateSoap.cmake
              ${PROJECT_SOURCE_DIR}/cmake/WsgateNormaliseWsdl.cmake
              ${PROJECT_SOURCE_DIR}/cmake/wsgate_entry.cpp.in
  DESTINATION ${WSGATE_INSTALL_CMAKEDIR} COMPONENT dev)

# Relative to the .pc file, so that `cmake --install --prefix` anywhere works.
file(RELATIVE_PATH WSGATE_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" WSGATE_PC_PREFIX "${WSGATE_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/wsgate.pc.in ${PROJECT_BINARY_DIR}/wsgate.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/wsgate.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
