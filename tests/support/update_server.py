#!/usr/bin/env python3
"""The update server of the firmware tests: python's http.server on 127.0.0.1 only.

Serves the files under --root as any web server would, plus a few ways of failing:
  /cut/PATH       announces the whole file, sends half of it and drops the connection
  /redirect/PATH  answers 302 to /PATH
  /stall/PATH     announces the whole file, sends 100 bytes and then nothing for a minute
Anything missing answers 404. With --tls CERT KEY it speaks https with that certificate.
The port the system chose is printed on the first line of standard output.
"""
import argparse
import http.server
import os
import ssl
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def _file(self, path):
        full = os.path.join(self.server.root, path.lstrip("/"))
        if not os.path.isfile(full):
            self.send_error(404)
            return None
        with open(full, "rb") as f:
            return f.read()

    def do_GET(self):
        for prefix in ("/cut/", "/stall/"):
            if self.path.startswith(prefix):
                data = self._file(self.path[len(prefix) - 1:])
                if data is None:
                    return
                self.send_response(200)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                if prefix == "/cut/":
                    self.wfile.write(data[: len(data) // 2])
                    self.wfile.flush()
                    self.close_connection = True
                else:
                    self.wfile.write(data[:100])
                    self.wfile.flush()
                    time.sleep(60)
                return
        if self.path.startswith("/redirect/"):
            self.send_response(302)
            self.send_header("Location", self.path[len("/redirect"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()

    def translate_path(self, path):
        return os.path.join(self.server.root, path.split("?", 1)[0].lstrip("/"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    args = ap.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = os.path.abspath(args.root)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
