#!/usr/bin/env bash
# Builds the Debian packages libwsgate, libwsgate-dev and wsgate-demo with
# CPack from a Release build in build/deb (Debian's hardening flags, prefix
# /usr) and prints the paths of the .deb files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/build/deb
"$root/scripts/install-deps.sh" >&2
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DWSGATE_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >&2
cmake --build "$dir" -j"$(nproc)" >&2
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >&2)
ls "$dir"/*.deb
