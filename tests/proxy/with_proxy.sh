#!/usr/bin/env bash
# with_proxy.sh <client command...>: run by ../interop/with_demo.sh, it puts
# HAProxy as deploy/proxy configures it in front of that demo host, on free
# loopback ports, TLS with a throwaway CA, and runs the client with
#   PROXY_URL   https://localhost:<port>   (PROXY_CA: the CA that signed it)
#   PROXY_PLAIN http://127.0.0.1:<port>    (the same proxy without TLS)
#   PROXY_METRICS http://127.0.0.1:<port>/metrics (its Prometheus exporter)
# beside with_demo.sh's DEMO_URL (the host, bypassing the proxy) and DEMO_PID.
set -euo pipefail
deploy=$(cd "$(dirname "$0")/../../deploy/proxy" && pwd)
for tool in haproxy openssl curl; do
  command -v $tool >/dev/null || { echo "with_proxy.sh: $tool is missing (scripts/install-deps.sh)"; exit 1; }
done
"$deploy/make-test-cert.sh" tls localhost
read -r tls plain metrics < <(/usr/bin/python3 -c '
import socket
socks = [socket.socket(), socket.socket(), socket.socket()]
for s in socks: s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in socks))')
"$deploy/render.sh" --public "localhost:$tls" --cert tls/server.pem --bind "127.0.0.1:$tls" \
  --plain "127.0.0.1:$plain" --metrics "127.0.0.1:$metrics" --backend "${DEMO_URL#http://}" > haproxy.cfg
haproxy -f haproxy.cfg > haproxy.log 2>&1 & proxy=$!
trap 'kill $proxy 2>/dev/null || true' EXIT
export PROXY_URL=https://localhost:$tls PROXY_PLAIN=http://127.0.0.1:$plain
export PROXY_CA=$PWD/tls/ca.pem PROXY_METRICS=http://127.0.0.1:$metrics/metrics
for _ in $(seq 100); do curl -sf -o /dev/null --cacert "$PROXY_CA" "$PROXY_URL/echo?wsdl" && break; sleep 0.1; done
"$@" || { tail -20 haproxy.log; exit 1; }
