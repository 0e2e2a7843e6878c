#!/usr/bin/env bash
# with_demo.sh <wsgate-demo> <work dir> <client command...>
# Runs the demo host on a free port, runs the client in the work dir with
# DEMO_URL=http://127.0.0.1:<port>, DEMO_PID and INTEROP_CASES naming the
# cases every client runs, then stops the demo with SIGTERM. Passes when the
# client exits 0 having printed no failed case (": FAIL") and the demo exits
# 0. A built demo runs from a private copy that logs warnings to the console;
# an installed one (/usr) where it lies.
set -euo pipefail
demo=$1 work=$2; shift 2
rm -rf "$work"; mkdir -p "$work"
if [[ $demo != /usr/* ]]; then
  cp "$demo" "$(dirname "$demo")"/*.wsdl "$work"/
  printf 'log4j.rootLogger=WARN, out\nlog4j.appender.out=org.apache.log4j.ConsoleAppender\nlog4j.appender.out.layout=org.apache.log4j.SimpleLayout\n' > "$work/log4cxx.properties"
  demo=$work/$(basename "$demo")
fi
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$demo" --port "$port" > "$work/demo.out" 2>&1 & pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 300); do  # up to 30 s, for a busy machine
  grep -qs listening "$work/demo.out" || ! kill -0 $pid 2>/dev/null && break; sleep 0.1; done
grep -q listening "$work/demo.out" || { cat "$work/demo.out"; exit 1; }
cases=$(cd "$(dirname "$0")" && pwd)/cases.tsv
(cd "$work" && DEMO_URL="http://127.0.0.1:$port" DEMO_PID=$pid INTEROP_CASES=$cases "$@") | tee "$work/client.out" &&
  status=0 || status=$?
! grep -q ": FAIL" "$work/client.out" || status=1
kill -TERM $pid 2>/dev/null || true  # unless a test stopped it already
wait $pid || { echo "demo exited with $?"; cat "$work/demo.out"; exit 1; }
[ $status -eq 0 ] || cat "$work/demo.out"
exit $status
