#!/usr/bin/env bash
# package_test.sh <host source dir> <work dir> [compiler flags] [build dir]
# Builds against installed files only: a CMake host (find_package +
# wsgate_add_soap_service) that serves one call, and a C program through
# pkg-config. With a build dir it installs the build into a fresh prefix
# first; without one it takes what the system has installed, no path given.
# Either way it checks that both found the expected installation.
set -euo pipefail
host=$1 work=$2 flags=${3:-} build=${4:-} prefix=/usr
rm -rf "$work"; mkdir -p "$work"; cd "$work"
unset CMAKE_PREFIX_PATH PKG_CONFIG_PATH LD_LIBRARY_PATH
if [ -n "$build" ]; then
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" >/dev/null
  export CMAKE_PREFIX_PATH=$prefix PKG_CONFIG_PATH=$prefix/lib/pkgconfig LD_LIBRARY_PATH=$prefix/lib
fi
installed() {  # installed <file>: the file lies under the prefix
  [[ $(readlink -f "$1") == "$(readlink -f "$prefix")"/lib/* ]] || { echo "$1 is not under $prefix"; exit 1; }
}
loads_installed() { installed "$(ldd "$1" | awk '/libwsgate\.so/ {print $3}')"; }
printf 'log4j.rootLogger=WARN, out\nlog4j.appender.out=org.apache.log4j.ConsoleAppender\nlog4j.appender.out.layout=org.apache.log4j.SimpleLayout\n' > log4cxx.properties

cmake -S "$host" -B host -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
installed "$(sed -n 's/^wsgate_DIR:PATH=//p' host/CMakeCache.txt)"
cmake --build host >/dev/null
loads_installed host/host
host/host "$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"

printf '#include <wsgate/wsgate.h>\nint main(void) { bool ok = gsoapws_init() && gsoapws_create("127.0.0.1", 1); gsoapws_fini(); return !ok; }\n' > pc_host.c
installed "$(pkg-config --variable=pcfiledir wsgate)"
cc $flags pc_host.c $(pkg-config --cflags --libs wsgate) -o pc_host
loads_installed pc_host
./pc_host
