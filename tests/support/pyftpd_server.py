"""A pyftpdlib server on a free loopback port, for tests.

Usage: pyftpd_server.py ROOT USER PASSWORD [--anonymous] [--home PATH] [--throttle BYTES]
                         [--encoding utf-8|latin-1] [--parent PID]
                         [--tls-cert FILE --tls-key FILE [--tls-required]]

Binds 127.0.0.1 port 0 and prints the chosen port on stdout once it listens.
With --home, sessions start in PATH (a folder inside ROOT, named as the
client sees it) instead of "/". With --encoding latin-1 the handler speaks
Latin-1 as old servers do: command lines are read, and replies and listings
written, one byte per character (a name with characters past U+00FF lists
with "?"); the files on disk keep UTF-8 names. With --tls-cert the server
speaks FTP over TLS (AUTH TLS, PBSZ, PROT; python3-openssl); --tls-required
refuses plain logons and data connections. Logs to stderr. Exits when the process PID (its starter) is gone, so a test
program that crashes leaves no server behind.
"""

import argparse
import logging
import os
import sys
import threading
import time

import asynchat

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class Latin1FS(AbstractedFS):
    """Listings in Latin-1: pyftpdlib writes them as UTF-8 bytes."""

    def format_list(self, basedir, listing, ignore_err=True):
        for line in super().format_list(basedir, listing, ignore_err):
            yield line.decode("utf-8", "replace").encode("latin-1", "replace")

    def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
        for line in super().format_mlsx(basedir, listing, perms, facts, ignore_err):
            yield line.decode("utf-8", "replace").encode("latin-1", "replace")


def speak_latin1(handler):
    class Latin1Handler(handler):
        abstracted_fs = Latin1FS

        def decode(self, data):
            return data.decode("latin-1")

        def push(self, s):
            asynchat.async_chat.push(self, s.encode("latin-1", "replace"))

    return Latin1Handler


def watch_parent(parent):
    while os.getppid() == parent:
        time.sleep(0.2)
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("user")
    parser.add_argument("password")
    parser.add_argument("--anonymous", action="store_true")
    parser.add_argument("--home", default="")
    parser.add_argument("--throttle", type=int, default=0)
    parser.add_argument("--encoding", choices=["utf-8", "latin-1"], default="utf-8")
    parser.add_argument("--parent", type=int, default=os.getppid())
    parser.add_argument("--tls-cert", default="")
    parser.add_argument("--tls-key", default="")
    parser.add_argument("--tls-required", action="store_true")
    args = parser.parse_args()

    threading.Thread(target=watch_parent, args=(args.parent,), daemon=True).start()
    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG, format="%(asctime)s %(message)s")

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.anonymous:
        authorizer.add_anonymous(args.root, perm="elr")

    base = FTPHandler
    if args.tls_cert:
        from pyftpdlib.handlers import TLS_FTPHandler

        base = TLS_FTPHandler
        base.certfile = args.tls_cert
        base.keyfile = args.tls_key
        base.tls_control_required = args.tls_required
        base.tls_data_required = args.tls_required

    class Handler(base):
        def on_login(self, username):
            if args.home:
                self.fs.cwd = args.home

    handler = speak_latin1(Handler) if args.encoding == "latin-1" else Handler
    handler.authorizer = authorizer
    handler.banner = "Tessel test server ready."
    # Active mode: data connections to the client's own loopback address.
    handler.permit_foreign_addresses = False
    if args.throttle > 0:
        # Data connections move at most this many bytes a second each way, so
        # a test can act while a transfer is surely still running.
        dtp = ThrottledDTPHandler
        if args.tls_cert:
            raise SystemExit("--throttle and --tls-cert do not go together")
        dtp.read_limit = args.throttle
        dtp.write_limit = args.throttle
        handler.dtp_handler = dtp
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(timeout=0.5, handle_exit=True)


if __name__ == "__main__":
    main()
