#!/usr/bin/python3
"""A real FTP server for tests that misbehaves on demand: pyftpdlib serving one folder to one user
on 127.0.0.1, every session in its own thread, so that a fault held in one session (a delay, a
slow transfer) never holds up another.

Run with Debian's /usr/bin/python3 (package python3-pyftpdlib). Prints "READY <port>" on stdout
once it listens (port 0 picks a free one; a given port is bound with SO_REUSEADDR, so a killed
server can come back on its port at once) and serves until it is terminated or, with
--watch-stdin, its stdin closes.

    FaultyFtpServer.py --root DIR --control DIR [--port 0] [--user larkftp]
                       [--password larkpass] [--watch-stdin]

The faults are read from CONTROL/faults.json, again whenever the file changes (write it under
another name and rename it over, so that it is never read half written):

    {"rules": [{"id": 1, "command": "RETR", "name": "*.bin", "delay_ms": 0,
                "drop_after": -1, "short_after": -1, "reply": "", "times": -1}],
     "rate_down": 0, "rate_up": 0, "mdtm_shift_s": 0}

A rule matches a command by its verb ("*" for any) and by an fnmatch pattern on the base name of
its argument ("" for any). Every rule that matches fires and counts: delay_ms sleeps this
session's thread before the command; reply answers with that text instead of running the command
(a 421 also closes the control connection); drop_after N (RETR, STOR) closes the data connection
after N bytes and answers 426, an upload keeping the N bytes written; short_after N (RETR) sends
N bytes and ends the transfer as if complete, with 226. A rule stops matching after `times`
matches (-1: never). CONTROL/matched.json holds {"<id>": matches} and is written before the
command is answered; it is read back at start, so a restarted server keeps the counts.
rate_down and rate_up pace each RETR and STOR to that many bytes per second (0: unlimited);
mdtm_shift_s is added to the times of MDTM, LIST and MLSD, as from a server whose clock is off.

Every command and reply goes to stderr with the time and the session's number.
"""
import argparse
import fnmatch
import json
import logging
import os
import posixpath
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

TRANSFER_CUT_REPLY = "426 Connection closed; transfer aborted."


def log_line(session, text):
    now = time.time()
    stamp = time.strftime("%H:%M:%S", time.localtime(now)) + ".%03d" % (now % 1 * 1000)
    with Faults.lock:
        sys.stderr.write("%s s%d %s\n" % (stamp, session, text))
        sys.stderr.flush()


class Rule:
    def __init__(self, index, d):
        self.id = str(d.get("id", index))
        self.command = str(d.get("command") or "*").upper()
        self.name = str(d.get("name") or "")
        self.delay_ms = int(d.get("delay_ms") or 0)
        self.drop_after = _limit(d.get("drop_after"))
        self.short_after = _limit(d.get("short_after"))
        self.reply = str(d.get("reply") or "")
        self.times = int(d["times"]) if d.get("times") is not None else -1

    def matches(self, cmd, arg):
        if self.command != "*" and self.command != cmd:
            return False
        if not self.name:
            return True
        return fnmatch.fnmatchcase(posixpath.basename(arg.rstrip("/")), self.name)


def _limit(value):
    return None if value is None or int(value) < 0 else int(value)


