#!/usr/bin/env bash
# Writes an HAProxy configuration for wsgate hosts to stdout.
#
#   render.sh --public NAME[:PORT] --cert FILE [options] > haproxy.cfg
#     --public NAME[:PORT]  the address clients use: each WSDL is published
#                           as https://<the Host the client sent>/<path>, or
#                           https://NAME[:PORT]/<path> when it sent none
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
#     --metrics ADDR:PORT|off  the Prometheus exporter's plain-HTTP listener,
#                           GET /metrics (default 127.0.0.1:8404); off: none
#     --server-close        close each host connection after its response
#                           instead of keeping it for the next request of any
#                           client (the default: about 2x the throughput)
#
# Per service and host the proxy keeps at most N - ceil(N/5) connections open
# (server maxconn; a request beyond waits in the proxy's queue for 1 s, then
# gets 503), leaving the host's pool a free worker for the next connection
# (one opened while a closed one still holds its worker, or one from
# elsewhere). N = 2 and N = 3 keep one worker free (caps 1 and 2). N = 1 keeps
# none: the cap is 1, and the next connection waits in the host's queue until
# the worker lets go of the last one.
set -euo pipefail
public= cert= bind='*:443' plain= maxconn=4000 reuse=1 metrics=127.0.0.1:8404
backends=() services=()
usage() { sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0" >&2; exit 2; }
refuse() { echo "render.sh: $*" >&2; exit 2; }
while (($#)); do
    [[ $1 == --server-close ]] && { reuse=0; shift; continue; }
    (($# >= 2)) || usage
    case $1 in
        --public) public=$2 ;;
        --cert) cert=$2 ;;
        --bind) bind=$2 ;;
        --plain) plain=$2 ;;
        --backend) backends+=("$2") ;;
        --service) services+=("$2") ;;
        --maxconn) maxconn=$2 ;;
        --metrics) metrics=$2 ;;
        *) usage ;;
    esac
    shift 2
