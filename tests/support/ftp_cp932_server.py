#!/usr/bin/env python3
"""pyftpdlib speaking CP932 (Shift-JIS) names, as a Japanese Windows FTP server does:
commands are read, replies and listings written in CP932, and FEAT does not offer
UTF8. Usage: ftp_cp932_server.py PORT ROOT (user anna, password secret)."""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ENCODING = "cp932"


def recode(lines):
    for line in lines:
        yield line.decode("utf8").encode(ENCODING, "replace")


class Cp932FS(AbstractedFS):
    def format_list(self, *args, **kwargs):
        return recode(super().format_list(*args, **kwargs))

    def format_mlsx(self, *args, **kwargs):
        return recode(super().format_mlsx(*args, **kwargs))


class Cp932Handler(FTPHandler):
    abstracted_fs = Cp932FS

    def decode(self, data):
        return data.decode(ENCODING, self.unicode_errors)

    def push(self, s):
        # the channel's own push of the bytes, past FTPHandler's UTF-8 encoding
        super(FTPHandler, self).push(s.encode(ENCODING, "replace"))

    def ftp_FEAT(self, line):
        self._extra_feats = []
        self.push("211-Features supported:\r\n EPRT\r\n EPSV\r\n MLST type*;size*;modify*;\r\n SIZE\r\n")
        self.respond("211 End FEAT.")


if __name__ == "__main__":
    authorizer = DummyAuthorizer()
    authorizer.add_user("anna", "secret", sys.argv[2], perm="elradfmwMT")
    Cp932Handler.authorizer = authorizer
    FTPServer(("127.0.0.1", int(sys.argv[1])), Cp932Handler).serve_forever()