class Faults:
    """What faults.json says, shared by every session thread."""
    lock = threading.RLock()

    def __init__(self, control):
        self.control = control
        self.path = os.path.join(control, "faults.json") if control else None
        self.signature = None
        self.rules = []
        self.rate_down = 0
        self.rate_up = 0
        self.mdtm_shift = 0
        self.counts = {}
        if control:
            try:
                with open(os.path.join(control, "matched.json")) as f:
                    self.counts = {str(k): int(v) for k, v in json.load(f).items()}
            except (OSError, ValueError):
                pass

    def refresh(self):
        if not self.path:
            return
        try:
            st = os.stat(self.path)
            signature = (st.st_ino, st.st_mtime_ns, st.st_size)
        except OSError:
            signature = None
        with self.lock:
            if signature == self.signature:
                return
            self.signature = signature
            data = {}
            if signature is not None:
                try:
                    with open(self.path) as f:
                        data = json.load(f)
                except (OSError, ValueError) as err:
                    sys.stderr.write("faults.json unreadable: %s\n" % err)
            self.rules = [Rule(i, r) for i, r in enumerate(data.get("rules") or [])]
            self.rate_down = int(data.get("rate_down") or 0)
            self.rate_up = int(data.get("rate_up") or 0)
            self.mdtm_shift = int(data.get("mdtm_shift_s") or 0)

    def fire(self, cmd, arg):
        """The rules that match this command, counted, and the counts saved."""
        self.refresh()
        with self.lock:
            fired = []
            for rule in self.rules:
                count = self.counts.get(rule.id, 0)
                if (rule.times < 0 or count < rule.times) and rule.matches(cmd, arg):
                    self.counts[rule.id] = count + 1
                    fired.append(rule)
            if fired:
                self._save_counts()
            return fired

    def _save_counts(self):
        target = os.path.join(self.control, "matched.json")
        temporary = target + ".%d.tmp" % os.getpid()
        with open(temporary, "w") as f:
            json.dump(self.counts, f)
        os.replace(temporary, target)


class ShiftedStat:
    """A stat result whose modification time is off by the server's clock error."""

    def __init__(self, st, shift):
        self._st = st
        self.st_mtime = st.st_mtime + shift

    def __getattr__(self, name):
        return getattr(self._st, name)


