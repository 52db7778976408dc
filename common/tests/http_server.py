#!/usr/bin/env python3
"""A scripted HTTP server on loopback for the download and service tests and the download benchmark.

It binds 127.0.0.1 on a free port and writes "<port> <pid>" to --port-file once it listens.
Every request is appended to --log as one JSON line: {"path": ..., "headers": [[name, value], ...]}.

Paths (n, m: byte counts; bodies are the bytes i % 251 for position i):
  /file/<n>                  200 with Content-Length n
  /status/<code>             that status with a short text body
  /flaky/<key>/<n>           500 on the first request for key, then like /file/<n>
  /nolength/<n>              200 without Content-Length; the body ends when the connection closes
  /truncated/<n>/<m>         Content-Length n, but only m bytes, then the connection closes
  /empty                     200 with Content-Length 0
  /slow/<n>/<chunk>/<ms>     Content-Length n, chunk bytes every ms milliseconds
  /chunked/<n>               200 with the body in chunks (Transfer-Encoding: chunked)
  /chunked/<n>/<m>           the same, but the connection closes after m bytes, before the last chunk
  /stall/<n>/<m>             Content-Length n, m bytes, then nothing more while the connection stays open
  /length/<n>/<v>[/<v>...]   200 with a "Content-Length: v" line for each v (escaped, sent as it is), n bytes, then
                             the connection closes
  /silent                    reads the request and never answers
  /redirect/<k>/<path>       302 to /redirect/<k-1>/<path>, and at 1 to /<path>
  /slowredirect/<k>/<ms>/<path>  the same after waiting ms milliseconds at each hop
  /hangup                    reads the request and closes the connection without answering
  /loop                      302 to itself, for ever
  /moved?to=<url>            302 to url (escaped)
  /root/<name>               the file <name> of --root, its escapes read as UTF-8 (sent with sendfile, or with --rate at most
                             that many bytes per second)
  /ZKY/<service>/<name>      a service's reply as a test scripted it in --root: the status in the
                             file <name>.status, the body in <name>.body (none without one, and
                             never with 304); without a status 304 (nothing new, the console current)
With --cert and --key the server speaks HTTPS with that certificate.
With --proxy-auth USER:PASSWORD it is also a proxy that wants those credentials: a request for
an absolute URL without the matching Basic "Proxy-Authorization" gets 407; with them it is
answered as a request for the URL's path.
The server ends by itself after --lifetime seconds.
"""
import argparse
import base64
import json
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PERIOD = 251
BLOCK = bytes(i % PERIOD for i in range(PERIOD * 1024))


