#!/usr/bin/python3
"""A real FTP server for tests: pyftpdlib serving one folder to one user on 127.0.0.1.

Run with Debian's /usr/bin/python3 (package python3-pyftpdlib). Prints "READY <port>" on stdout
once it listens (port 0 picks a free one) and serves until it is terminated or its stdin closes
(so it never outlives the test that started it with a pipe).

    FtpServerPyftpdlib.py --root DIR [--port 0] [--user larkftp] [--password larkpass]
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="larkftp")
    parser.add_argument("--password", default="larkpass")
    parser.add_argument("--watch-stdin", action="store_true",
                        help="stop when standard input closes")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.banner = "pyftpdlib ready."
    Handler.passive_ports = None
    Handler.use_sendfile = True

    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 256
    port = server.socket.getsockname()[1]
    print("READY %d" % port, flush=True)

    if args.watch_stdin:
        def watch():
            sys.stdin.read()
            os._exit(0)
        threading.Thread(target=watch, daemon=True).start()

    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    main()
