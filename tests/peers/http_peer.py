"""The service stand-in's web server (tools/service/web_server.py) as a peer of the tests and
the benchmark, on 127.0.0.1 and a free port.

Usage: http_peer.py OUTPUT_DIR [CA_FILE]
With CA_FILE it serves HTTPS with the certificate of the stand-in's authority CA_FILE (see
tools/service/certificates.py), made first when missing.
Prints the port it listens on, then serves until terminated. Each form posted to the signup path
is reported in OUTPUT_DIR/form-N.txt as lines "name hex(value)" in the order received and
answered with a 302 to thank-you.html; OUTPUT_DIR/timings.txt gets the seconds from accept to
close of every connection.
"""
import os
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "service"))
import certificates  # noqa: E402
import web_server  # noqa: E402

output_dir = sys.argv[1]
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
if len(sys.argv) > 2:
    context = certificates.server_context(sys.argv[2])
server = TimedServer("127.0.0.1", 0, accept_signup, context=context)
signal.signal(signal.SIGTERM, stop)
print(server.server_address[1], flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
server.server_close()
