#!/usr/bin/python3
"""Signs as the maker does, for tests that cannot run the signing tool (the Windows tests under
Wine): an ECDSA P-256 key pair and signatures over the SHA-256 of a file, by the openssl command.

  sign_archive.py keygen FOLDER        FOLDER/maker.key (PEM) and FOLDER/maker.pub: base64 of the
                                       uncompressed point, as VOLNOR_UPDATE_KEY holds it
  sign_archive.py sign KEY FILE OUT    OUT: base64 of r || s (32 bytes each), as SIGNATURE holds it

Each output file appears whole (written beside, then renamed), the one named last at the end, so
that a caller who cannot wait for the process waits for the file.
"""
import base64
import os
import subprocess
import sys


def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, check=True, capture_output=True,
                          timeout=60).stdout


def write_whole(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text + "\n")
    os.replace(path + ".tmp", path)


def der_length(der, i):
    """The length at der[i] and the index after it."""
    if der[i] < 0x80:
        return der[i], i + 1
    count = der[i] & 0x7F
    return int.from_bytes(der[i + 1:i + 1 + count], "big"), i + 1 + count


def raw_signature(der):
    """r || s from the DER SEQUENCE of two INTEGERs."""
    assert der[0] == 0x30
    _, i = der_length(der, 1)
    out = b""
    for _ in range(2):
        assert der[i] == 0x02
        n, i = der_length(der, i + 1)
        out += der[i:i + n].lstrip(b"\0").rjust(32, b"\0")
        i += n
    return out


def main():
    if sys.argv[1:2] == ["keygen"] and len(sys.argv) == 3:
        folder = sys.argv[2]
        key = os.path.join(folder, "maker.key")
        openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", key)
        spki = openssl("ec", "-in", key, "-pubout", "-conv_form", "uncompressed", "-outform",
                       "DER")
        write_whole(os.path.join(folder, "maker.pub"), base64.b64encode(spki[-65:]).decode())
    elif sys.argv[1:2] == ["sign"] and len(sys.argv) == 5:
        key, file, out = sys.argv[2:]
        der = openssl("dgst", "-sha256", "-sign", key, file)
        write_whole(out, base64.b64encode(raw_signature(der)).decode())
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
