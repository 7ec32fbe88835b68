#!/usr/bin/python3
"""FTP server for the transfer tests (pyftpdlib), bound to 127.0.0.1 on a free port.

Prints the port on the first line of stdout (and into --port-file) once it accepts connections,
then serves until it is killed, its lifetime ends or --stop-file appears. The anonymous user (any password, the empty one included) reads
--root. Every command received is appended to --record as one JSON line {"command": line}.

Modes:
  normal              plain service, active and passive mode
  refuse-login        there is no anonymous user, so the log-in is refused
  no-data-connection  PORT and EPRT are answered 200, but the server never connects back
  stall-data          a download sends its first 1000 bytes, then nothing
"""
import argparse
import json
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_life import announce_port, bound_life, serve_until_stopped  # noqa: E402

STALLED_BYTES = 1000


class StallingFile:
    """A served file that gives its first bytes and then blocks its connection's thread."""

    def __init__(self, file, lifetime):
        self.file = file
        self.name = file.name
        self.closed = False
        self.sent = 0
        self.lifetime = lifetime

    def read(self, size=-1):
        if self.sent >= STALLED_BYTES:
            time.sleep(self.lifetime)
            return b""
        data = self.file.read(min(size, STALLED_BYTES - self.sent))
        self.sent += len(data)
        return data

    def close(self):
        self.closed = True
        self.file.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--mode", default="normal",
                        choices=["normal", "refuse-login", "no-data-connection", "stall-data"])
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--port-file", help="file the port is written to, beside stdout")
    parser.add_argument("--stop-file", help="the server ends when this file appears")
    args = parser.parse_args()

    listeners = []
    bound_life(args.lifetime, args.stop_file, args.port_file, listeners)
    record_lock = threading.Lock()

    class FileSystem(AbstractedFS):
        def open(self, filename, mode):
            file = super().open(filename, mode)
            return StallingFile(file, args.lifetime) if args.mode == "stall-data" else file

    class Handler(FTPHandler):
        abstracted_fs = FileSystem
        # Our own lifetime bounds everything; pyftpdlib's own idle limits stay out of the way.
        timeout = args.lifetime
        # A refused log-in is answered at once, not after pyftpdlib's usual pause.
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            with record_lock, open(args.record, "a") as f:
                f.write(json.dumps({"command": line}) + "\n")
            super().pre_process_command(line, cmd, arg)

        def _make_eport(self, ip, port):
            if args.mode == "no-data-connection":
                # As if a firewall swallowed the server's connection attempt.
                self.respond("200 Active data connection will be opened.")
                return
            super()._make_eport(ip, port)

    Handler.authorizer = DummyAuthorizer()
    if args.mode != "refuse-login":
        Handler.authorizer.add_anonymous(os.path.realpath(args.root))
    Handler.banner = "test server ready"

    server = ThreadedFTPServer(("127.0.0.1", 0), Handler)
    listeners.append(server.socket)
    announce_port(server.socket.getsockname()[1], args.port_file)
    serve_until_stopped(lambda: server.serve_forever(timeout=0.2))


if __name__ == "__main__":
    main()
