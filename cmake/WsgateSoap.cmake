# Build-time code generation for gSOAP services published through wsgate.
#
#   include(WsgateSoap)
#   wsgate_soap_env_sources(<out_var>)
#   wsgate_add_soap_service(TARGET <target> NAME <name> HEADER <file.h>
#                           [WSDL_DIR <dir>])
#
# Several services share one process, so every service is generated in its own
# C++ namespace (soapcpp2 -n -p<name> -q<name>) and compiled with
# WITH_NOGLOBAL; the globals that libgsoap++ itself links against come once
# from the environment stubs (wsgate_soap_env_sources). Generated code keeps
# default visibility and gets no warnings of ours. The functions find their
# helper files next to this module, so it works from an install tree too.

# The imported gSOAP target is directory-scoped: a sibling directory includes
# the module again.
include_guard(DIRECTORY)

if(NOT SOAPCPP2)
  find_program(SOAPCPP2 soapcpp2 REQUIRED)
endif()
if(NOT TARGET PkgConfig::GSOAP)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GSOAP REQUIRED IMPORTED_TARGET gsoap++)
endif()
# Directory of gSOAP's importable headers (stlvector.h, soap12.h, ...), so a
# service header may #import them.
find_path(WSGATE_SOAP_IMPORT_DIR stlvector.h
  HINTS ${GSOAP_PREFIX}/share/gsoap/import
  PATH_SUFFIXES share/gsoap/import gsoap/import)

# Generates the environment stubs and stores in <out_var> the sources to add
# to the one target that provides them to the process (libwsgate): the global
# fault/header serializers and the global `namespaces` table that libgsoap++
# leaves undefined. That target must link PkgConfig::GSOAP, export what these
# define, and live in the directory that calls this function (once per build).
function(wsgate_soap_env_sources out_var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/wsgate_soap_env)
  file(MAKE_DIRECTORY ${dir})
  # An empty header yields exactly the stubs that no service defines.
  file(CONFIGURE OUTPUT ${dir}/env.h CONTENT "")
  # With no service declared, soapcpp2 names the table file soap.nsmap.
  file(CONFIGURE OUTPUT ${dir}/env_namespaces.cpp CONTENT
"// The global namespace table libgsoap++ falls back to; each service entry
// installs its own table before it parses a request.
#include \"envH.h\"
#include \"soap.nsmap\"
")
  set(generated ${dir}/envC.cpp ${dir}/envH.h ${dir}/envStub.h ${dir}/soap.nsmap)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${SOAPCPP2} -L -x -w -penv -d ${dir} ${dir}/env.h
    DEPENDS ${dir}/env.h
    COMMENT "Generating gSOAP environment stubs"
    VERBATIM)
  # Default visibility even in a target that hides its own symbols.
  set_source_files_properties(${dir}/envC.cpp ${dir}/env_namespaces.cpp
    PROPERTIES COMPILE_OPTIONS "-fvisibility=default;-w")
  # The headers are listed so that they exist before env_namespaces.cpp compiles.
  set(${out_var} ${generated} ${dir}/env_namespaces.cpp PARENT_SCOPE)
endfunction()

