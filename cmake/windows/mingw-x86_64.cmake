# The 64-bit build of the same sources. It is not shipped: it runs the
# Windows tests under 64-bit Wine on machines whose kernel cannot execute
# 32-bit programs (no IA-32 emulation), where 32-bit Wine cannot start.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_DLLTOOL x86_64-w64-mingw32-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${WSGATE_WIN_PREFIX})
