#!/usr/bin/env bash
# Several wsgate hosts behind the proxy on one Linux machine, with network
# namespaces standing in for machines: a switch (a bridge in a namespace of
# its own), one namespace per host running wsgate-demo on its own address,
# and one for the proxy, which is also where clients run. Addresses come from
# 198.51.100.0/24, which is never routed. Needs root (CAP_NET_ADMIN).
#
#   scripts/cluster.sh [--hosts N]     try it: starts, prints what to run, and
#                                      removes everything on Ctrl+C
#   scripts/cluster.sh up DIR [--hosts N] [--demo PATH] [--owner PID] [--server-close]
#   scripts/cluster.sh down DIR
#   scripts/cluster.sh host DIR I start|stop|kill|pid|address
#   scripts/cluster.sh api DIR 'COMMAND'    the proxy's runtime API
#   scripts/cluster.sh run DIR COMMAND...   in the proxy's namespace
#
# DIR holds everything a run writes: hostI/ (the host's copy of the demo, its
# log wsgate.log), proxy/ (configuration, certificate, runtime socket). "up"
# takes a DIR that is new, empty or a cluster directory of an earlier "up"
# (one with the file .wsgate-cluster) and refuses any other, since it empties
# hostI/ and proxy/; the other commands take only a cluster directory.
# Namespaces are named wsgc-<owner pid>-<role>; when the owner (the caller of
# "up") dies, a watchdog removes them, and every "up" first removes those of
# owners that are gone, so a run killed with -9 leaves nothing that hinders
# the next.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
self=$root/scripts/cluster.sh
subnet=198.51.100
proxy_ip=$subnet.10
host_port=8080
public_name=soap.wsgate.test

marker=.wsgate-cluster

