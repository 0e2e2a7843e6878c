#!/usr/bin/env bash
# make-test-cert.sh DIR [NAME]: a throwaway CA (DIR/ca.pem) and a certificate
# it signed for NAME (default localhost) and 127.0.0.1, with its key, in the
# one file the proxy loads (DIR/server.pem). For trying things out and for
# tests only: production uses a certificate from a real CA.
set -euo pipefail
dir=$1 name=${2:-localhost}
mkdir -p "$dir"
cd "$dir"
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${ec[@]}" -days 30 -subj "/CN=wsgate throwaway CA" \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req "${ec[@]}" -subj "/CN=$name" -keyout server.key -out server.csr 2>/dev/null
printf 'subjectAltName=DNS:%s,IP:127.0.0.1\n' "$name" >server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile server.ext -out server.crt 2>/dev/null
cat server.crt server.key >server.pem
rm -f server.csr server.ext server.crt server.key ca.key ca.srl
