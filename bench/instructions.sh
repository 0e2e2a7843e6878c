#!/usr/bin/env bash
# Counts, under callgrind, the instructions wsgate-demo and the gSOAP pool
# server of bench/servers spend per request on a kept-alive connection and per
# call made on a connection of its own ("Connection: close"): every thread of
# the process, the kernel not included. Each case runs the server twice, with
# SHORT and LONG calls, and divides the difference, so start-up and shut-down
# cancel out. Each count is the median of RUNS runs: the threads' waiting
# (which the scheduler decides) moves a run's total by up to a few hundred
# thousand instructions, about 5,000 per call, where the median of 3 moves
# by a few hundred; still far steadier than any wall-clock benchmark.
#
#   bench/instructions.sh [--build DIR] [--runs N]
#     --build   an existing build tree with wsgate-demo and gsoap_pool_server
#               (default: build them, Release, in build/bench)
#     --runs    runs per count, the median kept (default 3)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=
runs=3
while (($#)); do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift ;;
        --runs) runs=$2; shift ;;
        -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
        *) echo "instructions.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done
SHORT=10 LONG=90  # both below the demo's keep-alive limit of 100

for tool in cmake valgrind /usr/bin/python3; do
    command -v "$tool" >/dev/null || { echo "instructions.sh: $tool is missing (valgrind: apt-get install valgrind)" >&2; exit 1; }
done
if [[ -z $build ]]; then
    build=$root/build/bench
    echo "== building (Release) in $build"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DWSGATE_BUILD_TESTS=OFF \
        -DWSGATE_BUILD_EXAMPLES=ON -DWSGATE_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" -j"$(nproc)" --target wsgate-demo gsoap_pool_server >/dev/null
fi
find_binary() {
    local path
    path=$(find "$build" -name "$1" -type f -perm -u+x -print -quit)
    [[ -n $path ]] || { echo "instructions.sh: no $1 in $build" >&2; exit 1; }
    echo "$path"
}
demo=$(find_binary wsgate-demo)
pool=$(find_binary gsoap_pool_server)

work=$(mktemp -d /tmp/wsgate-instructions.XXXXXX)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# The demo reads log4cxx.properties and the WSDL files beside its executable.
cp "$demo" "$(dirname "$demo")"/*.wsdl "$root/bench/log4cxx.properties" "$work/"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# instructions SERVER MODE COUNT PATHS BODIES: the instructions of one run of
# SERVER (wsgate or pool) serving COUNT calls, MODE keepalive (one connection)
# or close (a connection each).
instructions() {
    local port i server=$work/wsgate-demo
    [[ $1 == pool ]] && server=$pool
    port=$(free_port)
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$server" --port "$port" \
        --threads 2 >"$work/demo.out" 2>&1 &
    pid=$!
    for ((i = 0; i < 300; i++)); do
        port_in_use "$port" && break
        kill -0 "$pid" 2>/dev/null || { cat "$work/demo.out" >&2; exit 1; }
        sleep 0.1
    done
    local served=0
    local close=
    [[ $2 == close ]] && close=--close
    /usr/bin/python3 "$root/bench/keepalive_client.py" $close "$port" "$4" "$3" "$5" || served=1
    kill -TERM "$pid"
    wait "$pid" || true
    pid=
    ((served == 0)) || return 1
    awk '/^(summary|totals):/ { print $2; exit }' "$work/callgrind.out"
}

# median SERVER MODE COUNT PATHS BODIES: the median of runs counts.
median() {
    local i counts=()
    for ((i = 0; i < runs; i++)); do
        counts+=("$(instructions "$@")") || return 1
    done
    printf '%s\n' "${counts[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

# per_call SERVER MODE PATHS BODIES: instructions per call, or "failed".
per_call() {
    local short long
    if short=$(median "$1" "$2" $SHORT "$3" "$4") && long=$(median "$1" "$2" $LONG "$3" "$4"); then
        echo $(((long - short) / (LONG - SHORT)))
    else
        echo failed
    fi
}

add=$root/bench/add_request.xml echo_=$root/bench/echo_request.xml
echo "== $demo"
echo "== $pool (calc only)"
printf '%-34s %12s %12s %8s\n' case wsgate "gSOAP pool" ratio
# Each case: name, mode, paths, bodies, whether the pool server (calculator
# only) runs it.
for case_ in "kept-alive, calc only:keepalive:/calc:$add:pool" \
             "kept-alive, echo only:keepalive:/echo:$echo_:" \
             "kept-alive, calc and echo in turn:keepalive:/calc,/echo:$add,$echo_:" \
             "connection per call, calc:close:/calc:$add:pool"; do
    IFS=: read -r name mode paths bodies pool_too <<<"$case_"
    ours=$(per_call wsgate "$mode" "$paths" "$bodies")
    theirs=- ratio=-
    if [[ -n $pool_too ]]; then
        theirs=$(per_call pool "$mode" "$paths" "$bodies")
        [[ $ours == failed || $theirs == failed ]] ||
            ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    fi
    printf '%-34s %12s %12s %8s\n' "$name" "$ours" "$theirs" "$ratio"
done