die() { echo "cluster.sh: $*" >&2; exit 1; }
usage() { sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
ns() { echo "wsgc-$owner-$1"; }
host_ip() { echo "$subnet.$((10 + $1))"; }
# The value of option $1, which must be there: $2 is the argument after it.
value() { (($# >= 2)) && [[ -n $2 ]] || die "$1 needs a value (see --help)"; }
is_cluster_dir() { [[ -f $1/$marker && -f $1/cluster.env ]]; }
load() {
    [[ -n ${1:-} ]] || die "DIR is missing (see --help)"
    is_cluster_dir "$1" || die "$1 is not a cluster directory (no $marker)"
    dir=$(cd "$1" && pwd); source "$dir/cluster.env"
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
poll() { local n=$1; shift; while ! "$@" 2>/dev/null; do ((n-- > 0)) || return 1; sleep 0.1; done; }

# Kills what runs in a namespace of ours and deletes it.
remove_ns() {
    local pid
    for pid in $(ip netns pids "$1" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
    ip netns delete "$1" 2>/dev/null || true
}

remove_stale() {
    local name pid
    for name in $(ip netns list | awk '/^wsgc-[0-9]+-/ {print $1}'); do
        pid=${name#wsgc-}; pid=${pid%%-*}
        kill -0 "$pid" 2>/dev/null || remove_ns "$name"
    done
}

api() {
    /usr/bin/python3 - "$dir/proxy/admin.sock" "$1" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
s.sendall(sys.argv[2].encode() + b"\n")
sys.stdout.write(s.makefile(errors="replace").read())
EOF
}

host_pid() { cat "$dir/host$1/pid" 2>/dev/null; }

host_start() {
    local i=$1 h=$dir/host$1
    ! kill -0 "$(host_pid "$i")" 2>/dev/null || die "host $i is running"
    # The descriptor limit a service unit would give it: a full connection
    # queue needs more than 2048.
    ip netns exec "$(ns h"$i")" bash -c 'ulimit -n 16384; exec "$0" "$@"' \
        "$h/wsgate-demo" --ip "$(host_ip "$i")" --port $host_port >>"$h/stdout" 2>&1 &
    echo $! >"$h/pid"; disown
    poll 300 grep -q "listening on $(host_ip "$i")" "$h/stdout" || { cat "$h/stdout" >&2; die "host $i did not start"; }
}

# SIGTERM: the demo stops its server, which waits for its connections to end.
host_stop() {
    local pid; pid=$(host_pid "$1") || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    poll 1200 test ! -e "/proc/$pid" || die "host $1 did not stop within 120 s"
}

# The production configuration, plus the runtime API that a rolling restart
# drives.
proxy_config() {
    local i backends=()
    for ((i = 1; i <= hosts; i++)); do backends+=(--backend "$(host_ip "$i"):$host_port"); done
    "$root/deploy/proxy/render.sh" --public "$public_name" --cert "$dir/proxy/server.pem" \
        --bind "$proxy_ip:443" "${backends[@]}" $server_close |
        sed "/^global/a\\    stats socket $dir/proxy/admin.sock mode 600 level admin"
}

up() {
    [[ -n ${1:-} ]] || die "up: DIR is missing (see --help)"
    dir=$1; shift
    hosts=3 demo=$root/build/normal/examples/wsgate-demo owner=$PPID server_close=
    while (($#)); do
        case $1 in
            --hosts) value "$@"; hosts=$2 ;; --demo) value "$@"; demo=$2 ;;
            --owner) value "$@"; owner=$2 ;;
            --server-close) server_close=--server-close; shift; continue ;;
            *) die "unknown option $1" ;;
        esac
        shift 2
    done
    [[ $hosts =~ ^[1-9]$ ]] || die "--hosts takes 1 to 9"
    [[ $owner =~ ^[1-9][0-9]*$ ]] || die "--owner takes a process id"
    # It empties hostI/ and proxy/ below: only in a directory of its own.
    if [[ -e $dir ]] && ! is_cluster_dir "$dir"; then
        [[ -d $dir && -z $(ls -A "$dir") ]] || die "$dir is neither empty nor a cluster directory (no $marker)"
    fi
    [[ $(id -u) == 0 ]] || die "needs root to create network namespaces"
    for tool in ip haproxy openssl /usr/bin/python3; do
        command -v $tool >/dev/null || die "$tool is missing (scripts/install-deps.sh installs it)"
    done
    [[ -x $demo ]] || die "no wsgate-demo at $demo (build it, or pass --demo)"
    remove_stale
    ip netns list | grep -q "^wsgc-$owner-" && die "owner $owner already has a cluster"
    mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
    touch "$dir/$marker"
    rm -rf "$dir"/host* "$dir/proxy"; mkdir -p "$dir/proxy"
    printf 'owner=%s\nhosts=%s\n' "$owner" "$hosts" >"$dir/cluster.env"

    local sw name i
    sw=$(ns sw)
    ip netns add "$sw" || die "cannot create network namespaces (ip netns add failed): this needs root and a kernel with namespaces"
    # From here on, a failure removes what was made.
    trap 'down_now' EXIT
    ip -n "$sw" link add br0 type bridge
    ip -n "$sw" link set br0 up
    for name in px $(seq -f 'h%g' 1 "$hosts"); do
        ip netns add "$(ns $name)"
        ip -n "$sw" link add "$name" type veth peer name eth0 netns "$(ns $name)"
        ip -n "$sw" link set "$name" master br0 up
        ip -n "$(ns $name)" link set lo up
        ip -n "$(ns $name)" link set eth0 up
    done
    ip -n "$(ns px)" addr add "$proxy_ip/24" dev eth0
    for ((i = 1; i <= hosts; i++)); do
        ip -n "$(ns h$i)" addr add "$(host_ip $i)/24" dev eth0
        mkdir "$dir/host$i"
        cp "$demo" "$(dirname "$demo")"/*.wsdl "$dir/host$i/"
        printf '%s\n' 'log4j.rootLogger=WARN, file' 'log4j.logger.GSOAP=INFO' \
            'log4j.appender.file=org.apache.log4j.FileAppender' 'log4j.appender.file.File=wsgate.log' \
            'log4j.appender.file.layout=org.apache.log4j.PatternLayout' \
            'log4j.appender.file.layout.ConversionPattern=%d %-5p [%t] %m%n' >"$dir/host$i/log4cxx.properties"
        host_start $i
    done

    "$root/deploy/proxy/make-test-cert.sh" "$dir/proxy" "$public_name"
    proxy_config >"$dir/proxy/haproxy.cfg"
    ip netns exec "$(ns px)" haproxy -f "$dir/proxy/haproxy.cfg" >"$dir/proxy/haproxy.log" 2>&1 &
    echo $! >"$dir/proxy/pid"; disown
    poll 100 test -S "$dir/proxy/admin.sock" || { cat "$dir/proxy/haproxy.log" >&2; die "the proxy did not start"; }
    # Every host is up once its first health check passed.
    poll 300 all_up || { api "show servers state" >&2; die "the hosts did not all pass their health checks"; }

    # Removes everything once the owner is gone, however it ended.
    setsid bash -c 'while kill -0 "$0" 2>/dev/null; do sleep 1; done; exec "$1" reap "$0"' \
        "$owner" "$self" </dev/null >/dev/null 2>&1 &
    trap - EXIT
}

# Field 6 of "show servers state" is the operational state; 2 is running.
all_up() { [[ $(api "show servers state" | awk 'NF > 6 && $1 ~ /^[0-9]+$/ && $6 != 2' | wc -l) == 0 ]]; }

down_now() {
    local name
    for name in $(ip netns list | awk -v p="wsgc-$owner-" 'index($1, p) == 1 {print $1}'); do
        remove_ns "$name"
    done
    return 0
}

down() { load "$1"; down_now; }

try() {
    local hosts=3
    if [[ ${1:-} == --hosts ]]; then value "$@"; hosts=$2; fi
    [[ $hosts =~ ^[1-9]$ ]] || die "--hosts takes 1 to 9"
    [[ $(id -u) == 0 ]] || die "needs root to create network namespaces: sudo $0"
    WSGATE_DEMO_BUILD_ONLY=1 "$root/scripts/demo.sh" >/dev/null
    local work; work=$(mktemp -d /tmp/wsgate-cluster.XXXXXX)
    owner=$$ dir=$work sleeper=
    trap 'exit 130' INT TERM
    up "$work" --hosts "$hosts" --owner $$ --demo "$root/build/demo/examples/wsgate-demo"
    trap 'kill $sleeper 2>/dev/null; down_now; rm -rf "$dir"' EXIT
    local curl="$self run $work curl --cacert $work/proxy/ca.pem --resolve $public_name:443:$proxy_ip"
    cat <<EOF
$hosts wsgate hosts behind the proxy, each in a network namespace of its own (files in $work):
the proxy at https://$public_name/ ($proxy_ip:443), the hosts at $(host_ip 1)... port $host_port.
From a second terminal, as root:
  $curl https://$public_name/calc?wsdl
  $curl -H 'Content-Type: text/xml' -d '<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><c:add xmlns:c="urn:wsgate-demo-calc"><a>2</a><b>3</b></c:add></s:Body></s:Envelope>' https://$public_name/calc
  $self api $work 'show servers state'      # the runtime API
  $self host $work 1 kill                   # then: $self host $work 1 start
Each host logs to $work/hostN/wsgate.log. Ctrl+C removes everything.
EOF
    sleep infinity & sleeper=$!
    wait $sleeper
}

case ${1:-} in
    up) shift; up "$@" ;;
    down) down "${2:-}" ;;
    reap) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || die "reap: OWNER is missing"; owner=$2; down_now ;;
    host)
        [[ ${3:-} =~ ^[1-9]$ ]] || die "host: I takes 1 to 9 (see --help)"
        [[ ${4:-} =~ ^(start|stop|kill|pid|address)$ ]] || die "host: start, stop, kill, pid or address"
        load "$2"
        ((${3} <= hosts)) || die "host: the cluster has $hosts hosts"
        case $4 in
            start) host_start "$3" ;; stop) host_stop "$3" ;;
            kill) kill -9 "$(host_pid "$3")" ;; pid) host_pid "$3" ;; address) host_ip "$3" ;;
        esac ;;
    api) [[ -n ${3:-} ]] || die "api: COMMAND is missing (see --help)"; load "$2"; api "$3" ;;
    run) (($# >= 3)) || die "run: COMMAND is missing (see --help)"; load "$2"; shift 2; exec ip netns exec "$(ns px)" "$@" ;;
    ""|--hosts) try "$@" ;;
    -h|--help) usage ;;
    *) die "unknown command $1 (see --help)" ;;
esac
