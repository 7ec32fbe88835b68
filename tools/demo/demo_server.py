#!/usr/bin/python3
"""The maker's servers for the demo, on 127.0.0.1: HTTPS and FTP (active mode).

HTTPS:
  /f/NNNN/<name>.zip        a small zip made from <name>: one to three ".edz" files and a text
                            file, the same bytes on every run
  /f/8270/eplan-config.ini  the remote configuration: section [EPLAN] with DATE and MESS, and
                            SIGNATURE when --signature gives the update archive's
  /                         a short page standing for the maker's web site
  Its certificate for vn.test is signed at start-up by the CA given with --ca-cert and --ca-key,
  the one the demo's program is built to trust.
FTP (user "anonymous", no password):
  /eplan/update.7z          the update archive given with --update-archive, else a small one
                            without the program (no demo start finds an update due without it)
  /eplan/Eplan.7z

Prints "ready" once both accept connections, then serves until --lifetime ends or SIGTERM or
SIGINT arrives; its temporary folder goes in every one of these cases.
"""
import argparse
import hashlib
import http.server
import io
import os
import re
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import zipfile

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

# The certificates come from the one module that makes them; no bytecode in the sources.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from test_ca import make_certificate  # noqa: E402

ARCHIVE = re.compile(r"^/f/\d{4}/([^/]+)\.zip$")
CONFIG = "/f/8270/eplan-config.ini"
STAMP = (2026, 12, 1, 9, 0, 0)


def archive_for(stem):
    """The zip served for an archive name: deterministic in the name alone."""
    digest = hashlib.sha256(stem.encode("utf-8")).digest()
    count = 1 + digest[0] % 3
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(1, count + 1):
            info = zipfile.ZipInfo(f"{stem}-{i}.edz", STAMP)
            info.compress_type = zipfile.ZIP_DEFLATED
            body = (f"EPLAN Data Portal exchange file {i} of {count} for {stem}\n").encode()
            z.writestr(info, body + digest * 16)
        info = zipfile.ZipInfo(f"{stem}.txt", STAMP)
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, f"Архив {stem}.zip: {count} файл(а) EDZ.\r\n".encode("cp1251"))
    return out.getvalue()


def config_text(date, news, signature):
    # The platform's INI reader takes the system's ANSI code page: Windows-1251.
    text = f"[EPLAN]\r\nDATE={date}\r\nMESS={news}\r\n"
    if signature:
        text += f"SIGNATURE={signature}\r\n"
    return text.encode("cp1251")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    config = b""

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        # Through a proxy's tunnel (the Windows program's, under Wine) the request line may
        # carry the absolute form: "https://vn.test:443/eplan/...".
        if "://" in path:
            path = "/" + path.split("://", 1)[1].partition("/")[2]
        match = ARCHIVE.match(path)
        if match:
            self.send(200, archive_for(match.group(1)), "application/zip")
        elif path == CONFIG:
            self.send(200, self.config, "text/plain; charset=windows-1251")
        elif path == "/":
            page = "<html><body><h1>ВОЛНОР</h1><p>Демонстрационный сервер.</p></body></html>"
            self.send(200, page.encode("utf-8"), "text/html; charset=utf-8")
        else:
            self.send(404, b"not found\n", "text/plain")

    def send(self, status, body, kind):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *args):
        sys.stderr.write("https: " + (fmt % args) + "\n")


def make_ftp_root(folder, update_archive):
    root = os.path.join(folder, "ftp")
    eplan = os.path.join(root, "eplan")
    os.makedirs(eplan)
    readme = os.path.join(folder, "readme.txt")
    with open(readme, "w", encoding="utf-8") as f:
        f.write("Демонстрационный архив обновления.\n")
    for name in ("update.7z", "Eplan.7z"):
        subprocess.run(["7zz", "a", "-bd", "-y", os.path.join(eplan, name), readme],
                       check=True, stdout=subprocess.DEVNULL)
    if update_archive:
        shutil.copyfile(update_archive, os.path.join(eplan, "update.7z"))
    return root


def stop(signum, _frame):
    # Ends the main thread's wait through the finally clause below; the threads are daemons.
    sys.exit(128 + signum)


def main():
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    parser = argparse.ArgumentParser()
    parser.add_argument("--https-port", type=int, default=18443)
    parser.add_argument("--ftp-port", type=int, default=12121)
    parser.add_argument("--date", default="01.12.2026", help="DATE of the configuration")
    parser.add_argument("--news", default="Каталог обновлён: добавлены новые серии щитов "
                        "и корпусов, исправлены описания автоматических выключателей.")
    parser.add_argument("--update-archive", help="file served as /eplan/update.7z")
    parser.add_argument("--signature", help="SIGNATURE of the configuration: the update "
                        "archive's, from volnor-sign sign")
    parser.add_argument("--ca-cert", required=True, help="the CA the demo's program trusts")
    parser.add_argument("--ca-key", required=True, help="its key, to sign the HTTPS certificate")
    parser.add_argument("--lifetime", type=float, default=3600.0, help="seconds")
    args = parser.parse_args()

    work = None
    try:
        work = tempfile.mkdtemp(prefix="volnor-demo-")
        cert, key = make_certificate(os.path.join(work, "tls"), "good", args.ca_cert,
                                     args.ca_key)
        Handler.config = config_text(args.date, args.news, args.signature)
        https = http.server.ThreadingHTTPServer(("127.0.0.1", args.https_port), Handler)
        https.daemon_threads = True
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = context.maximum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(cert, key)
        https.socket = context.wrap_socket(https.socket, server_side=True)

        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(make_ftp_root(work, args.update_archive))
        handler = type("DemoFtpHandler", (FTPHandler,), {"authorizer": authorizer})
        ftp = FTPServer(("127.0.0.1", args.ftp_port), handler)

        threading.Thread(target=https.serve_forever, daemon=True).start()
        threading.Thread(target=ftp.serve_forever, kwargs={"timeout": 0.5}, daemon=True).start()
        print("ready", flush=True)
        time.sleep(args.lifetime)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if work:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
