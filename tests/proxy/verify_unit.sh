#!/usr/bin/env bash
# verify_unit.sh <unit file> <wsgate-demo> <work dir>: systemd-analyze verify
# on the unit, pointed at the built demo (verify insists that ExecStart exists).
set -euo pipefail
unit=$1 demo=$2 work=$3
command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing (apt-get install systemd)"; exit 1; }
rm -rf "$work"; mkdir -p "$work"; copy=$work/$(basename "$unit")
sed -e "s|/usr/lib/wsgate-demo/wsgate-demo|$demo|" -e "s|^WorkingDirectory=.*|WorkingDirectory=$(dirname "$demo")|" \
  "$unit" > "$copy"
grep -q "^ExecStart=$demo " "$copy"
out=$(systemd-analyze verify "$copy" 2>&1) && [ -z "$out" ] || { echo "$out"; exit 1; }
