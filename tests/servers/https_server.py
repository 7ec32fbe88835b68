#!/usr/bin/python3
"""HTTPS server for the transfer tests, bound to 127.0.0.1 on a free port.

Its certificate is made when it starts, signed by the build's test CA (--ca-cert, --ca-key) but
with --cert unknownca. Prints the port on the first line of stdout (and into --port-file) once it
accepts connections, then serves until it is killed, its lifetime ends or --stop-file appears.
Request lines in absolute form ("GET https://vn.test:443/a.bin HTTP/1.1"), as a client sends
them through a proxy's tunnel, are served as their path; the record keeps them as sent.

Paths:
  /<path>                      a file under --root; when a file <path>.cut lies beside it, holding
                               a number N, the whole length is promised, N bytes sent, then the
                               connection closes
  /redirect/<n>/<path>         302 to /redirect/<n-1>/<path>; /redirect/0/<path> is /<path>
  /status/<code>               that status with a short body
  /setcookie/<name>/<value>    sets the cookie, body "ok"
  /headers                     the request's headers as the body, one "Name: value" a line
  /blocks/<count>/<size>/<ms>  <count> blocks of <size> bytes, <ms> pause between them
  /hang                        reads the request and answers nothing
  /stall/<bytes>               promises 1 MiB, sends <bytes> of it, then sends nothing more
  /close/<bytes>               promises 1 MiB, sends <bytes> of it, then closes

Every request is appended to --record as one JSON line: method, path, version, client_port
(tells connections apart), headers.
"""
import argparse
import http.server
import json
import os
import shutil
import socket
import ssl
import sys
import threading
import time
import urllib.parse
import warnings

# The certificates come from the one module that makes them; no bytecode in the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_life import announce_port, bound_life, serve_until_stopped  # noqa: E402
from test_ca import make_certificate  # noqa: E402

PROMISED = 1 << 20


def hold(connection, lifetime):
    """Keeps the connection open without a byte until the client gives up or we are stopped."""
    deadline = time.monotonic() + lifetime
    connection.settimeout(0.2)
    while time.monotonic() < deadline:
        try:
            if connection.recv(1) == b"":
                break
        except (socket.timeout, ssl.SSLWantReadError):
            continue
        except OSError:
            break


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def record(self):
        entry = {
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "client_port": self.client_address[1],
            "headers": [[k, v] for k, v in self.headers.items()],
        }
        with self.server.record_lock, open(self.server.record_file, "a") as f:
            f.write(json.dumps(entry) + "\n")

    def send_body(self, code, body, headers=()):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.record()
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        parts = path.strip("/").split("/")
        head = parts[0]
        if head == "redirect" and len(parts) >= 2:
            n = int(parts[1])
            rest = "/".join(parts[2:])
            target = "/redirect/%d/%s" % (n - 1, rest) if n > 0 else "/" + rest
            if n > 0:
                self.send_body(302, b"redirecting", [("Location", target)])
            else:
                self.serve_file(rest)
        elif head == "status":
            code = int(parts[1])
            self.send_body(code, b"status %d" % code)
        elif head == "setcookie":
            self.send_body(200, b"ok", [("Set-Cookie", "%s=%s; Path=/" % (parts[1], parts[2]))])
        elif head == "headers":
            text = "".join("%s: %s\n" % (k, v) for k, v in self.headers.items())
            self.send_body(200, text.encode())
        elif head == "blocks":
            count, size, pause = int(parts[1]), int(parts[2]), int(parts[3])
            self.send_response(200)
            self.send_header("Content-Length", str(count * size))
            self.end_headers()
            for i in range(count):
                self.wfile.write(bytes([0x41 + i % 26]) * size)
                self.wfile.flush()
                if i + 1 < count:
                    time.sleep(pause / 1000)
        elif head == "hang":
            self.hold()
        elif head in ("stall", "close"):
            self.send_response(200)
            self.send_header("Content-Length", str(PROMISED))
            self.end_headers()
            self.wfile.write(b"x" * int(parts[1]))
            self.wfile.flush()
            if head == "stall":
                self.hold()
            self.close_connection = True
        else:
            self.serve_file(path.lstrip("/"))

    def hold(self):
        hold(self.connection, self.server.lifetime)
        self.close_connection = True

    def serve_file(self, relative):
        root = os.path.realpath(self.server.root)
        full = os.path.realpath(os.path.join(root, relative))
        if not full.startswith(root + os.sep) or not os.path.isfile(full):
            self.send_body(404, b"not found")
            return
        cut = None
        if os.path.isfile(full + ".cut"):
            with open(full + ".cut") as f:
                cut = int(f.read())
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(os.path.getsize(full)))
        self.end_headers()
        with open(full, "rb") as f:
            if cut is None:
                shutil.copyfileobj(f, self.wfile)
            else:
                self.wfile.write(f.read(cut))
                self.wfile.flush()
                self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def finish_request(self, request, client_address):
        if self.silent:
            hold(request, self.lifetime)
            return
        # The handshake runs in the connection's own thread, so a stuck client blocks no other.
        request.settimeout(30)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        tls.settimeout(None)
        super().finish_request(tls, client_address)

    def handle_error(self, request, client_address):
        print("request failed: %s" % (sys.exc_info()[1],), file=sys.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="folder of the files served")
    parser.add_argument("--workdir", required=True, help="folder for the certificate")
    parser.add_argument("--record", required=True, help="file the requests are appended to")
    parser.add_argument("--ca-cert", required=True, help="the test CA's certificate")
    parser.add_argument("--ca-key", required=True, help="the test CA's key")
    parser.add_argument("--host", default="vn.test", help="the host name the certificate is for")
    parser.add_argument("--cert", choices=["good", "unknownca", "expired", "wrongname"],
                        default="good")
    # silent: accepts connections and never answers, not even the TLS handshake
    parser.add_argument("--tls", choices=["1.1", "1.2", "1.3", "any", "silent"], default="any")
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--port-file", help="file the port is written to, beside stdout")
    parser.add_argument("--stop-file", help="the server ends when this file appears")
    parser.add_argument("--port", type=int, default=0, help="a fixed port; 0: a free one")
    args = parser.parse_args()

    listeners = []
    bound_life(args.lifetime, args.stop_file, args.port_file, listeners)

    cert, key = make_certificate(args.workdir, args.cert, args.ca_cert, args.ca_key, args.host)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    if args.tls == "1.1":
        # A server too old for the client: OpenSSL speaks TLS 1.1 only at security level 0.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_1
    elif args.tls == "1.2":
        context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_2
    elif args.tls == "1.3":
        context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_3

    server = Server(("127.0.0.1", args.port), Handler)
    listeners.append(server.socket)
    server.context = context
    server.root = args.root
    server.record_file = args.record
    server.record_lock = threading.Lock()
    server.lifetime = args.lifetime
    server.silent = args.tls == "silent"
    announce_port(server.server_address[1], args.port_file)
    serve_until_stopped(lambda: server.serve_forever(poll_interval=0.2))


if __name__ == "__main__":
    main()
