"""A TLS server for the failures of a secure connection, on a free port.

Usage: tls_peer.py OUTPUT_DIR KIND [ADDRESS]
KIND is a certificate kind of tls_certs, or "close" (reads the first bytes of the handshake,
then closes) or "stall" (takes the connection and never answers). ADDRESS is 127.0.0.1 unless
given (::1 for IPv6). Prints the port, then serves until terminated. Every byte that arrives
through a completed handshake is appended to OUTPUT_DIR/received.bin, so a test can tell that
nothing got through; OUTPUT_DIR/ca.pem is the authority to trust.
"""
import os
import signal
import socket
import sys
import threading

import tls_certs

output_dir, kind = sys.argv[1], sys.argv[2]
address = sys.argv[3] if len(sys.argv) > 3 else "127.0.0.1"
context = None
if kind in ("close", "stall"):
    tls_certs.server_context(output_dir, "good")
else:
    context = tls_certs.server_context(output_dir, kind)
received_lock = threading.Lock()
# Stalled connections are kept open until the peer ends.
held = []


def serve(connection):
    if kind == "close":
        # The whole ClientHello is read first: unread bytes would make the close a reset.
        header = connection.recv(5, socket.MSG_WAITALL)
        if len(header) == 5:
            connection.recv(int.from_bytes(header[3:5], "big"), socket.MSG_WAITALL)
        connection.close()
        return
    if kind == "stall":
        connection.recv(100)
        held.append(connection)
        return
    try:
        with context.wrap_socket(connection, server_side=True) as tls:
            while True:
                data = tls.recv(65536)
                if not data:
                    break
                with received_lock, open(os.path.join(output_dir, "received.bin"), "ab") as out:
                    out.write(data)
    except (OSError, ValueError):
        pass


listener = socket.socket(socket.AF_INET6 if ":" in address else socket.AF_INET)
listener.bind((address, 0))
listener.listen()
signal.signal(signal.SIGTERM, lambda *args: os._exit(0))
print(listener.getsockname()[1], flush=True)
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
