#!/usr/bin/env bash
# Measures wsgate (through wsgate-demo) against the servers a user would pick
# instead: the plain gSOAP pool server, the gSOAP thread-per-connection server
# and nginx returning the same bytes (the transport ceiling); and wsgate behind
# the HAProxy setup of deploy/proxy, as rendered by default and with
# --server-close, including a case of 1,000 slow kept-alive clients. Builds
# what it needs (Release, build/bench), runs everything on this machine over
# loopback, prints one table and writes it as Markdown to the file it names at
# the end, with a chart of req/s and p99 beside it (.svg).
# Installs the Debian packages it needs first (scripts/install-deps.sh --bench).
#
#   bench/run.sh [--quick] [--alloc] [--out FILE]
#     --quick   1 run of 3 s per case (smoke check); default 3 runs of 10 s,
#               each after a 2 s warm-up, medians reported
#     --alloc   also run wsgate-demo under the glibc allocator settings in
#               ALLOC_VARIANTS (GLIBC_TUNABLES) on the add cases
#     --out     Markdown file (default build/bench/results-<time>.md)
# Environment: BENCH_IDLE_BUSY (percent, default 15) and BENCH_IDLE_WAIT
# (seconds, default 60) bound the wait for an idle machine before each run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
runs=3 duration=10 warmup=2
alloc=0
out=
while (($#)); do
    case $1 in
        --quick) runs=1 duration=3 warmup=1 ;;
        --alloc) alloc=1 ;;
        --out) out=$2; shift ;;
        -h|--help) sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
        *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done
idle_busy=${BENCH_IDLE_BUSY:-15}
idle_wait=${BENCH_IDLE_WAIT:-60}
out=${out:-$build/results-$(date +%Y%m%d-%H%M%S).md}

# The machine has two cores: the server under test gets CPU 0, wrk CPU 1.
server_cpu=0
client_cpu=1

# Allocator settings tried with --alloc: name, then the GLIBC_TUNABLES value.
ALLOC_VARIANTS=(
    "mmap1M" "glibc.malloc.mmap_threshold=1048576"
    "mmap1M+notrim" "glibc.malloc.mmap_threshold=1048576:glibc.malloc.trim_threshold=268435456"
    "notrim" "glibc.malloc.trim_threshold=268435456"
)

"$root/scripts/install-deps.sh" --bench --sudo

echo "== building (Release) in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DWSGATE_BUILD_TESTS=OFF \
    -DWSGATE_BUILD_EXAMPLES=ON -DWSGATE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target wsgate-demo gsoap_pool_server gsoap_thread_server >/dev/null
find_binary() {
    local path
    path=$(find "$build" -name "$1" -type f -perm -u+x -print -quit)
    [[ -n $path ]] || { echo "run.sh: the build made no $1" >&2; exit 1; }
    echo "$path"
}
demo=$(find_binary wsgate-demo)
pool=$(find_binary gsoap_pool_server)
thread=$(find_binary gsoap_thread_server)

