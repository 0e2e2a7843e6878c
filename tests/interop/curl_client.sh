#!/usr/bin/env bash
# Raw HTTP against the demo: the echo cases in cases.tsv as hand-written
# envelopes, each reply checked as the bytes on the wire (UTF-8 text, escaped
# only where XML needs it).
set -euo pipefail
while IFS= read -r line; do
  # Tabs are whitespace to read, which would merge the empty field.
  IFS=$'\x1f' read -r kind name text times <<<"${line//$'\t'/$'\x1f'}"
  [ "$kind" = echo ] || continue
  text=$(for ((i = 0; i < times; i++)); do printf '%s' "$text"; done | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
  printf '<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><e:echo xmlns:e="urn:wsgate-demo-echo"><text>%s</text></e:echo></s:Body></s:Envelope>' "$text" > request.xml
  curl -sS -H 'Content-Type: text/xml; charset=utf-8' --data-binary @request.xml "$DEMO_URL/echo" > reply.xml
  # 100 kB is too long for an argument: the expected part goes through a file.
  if [ -n "$text" ]; then printf '<reply>%s</reply>\n' "$text"; else echo '<reply/>'; fi > want.txt
  if grep -qF -f want.txt reply.xml; then echo "echo $name: ok"
  else echo "echo $name: FAIL, got ...$(tail -c 300 reply.xml)"; fi
done < "$INTEROP_CASES"
