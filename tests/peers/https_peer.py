"""The service stand-in's web server (tools/service/web_server.py) over HTTPS, on a free port.

Usage: https_peer.py OUTPUT_DIR [ADDRESS]
ADDRESS is 127.0.0.1 unless given (::1 for IPv6). Prints the port, then serves until
terminated. Each form posted to the signup path is written to OUTPUT_DIR/form-N.txt as lines
"name hex(value)" and answered with a 302 to thank-you.html; OUTPUT_DIR/ca.pem is the
authority to trust, and OUTPUT_DIR/timings.txt gets the seconds from accept to close of every
connection.
"""
import os
import signal
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "service"))
import tls_certs  # noqa: E402
import web_server  # noqa: E402

output_dir = sys.argv[1]
address = sys.argv[2] if len(sys.argv) > 2 else "127.0.0.1"
context = tls_certs.server_context(output_dir, "good")
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


server = TimedServer(address, 0, accept_signup, context=context)
signal.signal(signal.SIGTERM, stop)
print(server.server_address[1], flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
server.server_close()
