# Several demo hosts behind the proxy, each in a network namespace of its own
# (scripts/cluster.sh): spread, failover, rolling restart, a stop under load
# and a dead accept loop. The public WSDL address through the proxy is
# tests/proxy's forged_headers.
#   multihost_test.py CASE CLUSTER_SH WSGATE_DEMO WORK_DIR [--server-close]
import csv, ctypes, http.client, itertools, os, re, resource, select, shutil, signal, socket, ssl, subprocess, sys
import threading, time

case, cluster, demo, work, *proxy_options = sys.argv[1:]
PUBLIC, PROXY, H1 = "soap.wsgate.test", ("198.51.100.10", 443), ("198.51.100.11", 8080)
HOSTS, RATE = range(1, 4), 200


def sh(*args):
    return subprocess.run([cluster, *args], check=True, stdout=subprocess.PIPE, text=True).stdout


def api(command):
    return sh("api", work, command)


def stats():  # (backend, server) -> the proxy's counters
    return {(r["pxname"], r["svname"]): r for r in csv.DictReader(api("show stat").lstrip("# ").splitlines())}


def served(before, server):  # calls a server answered since the snapshot
    return sum(int(r["hrsp_2xx"]) - int(before[k]["hrsp_2xx"]) for k, r in stats().items() if k[1] == server)


def states(server):  # its operational state in every backend; 2 is running
    return {f[5] for f in map(str.split, api("show servers state").splitlines()) if len(f) > 6 and f[3] == server}


def wait_until(what, seconds, predicate):
    deadline = time.monotonic() + seconds
    while not predicate():
        assert time.monotonic() < deadline, f"not within {seconds} s: {what}"
        time.sleep(0.05)
    return time.monotonic()


def log_count(host, text):
    with open(f"{work}/host{host}/wsgate.log", errors="replace") as log:
        return log.read().count(text)


def signal_h1(number, seconds):  # when the signal was sent, when h1 had exited
    pid = int(sh("host", work, "1", "pid"))
    exited = os.pidfd_open(pid)  # readable once h1 has exited, reaped or not
    sent = time.monotonic()
    os.kill(pid, number)
    return sent, wait_until("h1 exited", seconds, lambda: select.select([exited], [], [], 0)[0])


class Client(http.client.HTTPSConnection):
    """The public name, at the proxy's address."""
    context = None

    def __init__(self):
        super().__init__(PUBLIC, timeout=10, context=Client.context)

    def connect(self):
        self.sock = self._context.wrap_socket(socket.create_connection(PROXY, self.timeout), server_hostname=PUBLIC)


def call(client, n):  # adds n and 1: True, or what went wrong
    body = (f'<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>'
            f'<c:add xmlns:c="urn:wsgate-demo-calc"><a>{n}</a><b>1</b></c:add></s:Body></s:Envelope>')
    try:
        client.request("POST", "/calc", body, {"Content-Type": "text/xml"})
        response = client.getresponse()
        return f"<result>{n + 1}</result>" in response.read().decode() or f"HTTP {response.status}"
    except (OSError, http.client.HTTPException) as error:
        client.close()
        return repr(error)


class Load:
    """Calls at a steady rate from 16 kept-alive clients, `count` of them or until finished."""

    def __init__(self, rate=RATE, count=None):
        self.count, self.records, self.stopping = count, [], threading.Event()
        numbers, begin = itertools.count() if count is None else iter(range(count)), time.monotonic()

        def work():  # the workers share the iterator and the list: each next() and append() is atomic
            client = Client()
            for n in numbers:
                if self.stopping.wait(max(0.0, begin + n / rate - time.monotonic())):
                    return
                start = time.monotonic()
                outcome = call(client, n)
                self.records.append((start, time.monotonic(), outcome))
        self.workers = [threading.Thread(target=work) for _ in range(16)]
        for w in self.workers:
            w.start()

    def finish(self):  # the failed calls
        if self.count is None:
            self.stopping.set()
        for w in self.workers:
            w.join(timeout=60)
        assert not any(w.is_alive() for w in self.workers), "the load did not stop"
        return [r for r in self.records if r[2] is not True]


def enter_namespace(fd):  # threads started later inherit it
    if ctypes.CDLL(None, use_errno=True).setns(fd, 0x40000000) != 0:
        raise OSError(ctypes.get_errno(), "setns")


def spread():
    # The proxy's counters count calls per host; the hosts log connections.
    before, accepted = stats(), [log_count(h, "Accept a Connection") for h in HOSTS]
    load = Load(rate=400, count=600)
    assert load.finish() == [] and len(load.records) == 600
    calls = [served(before, f"host{h}") for h in HOSTS]
    connections = [log_count(h, "Accept a Connection") - accepted[h - 1] for h in HOSTS]
    print(f"calls per host (proxy's counters): {calls}; connections accepted per host (hosts' logs): {connections}")
    assert sum(calls) == 600 and min(calls) >= 100 and min(connections) > 0


