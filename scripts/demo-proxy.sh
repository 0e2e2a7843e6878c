#!/usr/bin/env bash
# The demo host the way production runs it: behind HAProxy, which terminates
# TLS (a throwaway certificate), buffers requests, caps the connections to
# each host and tells the hosts the address clients called. Builds like
# scripts/demo.sh, then runs everything in the foreground. Ctrl+C (or SIGTERM
# to this script) stops the proxy and the hosts, and so does any of them
# ending on its own.
#
#   scripts/demo-proxy.sh [--port N] [--hosts N] [--host-port N] [--metrics ADDR:PORT|off]
#                         [--demo PATH] [--work DIR]
#     --port N        the proxy's TLS port on 127.0.0.1 (default 8443)
#     --hosts N       demo hosts behind it, 1 to 9 (default 1)
#     --host-port N   the first host's port; the others follow (default 8081)
#     --metrics A:P   the proxy's Prometheus exporter (default 127.0.0.1:8404)
#     --demo PATH     a wsgate-demo built already, its WSDLs and log4cxx.properties
#                     beside it (no build)
#     --work DIR      where the copies, configuration and logs go
#                     (default build/demo-proxy)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=8443 hosts=1 host_port=8081 metrics=127.0.0.1:8404 demo= work=$root/build/demo-proxy
usage() { sed -n '/^#   scripts\/demo-proxy.sh/,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0" >&2; exit 2; }
while (($#)); do
    (($# >= 2)) || usage
    case $1 in
        --port) port=$2 ;;
        --hosts) hosts=$2 ;;
        --host-port) host_port=$2 ;;
        --metrics) metrics=$2 ;;
        --demo) demo=$2 ;;
        --work) work=$2 ;;
        *) usage ;;
    esac
    shift 2
done
for n in "$port" "$host_port"; do
    [[ $n =~ ^[1-9][0-9]{0,4}$ ]] && ((n <= 65535)) || usage
done
[[ $hosts =~ ^[1-9]$ ]] && ((host_port + hosts - 1 <= 65535)) || usage

if [[ -z $demo ]]; then
    WSGATE_DEMO_BUILD_ONLY=1 "$root/scripts/demo.sh"
    demo=$root/build/demo/examples/wsgate-demo
fi
[[ -x $demo ]] || { echo "demo-proxy.sh: no wsgate-demo at $demo" >&2; exit 1; }

mkdir -p "$work"
[[ -f $work/tls/server.pem ]] || "$root/deploy/proxy/make-test-cert.sh" "$work/tls" localhost

# Every process started here, by pid: each is the program itself (never a
# pipeline's last command), so a signal reaches it.
pids=()
cleanup() {
    local pid
    trap '' INT TERM  # a second Ctrl+C must not cut the stop short
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 0' INT TERM

# Each host runs from its own copy: the demo logs to wsgate.log beside itself.
backends=()
for ((i = 1; i <= hosts; i++)); do
    dir=$work/host$i p=$((host_port + i - 1))
    mkdir -p "$dir"
    cp "$demo" "$dir/wsgate-demo"
    cp "$(dirname "$demo")"/{*.wsdl,log4cxx.properties} "$dir/"
    "$dir/wsgate-demo" --port "$p" >"$dir/demo.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do grep -qs listening "$dir/demo.out" && break; sleep 0.1; done
    grep -qs listening "$dir/demo.out" || { cat "$dir/demo.out" >&2; exit 1; }
    backends+=(--backend "127.0.0.1:$p")
done

"$root/deploy/proxy/render.sh" --public "localhost:$port" --cert "$work/tls/server.pem" \
    --bind "127.0.0.1:$port" --metrics "$metrics" "${backends[@]}" >"$work/haproxy.cfg"
haproxy -q -c -f "$work/haproxy.cfg"
haproxy -f "$work/haproxy.cfg" > >(tee "$work/haproxy.log") 2>&1 &
pids+=($!)
# The commands below work once the proxy listens, not when it is forked.
for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
(exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "demo-proxy.sh: HAProxy is not listening on $port" >&2; exit 1; }

ca=$work/tls/ca.pem
cat <<EOF
HAProxy on https://localhost:$port in front of $hosts wsgate-demo host(s) on 127.0.0.1:$host_port...
  configuration  $work/haproxy.cfg
  throwaway CA   $ca
  metrics        $([[ $metrics == off ]] && echo off || echo "http://$metrics/metrics")
Try:
  curl --cacert $ca 'https://localhost:$port/calc?wsdl'
  curl --cacert $ca -H 'Content-Type: text/xml' -d '<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><c:add xmlns:c="urn:wsgate-demo-calc"><a>2</a><b>3</b></c:add></s:Body></s:Envelope>' https://localhost:$port/calc
  REQUESTS_CA_BUNDLE=$ca /usr/bin/python3 -c 'import zeep; print(zeep.Client("https://localhost:$port/calc?wsdl").service.add(2, 3))'
Ctrl+C stops the proxy and the hosts.
EOF
# Whichever ends first, the rest go with it.
status=0
wait -n "${pids[@]}" || status=$?
echo "demo-proxy.sh: a host or the proxy ended (status $status); stopping the rest" >&2
exit 1
