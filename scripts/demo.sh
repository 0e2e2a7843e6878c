#!/usr/bin/env bash
# The first thing to run: installs the Debian packages that are missing,
# builds the demo host (Release, in build/demo) and runs it in the
# foreground. Arguments go to wsgate-demo (try --help); Ctrl+C stops it.
# With WSGATE_DEMO_BUILD_ONLY=1 it stops after the build (scripts/demo-proxy.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh" --sudo

cmake -S "$root" -B "$root/build/demo" -DCMAKE_BUILD_TYPE=Release -DWSGATE_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j"$(nproc)" --target wsgate-demo
[ -z "${WSGATE_DEMO_BUILD_ONLY:-}" ] || exit 0
exec "$root/build/demo/examples/wsgate-demo" "$@"
