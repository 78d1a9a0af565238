#!/usr/bin/python3
"""The demo FTP server of `make run`: pyftpdlib on 127.0.0.1 at a port the system picks, anonymous
and writable, over one folder. The port is written to PORT_FILE once the server listens (through a
file renamed into place, so a reader never sees half of it).

usage: demo-server.py FOLDER PORT_FILE
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder, port_file = sys.argv[1:3]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(folder, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "KEVRA demo server"
    server = FTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".part", "w") as out:
        out.write(str(server.socket.getsockname()[1]))
    os.rename(port_file + ".part", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
