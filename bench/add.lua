-- wrk script of the benchmark: the calculator's add over HTTP/1.1 POST
-- (document/literal, about 400 bytes each way; the body is add_request.xml),
-- or the WSDL GET.
--   wrk ... -s add.lua <url>                keep-alive POSTs
--   wrk ... -s add.lua <url> -- close       POSTs with "Connection: close"
--   wrk ... -s add.lua <url> -- get         GETs of the url (e.g. /calc?wsdl)
--   wrk ... -s add.lua <url> -- paced       keep-alive POSTs, each connection
--                                           waiting 250-750 ms (at random)
--                                           before each request: a fixed
--                                           offered load of about 2 calls/s
--                                           per connection
-- Every answer but 200 is counted; done() prints "non200 <n>" and the socket
-- errors, and the caller rejects a run that has any non-200 answer.

-- The request body lives beside this script, so run.sh can send the very same
-- bytes with curl.
local function read_beside_script(name)
  local dir = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
  local file = assert(io.open(dir .. name, "rb"))
  local text = file:read("*a")
  file:close()
  return text
end

local body = read_beside_script("add_request.xml")

local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

function init(args)
  non200 = 0
  local mode = args[1] or "keepalive"
  if mode == "get" then
    wrk.method = "GET"
    wrk.body = nil
  else
    wrk.method = "POST"
    wrk.body = body
    wrk.headers["Content-Type"] = "text/xml; charset=utf-8"
    wrk.headers["SOAPAction"] = '""'
  end
  if mode == "close" then
    wrk.headers["Connection"] = "close"
  end
  if mode == "paced" then
    math.randomseed(os.time() + tonumber(tostring(wrk.thread):match("0x(%x+)") or "0", 16))
    function delay()
      return math.random(250, 750)
    end
  end
end

function response(status, headers, body)
  if status ~= 200 then
    non200 = non200 + 1
  end
end

function done(summary, latency, requests)
  local total = 0
  for _, thread in ipairs(threads) do
    total = total + thread:get("non200")
  end
  local e = summary.errors
  io.write(string.format("non200 %d\n", total))
  io.write(string.format("socket_errors connect %d read %d write %d timeout %d\n",
                         e.connect, e.read, e.write, e.timeout))
end
