#!/usr/bin/env bash
# Raw HTTP against the demo: the published WSDL points at this server, and
# hand-written envelopes get computed answers from both services.
set -euo pipefail
fail() { echo "FAIL: $*"; exit 1; }
post() {  # post <path> <body element>
  curl -sS -H 'Content-Type: text/xml; charset=utf-8' "$DEMO_URL$1" -d \
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>$2</s:Body></s:Envelope>"
}

wsdl=$(curl -sS "$DEMO_URL/calc?wsdl")
grep -q "<soap:address location=\"$DEMO_URL/calc\"" <<<"$wsdl" || fail "WSDL location: $wsdl"
grep -q '<operation name="divide">' <<<"$wsdl" || fail "WSDL operations"

reply=$(post /calc '<c:add xmlns:c="urn:wsgate-demo-calc"><a>2.5</a><b>4</b></c:add>')
grep -q '<ns:addResponse><result>6.5</result></ns:addResponse>' <<<"$reply" || fail "add: $reply"
reply=$(post /calc '<c:divide xmlns:c="urn:wsgate-demo-calc"><a>1</a><b>0</b></c:divide>')
grep -q '<faultcode>SOAP-ENV:Client</faultcode><faultstring>Division by zero' <<<"$reply" || fail "divide by zero: $reply"
reply=$(post /echo '<e:echo xmlns:e="urn:wsgate-demo-echo"><text>a &amp; b</text></e:echo>')
grep -q '<reply>a &amp; b</reply>' <<<"$reply" || fail "echo: $reply"
