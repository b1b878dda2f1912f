#!/usr/bin/python3
"""A local demo server for Larkspire on Debian's pyftpdlib.

One FTP server on 127.0.0.1 holds both accounts the program needs:
  - the settings account "fcom", whose "fcom.xo" points the program at the main account;
  - the main account, with the shared tree: "netwrk/users/lineup.xo" (empty at first) and the
    update folders "rus/Larkspire/" and "eng/Larkspire/" with an "update.xo".
The data lives in a folder you can look into (default ~/.local/state/larkspire-demo) and is
reused on the next run, so registered users and conversations stay.
Both accounts take TLS (AUTH TLS, PROT P) besides plain FTP, with a self-signed certificate made
at the first start and kept in DIR/tls/; the program pins it on first use.

    tools/demo-server.py [--port 2121] [--data DIR] [--user larkspire] [--password larkspire]

Run it with /usr/bin/python3 (packages python3-pyftpdlib and python3-openssl). It logs every
command to DIR/server.log and to standard error.
"""
import argparse
import datetime
import ipaddress
import logging
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_FTPHandler
from pyftpdlib.servers import FTPServer

SETTINGS_USER = "fcom"
SETTINGS_PASSWORD = "k531902468"


def write_if_missing(path, data):
    if not os.path.exists(path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def prepare(data, host, port, user, password):
    settings = os.path.join(data, "settings")
    main = os.path.join(data, "main")
    os.makedirs(settings, exist_ok=True)
    os.makedirs(os.path.join(main, "netwrk", "users"), exist_ok=True)
    # Lines 0 to 4 are not read; 5 to 8 are host, user, password and the tree's root.
    lines = ["Larkspire demo settings", "", "", "", "",
             "%s:%d" % (host, port), user, password, "/"]
    with open(os.path.join(settings, "fcom.xo"), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp1251"))
    write_if_missing(os.path.join(main, "netwrk", "users", "lineup.xo"), b"")
    # Build 0 is older than any build, so the demo never offers an update.
    for language in ("rus", "eng"):
        write_if_missing(os.path.join(main, language, "Larkspire", "update.xo"), b"0\r\n")
    return settings, main


def ensure_certificate(data, host):
    """The server's certificate and key in DATA/tls/, made on the first start."""
    folder = os.path.join(data, "tls")
    cert_path = os.path.join(folder, "cert.pem")
    key_path = os.path.join(folder, "key.pem")
    if not (os.path.exists(cert_path) and os.path.exists(key_path)):
        os.makedirs(folder, exist_ok=True)
        key = ec.generate_private_key(ec.SECP256R1())
        name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, host)])
        try:
            alt = x509.IPAddress(ipaddress.ip_address(host))
        except ValueError:
            alt = x509.DNSName(host)
        now = datetime.datetime.now(datetime.timezone.utc)
        cert = (x509.CertificateBuilder()
                .subject_name(name).issuer_name(name).public_key(key.public_key())
                .serial_number(x509.random_serial_number())
                .not_valid_before(now - datetime.timedelta(minutes=5))
                .not_valid_after(now + datetime.timedelta(days=3650))
                .add_extension(x509.SubjectAlternativeName([alt]), critical=False)
                .sign(key, hashes.SHA256()))
        # The key is written private from its first byte.
        fd = os.open(key_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        with os.fdopen(fd, "wb") as f:
            f.write(key.private_bytes(serialization.Encoding.PEM,
                                      serialization.PrivateFormat.PKCS8,
                                      serialization.NoEncryption()))
        with open(cert_path, "wb") as f:
            f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(cert_path, "rb") as f:
        cert = x509.load_pem_x509_certificate(f.read())
    fingerprint = cert.fingerprint(hashes.SHA256()).hex(":").upper()
    return cert_path, key_path, fingerprint


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=2121)
    parser.add_argument("--data", default=os.path.join(
        os.environ.get("XDG_STATE_HOME") or os.path.expanduser("~/.local/state"),
        "larkspire-demo"))
    parser.add_argument("--user", default="larkspire")
    parser.add_argument("--password", default="larkspire")
    args = parser.parse_args()

    data = os.path.abspath(args.data)
    settings, main_root = prepare(data, args.host, args.port, args.user, args.password)

    handlers = [logging.FileHandler(os.path.join(data, "server.log")),
                logging.StreamHandler(sys.stderr)]
    logging.basicConfig(level=logging.INFO, handlers=handlers,
                        format="%(asctime)s %(message)s")

    authorizer = DummyAuthorizer()
    authorizer.add_user(SETTINGS_USER, SETTINGS_PASSWORD, settings, perm="elr")
    authorizer.add_user(args.user, args.password, main_root, perm="elradfmwMT")

    cert_path, key_path, fingerprint = ensure_certificate(data, args.host)

    # Plain FTP stays open for clients without TLS.
    class Handler(TLS_FTPHandler):
        certfile = cert_path
        keyfile = key_path
        tls_control_required = False
        tls_data_required = False

    Handler.authorizer = authorizer
    Handler.banner = "Larkspire demo server ready."
    server = FTPServer((args.host, args.port), Handler)
    logging.info("serving %s on %s:%d (settings account %s, main account %s)",
                 data, args.host, args.port, SETTINGS_USER, args.user)
    logging.info("TLS certificate SHA256 %s", fingerprint)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
