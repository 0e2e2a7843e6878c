#!/usr/bin/env bash
# package_test.sh <build dir> <host source dir> <work dir> [compiler flags]
# Installs the build into a fresh prefix, then builds against the installed
# files only: a CMake host (find_package + wsgate_add_soap_service) that
# serves one call, and a C program through pkg-config.
set -euo pipefail
build=$1 host=$2 work=$3 flags=${4:-} prefix=$3/prefix
rm -rf "$work"; mkdir -p "$work"; cd "$work"
cmake --install "$build" --prefix "$prefix" >/dev/null
printf 'log4j.rootLogger=WARN, out\nlog4j.appender.out=org.apache.log4j.ConsoleAppender\nlog4j.appender.out.layout=org.apache.log4j.SimpleLayout\n' > log4cxx.properties

cmake -S "$host" -B host -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build host >/dev/null
host/host "$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"

printf '#include <wsgate/wsgate.h>\nint main(void) { bool ok = gsoapws_init() && gsoapws_create("127.0.0.1", 1); gsoapws_fini(); return !ok; }\n' > pc_host.c
cc $flags pc_host.c $(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs wsgate) -o pc_host
LD_LIBRARY_PATH=$prefix/lib ./pc_host
