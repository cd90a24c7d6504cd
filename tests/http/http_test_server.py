#!/usr/bin/env python3
"""A small HTTP(S) server on 127.0.0.1 for the download client's tests.

Prints its port on the first line of stdout, then serves until stdin reaches its end, so it stops
with the test process that started it, also when that process dies.

Routes:
  /files/NAME     the bytes of NAME in the --root folder (200) with its date as Last-Modified, or 404
                  with a page
  /redirect       302 to /target with a short body
  /target         a page; the server remembers every path asked for
  /requests       the paths asked for so far, one per line
  /short          announces 1000 bytes, sends 100 and closes
  /broken-chunks  a chunked body that ends without its last chunk
  /stall          announces 1000 bytes, sends 100, pauses for 20 s, then sends the rest
  /status/CODE    answers with that status and a short page
  /large/N        N bytes of zeros, with their Content-Length, made on the fly
  /large-chunked/N  the same without a length, in chunks
  /trickle        announces 1000 bytes and sends one every 0.2 s
"""

import argparse
import http.server
import os
import ssl
import sys
import threading

CHUNK = b"\0" * (1 << 20)

stop = threading.Event()
requested = []
requested_lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def send_body(self, status, body, content_type="text/html", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def send_cut(self, announced, sent):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(announced))
        self.end_headers()
        self.wfile.write(b"x" * sent)
        self.wfile.flush()

    def do_GET(self):
        with requested_lock:
            requested.append(self.path)
        if self.path.startswith("/files/"):
            name = os.path.basename(self.path[len("/files/"):])
            try:
                with open(os.path.join(self.server.root, name), "rb") as f:
                    body = f.read()
            except OSError:
                self.send_body(404, b"<html><body>404 Not Found</body></html>")
                return
            modified = self.date_time_string(os.path.getmtime(os.path.join(self.server.root, name)))
            self.send_body(200, body, "application/octet-stream", [("Last-Modified", modified)])
        elif self.path == "/redirect":
            self.send_body(302, b"moved to /target", extra=[("Location", "/target")])
        elif self.path == "/target":
            self.send_body(200, b"the redirect target")
        elif self.path == "/requests":
            with requested_lock:
                body = "\n".join(requested).encode()
            self.send_body(200, body, "text/plain")
        elif self.path == "/short":
            self.send_cut(1000, 100)
            self.close_connection = True
        elif self.path == "/broken-chunks":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.wfile.write(b"5\r\nhello\r\n")
            self.wfile.flush()
            self.close_connection = True
        elif self.path == "/stall":
            self.send_cut(1000, 100)
            # A client without a stall limit of its own gets the whole body after the pause.
            stop.wait(20)
            try:
                self.wfile.write(b"x" * 900)
            except OSError:
                pass
            self.close_connection = True
        elif self.path.startswith("/status/"):
            self.send_body(int(self.path[len("/status/"):]), b"<html><body>status page</body></html>")
        elif self.path.startswith("/large/") or self.path.startswith("/large-chunked/"):
            self.send_large(int(self.path.rsplit("/", 1)[1]), self.path.startswith("/large-chunked/"))
        elif self.path == "/trickle":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            try:
                for _ in range(1000):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    if stop.wait(0.2):
                        break
            except OSError:
                pass  # the client gave up
            self.close_connection = True
        else:
            self.send_body(404, b"<html><body>404 Not Found</body></html>")

    def send_large(self, size, chunked):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        try:
            while size > 0:
                piece = CHUNK[: min(size, len(CHUNK))]
                if chunked:
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                else:
                    self.wfile.write(piece)
                size -= len(piece)
            if chunked:
                self.wfile.write(b"0\r\n\r\n")
        except OSError:
            pass  # the client stopped reading
        self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        # A client that hangs up (a cancelled or limited download) is no error of the server's.
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", default=".")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = args.root
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)

    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()
    stop.set()
    server.shutdown()


if __name__ == "__main__":
    main()
