#!/usr/bin/env bash
# Builds the Windows library (scripts/build-windows.sh) and tests it under
# Wine: the unit suites and the LoadLibrary host through ctest, the export
# table, the demo called by Linux clients (tests/windows/wine_e2e.sh) and a
# host built from the zip alone (tests/windows/zip_host.sh).
#
# The shipped DLL is 32-bit. Where the kernel cannot execute 32-bit programs
# (no IA-32 emulation), 32-bit Wine cannot start at all; the run then tests
# the 64-bit build of the same sources under 64-bit Wine, and of the 32-bit
# DLL checks only what needs no execution (exports, linking from the zip).
# It says so in its output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${WSGATE_WIN_CACHE:-$HOME/.cache/wsgate-windows}
jobs=$(nproc)

# Wine's 32-bit loader is itself a 32-bit Linux program (once installed).
runs32() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
# The shipped library; its tests only where they can run.
WSGATE_WIN_TESTS=ON
[ -x /usr/lib/wine/wine ] && ! runs32 && WSGATE_WIN_TESTS=OFF
WSGATE_WIN_TESTS=$WSGATE_WIN_TESTS "$root/scripts/build-windows.sh"
echo "=== Windows: export table of the 32-bit DLL ==="
"$root/tests/windows/exports_check.sh" i686-w64-mingw32-objdump "$root/build/windows/bin/wsgate.dll"

if runs32; then
  arch=i686 build=$root/build/windows wine=wine
else
  echo "=== Windows: this kernel runs no 32-bit programs; testing the 64-bit build under wine64 ==="
  arch=x86_64 build=$root/build/windows-x86_64 wine=/usr/lib/wine/wine64
  WSGATE_WIN_ARCH=x86_64 "$root/scripts/build-windows.sh"
  export WINELOADER=$wine
fi
export WINEPREFIX=${WSGATE_WINEPREFIX:-$cache/wine-$arch} WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver
# The prefix is made once (slow); then one server for the whole run, so that
# each test program starts in a fraction of a second.
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true  # a server left by wineboot or an earlier run
"$wineserver" -p
# The first program of a fresh server starts Wine's own services, which keep
# its output open: let that be a program whose output nobody waits for.
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
trap '"$wineserver" -k || true' EXIT

status=0
echo "=== Windows ($arch): unit suites and the LoadLibrary host under Wine ==="
ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 120 || status=1
echo "=== Windows ($arch): demo under Wine, Linux clients ==="
"$root/tests/windows/wine_e2e.sh" "$build/bin" "$wine" "$build/wine_e2e" || status=1
echo "=== Windows: a host built from the zip alone ==="
if [ $arch = i686 ]; then
  "$root/tests/windows/zip_host.sh" "$root/build/windows/wsgate-windows.zip" "$root/build/windows/zip_host" wine || status=1
else
  echo "(linked only: the zip holds 32-bit programs)"
  "$root/tests/windows/zip_host.sh" "$root/build/windows/wsgate-windows.zip" "$root/build/windows/zip_host" || status=1
fi
[ $status -eq 0 ] && echo "=== Windows: all passed ($arch under Wine) ===" || echo "=== Windows: FAILED ==="
exit $status
