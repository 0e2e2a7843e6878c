#!/usr/bin/env bash
# Builds the 32-bit Windows library, wsgate.dll, with MinGW-w64 on Debian 12,
# and packs the zip a Windows user unpacks (build/windows/wsgate-windows.zip).
#
#   scripts/build-windows.sh [--deps-only]
#
# Installs the cross compilers and Wine when missing; fetches the sources of
# gSOAP, TinyXML and log4cplus from Debian's source archive into a cache
# outside the tree (WSGATE_WIN_CACHE, default ~/.cache/wsgate-windows) and
# cross-builds them there once; later runs reuse both. The Linux build never
# sees any of it: the cross-built prefix is only handed to the Windows build.
#
# WSGATE_WIN_ARCH=x86_64 builds the 64-bit variant instead (into
# build/windows-x86_64, no zip), which scripts/test-windows.sh runs where
# 32-bit Wine cannot start. WSGATE_WIN_TESTS=OFF leaves the tests out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${WSGATE_WIN_ARCH:-i686}
cache=${WSGATE_WIN_CACHE:-$HOME/.cache/wsgate-windows}
if [ "$arch" = i686 ]; then
  build=${WSGATE_WIN_BUILD:-$root/build/windows}
else
  build=${WSGATE_WIN_BUILD:-$root/build/windows-$arch}
fi
jobs=$(nproc)
toolchain=$root/cmake/windows/mingw-$arch.cmake
prefix=$cache/prefix-$arch

install_packages() {
  # wine64 and the x86_64 compilers for the test variant (see above).
  local packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 llvm zip unzip
                  dpkg-dev cmake googletest)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo dpkg --add-architecture i386 && sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  # Wine runs 32-bit programs through its i386 loader.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
}

# A private source list, so that the system's apt configuration is never
# touched: the mirror and release the system already uses, deb-src only.
fetch_sources() {
  local suite mirror list=$cache/apt/sources.list pkg
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=${WSGATE_DEBIAN_MIRROR:-$( (grep -hoE '^(URIs:|deb) +https?://[^ ]+/debian( |$)' \
            /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null || true) | awk 'NR == 1 {print $2}')}
  mirror=${mirror:-http://deb.debian.org/debian}
  local apt_opts=(-o "Dir::Etc::SourceList=$list" -o Dir::Etc::SourceParts=/dev/null
                  -o "Dir::State::Lists=$cache/apt/lists" -o "Dir::Cache=$cache/apt/cache")
  local needed=()
  for pkg in gsoap tinyxml log4cplus; do
    [ -f "$cache/src/$pkg.dir" ] || needed+=("$pkg")
  done
  [ ${#needed[@]} -eq 0 ] && return 0
  mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache/archives/partial" "$cache/src"
  echo "deb-src $mirror $suite main" >"$list"
  apt-get "${apt_opts[@]}" update -qq
  for pkg in "${needed[@]}"; do
    rm -rf "$cache/src/$pkg"
    mkdir -p "$cache/src/$pkg"
    # apt checks every file against the .dsc; dpkg-source unpacks it and
    # applies Debian's patches.
    (cd "$cache/src/$pkg" && apt-get "${apt_opts[@]}" -qq source "$pkg" >/dev/null)
    find "$cache/src/$pkg" -mindepth 1 -maxdepth 1 -type d -print -quit >"$cache/src/$pkg.dir"
  done
}

# build_dep <name> <source dir> <cmake options...>
build_dep() {
  local name=$1 src=$2; shift 2
  echo "--- cross-building $name"
  local dir=$cache/build-$arch/$name log=$cache/build-$arch-$name.log
  cmake -S "$src" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$log"
  cmake --build "$dir" -j"$jobs" >>"$log"
  cmake --install "$dir" >>"$log"
}

build_deps() {
  # Rebuilt only when the recipes or the sources change.
  local stamp
  stamp=$( (echo "$arch"; declare -f build_deps; cat "$root"/cmake/windows/deps/*/CMakeLists.txt \
            "$cache"/src/*.dir) | sha256sum | cut -c1-16)
  [ -f "$prefix/.built-$stamp" ] && return 0
  rm -rf "$prefix" "$cache/build-$arch"
  build_dep gsoap "$root/cmake/windows/deps/gsoap" -DGSOAP_SOURCE_DIR="$(cat "$cache/src/gsoap.dir")"
  build_dep tinyxml "$root/cmake/windows/deps/tinyxml" -DTINYXML_SOURCE_DIR="$(cat "$cache/src/tinyxml.dir")"
  # Narrow characters: the log stand-in hands log4cplus UTF-8 bytes. No
  # thread pool (it serves only asynchronous appenders): its destructor joins
  # threads while the DLL unloads, under the loader lock, and hangs.
  build_dep log4cplus "$(cat "$cache/src/log4cplus.dir")" -DUNICODE=OFF -DLOG4CPLUS_ENABLE_THREAD_POOL=OFF \
    -DLOG4CPLUS_BUILD_TESTING=OFF -DLOG4CPLUS_BUILD_LOGGINGSERVER=OFF -DWITH_UNIT_TESTS=OFF \
    -DLOG4CPLUS_ENABLE_DECORATED_LIBRARY_NAME=OFF
  build_dep googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  touch "$prefix/.built-$stamp"
}

install_packages
fetch_sources
build_deps
[ "${1:-}" = "--deps-only" ] && exit 0

# The project itself, against the cross-built prefix only: pkg-config sees
# no .pc file of the build machine.
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# ctest runs the test programs through Wine; the 64-bit loader by its own
# name, since Debian's wine command prefers the 32-bit one.
if [ "$arch" = i686 ]; then wine=wine; else wine=/usr/lib/wine/wine64; fi
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DWSGATE_WIN_PREFIX="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" -DWSGATE_BUILD_TESTS="${WSGATE_WIN_TESTS:-ON}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
