#!/usr/bin/python3
"""The demo FTP server of `make run`: pyftpdlib on 127.0.0.1 at a port the system picks, anonymous
and writable, over one folder. The port is written to PORT_FILE once the server listens (through a
file renamed into place, so a reader never sees half of it). Each data connection is held to
RATE_LIMIT bytes a second each way, so that a transfer of the 100 MB sample takes long enough to
watch its progress, speed and remaining time.

usage: demo-server.py FOLDER PORT_FILE
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

RATE_LIMIT = 20 * 1024 * 1024


class DemoDataHandler(ThrottledDTPHandler):
    read_limit = RATE_LIMIT
    write_limit = RATE_LIMIT


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, port_file = sys.argv[1:3]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(folder, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = DemoDataHandler
    handler.banner = "KEVRA demo server"
    server = FTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".part", "w") as out:
        out.write(str(server.socket.getsockname()[1]))
    os.rename(port_file + ".part", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
