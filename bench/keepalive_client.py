"""Sends COUNT POSTs on one kept-alive connection, cycling through the given
paths and request bodies, and checks that each answer is a 200 without a fault.
With --close, each POST goes on a connection of its own with
"Connection: close", and the server must then close it.

    keepalive_client.py [--close] PORT PATH[,PATH...] COUNT BODY[,BODY...]
"""
import socket
import sys


def read_response(sock, pending):
    while b"\r\n\r\n" not in pending:
        pending += receive(sock)
    head, _, rest = pending.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value)
    while len(rest) < length:
        rest += receive(sock)
    return head, rest[:length], rest[length:]


def receive(sock):
    data = sock.recv(65536)
    if not data:
        sys.exit("keepalive_client.py: the server closed the connection")
    return data


def call(sock, pending, i, path, body, extra):
    sock.sendall(b"POST %s HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml; charset=utf-8\r\n%s"
                 b"Content-Length: %d\r\n\r\n%s" % (path.encode(), extra, len(body), body))
    head, answer, pending = read_response(sock, pending)
    if b" 200 " not in head.split(b"\r\n")[0] or b"Fault>" in answer:
        sys.exit("keepalive_client.py: request %d to %s failed:\n%s" % (i + 1, path, (head + b"\r\n\r\n" + answer).decode()))
    return pending


def main():
    args = sys.argv[1:]
    close = args[:1] == ["--close"]
    if close:
        args = args[1:]
    port, paths, count = int(args[0]), args[1].split(","), int(args[2])
    bodies = [open(name, "rb").read() for name in args[3].split(",")]
    sock = None if close else socket.create_connection(("127.0.0.1", port))
    pending = b""
    for i in range(count):
        path, body = paths[i % len(paths)], bodies[i % len(bodies)]
        if close:
            sock = socket.create_connection(("127.0.0.1", port))
            call(sock, b"", i, path, body, b"Connection: close\r\n")
            sock.settimeout(10)
            if sock.recv(1):
                sys.exit("keepalive_client.py: request %d: bytes after the response" % (i + 1))
            sock.close()
        else:
            pending = call(sock, pending, i, path, body, b"")
    if not close:
        sock.close()


main()
