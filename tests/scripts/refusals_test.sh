#!/usr/bin/env bash
# Bad input to the deployment scripts is refused before they act: a usage
# line on stderr, a non-zero exit, nothing written, nothing removed.
#   refusals_test.sh CASE SOURCE_DIR WORK_DIR
set -euo pipefail
case=$1 src=$2 work=$3
cluster=$src/scripts/cluster.sh render=$src/deploy/proxy/render.sh
rm -rf "$work"; mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the command; it must fail with stderr matching $1 and print nothing on stdout.
refused() {
    local expected=$1; shift
    if "$@" >"$work/out" 2>"$work/err"; then fail "accepted: $*"; fi
    grep -q -- "$expected" "$work/err" || fail "stderr of '$*' lacks '$expected': $(cat "$work/err")"
    ! grep -q "unbound variable" "$work/err" || fail "'$*' stopped on an unbound variable"
    [[ ! -s $work/out ]] || fail "'$*' wrote $(wc -c <"$work/out") bytes"
}

case $case in
cluster_option_without_value) refused "needs a value" "$cluster" up "$work/c" --hosts ;;
cluster_down_without_dir) refused "DIR is missing" "$cluster" down ;;
cluster_hosts_not_a_count) refused "takes 1 to 9" "$cluster" up "$work/c" --hosts '1+1' ;;
cluster_foreign_dir_untouched)
    mkdir -p "$work/c/host1" "$work/c/proxy"; touch "$work/c/host1/keep" "$work/c/proxy/keep"
    refused "not a cluster directory\|neither empty nor a cluster directory" "$cluster" up "$work/c"
    refused "not a cluster directory" "$cluster" down "$work/c"
    [[ -f $work/c/host1/keep && -f $work/c/proxy/keep ]] || fail "files of a foreign directory were removed" ;;
render_bad_worker_count) refused "PATH=N" "$render" --public soap.test --cert c.pem --service /calc=x ;;
render_newline_in_a_path) refused "control characters" "$render" --public soap.test --cert $'c.pem\nbackend evil' ;;
render_backend_without_port) refused "HOST:PORT" "$render" --public soap.test --cert c.pem --backend 10.0.0.1 ;;
*) fail "unknown case $case" ;;
esac
