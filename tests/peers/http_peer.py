"""A real web server for the tests and the benchmark: Python's http.server with werkzeug's
multipart parser on 127.0.0.1.

Usage: http_peer.py OUTPUT_DIR
Prints the port it listens on, then serves until terminated. Each form posted is reported in
OUTPUT_DIR/form-N.txt as lines "name hex(value)" in the order received and answered with a 302
to thank-you.html; OUTPUT_DIR/timings.txt gets the seconds from accept to close of every
connection.
"""
import http.server
import os
import signal
import sys
import time

from werkzeug.formparser import parse_form_data

output_dir = sys.argv[1]
count = 0
timings = open(os.path.join(output_dir, "timings.txt"), "a", buffering=1)


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global count
        count += 1
        environ = {
            "wsgi.input": self.rfile,
            "CONTENT_LENGTH": self.headers.get("Content-Length", ""),
            "CONTENT_TYPE": self.headers.get("Content-Type", ""),
            "REQUEST_METHOD": "POST",
        }
        _, form, _ = parse_form_data(environ, charset="latin-1")
        path = os.path.join(output_dir, f"form-{count}.txt")
        with open(path + ".tmp", "w") as out:
            for name, value in form.items(multi=True):
                out.write(f"{name} {value.encode('latin-1').hex()}\n")
        os.rename(path + ".tmp", path)
        self.send_response(302)
        self.send_header("Location", "/signup/thank-you.html")
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


class TimedServer(http.server.HTTPServer):
    def process_request(self, request, client_address):
        accepted = time.perf_counter()
        super().process_request(request, client_address)
        timings.write(f"{time.perf_counter() - accepted:.9f}\n")


def stop(*args):
    raise KeyboardInterrupt


server = TimedServer(("127.0.0.1", 0), Handler)
signal.signal(signal.SIGTERM, stop)
print(server.server_address[1], flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
server.server_close()
