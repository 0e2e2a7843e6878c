#!/usr/bin/env bash
# Builds everything and runs the whole suite three times: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build and a ThreadSanitizer
# build. Any failing test or sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
jobs=$(nproc)

run_suite() {
  local name=$1; shift
  local dir="$root/build/$name"
  echo "=== $name build ==="
  cmake -S "$root" -B "$dir" -DWSGATE_BUILD_BENCH=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600
}

run_suite normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_suite asan -DCMAKE_BUILD_TYPE=Debug -DWSGATE_SANITIZER=address
run_suite tsan -DCMAKE_BUILD_TYPE=Debug -DWSGATE_SANITIZER=thread
echo "=== all three builds passed ==="
