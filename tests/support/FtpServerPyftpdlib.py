#!/usr/bin/python3
"""A real FTP server for tests: pyftpdlib serving one folder to one user on 127.0.0.1.

Run with Debian's /usr/bin/python3 (package python3-pyftpdlib). Prints "READY <port>" on stdout
once it listens (port 0 picks a free one) and serves until it is terminated or its stdin closes
(so it never outlives the test that started it with a pipe).

    FtpServerPyftpdlib.py --root DIR [--port 0] [--user larkftp] [--password larkpass]
                          [--reply-delay-ms N] [--refuse-rename-over]

--reply-delay-ms holds every reply back N ms (a distant server on loopback);
--refuse-rename-over answers RNTO onto an existing file with 553, as some servers do.
"""
import argparse
import logging
import os
import sys
import threading
import time

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
    parser.add_argument("--reply-delay-ms", type=int, default=0)
    parser.add_argument("--refuse-rename-over", action="store_true")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    delay = args.reply_delay_ms / 1000.0
    refuse_rename_over = args.refuse_rename_over

    class Handler(FTPHandler):
        def respond(self, resp, logfun=logging.debug):
            # Blocks the whole server, like one slow link shared by every session.
            if delay > 0:
                time.sleep(delay)
            FTPHandler.respond(self, resp, logfun)

        def ftp_RNTO(self, path):
            if refuse_rename_over and os.path.exists(path):
                self._rnfr = None
                self.respond("553 Destination file exists.")
                return
            return FTPHandler.ftp_RNTO(self, path)

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
