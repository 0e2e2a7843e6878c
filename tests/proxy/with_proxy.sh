#!/usr/bin/env bash
# with_proxy.sh <wsgate-demo> <work dir> <client command...>
# A private demo host behind HAProxy configured by deploy/proxy, on free
# loopback ports, TLS with a throwaway CA. Runs the client with
#   PROXY_URL   https://localhost:<port>   (PROXY_CA: the CA that signed it)
#   PROXY_PLAIN http://127.0.0.1:<port>    (the same proxy without TLS)
#   HOST_URL    http://127.0.0.1:<port>    (the host, bypassing the proxy)
#   HOST_PID, PROXY_LOG
# then stops both. Passes when the client passes and the host exits 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
demo=$1 work=$2; shift 2
for tool in haproxy openssl curl; do
  command -v $tool >/dev/null || { echo "with_proxy.sh: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
rm -rf "$work"; mkdir -p "$work/host"
cp "$demo" "$(dirname "$demo")"/*.wsdl "$work/host/"
printf 'log4j.rootLogger=WARN, out\nlog4j.appender.out=org.apache.log4j.ConsoleAppender\nlog4j.appender.out.layout=org.apache.log4j.SimpleLayout\n' > "$work/host/log4cxx.properties"
"$root/deploy/proxy/make-test-cert.sh" "$work/tls" localhost
read -r host_port tls_port plain_port < <(/usr/bin/python3 -c '
import socket
socks = [socket.socket() for _ in range(3)]
for s in socks: s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))')

"$work/host/wsgate-demo" --port "$host_port" > "$work/host/demo.out" 2>&1 & host=$!
proxy=
trap 'kill $host $proxy 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -qs listening "$work/host/demo.out" && break; sleep 0.1; done
grep -q listening "$work/host/demo.out" || { cat "$work/host/demo.out"; exit 1; }

"$root/deploy/proxy/render.sh" --public "localhost:$tls_port" --cert "$work/tls/server.pem" \
  --bind "127.0.0.1:$tls_port" --plain "127.0.0.1:$plain_port" --backend "127.0.0.1:$host_port" \
  > "$work/haproxy.cfg"
haproxy -f "$work/haproxy.cfg" > "$work/haproxy.log" 2>&1 & proxy=$!
export PROXY_URL="https://localhost:$tls_port" PROXY_CA="$work/tls/ca.pem" PROXY_LOG="$work/haproxy.log"
export PROXY_PLAIN="http://127.0.0.1:$plain_port" HOST_URL="http://127.0.0.1:$host_port" HOST_PID=$host
for _ in $(seq 100); do
  curl -sf -o /dev/null --cacert "$PROXY_CA" "$PROXY_URL/echo?wsdl" && break; sleep 0.1; done

(cd "$work" && "$@") && status=0 || status=$?
kill -TERM $host 2>/dev/null || true
wait $host || { echo "host exited with $?"; cat "$work/host/demo.out"; exit 1; }
[ $status -eq 0 ] || tail -20 "$PROXY_LOG"
exit $status
