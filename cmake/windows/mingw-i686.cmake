# Cross-compiling for 32-bit Windows with Debian's MinGW-w64. The -posix
# compilers: the -win32 ones have no std::thread or std::mutex, which
# log4cplus and the test suite need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_DLLTOOL i686-w64-mingw32-dlltool)
# Libraries and headers come from the target root and from the prefix of the
# cross-built dependencies (CMAKE_PREFIX_PATH), never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 ${WSGATE_WIN_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WSGATE_WIN_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows XP's Winsock lacks getaddrinfo for IPv6; Vista is the floor.
add_compile_definitions(_WIN32_WINNT=0x0600)
