#!/usr/bin/env python3
"""HTTP routes for the internet tests, on 127.0.0.1 at the port given:

/page.htm      a small page with a title        /tiny        five bytes
/redirect      302 to /page.htm (followed)      /redirect-https  302 to https (not followed)
/redirect-loop 302 to itself (given up)         /auth        401
/chunked       a chunked body of 3,000 bytes    /closed      Content-Length 5000, closed after 100
/silent        reads the request, never answers /slow        headers, then 100 bytes every 0.3 s
/big           10,100,000 bytes                 /size/N.ext  N bytes of 'z' (any extension)
/echo-headers  the request's headers as the body
/drip-body     Content-Length 100000, then one byte every 0.1 s
/drip-headers  a status line, then one header line every 0.1 s, without end
/auth-basic    "welcome anna" to the login anna:S3cr3tPw (basic authentication), else 401
/goto/URL      302 to URL                       /many-headers  80 KB of header lines
/redirect-late 302 to /page.htm, its body 0.5 s after its headers
http://...     asked of it as a proxy: "proxied", the address and the request's headers
/long-location 302 with a Location of 200 KB    /dir/...     "asked for" and the path
/gzip          a page of 200 KB sent gzip-compressed (Content-Encoding: gzip), asked or not
/endless       a page that never ends (and /endless.zip, an archive)
/drip.zip      an archive of Content-Length 100000, one byte every 0.1 s
/utf8-header   a UTF-8 page whose charset only the Content-Type header names
"""
import base64
import gzip
import http.server
import socketserver
import sys
import time

PAGE = (b"<html><head><title>Test Page</title></head>"
        b"<body><p>hello from the page</p></body></html>\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s\n" % (fmt % args))

    def body(self, data, status=200, ctype="text/html"):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def drip(self, piece):
        try:
            for i in range(100000):
                self.wfile.write(piece(i))
                self.wfile.flush()
                time.sleep(0.1)
        except OSError:
            pass

    def redirect(self, where):
        self.send_response(302)
        self.send_header("Location", where)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        p = self.path
        port = self.server.server_address[1]
        if p in ("/", "/page.htm"):
            self.body(PAGE)
        elif p == "/tiny":
            self.body(b"tiny!", ctype="text/plain")
        elif p == "/redirect":
            self.redirect("/page.htm")
        elif p == "/redirect-late":
            self.send_response(302)
            self.send_header("Location", "/page.htm")
            self.send_header("Content-Length", "12")
            self.end_headers()
            self.wfile.flush()
            time.sleep(0.5)
            self.wfile.write(b"moved there\n")
        elif p == "/redirect-https":
            self.redirect("https://127.0.0.1:%d/page.htm" % port)
        elif p == "/redirect-loop":
            self.redirect("/redirect-loop")
        elif p == "/auth":
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="t"')
            self.send_header("Content-Length", "6")
            self.end_headers()
            self.wfile.write(b"denied")
        elif p == "/chunked":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for i in range(3):
                piece = bytes([ord("a") + i]) * 1000
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
        elif p == "/closed":
            self.send_response(200)
            self.send_header("Content-Length", "5000")
            self.end_headers()
            self.wfile.write(b"c" * 100)
            self.wfile.flush()
            self.close_connection = True
        elif p == "/silent":
            time.sleep(30)
        elif p == "/slow":
            self.send_response(200)
            self.send_header("Content-Length", "20000")
            self.end_headers()
            try:
                for _ in range(200):
                    self.wfile.write(b"s" * 100)
                    self.wfile.flush()
                    time.sleep(0.3)
            except OSError:
                pass
        elif p == "/big":
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", "10100000")
            self.end_headers()
            line = b"0123456789" * 9 + b"abcdefgh\r\n"
            for _ in range(101000):
                self.wfile.write(line)
        elif p.startswith("/size/"):
            n = int(p[6:].split(".")[0])
            self.body(b"z" * n, ctype="application/octet-stream")
        elif p == "/utf8-header":
            self.body("<html><head><title>naïve</title></head><body><p>naïve café 日本</p></body></html>\n".encode(),
                      ctype="text/html; charset=utf-8")
        elif p in ("/drip-body", "/drip.zip"):
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.drip(lambda i: b"d")
        elif p == "/drip-headers":
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            self.drip(lambda i: b"X-Drip-%d: x\r\n" % i)
        elif p == "/auth-basic":
            login = base64.b64encode(b"anna:S3cr3tPw").decode()
            if self.headers.get("Authorization") == "Basic " + login:
                self.body(b"welcome anna", ctype="text/plain")
            else:
                self.send_response(401)
                self.send_header("WWW-Authenticate", 'Basic realm="t"')
                self.send_header("Content-Length", "0")
                self.end_headers()
        elif p.startswith("/goto/"):
            self.redirect(p[6:])
        elif p == "/many-headers":
            self.send_response(200)
            for i in range(2000):
                self.send_header("X-Filler-%d" % i, "f" * 24)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif p == "/long-location":
            self.redirect("/x" + "a" * 200000)
        elif p.startswith("/dir/"):
            self.body(b"asked for " + p.encode(), ctype="text/plain")
        elif p == "/gzip":
            lines = b"".join(b"<p>inflated line %d</p>\n" % i for i in range(10000))
            data = gzip.compress(b"<html><head><title>Zipped</title></head><body>" + lines + b"</body></html>\n")
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Encoding", "gzip")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        elif p in ("/endless", "/endless.zip"):
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.end_headers()
            try:
                while True:
                    self.wfile.write(b"<p>endless line of text</p>\n" * 1000)
            except OSError:
                pass
        elif p.startswith("http://"):
            self.body(b"proxied " + p.encode() + b"\n" + str(self.headers).encode(), ctype="text/plain")
        elif p == "/echo-headers":
            self.body(str(self.headers).encode(), ctype="text/plain")
        else:
            self.body(b"not here", status=404)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


if __name__ == "__main__":
    Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
