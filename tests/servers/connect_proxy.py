#!/usr/bin/python3
"""A CONNECT proxy for the Windows tests, bound to 127.0.0.1 on a free port.

The Windows HTTP client reaches the test HTTPS server through it as a named proxy, so that the
maker's host name stays in TLS and in the request. Every CONNECT, whatever host it names, is
tunnelled to 127.0.0.1:--target; anything else is answered 405. A target that refuses the
connection is answered 502. Every CONNECT line is appended to --record as one JSON line
{"connect": "host:port"}.

Listens on --port (a free one by default) and prints the port on the first line of stdout (and
into --port-file) once it accepts connections, then serves until its lifetime ends or --stop-file
appears.
"""
import argparse
import json
import os
import select
import socket
import sys
import threading
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_life import announce_port, bound_life, serve_until_stopped  # noqa: E402

HEAD_LIMIT = 16384


def read_head(client):
    """The request head up to the blank line, or None when the client went before it."""
    head = b""
    while b"\r\n\r\n" not in head:
        if len(head) > HEAD_LIMIT:
            return None
        chunk = client.recv(4096)
        if not chunk:
            return None
        head += chunk
    return head


def relay(a, b, deadline):
    """Copies bytes both ways until one side closes or the proxy's lifetime ends."""
    sockets = [a, b]
    while time.monotonic() < deadline:
        readable, _, _ = select.select(sockets, [], [], 0.2)
        for s in readable:
            try:
                data = s.recv(65536)
            except OSError:
                return
            if not data:
                return
            (b if s is a else a).sendall(data)


def serve(client, args, record_lock, deadline):
    with client:
        client.settimeout(30)
        try:
            head = read_head(client)
            if head is None:
                return
            words = head.split(b"\r\n", 1)[0].decode("latin-1").split()
            if len(words) != 3 or words[0] != "CONNECT":
                client.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
                return
            with record_lock, open(args.record, "a") as f:
                f.write(json.dumps({"connect": words[1]}) + "\n")
            try:
                upstream = socket.create_connection(("127.0.0.1", args.target), timeout=10)
            except OSError:
                client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                return
            with upstream:
                client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                client.settimeout(None)
                upstream.settimeout(None)
                relay(client, upstream, deadline)
        except OSError:
            pass


def accept(listener, args, record_lock, deadline):
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, args, record_lock, deadline),
                         daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--target", type=int, required=True, help="the port every tunnel goes to")
    parser.add_argument("--port", type=int, default=0, help="the port to listen on")
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--port-file", help="file the port is written to, beside stdout")
    parser.add_argument("--stop-file", help="the proxy ends when this file appears")
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()

    listeners = []
    bound_life(args.lifetime, args.stop_file, args.port_file, listeners)
    deadline = time.monotonic() + args.lifetime
    record_lock = threading.Lock()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listeners.append(listener)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(16)
    announce_port(listener.getsockname()[1], args.port_file)
    serve_until_stopped(lambda: accept(listener, args, record_lock, deadline))


if __name__ == "__main__":
    main()
