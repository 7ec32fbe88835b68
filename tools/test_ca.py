#!/usr/bin/python3
"""The test CA of a build folder, and the server certificates signed with it, by the openssl
command.

  test_ca.py ca FOLDER      makes FOLDER/ca.pem and FOLDER/ca.key (the build does this once)

The test and demo HTTPS servers import make_certificate and sign a fresh certificate for the
maker's host when they start, so that no key is ever committed.
"""
import os
import subprocess
import sys

CA_DAYS = 3650


def openssl(folder, *args):
    subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True, timeout=60)


def make_ca(folder):
    os.makedirs(folder, exist_ok=True)
    openssl(folder, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", str(CA_DAYS),
            "-subj", "/CN=VOLNOR test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")


def make_certificate(folder, kind, ca_cert, ca_key, host="vn.test"):
    """A server certificate for host in folder; returns the paths of the certificate and its key.

    kind: "good" (signed by the CA, valid now), "expired" (signed by the CA, ended in 2020),
    "wrongname" (signed by the CA, for another host), "unknownca" (self-signed).
    """
    os.makedirs(os.path.join(folder, "db"), exist_ok=True)
    with open(os.path.join(folder, "db", "index.txt"), "w"):
        pass
    name = "other.invalid" if kind == "wrongname" else host
    with open(os.path.join(folder, "ca.cnf"), "w") as f:
        f.write(
            "[ca]\ndefault_ca = ca1\n"
            "[ca1]\ndatabase = db/index.txt\nnew_certs_dir = db\nserial = db/serial\n"
            "default_md = sha256\npolicy = pol\nunique_subject = no\n"
            "[pol]\ncommonName = supplied\n"
            "[ext]\nbasicConstraints = critical,CA:FALSE\n"
            "keyUsage = critical,digitalSignature\nextendedKeyUsage = serverAuth\n"
            "subjectAltName = DNS:%s\n" % name
        )
    key, csr, cert = "key.pem", "req.csr", "cert.pem"
    openssl(folder, "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", key, "-out", csr, "-subj", "/CN=" + name)
    signer = (["-selfsign", "-keyfile", key] if kind == "unknownca"
              else ["-cert", ca_cert, "-keyfile", ca_key])
    dates = (["-startdate", "20200101000000Z", "-enddate", "20200201000000Z"]
             if kind == "expired" else ["-days", "30"])
    openssl(folder, "ca", "-batch", "-config", "ca.cnf", "-rand_serial", *signer, "-in", csr,
            "-out", cert, "-extensions", "ext", "-notext", *dates)
    return os.path.join(folder, cert), os.path.join(folder, key)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "ca":
        sys.exit("usage: test_ca.py ca FOLDER")
    make_ca(sys.argv[2])