def failover():
    # Only calls the proxy has sent to h1 can fail: a POST is not sent again. They are the calls in
    # flight while h1 dies, and at most one per idle connection to h1 that the proxy keeps (the
    # call it sends over it before it finds it closed). Any later call meets a refused connect and
    # goes to another host, until the health check (2 failures 2 s apart, 2 s each) takes h1 out.
    with open(f"{work}/proxy/haproxy.cfg") as config:
        idle = sum(map(int, re.findall(r"server host1 .* pool-max-conn (\d+)", config.read())))
    load = Load()
    time.sleep(3)
    killed, dead = signal_h1(signal.SIGKILL, 5)
    down = wait_until("h1 taken out", 8, lambda: "2" not in states("host1"))
    time.sleep(3)
    failed, h1 = load.finish(), stats()[("svc_calc", "host1")]
    in_flight = sum(start <= dead and end >= killed for start, end, _ in load.records)
    print(f"{len(load.records)} calls; {in_flight} in flight at the kill, up to {idle} idle connections to h1; "
          f"{len(failed)} failed: {[(round(s - killed, 3), o) for s, _, o in failed]}, the proxy saw {h1['eresp']} "
          f"errors from h1; h1 out after {down - killed:.2f} s, meanwhile {h1['wredis']} calls went elsewhere")
    assert len(failed) <= min(in_flight + idle, int(h1["eresp"]))


def rolling_restart():
    load = Load()
    for h in HOSTS:
        def set_state(state):
            api(f"set server svc_calc/host{h} state {state}; set server svc_echo/host{h} state {state}")
        set_state("maint")
        wait_until(f"h{h} drained", 10, lambda: all(r["scur"] == "0" for k, r in stats().items() if k[1] == f"host{h}"))
        began = time.monotonic()
        sh("host", work, str(h), "stop")
        stopped = time.monotonic()
        sh("host", work, str(h), "start")
        set_state("ready")
        wait_until(f"h{h} back", 10, lambda: states(f"host{h}") == {"2"})
        print(f"h{h}: stopped in {stopped - began:.2f} s, back after {time.monotonic() - began:.2f} s")
    failed = load.finish()
    print(f"{len(load.records)} calls, {len(failed)} failed {failed[:5]}")
    assert failed == [] and len(load.records) > RATE * 3


def stop_under_load():
    # SIGTERM, no maintenance step: h1 closes the connections that wait for a request at once and ends
    # when the calls it runs are answered. A call can fail only if the proxy sent it to h1 as h1 stopped.
    load = Load()
    time.sleep(3)
    began, stopped = signal_h1(signal.SIGTERM, 10)
    time.sleep(3)
    failed = load.finish()
    in_flight = sum(start <= stopped and end >= began for start, end, _ in load.records)
    print(f"{len(load.records)} calls; h1 stopped {stopped - began:.2f} s after SIGTERM with {in_flight} calls in "
          f"flight; {len(failed)} failed: {[(round(s - began, 3), o) for s, _, o in failed]}")
    assert stopped - began <= 2.0
    assert len(failed) <= in_flight and all(s <= stopped and e >= began for s, e, _ in failed)


def dead_accept_loop():
    resource.setrlimit(resource.RLIMIT_NOFILE, (8192, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
    silent = []
    while log_count(1, "ZEP_ThreadPool_Work() Failed!") == 0:
        assert len(silent) < 3000, "3000 silent connections did not end h1's accept loop"
        silent += [socket.create_connection(H1) for _ in range(100)]
        time.sleep(0.2)
    ended = time.monotonic()
    down = wait_until("h1 taken out", 15, lambda: "2" not in states("host1"))
    before = stats()
    load = Load(count=400)
    failed, answer = load.finish(), call(http.client.HTTPConnection(*H1, timeout=2), 1)
    print(f"accept loop ended after {len(silent)} silent connections; h1 out after {down - ended:.2f} s; "
          f"then {len(load.records)} calls through the proxy, {len(failed)} failed {failed[:3]}; h1 directly: {answer}")
    assert failed == [] and served(before, "host1") == 0 and answer is not True
    for s in silent:
        s.close()


home = os.open("/proc/self/ns/net", os.O_RDONLY)
shutil.rmtree(work, ignore_errors=True)  # the test's own directory, whatever an earlier run left there
sh("up", work, "--hosts", str(len(HOSTS)), "--demo", demo, "--owner", str(os.getpid()), *proxy_options)
try:
    Client.context = ssl.create_default_context(cafile=f"{work}/proxy/ca.pem")
    enter_namespace(os.open(f"/run/netns/wsgc-{os.getpid()}-px", os.O_RDONLY))
    globals()[case]()
    print("passed")
finally:
    enter_namespace(home)  # "down" ends every process left in the namespaces
    sh("down", work)
