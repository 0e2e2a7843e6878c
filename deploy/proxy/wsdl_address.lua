-- Publishes each WSDL with the proxy's public address. A host writes its own
-- listen address into soap:address (with --ip 0.0.0.0 that is
-- http://0.0.0.0:PORT/...), which clients behind the proxy cannot use.
--
--   http-response wait-for-body time 2s if <a ?wsdl GET answered 200>
--   http-response lua.wsdl_public_address https://<public name> if <same>
--
-- The rewrite needs the whole document in one buffer (tune.bufsize, 16 KB
-- by default); a larger one is refused with 502 rather than published with
-- the internal address.
core.register_action("wsdl_public_address", {"http-res"}, function(txn, public)
  local body = txn.sf:res_body() or ""
  if tonumber(txn.sf:res_hdr("content-length")) ~= #body then
    core.Warning("WSDL response does not fit tune.bufsize; answered 502")
    txn:done(txn:reply({status = 502, body = "WSDL larger than the proxy's buffer\n"}))
    return
  end
  -- Only the address elements' locations: namespace URIs stay as they are.
  local rewritten = body:gsub('(:address%s+location=")http://[^/"]*',
                              function(head) return head .. public end)
  txn:done(txn:reply({status = 200,
                      headers = {["content-type"] = {"text/xml; charset=utf-8"}},
                      body = rewritten}))
end, 1)