work=$(mktemp -d /tmp/wsgate-bench.XXXXXX)
declare -A pids=()
cleanup() {
    local name
    for name in "${!pids[@]}"; do
        kill "${pids[$name]}" 2>/dev/null || true
    done
    for name in "${!pids[@]}"; do
        timeout 10 tail --pid="${pids[$name]}" -f /dev/null 2>/dev/null || kill -9 "${pids[$name]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
# pick_port: sets port to a free loopback port.
port=18180
pick_port() {
    port=$((port + 1))
    while port_in_use $port; do port=$((port + 1)); done
}

# start NAME PORT COMMAND...: runs the server on the server CPU (or on $cpu),
# waits (10 s at most) until it accepts connections.
declare -A ports=()
start() {
    local name=$1 port=$2; shift 2
    taskset -c "${cpu:-$server_cpu}" "$@" >"$work/$name.out" 2>&1 &
    pids[$name]=$!
    ports[$name]=$port
    local i
    for ((i = 0; i < 100; i++)); do
        port_in_use "$port" && return 0
        kill -0 "${pids[$name]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "run.sh: $name did not start:" >&2; cat "$work/$name.out" >&2; exit 1
}

# wsgate-demo reads log4cxx.properties and the WSDL files beside its
# executable, so each instance runs from a copy with the bench configuration.
start_demo() {
    local name=$1 tunables=$2 dir=$work/$1
    mkdir -p "$dir"
    cp "$demo" "$(dirname "$demo")"/*.wsdl "$dir/"
    cp "$root/bench/log4cxx.properties" "$dir/"
    pick_port
    start "$name" "$port" env ${tunables:+GLIBC_TUNABLES=$tunables} "$dir/wsgate-demo" --port "$port" --threads 10
}

echo "== starting servers (CPU $server_cpu)"
servers=(wsgate gsoap-pool gsoap-thread nginx)
start_demo wsgate ""
pick_port; start gsoap-pool $port "$pool" --port $port --threads 10
pick_port; start gsoap-thread $port "$thread" --port $port --threads 10

# The proxy runs on the client CPU: the host keeps a core to itself, as in the
# direct runs. Its wrk target is the plain listener; the server CPU figure of
# a proxied row adds the host's CPU to the proxy's, and the host's alone is kept too.
declare -A host_of=()
start_demo wsgate-host ""
"$root/deploy/proxy/make-test-cert.sh" "$work/tls" >/dev/null
for variant in "haproxy" "haproxy-close --server-close"; do
    read -r name flags <<<"$variant"
    pick_port; plain=$port; pick_port
    # shellcheck disable=SC2086  # flags: none or --server-close
    "$root/deploy/proxy/render.sh" --public "localhost:$port" --cert "$work/tls/server.pem" \
        --bind "127.0.0.1:$port" --plain "127.0.0.1:$plain" --backend "127.0.0.1:${ports[wsgate-host]}" \
        --metrics off $flags >"$work/$name.cfg"
    cpu=$client_cpu start "wsgate+$name" "$plain" haproxy -f "$work/$name.cfg"
    host_of[wsgate+$name]=wsgate-host
    servers+=("wsgate+$name")
done
if ((alloc)); then
    for ((i = 0; i < ${#ALLOC_VARIANTS[@]}; i += 2)); do
        start_demo "wsgate:${ALLOC_VARIANTS[i]}" "${ALLOC_VARIANTS[i + 1]}"
        servers+=("wsgate:${ALLOC_VARIANTS[i]}")
    done
fi

# nginx answers with the bytes the others send: the gSOAP add response body
# and the WSDL document wsgate publishes, same content types, same keep-alive
# limit, access log off.
curl -sf -X POST -H 'Content-Type: text/xml; charset=utf-8' -H 'SOAPAction: ""' \
    --data-binary "@$root/bench/add_request.xml" "http://127.0.0.1:${ports[gsoap-pool]}/calc" \
    -o "$work/add_response.xml"
curl -sf "http://127.0.0.1:${ports[wsgate]}/calc?wsdl" -o "$work/Calculator.wsdl"
mkdir -p "$work/nginx/www"
cp "$work/Calculator.wsdl" "$work/nginx/www/"
# return's single-quoted text: escape backslashes and quotes; "$" would start
# a variable, and gSOAP's response has none.
canned=$(sed -e 's/\\/\\\\/g' -e "s/'/\\\\'/g" "$work/add_response.xml")
pick_port
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    keepalive_requests 100;
    keepalive_timeout 60s;
    server {
        listen 127.0.0.1:$port;
        root $work/nginx/www;
        location = /calc {
            default_type "text/xml; charset=utf-8";
            return 200 '$canned\n';
        }
        location = /Calculator.wsdl { default_type "text/xml"; }
    }
}
CONF
start nginx $port nginx -p "$work/nginx" -c "$work/nginx/nginx.conf"

# busy_percent: the share of all CPUs not idle over one second.
busy_percent() {
    local a b
    read -r -a a < <(head -1 /proc/stat)
    sleep 1
    read -r -a b < <(head -1 /proc/stat)
    local total=0 idle i
    for i in 1 2 3 4 5 6 7 8; do total=$((total + b[i] - a[i])); done
    idle=$((b[4] - a[4] + b[5] - a[5]))
    echo $(((total - idle) * 100 / (total > 0 ? total : 1)))
}
# wait_idle: waits (idle_wait seconds at most) for the machine to be idle;
# sets busy to the last figure seen.
wait_idle() {
    local deadline=$((SECONDS + idle_wait))
    busy=$(busy_percent)
    while ((busy >= idle_busy && SECONDS < deadline)); do busy=$(busy_percent); done
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# server_ticks NAME: CPU ticks of the server and of the host behind a proxy
# (0 for a server without one), on one line.
server_ticks() {
    local host=0
    [[ -z ${host_of[$1]:-} ]] || host=$(cpu_ticks "${pids[${host_of[$1]}]}")
    echo "$(($(cpu_ticks "${pids[$1]}") + host)) $host"
}

# The cases: name, connections, wrk script argument, path.
cases=(
    "keep-alive-1" 1 keepalive /calc
    "keep-alive-10" 10 keepalive /calc
    "keep-alive-50" 50 keepalive /calc
    "close-10" 10 close /calc
    "wsdl-get-10" 10 get "/calc?wsdl"
    "many-1000" 1000 paced /calc
)
# Which servers run which case: the WSDL GET only on wsgate, the proxies and
# nginx; many slow clients on wsgate, the proxies and the gSOAP pool server.
runs_case() {
    case $2 in
        wsdl-get-10) [[ $1 == wsgate* || $1 == nginx ]] ;;
        many-1000) [[ $1 == wsgate* || $1 == gsoap-pool ]] ;;
        *) true ;;
    esac
}
# The paced case offers a fixed load, so its length is the issue, not the
# repetitions: 20 s (5 s with --quick), and a warm-up that connects everyone.
many_duration=$((duration == 3 ? 5 : 20))

raw=$work/raw.tsv
printf 'server\tcase\trun\trps\tp50_us\tp99_us\tcpu_us\tbusy\tnon200\tsocket_errors\trequests\ttimeouts\thost_cpu_us\n' >"$raw"
hz=$(getconf CLK_TCK)
echo "== measuring: $runs run(s) of ${duration}s after ${warmup}s warm-up; wrk on CPU $client_cpu"
for ((run = 1; run <= runs; run++)); do
    for ((c = 0; c < ${#cases[@]}; c += 4)); do
        name=${cases[c]} conns=${cases[c + 1]} mode=${cases[c + 2]} path=${cases[c + 3]}
        for server in "${servers[@]}"; do
            runs_case "$server" "$name" || continue
            [[ $server == wsgate:* && ($name == wsdl-get-10 || $name == many-1000) ]] && continue
            url_path=$path
            [[ $server == nginx && $name == wsdl-get-10 ]] && url_path=/Calculator.wsdl
            url="http://127.0.0.1:${ports[$server]}$url_path"
            wait_idle
            wrk_cmd=(taskset -c $client_cpu wrk -t1 -c"$conns" --timeout 5s --latency -s "$root/bench/add.lua")
            length=$duration
            [[ $mode == paced ]] && length=$many_duration
            timeout $((warmup + 10)) "${wrk_cmd[@]}" -d"${warmup}s" "$url" -- "$mode" >/dev/null
            read -r before host_before < <(server_ticks "$server")
            timeout $((length + 10)) "${wrk_cmd[@]}" -d"${length}s" "$url" -- "$mode" >"$work/wrk.out"
            read -r after host_after < <(server_ticks "$server")
            host_ticks=-
            [[ -z ${host_of[$server]:-} ]] || host_ticks=$((host_after - host_before))
            line=$(awk -v server="$server" -v case_="$name" -v run=$run -v busy="$busy" \
                -v ticks=$((after - before)) -v host_ticks="$host_ticks" -v hz="$hz" '
                function us(text) {
                    if (text ~ /us$/) return text + 0
                    if (text ~ /ms$/) return text * 1000
                    if (text ~ /s$/) return text * 1000000
                    return text + 0
                }
                /^ +50%/ { p50 = us($2) }
                /^ +99%/ { p99 = us($2) }
                / requests in / { requests = $1 }
                /^Requests\/sec:/ { rps = $2 }
                /^non200 / { non200 = $2 }
                /^socket_errors / { errors = $3 + $5 + $7 + $9; timeouts = $9 }
                END {
                    cpu = requests > 0 ? ticks / hz * 1e6 / requests : 0
                    host = host_ticks == "-" ? "-" : sprintf("%.1f", requests > 0 ? host_ticks / hz * 1e6 / requests : 0)
                    printf "%s\t%s\t%d\t%.0f\t%.0f\t%.0f\t%.1f\t%d\t%d\t%d\t%d\t%d\t%s\n",
                           server, case_, run, rps, p50, p99, cpu, busy, non200, errors, requests, timeouts, host
                }' "$work/wrk.out")
            echo "$line" >>"$raw"
            printf '  run %d %-14s %-22s %s (load %s)\n' $run "$name" "$server" "$(cut -f4-13 <<<"$line" | tr '\t' ' ')" "$(cut -d' ' -f1 /proc/loadavg)"
        done
    done
done

mkdir -p "$(dirname "$out")"
machine="$(nproc) CPUs, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1), Linux $(uname -r)"
/usr/bin/python3 "$root/bench/report.py" "$raw" "$out" --svg "${out%.md}.svg" --machine "$machine" \
    --header "wsgate-demo, gSOAP $(pkg-config --modversion gsoap++), nginx $(nginx -v 2>&1 | sed 's|.*/||'), HAProxy $(haproxy -v | sed -n 's/^HAProxy version \([^ ]*\).*/\1/p'); server on CPU $server_cpu, wrk -t1 (and the proxy) on CPU $client_cpu (taskset); $runs run(s) of ${duration}s (many-1000: ${many_duration}s) after ${warmup}s warm-up, medians; idle wait: busy < ${idle_busy}% for up to ${idle_wait}s; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
cp "$raw" "${out%.md}.tsv"
echo
cat "$out"
echo
echo "== written: $out (raw figures: ${out%.md}.tsv, chart: ${out%.md}.svg)"