def make_server(args):
    faults = Faults(args.control)
    faults.refresh()
    sessions = [0]

    class ShiftedFS(AbstractedFS):
        def getmtime(self, path):
            return AbstractedFS.getmtime(self, path) + faults.mdtm_shift

        def stat(self, path):
            st = AbstractedFS.stat(self, path)
            return ShiftedStat(st, faults.mdtm_shift) if faults.mdtm_shift else st

        def lstat(self, path):
            st = AbstractedFS.lstat(self, path)
            return ShiftedStat(st, faults.mdtm_shift) if faults.mdtm_shift else st

    class CutProducer:
        """Hands on at most `limit` bytes of a download, then reports the end of the file."""

        def __init__(self, inner, limit, drop, handler):
            self.inner = inner
            self.left = limit
            self.drop = drop
            self.handler = handler
            self.file = inner.file

        def more(self):
            if self.left <= 0:
                if self.drop:
                    self.handler.transfer_dropped = True
                return b""
            data = self.inner.more()
            if len(data) >= self.left:
                data = data[:self.left]
                if self.drop:
                    self.handler.transfer_dropped = True
            self.left -= len(data)
            return data

    class FaultyDTP(DTPHandler):
        """A data connection that may be cut short and paced to a rate."""

        def __init__(self, sock, cmd_channel):
            self._pause = None
            self._pace_rate = 0
            self._pace_start = 0.0
            self._pace_bytes = 0
            DTPHandler.__init__(self, sock, cmd_channel)

        def use_sendfile(self):
            return False  # every byte passes send(), where it is counted and paced

        def _rate(self):
            faults.refresh()
            if self.cmd == "RETR":
                return faults.rate_down
            if self.cmd in ("STOR", "APPE"):
                return faults.rate_up
            return 0

        @staticmethod
        def _chunk(rate):
            # Small steps keep the pace even instead of one burst a second.
            return max(1, min(65536, rate // 20))

        def _paced(self, moved, rate, events):
            if not rate or not moved:
                return
            now = time.monotonic()
            if rate != self._pace_rate:
                self._pace_rate, self._pace_start, self._pace_bytes = rate, now, 0
            self._pace_bytes += moved
            wait = self._pace_start + self._pace_bytes / rate - now
            if wait > 0:
                self.del_channel()

                def resume():
                    self._pause = None
                    if not self._closed:
                        self.add_channel(events=events)

                self._pause = self.ioloop.call_later(wait, resume, _errback=self.handle_error)

        def send(self, data):
            rate = self._rate()
            if rate:
                data = data[:self._chunk(rate)]
            sent = DTPHandler.send(self, data)
            self._paced(sent, rate, self.ioloop.WRITE)
            return sent

        def handle_read(self):
            cut = self.cmd_channel.transfer_cut if self.cmd == "STOR" else None
            rate = self._rate()
            size = self.ac_in_buffer_size
            if rate:
                size = min(size, self._chunk(rate))
            if cut is not None:
                size = min(size, cut[0] - self.tot_bytes_received)
                if size <= 0:
                    return self._drop_upload()
            before = self.tot_bytes_received
            saved, self.ac_in_buffer_size = self.ac_in_buffer_size, size
            try:
                DTPHandler.handle_read(self)
            finally:
                self.ac_in_buffer_size = saved
            if self._closed:
                return
            if cut is not None and self.tot_bytes_received >= cut[0]:
                return self._drop_upload()
            self._paced(self.tot_bytes_received - before, rate, self.ioloop.READ)

        handle_read_event = handle_read

        def _drop_upload(self):
            # The file is complete on disk before the client can learn of the cut.
            if self.file_obj is not None and not self.file_obj.closed:
                self.file_obj.close()
            self.transfer_finished = False
            self._resp = (TRANSFER_CUT_REPLY, logging.debug)
            self.close()

        def handle_close(self):
            if not self._closed and self.cmd_channel.transfer_dropped:
                self.cmd_channel.transfer_dropped = False
                self.transfer_finished = False
                self._resp = (TRANSFER_CUT_REPLY, logging.debug)
                self.close()
                return
            DTPHandler.handle_close(self)

        def close(self):
            if self._pause is not None and not self._pause.cancelled:
                self._pause.cancel()
            DTPHandler.close(self)

    class Handler(FTPHandler):
        dtp_handler = FaultyDTP
        abstracted_fs = ShiftedFS
        use_sendfile = False

        def __init__(self, conn, server, ioloop=None):
            with Faults.lock:
                sessions[0] += 1
                self.session = sessions[0]
            self.transfer_cut = None  # (bytes, drop) for this session's current transfer
            self.transfer_dropped = False
            self.hanging_up = False
            FTPHandler.__init__(self, conn, server, ioloop)

        def on_connect(self):
            log_line(self.session, "connected from %s:%s" % (self.remote_ip, self.remote_port))

        def on_disconnect(self):
            log_line(self.session, "disconnected")

        def respond(self, resp, logfun=logging.debug):
            log_line(self.session, "-> " + resp)
            FTPHandler.respond(self, resp, logfun)

        def pre_process_command(self, line, cmd, arg):
            verb = line.split(" ")[0].upper()
            log_line(self.session, "<- " + ("PASS ******" if verb == "PASS" else line))
            if self.hanging_up:
                return  # after a 421 nothing more is answered, however soon it comes
            fired = faults.fire(verb, arg)
            delay = sum(r.delay_ms for r in fired)
            reply = next((r.reply for r in fired if r.reply), "")
            drop = next((r.drop_after for r in fired if r.drop_after is not None), None)
            short = next((r.short_after for r in fired if r.short_after is not None), None)
            for r in fired:
                log_line(self.session, "rule %s fired on %s" % (r.id, verb))
            if verb in ("RETR", "STOR"):
                self.transfer_dropped = False
                if drop is not None:
                    self.transfer_cut = (drop, True)
                elif short is not None and verb == "RETR":
                    self.transfer_cut = (short, False)
                else:
                    self.transfer_cut = None
            if delay > 0:
                time.sleep(delay / 1000.0)  # this session's thread only
            if reply:
                self.respond(reply)
                if reply.startswith("421"):
                    self.hanging_up = True
                    self.close_when_done()
                return
            FTPHandler.pre_process_command(self, line, cmd, arg)

        def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
            if cmd == "RETR" and isproducer and self.transfer_cut is not None:
                limit, drop = self.transfer_cut
                data = CutProducer(data, limit, drop, self)
            if self.data_channel is not None:
                # pyftpdlib names the transfer only after its first send; the pace needs it then.
                self.data_channel.cmd = cmd
            FTPHandler.push_dtp_data(self, data, isproducer, file, cmd)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.banner = "pyftpdlib ready."
    Handler.passive_ports = None

    server = ThreadedFTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 256
    return server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--control", default=None)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="larkftp")
    parser.add_argument("--password", default="larkpass")
    parser.add_argument("--watch-stdin", action="store_true",
                        help="stop when standard input closes")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    server = make_server(args)
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
