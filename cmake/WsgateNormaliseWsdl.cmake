# cmake -DWSDL_IN=<file> -DWSDL_OUT=<file> -P WsgateNormaliseWsdl.cmake
#
# soapcpp2 binds the WSDL SOAP binding namespace to the prefix "SOAP", while
# the WSDL publisher rewrites only address elements literally named
# soap:address or soap12:address. Renames that prefix, declaration and every
# use, to "soap" (SOAP 1.1 binding) or "soap12" (SOAP 1.2 binding).
foreach(var WSDL_IN WSDL_OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "WsgateNormaliseWsdl: ${var} is not set")
  endif()
endforeach()

file(READ ${WSDL_IN} wsdl)
string(REGEX MATCH "xmlns:SOAP=\"([^\"]*)\"" declaration "${wsdl}")
if(NOT declaration)
  # No binding prefix to rename: publish as generated.
  configure_file(${WSDL_IN} ${WSDL_OUT} COPYONLY)
  return()
endif()
if(CMAKE_MATCH_1 STREQUAL "http://schemas.xmlsoap.org/wsdl/soap12/")
  set(prefix soap12)
else()
  set(prefix soap)
endif()
if(wsdl MATCHES "xmlns:${prefix}=")
  message(FATAL_ERROR "WsgateNormaliseWsdl: ${WSDL_IN} already declares the prefix ${prefix}")
endif()

# The prefix occurs in element names (<SOAP:x, </SOAP:x), attribute names
# ( SOAP:x=) and its declaration; text such as documentation and the other
# prefixes "SOAP-ENV" and "SOAP-ENC" stay untouched.
string(REGEX REPLACE "(</?)SOAP:" "\\1${prefix}:" wsdl "${wsdl}")
string(REGEX REPLACE "([ \t\r\n])SOAP:([A-Za-z_][-.A-Za-z0-9_]*[ \t\r\n]*=)"
       "\\1${prefix}:\\2" wsdl "${wsdl}")
string(REPLACE "xmlns:SOAP=" "xmlns:${prefix}=" wsdl "${wsdl}")
file(WRITE ${WSDL_OUT} "${wsdl}")
