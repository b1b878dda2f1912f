#!/usr/bin/python3
"""A real FTP server for tests: pyftpdlib serving one folder to one user on 127.0.0.1.

Run with Debian's /usr/bin/python3 (package python3-pyftpdlib). Prints "READY <port>" on stdout
once it listens (port 0 picks a free one) and serves until it is terminated or its stdin closes
(so it never outlives the test that started it with a pipe).

    FtpServerPyftpdlib.py --root DIR [--port 0] [--user larkftp] [--password larkpass]
                          [--control DIR] [--reply-delay-ms N] [--refuse-rename-over]
                          [--certfile PEM --keyfile PEM [--tls-required]]
                          [--passive-ports P1,P2,...]

With --control, the server answers RETR as a busy server would, as the files in DIR say (one
file name per line): names in "refuse-dele" get 550 for DELE, names beginning with a line of
"refuse-stor" get 550 for STOR; names in "refuse-retr" get 550 as a file that another session is writing;
names in "stall-retr" wait until they are taken out of that file, and "stalled" is created once
such a transfer waits. A waiting transfer holds up no other session.
--reply-delay-ms holds every reply back N ms (a distant server on loopback);
--refuse-rename-over answers RNTO onto an existing file with 553, as some servers do.
--certfile and --keyfile offer TLS (AUTH TLS, PROT P; needs python3-openssl) besides plain FTP;
--tls-required refuses plain logins and data connections.
--passive-ports takes data connections on these ports only.
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
    parser.add_argument("--control", default=None)
    parser.add_argument("--watch-stdin", action="store_true",
                        help="stop when standard input closes")
    parser.add_argument("--reply-delay-ms", type=int, default=0)
    parser.add_argument("--refuse-rename-over", action="store_true")
    parser.add_argument("--certfile", default=None)
    parser.add_argument("--keyfile", default=None)
    parser.add_argument("--tls-required", action="store_true")
    parser.add_argument("--passive-ports", default=None)
    args = parser.parse_args()

    base = FTPHandler
    if args.certfile:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    delay = args.reply_delay_ms / 1000.0
    refuse_rename_over = args.refuse_rename_over

    def names(kind):
        try:
            with open(os.path.join(args.control, kind)) as f:
                return set(line.strip() for line in f)
        except OSError:
            return set()

    class Handler(base):
        def respond(self, resp, logfun=logging.debug):
            # Blocks the whole server, like one slow link shared by every session.
            if delay > 0:
                time.sleep(delay)
            base.respond(self, resp, logfun)

        def ftp_RNTO(self, path):
            if refuse_rename_over and os.path.exists(path):
                self._rnfr = None
                self.respond("553 Destination file exists.")
                return
            return base.ftp_RNTO(self, path)

        def ftp_DELE(self, path):
            if args.control and os.path.basename(path) in names("refuse-dele"):
                self.respond("550 Permission denied.")
                return
            return base.ftp_DELE(self, path)

        def ftp_STOR(self, file, mode="w"):
            name = os.path.basename(file)
            if args.control and any(p and name.startswith(p) for p in names("refuse-stor")):
                self.respond("550 Permission denied.")
                return
            return base.ftp_STOR(self, file, mode)

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            if args.control and name in names("refuse-retr"):
                self.respond("550 The process cannot access the file because it is being "
                             "used by another process.")
                return
            if args.control and name in names("stall-retr"):
                open(os.path.join(args.control, "stalled"), "w").close()
                self.ioloop.call_later(0.02, self.ftp_RETR, file)
                return
            return base.ftp_RETR(self, file)

    Handler.authorizer = authorizer
    Handler.banner = "pyftpdlib ready."
    Handler.passive_ports = None
    if args.passive_ports:
        Handler.passive_ports = [int(p) for p in args.passive_ports.split(",")]
    Handler.use_sendfile = True
    if args.certfile:
        Handler.certfile = args.certfile
        Handler.keyfile = args.keyfile
        Handler.tls_control_required = args.tls_required
        Handler.tls_data_required = args.tls_required

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
