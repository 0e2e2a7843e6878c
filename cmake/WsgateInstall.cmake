# Installation: libwsgate.so with the runtime and log libraries it loads,
# the host header, a CMake package (wsgate::wsgate and
# wsgate_add_soap_service) and wsgate.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(WSGATE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/wsgate)

# libzep.so and libzeplog.so are installed beside libwsgate.so; hosts link
# only libwsgate.so, which finds them through its own directory.
set_target_properties(wsgate PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS wsgate zep zeplog EXPORT wsgateTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/public/include/wsgate/wsgate.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wsgate)

install(EXPORT wsgateTargets NAMESPACE wsgate:: DESTINATION ${WSGATE_INSTALL_CMAKEDIR})
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
  DESTINATION ${WSGATE_INSTALL_CMAKEDIR})

# Relative to the .pc file, so that `cmake --install --prefix` anywhere works.
file(RELATIVE_PATH WSGATE_PC_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" WSGATE_PC_PREFIX "${WSGATE_PC_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/wsgate.pc.in ${PROJECT_BINARY_DIR}/wsgate.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/wsgate.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
