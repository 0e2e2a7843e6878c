#!/usr/bin/env bash
# Scaling out: the demo's add through the proxy (TLS, keep-alive) from 100
# clients, with 1, 2 and 3 hosts behind it, each host in a network namespace
# of its own (scripts/cluster.sh; needs root); the proxy as rendered by
# default (kept host connections) and with --server-close (a host connection
# per call). Prints a Markdown table with throughput, p99 and each host's
# CPU, from /proc/<pid>/stat.
#
#   bench/multihost.sh [--duration S] [--runs N]   (default 10 s, 3 runs; medians)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cluster=$root/scripts/cluster.sh
duration=10 runs=3
while (($#)); do
    case $1 in
        --duration) duration=$2 ;; --runs) runs=$2 ;;
        *) sed -n '7p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
    shift 2
done
build=$root/build/bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DWSGATE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target wsgate-demo >/dev/null
work=$(mktemp -d /tmp/wsgate-multihost.XXXXXX)
trap '"$cluster" down "$work" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
hz=$(getconf CLK_TCK)

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
accepted() { cat "$work"/host*/wsgate.log | grep -c "Accept a Connection"; }
# Calls each server answered so far, summed over the backends: "host1 123 ..."
answered() { "$cluster" api "$work" "show stat" | awk -F, '$2 ~ /^host/ { n[$2] += $41 } END { for (s in n) print s, n[s] }' | sort; }
to_ms() { awk '{ v = $1 + 0; if ($1 ~ /us$/) v /= 1000; else if ($1 ~ /[^m]s$/) v *= 1000; printf "%.2f", v }' <<<"$1"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "| proxy | hosts | calls/s | p99 ms | errors | CPU per host, % of a core | host CPU µs per call | host connections per call | proxy CPU µs per call | load before |"
echo "|---|---:|---:|---:|---:|---|---:|---:|---:|---|"
for mode in default --server-close; do
for hosts in 1 2 3; do
    "$cluster" up "$work" --hosts "$hosts" --demo "$build/examples/wsgate-demo" --owner $$ ${mode#default}
    wrk_run() { "$cluster" run "$work" wrk -t2 -c100 -d"$1"s --latency -s "$root/bench/add.lua" https://198.51.100.10/calc; }
    wrk_run 2 >/dev/null
    rates=() p99s=() rows=()
    for ((r = 1; r <= runs; r++)); do
        load=$(cut -d' ' -f1-3 /proc/loadavg)
        declare -A before=()
        for ((h = 1; h <= hosts; h++)); do before[$h]=$(ticks "$("$cluster" host "$work" $h pid)"); done
        proxy_before=$(ticks "$(cat "$work/proxy/pid")")
        calls_before=$(answered) accepts=$(accepted)
        out=$(wrk_run "$duration")
        calls_after=$(answered) accepts=$(($(accepted) - accepts))
        rate=$(awk '/^Requests\/sec/ { print $2 }' <<<"$out")
        p99=$(to_ms "$(awk '$1 == "99%" { print $2 }' <<<"$out")")
        errors=$(awk '/^non200/ { n += $2 } /^socket_errors/ { n += $3 + $5 + $7 + $9 } END { print n }' <<<"$out")
        cpus=() host_us=0 total_calls=0
        for ((h = 1; h <= hosts; h++)); do
            used=$(($(ticks "$("$cluster" host "$work" $h pid)") - before[$h]))
            calls=$(($(awk -v s=host$h '$1 == s { print $2 }' <<<"$calls_after") - $(awk -v s=host$h '$1 == s { print $2 }' <<<"$calls_before")))
            cpus+=("$(awk -v t="$used" -v hz="$hz" -v d="$duration" 'BEGIN { printf "%.0f", 100 * t / hz / d }')")
            host_us=$((host_us + used)) total_calls=$((total_calls + calls))
        done
        proxy_used=$(($(ticks "$(cat "$work/proxy/pid")") - proxy_before))
        per_call() { awk -v t="$1" -v hz="$hz" -v n="$total_calls" 'BEGIN { printf "%.1f", n ? 1e6 * t / hz / n : 0 }'; }
        rates+=("$rate") p99s+=("$p99")
        conns=$(awk -v a="$accepts" -v n="$total_calls" 'BEGIN { printf "%.2f", n ? a / n : 0 }')
        rows+=("$rate|$p99|$errors|${cpus[*]}|$(per_call $host_us)|$conns|$(per_call "$proxy_used")|$load")
        echo "  $mode, hosts $hosts run $r: ${rows[-1]}" >&2
    done
    # The run with the median throughput stands for the case.
    mid=$(printf '%s\n' "${rates[@]}" | median)
    for row in "${rows[@]}"; do
        [[ ${row%%|*} == "$mid" ]] || continue
        IFS='|' read -r rate p99 errors cpus host_us conns proxy_us load <<<"$row"
        printf '| %s | %d | %.0f | %s | %s | %s | %s | %s | %s | %s |\n' "${mode#--}" "$hosts" "$rate" "$p99" "$errors" "${cpus// / + }" "$host_us" "$conns" "$proxy_us" "$load"
        break
    done
    "$cluster" down "$work"
done
done
