# scripts/demo-proxy.sh leaves nothing running once it ends:
#   demo_proxy_stop.py DEMO_PROXY_SH WSGATE_DEMO WORK_DIR sigterm|host_dies
#     sigterm    SIGTERM to the script's pid alone
#     host_dies  one of its hosts killed (-9): the script stops the rest
import os, signal, socket, subprocess, sys, time

script, demo, work, case = sys.argv[1:]


def free_ports(count):
    """count consecutive free ports on 127.0.0.1 (the hosts' ports follow each other).

    Below the ephemeral range, and a range of its own per case: ctest runs the
    two cases at once, with neighbouring pids, and a port that is free when
    looked at is bound only later, by the script."""
    base, blocks = (10000 if case == "sigterm" else 21000), 11000 // count
    for i in range(blocks):
        first = base + (os.getpid() + i) % blocks * count
        socks = []
        try:
            for p in range(first, first + count):
                socks.append(socket.socket())
                socks[-1].bind(("127.0.0.1", p))
            return first
        except OSError:
            pass
        finally:
            for s in socks:
                s.close()
    raise RuntimeError("no free ports")


def started_here():
    """pid -> command line of each process running from the work dir (the hosts' copies, the proxy)."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        if os.path.basename(argv[0]) in (b"wsgate-demo", b"haproxy") and work.encode() in b" ".join(argv):
            found[int(pid)] = b" ".join(argv).decode()
    return found


def wait_until(what, seconds, predicate):
    deadline = time.monotonic() + seconds
    while not predicate():
        assert time.monotonic() < deadline, f"not within {seconds} s: {what}"
        time.sleep(0.05)


work = os.path.abspath(work)
os.makedirs(work, exist_ok=True)
ports = free_ports(5)  # proxy, metrics, three hosts
out = open(os.path.join(work, "script.out"), "w+")
proc = subprocess.Popen([script, "--demo", demo, "--work", work, "--hosts", "3", "--port", str(ports),
                         "--metrics", f"127.0.0.1:{ports + 1}", "--host-port", str(ports + 2)],
                        stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
try:
    wait_until("the demo ready", 60, lambda: "Ctrl+C stops" in open(out.name).read() or proc.poll() is not None)
    running = started_here()
    print(f"started: {sorted(running.values())}")
    assert len(running) == 4 and proc.poll() is None, open(out.name).read()
    if case == "sigterm":
        os.kill(proc.pid, signal.SIGTERM)
    else:
        os.kill(next(pid for pid, argv in running.items() if "/host2/" in argv), signal.SIGKILL)
    proc.wait(timeout=15)
    wait_until("every process of the demo gone", 10, lambda: not started_here())
    print(f"script ended with {proc.returncode}; nothing left")
    assert proc.returncode == (0 if case == "sigterm" else 1), proc.returncode
finally:
    for pid in started_here():  # whatever a failure left
        os.kill(pid, signal.SIGKILL)
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGKILL)
