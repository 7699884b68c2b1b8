"""The FTP server of scripts/run: pyftpdlib on 127.0.0.1, serving one folder.

Usage: demo_server.py ROOT USER PASSWORD PORT

PORT 0 takes a free port. Prints the port once the server listens; exits when
its starter (the parent process) is gone.
"""

import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def watch_parent(parent):
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def main():
    root, user, password, port = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    threading.Thread(target=watch_parent, args=(os.getppid(),), daemon=True).start()
    logging.basicConfig(stream=sys.stderr, level=logging.INFO, format="%(asctime)s %(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Tessel demo server ready."
    handler.permit_foreign_addresses = False
    server = FTPServer(("127.0.0.1", port), handler)
    print(server.address[1], flush=True)
    server.serve_forever(timeout=0.5, handle_exit=True)


if __name__ == "__main__":
    main()