# Adds the service declared in HEADER to TARGET.
#
# Generated, in ${CMAKE_CURRENT_BINARY_DIR}/wsgate_soap_<name> (added to the
# target's include path):
#   <name>H.h, <name>Stub.h  declarations; operations are declared in C++
#                            namespace <name>, so the target implements them
#                            as `int <name>::ns__op(struct soap*, ...)`
#   <name>_entry.h           declares `int <name>_entry(struct soap*)`, the
#                            entry function to register with wsgate: it serves
#                            one request whose HTTP head is already received
# WSDL: soapcpp2 writes one WSDL per `//gsoap <prefix> service name: <X>`
# directive, named <X>.wsdl (after the service name, not after NAME). Each is
# copied to WSDL_DIR (default ${CMAKE_CURRENT_BINARY_DIR}) with its SOAP
# binding prefix written as soap: (or soap12: for SOAP 1.2), and the list of
# the copies' paths is set in the caller's variable <name>_WSDL_FILES. The
# header is a configure dependency, so renaming a service re-runs CMake.
function(wsgate_add_soap_service)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;NAME;HEADER;WSDL_DIR" "")
  foreach(required TARGET NAME HEADER)
    if(NOT arg_${required})
      message(FATAL_ERROR "wsgate_add_soap_service: ${required} is required")
    endif()
  endforeach()
  if(NOT arg_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "wsgate_add_soap_service: NAME must be a C++ identifier")
  endif()
  if(NOT arg_WSDL_DIR)
    set(arg_WSDL_DIR ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(name ${arg_NAME})
  get_filename_component(header ${arg_HEADER} ABSOLUTE)
  get_filename_component(header_dir ${header} DIRECTORY)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/wsgate_soap_${name})
  file(MAKE_DIRECTORY ${dir} ${arg_WSDL_DIR})

  # The WSDL names must be known now, as outputs of the build rule.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} service_lines
    REGEX "^//gsoap[ \t]+[A-Za-z0-9_]+[ \t]+service[ \t]+name:")
  set(raw_wsdls)
  set(wsdls)
  foreach(line IN LISTS service_lines)
    string(REGEX REPLACE ".*name:[ \t]*([^ \t]+).*" "\\1" service "${line}")
    list(APPEND raw_wsdls ${dir}/${service}.wsdl)
    list(APPEND wsdls ${arg_WSDL_DIR}/${service}.wsdl)
  endforeach()
  if(NOT wsdls)
    message(FATAL_ERROR
      "wsgate_add_soap_service: ${header} declares no '//gsoap <prefix> service name:'")
  endif()

  set(import_path ${header_dir})
  if(WSGATE_SOAP_IMPORT_DIR)
    string(APPEND import_path ":${WSGATE_SOAP_IMPORT_DIR}")
  endif()
  set(generated ${dir}/${name}C.cpp ${dir}/${name}Server.cpp
                ${dir}/${name}H.h ${dir}/${name}Stub.h ${dir}/${name}.nsmap)
  set(normalise)
  foreach(raw out IN ZIP_LISTS raw_wsdls wsdls)
    list(APPEND normalise COMMAND ${CMAKE_COMMAND}
      -DWSDL_IN=${raw} -DWSDL_OUT=${out}
      -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/WsgateNormaliseWsdl.cmake)
  endforeach()
  add_custom_command(
    OUTPUT ${generated} ${raw_wsdls} ${wsdls}
    COMMAND ${SOAPCPP2} -S -L -x -n -p${name} -q${name}
            -I${import_path} -d ${dir} ${header}
    ${normalise}
    DEPENDS ${header} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/WsgateNormaliseWsdl.cmake
    COMMENT "Generating gSOAP service ${name} from ${arg_HEADER}"
    VERBATIM)

  set(WSGATE_NAME ${name})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wsgate_entry.cpp.in
                 ${dir}/${name}_entry.cpp @ONLY)
  file(CONFIGURE OUTPUT ${dir}/${name}_entry.h CONTENT
"#pragma once
// Generated for the gSOAP service @WSGATE_NAME@.

struct soap;

// The calling convention wsgate calls service entries with.
#ifndef WSGATE_ENTRY_CALL
#if defined(_WIN32) && !defined(_WIN64)
#define WSGATE_ENTRY_CALL __stdcall
#else
#define WSGATE_ENTRY_CALL
#endif
#endif

/// Serves one request on soap, whose HTTP head has already been received;
/// returns SOAP_OK or the gSOAP error that ended the request.
int WSGATE_ENTRY_CALL @WSGATE_NAME@_entry(struct soap *soap);
" @ONLY)

  target_sources(${arg_TARGET} PRIVATE ${generated} ${dir}/${name}_entry.cpp
                                       ${dir}/${name}_entry.h)
  target_include_directories(${arg_TARGET} PRIVATE ${dir})
  target_link_libraries(${arg_TARGET} PRIVATE PkgConfig::GSOAP)
  # Default visibility even in a target that hides its own symbols.
  set_source_files_properties(${dir}/${name}C.cpp ${dir}/${name}Server.cpp
    ${dir}/${name}_entry.cpp TARGET_DIRECTORY ${arg_TARGET}
    PROPERTIES COMPILE_DEFINITIONS WITH_NOGLOBAL
               COMPILE_OPTIONS "-fvisibility=default;-w")
  set(${name}_WSDL_FILES ${wsdls} PARENT_SCOPE)
endfunction()
