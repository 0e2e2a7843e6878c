# Debian packages from the install components (scripts/package.sh builds
# them): libwsgate (runtime), libwsgate-dev (dev) and wsgate-demo (demo).
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the libraries land in
# the multiarch directory and the demo's configuration in /etc.
set(WSGATE_PACKAGE_CONTACT "wsgate developers <wsgate@example.org>" CACHE STRING
  "Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT ${WSGATE_PACKAGE_CONTACT})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev demo)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Run-time dependencies come from the binaries; the shlibs file lets other
# packages' dpkg-shlibdeps do the same against ours.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The demo's libwsgate.so.0 is found in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src/wsgate)

set(exact "libwsgate (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libwsgate)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "publish gSOAP services over HTTP from a host process
libwsgate lets a host process publish gSOAP-generated SOAP services over
HTTP through seven C functions, with the runtime and log libraries it loads.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libwsgate-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# A host generates its services with soapcpp2 and compiles them against
# gSOAP's headers; the CMake package finds them through pkg-config.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${exact}, gsoap, libgsoap-dev, pkg-config")
set(CPACK_COMPONENT_DEV_DESCRIPTION "publish gSOAP services over HTTP - development files
The header, the CMake package (wsgate::wsgate and wsgate_add_soap_service,
which generates a host's services with soapcpp2) and wsgate.pc.")
set(CPACK_DEBIAN_DEMO_PACKAGE_NAME wsgate-demo)
set(CPACK_DEBIAN_DEMO_PACKAGE_SECTION net)
# dpkg-shlibdeps cannot know which package a library not yet installed
# belongs to; the rest of the demo's dependencies it computes.
set(CPACK_DEBIAN_DEMO_PACKAGE_DEPENDS "${exact}")
set(CPACK_COMPONENT_DEMO_DESCRIPTION "publish gSOAP services over HTTP - demo host
wsgate-demo serves a calculator at /calc and an echo service at /echo,
with their WSDL files, as a starting point for a host of one's own.")

set(control ${PROJECT_BINARY_DIR}/packaging)
file(CONFIGURE OUTPUT ${control}/runtime/triggers CONTENT "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${control}/runtime/triggers)
file(CONFIGURE OUTPUT ${control}/demo/conffiles
  CONTENT "${CMAKE_INSTALL_FULL_SYSCONFDIR}/wsgate-demo/log4cxx.properties\n")
set(CPACK_DEBIAN_DEMO_PACKAGE_CONTROL_EXTRA ${control}/demo/conffiles)

# Every package carries the copyright and the changelog (of a native
# package: its version has no Debian revision), compressed as Debian wants.
string(TIMESTAMP WSGATE_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${control}/changelog @ONLY)
file(ARCHIVE_CREATE OUTPUT ${control}/changelog.gz PATHS ${control}/changelog
  FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
# The demo's service unit names the README as its documentation.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/wsgate-demo
  COMPONENT demo EXCLUDE_FROM_ALL)
foreach(component IN ITEMS runtime dev demo)
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${control}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()
include(CPack)
