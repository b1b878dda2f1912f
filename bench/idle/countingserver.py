#!/usr/bin/python3
"""The demo server of tools/ with a log of what every connection costs it.

Same tree, accounts and TLS offer as tools/demo-server.py; besides, one line per event goes to
LOG, flushed at once, so that a reader can take the lines between two offsets:
    <connection> open | login <user> | cmd <VERB> <control bytes in> | out <control bytes out>
    | data <bytes> | close
    countingserver.py --port P --data DIR --log LOG [--main-host H:P --main-user U
                      --main-password W]   (the last three point fcom.xo at another server)
"""
import argparse
import importlib.util
import itertools
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


def load_demo(source):
    spec = importlib.util.spec_from_file_location(
        "demo_server", os.path.join(source, "tools", "demo-server.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--main-host")
    parser.add_argument("--main-user")
    parser.add_argument("--main-password")
    args = parser.parse_args()

    demo = load_demo(args.source)
    data = os.path.abspath(args.data)
    settings, main_root = demo.prepare(data, "127.0.0.1", args.port, "larkspire", "larkspire")
    if args.main_host:
        lines = ["Larkspire bench settings", "", "", "", "",
                 args.main_host, args.main_user, args.main_password, "/"]
        with open(os.path.join(settings, "fcom.xo"), "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("cp1251"))
    cert, key, _ = demo.ensure_certificate(data, "127.0.0.1")

    log = open(args.log, "a", buffering=1)
    ids = itertools.count(1)

    class Data(TLS_DTPHandler):
        def close(self):
            if not getattr(self, "_counted", False):
                self._counted = True
                log.write("%d data %d\n" % (self.cmd_channel.bench_id,
                                            self.tot_bytes_sent + self.tot_bytes_received))
            super().close()

    class Handler(TLS_FTPHandler):
        certfile = cert
        keyfile = key
        tls_control_required = False
        tls_data_required = False
        dtp_handler = Data

        def on_connect(self):
            self.bench_id = next(ids)
            log.write("%d open\n" % self.bench_id)

        def on_login(self, username):
            log.write("%d login %s\n" % (self.bench_id, username))

        def pre_process_command(self, line, cmd, arg):
            log.write("%d cmd %s %d\n" % (self.bench_id, cmd, len(line) + 2))
            return super().pre_process_command(line, cmd, arg)

        def push(self, data):
            log.write("%d out %d\n" % (getattr(self, "bench_id", 0), len(data)))
            return super().push(data)

        def on_disconnect(self):
            log.write("%d close\n" % self.bench_id)

    authorizer = DummyAuthorizer()
    authorizer.add_user(demo.SETTINGS_USER, demo.SETTINGS_PASSWORD, settings, perm="elr")
    authorizer.add_user("larkspire", "larkspire", main_root, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.banner = "Larkspire bench server ready."
    server = FTPServer(("127.0.0.1", args.port), Handler)
    print("listening", flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
