#!/usr/bin/env bash
# Writes an HAProxy configuration for wsgate hosts to stdout.
#
#   render.sh --public NAME[:PORT] --cert FILE [options] > haproxy.cfg
#     --public NAME[:PORT]  the address clients use; each WSDL is published
#                           as https://NAME[:PORT]/<path>
#     --cert FILE           PEM file with the certificate chain and its key
#     --bind ADDR:PORT      TLS listener (default *:443)
#     --plain ADDR:PORT     an extra plain-HTTP listener (e.g. loopback for
#                           local tools); none by default
#     --backend HOST:PORT   a wsgate host; repeat for several (default
#                           127.0.0.1:8080). Every host serves every service.
#     --service PATH=N      a service and the workers its pool has on each
#                           host; repeat (default: the demo, /calc=10 /echo=4).
#                           Services on a host's shared pool split its 10.
#     --maxconn N           client connections the proxy holds (default 4000)
#     --lua FILE            wsdl_address.lua (default: the one beside this script)
#
# Per service and host the proxy opens at most N connections: N - idle for
# requests in flight (server maxconn; more wait in the proxy's queue for 1 s,
# then get 503) and idle ones kept for reuse (pool-max-conn), so a host's
# worker never waits for a connection that sits idle.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
public= cert= bind='*:443' plain= maxconn=4000 lua=$here/wsdl_address.lua
backends=() services=()
usage() { sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
while (($#)); do
    (($# >= 2)) || usage
    case $1 in
        --public) public=$2 ;;
        --cert) cert=$2 ;;
        --bind) bind=$2 ;;
        --plain) plain=$2 ;;
        --backend) backends+=("$2") ;;
        --service) services+=("$2") ;;
        --maxconn) maxconn=$2 ;;
        --lua) lua=$2 ;;
        *) usage ;;
    esac
    shift 2
done
[[ -n $public && -n $cert ]] || usage
((${#backends[@]})) || backends=(127.0.0.1:8080)
((${#services[@]})) || services=(/calc=10 /echo=4)

cat <<EOF
# Rendered by deploy/proxy/render.sh; edit the script's arguments, not this file.
global
    maxconn $maxconn
    log stdout format short local0 info
    lua-load $lua
    ssl-default-bind-options ssl-min-ver TLSv1.2 no-tls-tickets

defaults
    mode http
    log global
    option httplog
    option dontlognull
    # The whole request, body included, is read before a host sees it, and
    # must arrive within http-request: slow senders never hold a worker.
    option http-buffer-request
    timeout http-request 10s
    timeout client 30s
    timeout http-keep-alive 30s
    timeout connect 2s
    timeout server 30s
    # Past a host's capacity a request waits here, then gets 503.
    timeout queue 1s
    timeout check 2s
    # Idle host connections are shared by all clients and closed after a few
    # seconds unused (pool-purge-delay), far below the host's recv_timeout.
    http-reuse always
    retries 2
    option redispatch
    default-server check inter 2s fall 2 rise 2 pool-purge-delay 1s

frontend public
    bind $bind ssl crt $cert alpn http/1.1
EOF
[[ -z $plain ]] || echo "    bind $plain"
echo "    maxconn $maxconn"
paths=()
for s in "${services[@]}"; do paths+=("${s%%=*}"); done
cat <<EOF
    http-request set-var(txn.wsdl) bool(true) if METH_GET { query -m str wsdl }
    # A host closes a connection for an unknown path without a word.
    http-request deny deny_status 404 unless { path -i ${paths[*]} }
EOF
for s in "${services[@]}"; do
    path=${s%%=*} name=${s%%=*}; name=${name//[^A-Za-z0-9]/_}
    echo "    use_backend svc$name if { path -i $path }"
done
cat <<EOF
    http-response wait-for-body time 2s if { var(txn.wsdl) -m bool } { status 200 }
    http-response lua.wsdl_public_address https://$public if { var(txn.wsdl) -m bool } { status 200 }
EOF
for s in "${services[@]}"; do
    path=${s%%=*} workers=${s#*=} name=${s%%=*}; name=${name//[^A-Za-z0-9]/_}
    [[ $workers =~ ^[1-9][0-9]*$ ]] || { echo "render.sh: bad worker count in $s" >&2; exit 2; }
    idle=$((workers >= 2 ? (workers + 4) / 5 : 0))
    # One backend per service: a host routes a connection by its first
    # request only, so a connection must never carry two services.
    cat <<EOF

backend svc$name
    balance roundrobin
    option httpchk
    http-check send meth GET uri $path?wsdl
    http-check expect status 200
EOF
    i=0
    for b in "${backends[@]}"; do
        i=$((i + 1))
        echo "    server host$i $b maxconn $((workers - idle)) pool-max-conn $idle"
    done
done
