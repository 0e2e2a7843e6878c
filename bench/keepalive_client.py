"""Sends COUNT POSTs on one kept-alive connection, cycling through the given
paths and request bodies, and checks that each answer is a 200 without a fault.

    keepalive_client.py PORT PATH[,PATH...] COUNT BODY[,BODY...]
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


def main():
    port, paths, count = int(sys.argv[1]), sys.argv[2].split(","), int(sys.argv[3])
    bodies = [open(name, "rb").read() for name in sys.argv[4].split(",")]
    sock = socket.create_connection(("127.0.0.1", port))
    pending = b""
    for i in range(count):
        path, body = paths[i % len(paths)], bodies[i % len(bodies)]
        sock.sendall(b"POST %s HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml; charset=utf-8\r\n"
                     b"Content-Length: %d\r\n\r\n%s" % (path.encode(), len(body), body))
        head, answer, pending = read_response(sock, pending)
        if b" 200 " not in head.split(b"\r\n")[0] or b"Fault>" in answer:
            sys.exit("keepalive_client.py: request %d to %s failed:\n%s" % (i + 1, path, (head + b"\r\n\r\n" + answer).decode()))
    sock.close()


main()
