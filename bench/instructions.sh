#!/usr/bin/env bash
# Counts the instructions wsgate-demo spends per request on a kept-alive
# connection, under callgrind: every thread of the process, the kernel not
# included. Each case runs the host twice, with SHORT and LONG requests on one
# connection, and divides the difference, so start-up, accept and shut-down
# cancel out. The figures hardly vary from run to run, which makes a change of
# a few instructions per request visible where wall-clock benchmarks see noise.
#
#   bench/instructions.sh [--build DIR]
#     --build   an existing build tree with wsgate-demo (default: build it,
#               Release, in build/bench)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=
while (($#)); do
    case $1 in
        --build) build=$(cd "$2" && pwd); shift ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
    cmake --build "$build" -j"$(nproc)" --target wsgate-demo >/dev/null
fi
demo=$(find "$build" -name wsgate-demo -type f -perm -u+x -print -quit)
[[ -n $demo ]] || { echo "instructions.sh: no wsgate-demo in $build" >&2; exit 1; }

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

# instructions COUNT PATHS BODIES: the instructions of one host run serving COUNT requests.
instructions() {
    local port i
    port=$(free_port)
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$work/wsgate-demo" --port "$port" \
        --threads 2 >"$work/demo.out" 2>&1 &
    pid=$!
    for ((i = 0; i < 300; i++)); do
        port_in_use "$port" && break
        kill -0 "$pid" 2>/dev/null || { cat "$work/demo.out" >&2; exit 1; }
        sleep 0.1
    done
    local served=0
    /usr/bin/python3 "$root/bench/keepalive_client.py" "$port" "$2" "$1" "$3" || served=1
    kill -TERM "$pid"
    wait "$pid" || true
    pid=
    ((served == 0)) || return 1
    awk '/^(summary|totals):/ { print $2; exit }' "$work/callgrind.out"
}

add=$root/bench/add_request.xml echo_=$root/bench/echo_request.xml
echo "== $demo"
printf '%-24s %s\n' case "instructions per request"
for case_ in "calc only:/calc:$add" "echo only:/echo:$echo_" \
             "calc and echo in turn:/calc,/echo:$add,$echo_"; do
    IFS=: read -r name paths bodies <<<"$case_"
    if short=$(instructions $SHORT "$paths" "$bodies") && long=$(instructions $LONG "$paths" "$bodies"); then
        printf '%-24s %d\n' "$name" $(((long - short) / (LONG - SHORT)))
    else
        printf '%-24s %s\n' "$name" "failed (see above)"
    fi
done
