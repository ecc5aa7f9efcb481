#!/usr/bin/env python3
"""An FTP server that lies and dawdles, on 127.0.0.1 at the port given (any user and
password log in; passive and active data connections):

/huge.bin    SIZE says 10 GB; RETR streams without end
/drip.txt    SIZE says 100000; RETR sends one byte every 0.1 s
/ and /drip/ MLSD and LIST send one line every 0.1 s, without end
/small.txt   five bytes
/size550.txt, /size502.txt   SIZE refused with 550 or 502; RETR sends "sized not\n"
/liar.zip    SIZE says 4096; RETR streams without end
/endless.*   (any extension) SIZE refused with 550; RETR streams without end
/stall.bin   SIZE says 100; RETR is answered by a reply that never ends: a line every 0.1 s
anything else: 550
huge.bin's sender says on standard error how many bytes it sent before the client left.
"""
import socket
import sys
import threading
import time

DRIP_SECONDS = 0.1


def send_huge(data):
    block = bytes(range(256)) * 256
    sent = 0
    try:
        while True:
            data.sendall(block)
            sent += len(block)
    finally:
        sys.stderr.write("huge.bin: %d bytes sent\n" % sent)
        sys.stderr.flush()


def send_drip(data):
    for _ in range(100000):
        data.sendall(b"d")
        time.sleep(DRIP_SECONDS)


def send_drip_listing(data):
    for i in range(100000):
        data.sendall(b"type=file;size=1; entry%06d.txt\r\n" % i)
        time.sleep(DRIP_SECONDS)


RETR = {"/huge.bin": send_huge, "/liar.zip": send_huge, "/drip.txt": send_drip, "/small.txt": lambda d: d.sendall(b"small"),
        "/size550.txt": lambda d: d.sendall(b"sized not\n"), "/size502.txt": lambda d: d.sendall(b"sized not\n")}
SIZE_REFUSED = {"/size550.txt": "550 SIZE not allowed here.", "/size502.txt": "502 SIZE not implemented."}
SIZES = {"/huge.bin": 10 * 1024 ** 3, "/liar.zip": 4096, "/drip.txt": 100000, "/small.txt": 5}


class Session(threading.Thread):
    daemon = True

    def __init__(self, conn):
        super().__init__()
        self.conn = conn
        self.reader = conn.makefile("rb")
        self.listener = None
        self.active = None

    def reply(self, text):
        self.conn.sendall(text.encode() + b"\r\n")

    def data_connection(self):
        if self.listener:
            data, _ = self.listener.accept()
            self.listener.close()
            self.listener = None
            return data
        return socket.create_connection(self.active)

    def transfer(self, send):
        self.reply("150 Opening data connection.")
        data = self.data_connection()
        try:
            send(data)
            data.close()
            self.reply("226 Transfer complete.")
        except OSError:
            data.close()
            self.reply("426 Connection closed; transfer aborted.")

    def passive(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        return self.listener.getsockname()[1]

    def run(self):
        try:
            self.serve()
        except OSError:
            pass

    def serve(self):
        self.reply("220 hostile server ready.")
        for raw in self.reader:
            line = raw.decode("latin-1").rstrip("\r\n")
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            path = "/" + arg.lstrip("/") if arg else "/"
            if verb == "USER":
                self.reply("331 Password please.")
            elif verb == "PASS":
                self.reply("230 Logged in.")
            elif verb == "PWD":
                self.reply('257 "/" is the current directory.')
            elif verb == "FEAT":
                self.reply("211-Features:\r\n EPSV\r\n EPRT\r\n SIZE\r\n MLST type*;size*;\r\n211 End.")
            elif verb in ("TYPE", "MODE", "STRU"):
                self.reply("200 OK.")
            elif verb == "CWD":
                self.reply('250 "%s" is the current directory.' % path)
            elif verb == "EPSV":
                self.reply("229 Entering extended passive mode (|||%d|)." % self.passive())
            elif verb == "PASV":
                port = self.passive()
                self.reply("227 Entering passive mode (127,0,0,1,%d,%d)." % (port >> 8, port & 255))
            elif verb == "EPRT":
                fields = arg.split(arg[0])
                self.active = (fields[2], int(fields[3]))
                self.reply("200 EPRT OK.")
            elif verb == "PORT":
                n = [int(x) for x in arg.split(",")]
                self.active = (".".join(map(str, n[:4])), n[4] * 256 + n[5])
                self.reply("200 PORT OK.")
            elif verb == "SIZE" and path.startswith("/endless."):
                self.reply("550 SIZE not allowed here.")
            elif verb == "RETR" and path.startswith("/endless."):
                self.transfer(send_huge)
            elif verb == "SIZE" and path == "/stall.bin":
                self.reply("213 100")
            elif verb == "RETR" and path == "/stall.bin":
                self.reply("150-Opening data connection.")
                for _ in range(100000):
                    self.reply(" still opening")
                    time.sleep(DRIP_SECONDS)
            elif verb == "SIZE" and path in SIZE_REFUSED:
                self.reply(SIZE_REFUSED[path])
            elif verb == "SIZE" and path in SIZES:
                self.reply("213 %d" % SIZES[path])
            elif verb == "RETR" and path in RETR:
                self.transfer(RETR[path])
            elif verb in ("MLSD", "LIST", "NLST") and path.rstrip("/") in ("", "/drip"):
                self.transfer(send_drip_listing)
            elif verb == "QUIT":
                self.reply("221 Bye.")
                return
            else:
                self.reply("550 %s: no such file." % path)


if __name__ == "__main__":
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", int(sys.argv[1])))
    server.listen(8)
    while True:
        Session(server.accept()[0]).start()
