#!/usr/bin/env bash
# zip_host.sh <wsgate-windows.zip> <work dir> [wine loader]
# Unpacks the zip, builds zip_host.cpp against it alone, as a Windows user
# with MinGW would, twice: linked through libwsgate.dll.a and through
# wsgate.lib. With a loader that can run 32-bit programs, runs both.
set -euo pipefail
zip=$1 work=$2 wine=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"; mkdir -p "$work"
unzip -q "$zip" -d "$work"
kit=$work/wsgate-windows
status=0
for lib in libwsgate.dll.a wsgate.lib; do
  exe=$kit/bin/zip_host_${lib%%.*}.exe
  i686-w64-mingw32-g++-posix -std=c++17 -O1 -I"$kit/include" "$here/zip_host.cpp" "$kit/lib/$lib" \
    -lws2_32 -o "$exe"
  echo "zip host linked with $lib: ok"
  if [ -n "$wine" ]; then
    (cd "$kit/bin" && "$wine" "$exe") || { echo "zip host with $lib: FAIL"; status=1; }
  fi
done
exit $status
