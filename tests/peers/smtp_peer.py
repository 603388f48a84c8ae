"""The service stand-in's mail server (tools/service/mail_server.py) as a peer of the tests and
the benchmark, on 127.0.0.1 and a free port.

Usage: smtp_peer.py OUTPUT_DIR USER PASSWORD [SECURITY CA_FILE]
SECURITY is none (the default), starttls or tls; over TLS it presents the certificate of the
stand-in's authority CA_FILE (see tools/service/certificates.py), made first when missing.
Prints the port it listens on, then serves until terminated. Each message received is read
back with Python's e-mail parser and reported in OUTPUT_DIR/message-N.txt as lines
"key hex(value)"; OUTPUT_DIR/timings.txt gets the seconds from accept to close of every
connection.
"""
import asyncio
import email
import email.policy
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "service"))
import certificates  # noqa: E402
import mail_server  # noqa: E402

output_dir, user, password = sys.argv[1], sys.argv[2], sys.argv[3]
security = sys.argv[4] if len(sys.argv) > 4 else "none"
context = None
if security != "none":
    context = certificates.server_context(sys.argv[5])
count = 0


def line(key, value):
    if isinstance(value, str):
        value = value.encode("latin-1", "replace")
    return f"{key} {value.hex()}\n"


def deliver(envelope):
    global count
    count += 1
    message = email.message_from_bytes(envelope.original_content, policy=email.policy.compat32)
    report = [line("mail_from", envelope.mail_from)]
    report += [line("rcpt_to", r) for r in envelope.rcpt_tos]
    report += [line("header", f"{k}: {v}") for k, v in message.items()]
    report.append(line("body", message.get_payload(decode=False)))
    path = os.path.join(output_dir, f"message-{count}.txt")
    with open(path + ".tmp", "w") as out:
        out.writelines(report)
    os.rename(path + ".tmp", path)


timings = open(os.path.join(output_dir, "timings.txt"), "a", buffering=1)


class TimedSubmission(mail_server.Submission):
    def connection_made(self, transport):
        self._accepted = time.perf_counter()
        super().connection_made(transport)

    def connection_lost(self, error):
        super().connection_lost(error)
        timings.write(f"{time.perf_counter() - self._accepted:.9f}\n")


async def main():
    loop = asyncio.get_running_loop()
    server = await mail_server.listen(loop, "127.0.0.1", 0, deliver, user, password,
                                      "peer.example", TimedSubmission, security, context)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    print(server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    await server.stop(5)


asyncio.run(main())
