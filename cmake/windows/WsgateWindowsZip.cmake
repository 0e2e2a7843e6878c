# The Windows build's runtime folder and its zip.
#
# bin/ of the build holds every program and DLL (CMAKE_RUNTIME_OUTPUT_DIRECTORY);
# the DLLs they load from elsewhere are copied beside them here: the gSOAP
# runtime and log4cplus from the cross-built prefix, and MinGW's C++, GCC
# and thread runtimes. Target windows_zip packs wsgate-windows.zip:
#   bin/      wsgate.dll, libzep.dll, libzeplog.dll, libgsoap++.dll,
#             liblog4cplus.dll, the MinGW runtime DLLs, wsgate-demo.exe with
#             Calculator.wsdl, Echo.wsdl and log4cxx.properties
#   include/  wsgate/wsgate.h, stdsoap2.h
#   lib/      libwsgate.dll.a (MinGW), wsgate.lib (MSVC), wsgate.def,
#             libgsoap++.dll.a (the runtime a host's generated code links)
set(WSGATE_WIN_PREFIX "" CACHE PATH "Prefix of the cross-built gSOAP, TinyXML and log4cplus")
set(bin ${PROJECT_BINARY_DIR}/bin)
file(MAKE_DIRECTORY ${bin})

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(gcc_runtime libgcc_s_dw2-1.dll)
else()
  set(gcc_runtime libgcc_s_seh-1.dll)
endif()
set(runtime_dlls ${WSGATE_WIN_PREFIX}/bin/libgsoap++.dll ${WSGATE_WIN_PREFIX}/bin/liblog4cplus.dll)
foreach(dll libstdc++-6.dll ${gcc_runtime} libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${dll}: not found by ${CMAKE_CXX_COMPILER}")
  endif()
  list(APPEND runtime_dlls ${path})
endforeach()
file(COPY ${runtime_dlls} DESTINATION ${bin})

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Only the 32-bit library ships.
  return()
endif()

# binutils' dlltool, not llvm-dlltool: llvm-dlltool names a decorated
# stdcall import without its leading underscore (MinGW's rule), and the DLL
# exports it with one.
find_program(WSGATE_DLLTOOL NAMES ${CMAKE_DLLTOOL} i686-w64-mingw32-dlltool REQUIRED)
set(def ${PROJECT_SOURCE_DIR}/src/wsgate/wsgate.def)
set(stage ${PROJECT_BINARY_DIR}/zip/wsgate-windows)
set(zip ${PROJECT_BINARY_DIR}/wsgate-windows.zip)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/wsgate.lib
  COMMAND ${WSGATE_DLLTOOL} -d ${def} -D wsgate.dll -l ${PROJECT_BINARY_DIR}/wsgate.lib
  DEPENDS ${def} VERBATIM)
set(staged_binaries ${stage}/bin/$<TARGET_FILE_NAME:wsgate> ${stage}/bin/$<TARGET_FILE_NAME:zep>
    ${stage}/bin/$<TARGET_FILE_NAME:zeplog> ${stage}/bin/$<TARGET_FILE_NAME:wsgate-demo>)
foreach(dll IN LISTS runtime_dlls)
  get_filename_component(name ${dll} NAME)
  list(APPEND staged_binaries ${stage}/bin/${name})
endforeach()
add_custom_command(OUTPUT ${zip}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/bin ${stage}/include/wsgate ${stage}/lib
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:wsgate> $<TARGET_FILE:zep> $<TARGET_FILE:zeplog>
          ${runtime_dlls} $<TARGET_FILE:wsgate-demo> ${bin}/Calculator.wsdl ${bin}/Echo.wsdl
          ${bin}/log4cxx.properties ${stage}/bin/
  # Debug information stays in the build folder.
  COMMAND ${CMAKE_STRIP} --strip-debug ${staged_binaries}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/public/include/wsgate/wsgate.h ${stage}/include/wsgate/
  COMMAND ${CMAKE_COMMAND} -E copy ${WSGATE_WIN_PREFIX}/include/stdsoap2.h ${stage}/include/
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_LINKER_FILE:wsgate> ${PROJECT_BINARY_DIR}/wsgate.lib ${def}
          ${WSGATE_WIN_PREFIX}/lib/libgsoap++.dll.a ${stage}/lib/
  COMMAND ${CMAKE_COMMAND} -E chdir ${PROJECT_BINARY_DIR}/zip ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip wsgate-windows
  DEPENDS wsgate zep zeplog wsgate-demo ${PROJECT_BINARY_DIR}/wsgate.lib ${def}
  COMMENT "Packing wsgate-windows.zip"
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${zip})
