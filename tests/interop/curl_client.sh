#!/usr/bin/env bash
# Raw HTTP against the demo: hand-written envelopes get computed answers
# from both services.
set -euo pipefail
call() {  # call <path> <body element> <expected part of the reply>
  reply=$(curl -sS -H 'Content-Type: text/xml; charset=utf-8' "$DEMO_URL$1" -d \
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>$2</s:Body></s:Envelope>")
  grep -qF -- "$3" <<<"$reply" || { echo "FAIL: $2 answered $reply"; exit 1; }
}
call /calc '<c:add xmlns:c="urn:wsgate-demo-calc"><a>2.5</a><b>4</b></c:add>' \
  '<ns:addResponse><result>6.5</result></ns:addResponse>'
call /calc '<c:divide xmlns:c="urn:wsgate-demo-calc"><a>1</a><b>0</b></c:divide>' \
  '<faultcode>SOAP-ENV:Client</faultcode><faultstring>Division by zero'
call /echo '<e:echo xmlns:e="urn:wsgate-demo-echo"><text>a &amp; b</text></e:echo>' '<reply>a &amp; b</reply>'