def pattern(offset, size):
    """size bytes of the pattern starting at position offset."""
    out = bytearray()
    while size > 0:
        start = offset % PERIOD
        take = min(size, len(BLOCK) - start)
        out += BLOCK[start:start + take]
        offset += take
        size -= take
    return bytes(out)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VesperlinTestServer/1.0"
    flaky_seen = set()
    flaky_lock = threading.Lock()

    def log_message(self, format, *args):  # quiet
        pass

    def record(self):
        entry = {"path": self.path, "headers": [[k, v] for k, v in self.headers.items()]}
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as log:
                log.write(json.dumps(entry) + "\n")

    def send_body(self, size, offset=0):
        sent = 0
        while sent < size:
            take = min(size - sent, 1 << 20)
            self.wfile.write(pattern(offset + sent, take))
            sent += take

    def head(self, status, length=None, close=False):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def send_paced(self, f):
        """The file at no more than --rate bytes per second, as a link of that speed would carry it."""
        rate = self.server.rate
        start = time.monotonic()
        sent = 0
        while True:
            block = f.read(65536)
            if not block:
                break
            self.wfile.write(block)
            sent += len(block)
            ahead = sent / rate - (time.monotonic() - start)
            if ahead > 0:
                time.sleep(ahead)
        self.wfile.flush()

    def send_chunk(self, data):
        self.wfile.write(b"%x\r\n" % len(data) + data + b"\r\n")

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def hold_open(self):
        """Sends nothing more until the client closes the connection (or the server ends)."""
        self.wfile.flush()
        self.connection.settimeout(None)
        try:
            while self.connection.recv(4096):
                pass
        except OSError:
            pass
        self.close_connection = True

    def scripted_reply(self, name):
        base = os.path.join(self.server.root, os.path.basename(name))
        status = 304
        if os.path.exists(base + ".status"):
            with open(base + ".status") as f:
                status = int(f.read().strip())
        body = b""
        if status != 304 and os.path.exists(base + ".body"):
            with open(base + ".body", "rb") as f:
                body = f.read()
        self.head(status, None if status == 304 else len(body))
        self.wfile.write(body)

    def do_GET(self):
        self.record()
        path = self.path
        if path.startswith("http://"):
            expected = self.server.proxy_auth
            if expected is not None and self.headers.get("Proxy-Authorization", "") != expected:
                self.send_response(407)
                self.send_header("Proxy-Authenticate", 'Basic realm="loopback proxy"')
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            path = "/" + path.split("/", 3)[3] if path.count("/") >= 3 else "/"
        parts = [p for p in path.split("?")[0].split("/") if p]
        try:
            kind = parts[0] if parts else ""
            if kind == "file":
                n = int(parts[1])
                self.head(200, n)
                self.send_body(n)
            elif kind == "status":
                code = int(parts[1])
                body = ("status %d\n" % code).encode()
                self.head(code, len(body))
                self.wfile.write(body)
            elif kind == "flaky":
                key, n = parts[1], int(parts[2])
                with Handler.flaky_lock:
                    first = key not in Handler.flaky_seen
                    Handler.flaky_seen.add(key)
                if first:
                    body = b"try again\n"
                    self.head(500, len(body))
                    self.wfile.write(body)
                else:
                    self.head(200, n)
                    self.send_body(n)
            elif kind == "nolength":
                n = int(parts[1])
                self.head(200, None, close=True)
                self.send_body(n)
            elif kind == "truncated":
                n, m = int(parts[1]), int(parts[2])
                self.head(200, n, close=True)
                self.send_body(m)
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
            elif kind == "empty":
                self.head(200, 0)
            elif kind == "slow":
                n, chunk, delay = int(parts[1]), int(parts[2]), int(parts[3])
                self.head(200, n)
                sent = 0
                while sent < n:
                    take = min(chunk, n - sent)
                    self.wfile.write(pattern(sent, take))
                    self.wfile.flush()
                    sent += take
                    time.sleep(delay / 1000.0)
            elif kind == "chunked":
                n = int(parts[1])
                cut = int(parts[2]) if len(parts) > 2 else None
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Transfer-Encoding", "chunked")
                if cut is not None:
                    self.send_header("Connection", "close")
                    self.close_connection = True
                self.end_headers()
                sent = 0
                while sent < n:
                    take = min(4096, n - sent)
                    if cut is not None and sent + take > cut:
                        # The chunk that holds the cut: its size line and only part of its data.
                        self.wfile.write(b"%x\r\n" % take + pattern(sent, cut - sent))
                        sent = cut
                        break
                    self.send_chunk(pattern(sent, take))
                    sent += take
                if cut is None:
                    self.wfile.write(b"0\r\n\r\n")
                else:
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
            elif kind == "stall":
                n, m = int(parts[1]), int(parts[2])
                self.head(200, n)
                self.send_body(m)
                self.hold_open()
            elif kind == "length":
                n = int(parts[1])
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                for value in parts[2:]:
                    self.send_header("Content-Length", urllib.parse.unquote(value))
                self.send_header("Connection", "close")
                self.close_connection = True
                self.end_headers()
                self.send_body(n)
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
            elif kind == "silent":
                self.hold_open()
            elif kind == "redirect":
                # Odd hops name the place as an absolute URL, even ones as a path.
                k, rest = int(parts[1]), "/".join(parts[2:])
                place = "/redirect/%d/%s" % (k - 1, rest) if k > 1 else "/" + rest
                if k % 2:
                    scheme = "https" if self.server.secure else "http"
                    place = "%s://127.0.0.1:%d%s" % (scheme, self.server.server_address[1], place)
                self.redirect(place)
            elif kind == "slowredirect":
                k, delay, rest = int(parts[1]), int(parts[2]), "/".join(parts[3:])
                time.sleep(delay / 1000.0)
                self.redirect("/slowredirect/%d/%d/%s" % (k - 1, delay, rest) if k > 1 else "/" + rest)
            elif kind == "hangup":
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
                self.close_connection = True
            elif kind == "moved":
                self.redirect(urllib.parse.unquote(self.path.split("?to=", 1)[1]))
            elif kind == "loop":
                self.redirect(self.path)
            elif kind == "ZKY" and len(parts) > 2:
                self.scripted_reply(parts[-1])
            elif kind == "root":
                # The name as a server expecting UTF-8 escapes reads it (a Latin-1 byte is no name).
                name = urllib.parse.unquote(parts[1], errors="strict")
                path = os.path.join(self.server.root, os.path.basename(name))
                with open(path, "rb") as f:
                    size = os.fstat(f.fileno()).st_size
                    self.head(200, size)
                    self.wfile.flush()
                    if self.server.rate:
                        self.send_paced(f)
                    else:
                        self.connection.sendfile(f)
            else:
                self.head(404, 0)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        except (IndexError, ValueError, OSError):
            self.head(400, 0, close=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--root", default=".")
    parser.add_argument("--lifetime", type=float, default=900.0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--proxy-auth")
    parser.add_argument("--rate", type=float, default=0.0)
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        # The handshake happens on the request's own thread, so that a client that refuses
        # the certificate holds up no other.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    server.daemon_threads = True
    server.log_path = args.log
    server.log_lock = threading.Lock()
    server.root = args.root
    server.secure = bool(args.cert)
    server.rate = args.rate
    server.proxy_auth = None
    if args.proxy_auth:
        server.proxy_auth = "Basic " + base64.b64encode(args.proxy_auth.encode()).decode()
    open(args.log, "w").close()
    tmp = args.port_file + ".part"
    with open(tmp, "w") as f:
        f.write("%d %d\n" % (server.server_address[1], os.getpid()))
    os.replace(tmp, args.port_file)

    threading.Thread(target=server.serve_forever, daemon=True).start()
    time.sleep(args.lifetime)
    sys.exit(0)


if __name__ == "__main__":
    main()