done
[[ -n $public && -n $cert ]] || usage
((${#backends[@]})) || backends=(127.0.0.1:8080)
((${#services[@]})) || services=(/calc=10 /echo=4)

# Everything is checked before the first line is written, so a refused
# command leaves no partial configuration behind; nothing reaches the
# configuration that could end its line or its word.
number='[1-9][0-9]{0,5}'
host='([A-Za-z0-9][A-Za-z0-9.-]*|\[[0-9A-Fa-f:.]+\])'
port() { [[ $1 =~ :([0-9]{1,5})$ ]] && ((BASH_REMATCH[1] >= 1 && BASH_REMATCH[1] <= 65535)); }
[[ $public =~ ^$host(:[0-9]+)?$ ]] && { [[ $public != *:* ]] || port "$public"; } ||
    refuse "--public takes NAME[:PORT], not '$public'"
[[ $bind =~ ^(\*|$host):[0-9]+$ ]] && port "$bind" || refuse "--bind takes ADDR:PORT, not '$bind'"
[[ -z $plain ]] || { [[ $plain =~ ^(\*|$host):[0-9]+$ ]] && port "$plain"; } ||
    refuse "--plain takes ADDR:PORT, not '$plain'"
for b in "${backends[@]}"; do
    [[ $b =~ ^$host:[0-9]+$ ]] && port "$b" || refuse "--backend takes HOST:PORT, not '$b'"
done
for s in "${services[@]}"; do
    [[ $s =~ ^/[A-Za-z0-9._~/-]*=$number$ ]] || refuse "--service takes PATH=N (N workers, 1 or more), not '$s'"
done
[[ $maxconn =~ ^$number$ ]] || refuse "--maxconn takes a number, not '$maxconn'"
[[ $metrics == off ]] || { [[ $metrics =~ ^(\*|$host):[0-9]+$ ]] && port "$metrics"; } ||
    refuse "--metrics takes ADDR:PORT or off, not '$metrics'"
[[ $cert =~ ^[^[:space:][:cntrl:]]+$ ]] || refuse "a file name with blanks or control characters: '$cert'"

cat <<EOF
# Rendered by deploy/proxy/render.sh; edit the script's arguments, not this file.
global
    maxconn $maxconn
    # One thread: with two, the threads contended for the servers' queues
    # (measured on 2 cores, 200 clients through the queue: 2,400 calls/s with
    # two threads, 8,700 with one). One thread serves far more than a host.
    nbthread 1
    log stdout format short local0 info
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
    retries 2
    option redispatch
    default-server check inter 2s fall 2 rise 2
EOF
if ((reuse)); then
    cat <<EOF
    # Host connections stay open for the next request of any client, never
    # kept by one (max-session-srv-conns 0), and still count against the
    # host's cap: an open one holds a worker. Idle ones beyond the recent
    # need close within seconds (pool-purge-delay); HAProxy 2.6 keeps the
    # last one per host and service until the host closes it at its
    # recv_timeout (measured: 60 s). A stopping host closes its idle ones
    # at once. A call is sent again only when the host cannot have read it
    # (conn-failure), never on an empty response, as the host may have run
    # it. Known limitation: so a call sent on that last idle connection in
    # the instant its host closes it gets 502.
    http-reuse always
    max-session-srv-conns 0
    retry-on conn-failure
    default-server pool-purge-delay 1s
EOF
else
    cat <<EOF
    # --server-close: a host connection ends with its response, so none
    # sits idle holding a worker, and every call costs the host a new one.
    option http-server-close
EOF
fi
cat <<EOF

frontend public
    bind $bind ssl crt $cert alpn http/1.1
EOF
[[ -z $plain ]] || echo "    bind $plain"
echo "    maxconn $maxconn"
paths=()
for s in "${services[@]}"; do paths+=("${s%%=*}"); done
cat <<EOF
    # Where the client sent its request: a host publishes it in each WSDL
    # (Forwarded first, then X-Forwarded-Host, then Host). The proxy alone
    # knows it, so whatever a client sent under these names is replaced:
    # the address comes from the Host the client connected with (the public
    # name when it sent none) and the scheme from the listener, never from
    # a header a client or a proxy of its own made up.
    http-request del-header Forwarded
    http-request set-header X-Forwarded-Host %[req.fhdr(host)] if { req.fhdr(host) -m found }
    http-request set-header X-Forwarded-Host $public unless { req.fhdr(host) -m found }
    http-request set-header X-Forwarded-Proto https if { ssl_fc }
    http-request set-header X-Forwarded-Proto http unless { ssl_fc }
    # A host closes a connection for an unknown path without a word.
    http-request deny deny_status 404 unless { path -i ${paths[*]} }
EOF
for s in "${services[@]}"; do
    path=${s%%=*} name=${s%%=*}; name=${name//[^A-Za-z0-9]/_}
    echo "    use_backend svc$name if { path -i $path }"
done
cat <<EOF
EOF
for s in "${services[@]}"; do
    path=${s%%=*} workers=${s#*=} name=${s%%=*}; name=${name//[^A-Za-z0-9]/_}
    spare=$((workers >= 2 ? (workers + 4) / 5 : 0))
    # One backend per service: each of a host's pools gets a cap of its own,
    # which a connection carrying requests for two services would blur.
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
        cap=$((workers - spare))
        echo "    server host$i $b maxconn $cap$( ((reuse)) && echo " pool-max-conn $cap")"
    done
done
if [[ $metrics != off ]]; then
    cat <<EOF

# HAProxy's own Prometheus exporter: per service (backend) the calls by
# status class, queue length and time, response times and the hosts up.
# Plain HTTP on an address of its own, for the scraper only.
frontend metrics
    bind $metrics
    http-request set-log-level silent
    http-request use-service prometheus-exporter if { path /metrics }
    http-request deny deny_status 404
EOF
fi
