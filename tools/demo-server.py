#!/usr/bin/python3
"""A local demo server for Larkspire on Debian's pyftpdlib.

One FTP server on 127.0.0.1 holds both accounts the program needs:
  - the settings account "fcom", whose "fcom.xo" points the program at the main account;
  - the main account, with the shared tree: "netwrk/users/lineup.xo" (empty at first) and the
    update folders "rus/Larkspire/" and "eng/Larkspire/" with an "update.xo".
The data lives in a folder you can look into (default ~/.local/state/larkspire-demo) and is
reused on the next run, so registered users and conversations stay.

    tools/demo-server.py [--port 2121] [--data DIR] [--user larkspire] [--password larkspire]

Run it with /usr/bin/python3 (package python3-pyftpdlib). It logs every command to
DIR/server.log and to standard error.
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
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

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.banner = "Larkspire demo server ready."
    server = FTPServer((args.host, args.port), Handler)
    logging.info("serving %s on %s:%d (settings account %s, main account %s)",
                 data, args.host, args.port, SETTINGS_USER, args.user)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
