"""The service stand-in's web server (tools/service/web_server.py) as a peer of the tests and
the benchmark, on 127.0.0.1 and a free port.

Usage: http_peer.py OUTPUT_DIR [--ca CA_FILE | --test-tls] [--address ADDRESS]
With --ca it serves HTTPS with the certificate of the stand-in's authority CA_FILE (see
tools/service/certificates.py), made first when missing; with --test-tls, with the tests' own
good certificate (tls_certs.py), whose authority is OUTPUT_DIR/ca.pem. ADDRESS is 127.0.0.1
unless given (::1 for IPv6). Prints the port it listens on, then serves until terminated. Each form posted to the signup path
is reported in OUTPUT_DIR/form-N.txt as lines "name hex(value)" in the order received and
answered with a 302 to thank-you.html; OUTPUT_DIR/timings.txt gets the seconds from accept to
close of every connection.
"""
import argparse
import os
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "service"))
import certificates  # noqa: E402
import tls_certs  # noqa: E402
import web_server  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("output_dir")
parser.add_argument("--ca")
parser.add_argument("--test-tls", action="store_true")
parser.add_argument("--address", default="127.0.0.1")
args = parser.parse_args()
output_dir = args.output_dir
count = 0
count_lock = threading.Lock()
timings = open(os.path.join(output_dir, "timings.txt"), "a", buffering=1)


def accept_signup(fields):
    global count
    with count_lock:
        count += 1
        path = os.path.join(output_dir, f"form-{count}.txt")
    with open(path + ".tmp", "w") as out:
        for name, value in fields:
            out.write(f"{name} {value.encode('latin-1').hex()}\n")
    os.rename(path + ".tmp", path)
    return "/signup/thank-you.html"


class TimedServer(web_server.WebServer):
    def process_request_thread(self, request, client_address):
        accepted = time.perf_counter()
        super().process_request_thread(request, client_address)
        timings.write(f"{time.perf_counter() - accepted:.9f}\n")


def stop(*args):
    raise KeyboardInterrupt


context = None
if args.ca:
    context = certificates.server_context(args.ca)
elif args.test_tls:
    context = tls_certs.server_context(output_dir, "good")
server = TimedServer(args.address, 0, accept_signup, context=context)
signal.signal(signal.SIGTERM, stop)
print(server.server_address[1], flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
server.server_close()
