#!/usr/bin/env bash
# Builds everything and runs the whole suite three times: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build and a ThreadSanitizer
# build (after the normal one, the Windows DLL is cross-built and tested under
# Wine); then a clang build runs the fuzz targets over their seed corpora
# under ASan+UBSan; last, the Debian packages are built, installed, used and
# purged. Any failing test or sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
jobs=$(nproc)

# run_suite <name> <ctest selection, e.g. "-L fuzz", or ""> <cmake options...>
run_suite() {
  local name=$1 selection=$2; shift 2
  local dir="$root/build/$name"
  echo "=== $name build ==="
  cmake -S "$root" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  # shellcheck disable=SC2086  # the selection is a list of ctest options
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 $selection
}

# The benchmark programs are built (not run) once, as a check that they still compile.
run_suite normal "" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWSGATE_BUILD_BENCH=ON
# The 32-bit Windows DLL, cross-built and tested under Wine, once.
echo "=== Windows build ==="
"$root/scripts/test-windows.sh"
run_suite asan "" -DCMAKE_BUILD_TYPE=Debug -DWSGATE_SANITIZER=address
run_suite tsan "" -DCMAKE_BUILD_TYPE=Debug -DWSGATE_SANITIZER=thread
run_suite fuzz "-L fuzz" -DCMAKE_BUILD_TYPE=Debug -DWSGATE_SANITIZER=address -DWSGATE_BUILD_FUZZERS=ON \
  -DWSGATE_BUILD_EXAMPLES=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# Last: it installs the Debian packages system-wide for a minute, so nothing
# else may be building or testing meanwhile (it purges them on every exit).
echo "=== Debian packages ==="
"$root/tests/package/deb_test.sh"
echo "=== all four builds and the packages passed ==="
