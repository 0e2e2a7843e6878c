#!/usr/bin/env bash
# bench/windows.sh [seconds]
# Keep-alive calls per second at 10 connections (wrk, add.lua), the Windows
# demo under Wine against the Linux demo, one run each on this machine: a
# sanity ratio of the port, not a goal. Needs build/normal and the Windows
# test build (scripts/test-windows.sh builds the one that runs here).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  win_bin=$root/build/windows/bin wine=wine arch=i686
else
  win_bin=$root/build/windows-x86_64/bin wine=/usr/lib/wine/wine64 arch=x86_64
  export WINELOADER=$wine
fi
export WINEPREFIX=${WSGATE_WINEPREFIX:-${WSGATE_WIN_CACHE:-$HOME/.cache/wsgate-windows}/wine-$arch} WINEDEBUG=-all
work=$(mktemp -d)
trap 'kill -INT $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# measure <name> <command...>: starts the demo on a free port, prints req/s.
measure() {
  local name=$1 port; shift
  port=$(free_port)
  "$@" --port "$port" --threads 10 >"$work/$name.out" 2>&1 &
  local pid=$!
  for _ in $(seq 600); do grep -qs listening "$work/$name.out" && break; sleep 0.1; done
  wrk -t1 -c10 -d2s -s "$root/bench/add.lua" "http://127.0.0.1:$port/calc" >/dev/null  # warm-up
  local rate
  rate=$(wrk -t1 -c10 -d"${seconds}s" -s "$root/bench/add.lua" "http://127.0.0.1:$port/calc" |
         awk '/^Requests\/sec/ {print $2}')
  kill -INT $pid; wait $pid || true
  echo "$name: $rate req/s"
}
# Both demos read the same log4cxx.properties (beside each executable).
measure linux "$root/build/normal/examples/wsgate-demo"
measure "windows-$arch-under-wine" "$wine" "$win_bin/wsgate-demo.exe"
