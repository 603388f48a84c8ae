"""The service stand-in's mail server (tools/service/mail_server.py) with TLS, on a free port.

Usage: tls_smtp_peer.py OUTPUT_DIR USER PASSWORD MODE [ADDRESS]
MODE is one of
  starttls[:KIND]  STARTTLS offered and required before AUTH, with a certificate of that kind of
                   tls_certs (good unless given);
  implicit         TLS from the first byte;
  nostarttls       STARTTLS not offered;
  refuse           STARTTLS offered but answered 454;
  inject           STARTTLS answered 220 with a plaintext reply in the same write;
  close            STARTTLS answered 220, then the connection is closed;
  stall            STARTTLS answered 220, then nothing more.
ADDRESS is 127.0.0.1 unless given (::1 for IPv6). Prints the port, then serves until
terminated. Every command verb the server reads is appended to OUTPUT_DIR/commands.txt (one a
line, "STARTTLS" included, so what came after it shows), and each message it takes is written
to OUTPUT_DIR/message-N.txt as its raw bytes; OUTPUT_DIR/ca.pem is the authority to trust, and
OUTPUT_DIR/timings.txt gets the seconds from accept to close of every connection.
"""
import asyncio
import logging
import os
import signal
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "service"))
import mail_server  # noqa: E402
import tls_certs  # noqa: E402

# The failures the tests provoke are expected; aiosmtpd and asyncio would print each one.
logging.getLogger("mail.log").setLevel(logging.CRITICAL)
logging.getLogger("asyncio").setLevel(logging.CRITICAL)

output_dir, user, password, mode = sys.argv[1:5]
address = sys.argv[5] if len(sys.argv) > 5 else "127.0.0.1"
mode, _, kind = mode.partition(":")
context = tls_certs.server_context(output_dir, kind or "good")
count = 0
commands = open(os.path.join(output_dir, "commands.txt"), "a", buffering=1)
timings = open(os.path.join(output_dir, "timings.txt"), "a", buffering=1)


def deliver(envelope):
    global count
    count += 1
    with open(os.path.join(output_dir, f"message-{count}.txt"), "wb") as out:
        out.write(envelope.original_content)


class Recorded(mail_server.Submission):
    def __init__(self, *args):
        super().__init__(*args)
        if mode in ("starttls", "refuse", "inject", "close", "stall"):
            self.tls_context = context
            self.require_starttls = True
            self._auth_require_tls = True
        if mode in ("refuse", "inject", "close", "stall"):
            self._smtp_methods["STARTTLS"] = self._starttls
        for verb, method in list(self._smtp_methods.items()):
            self._smtp_methods[verb] = self._recorded(verb, method)

    def connection_made(self, transport):
        self._accepted = time.perf_counter()
        super().connection_made(transport)

    def connection_lost(self, error):
        super().connection_lost(error)
        timings.write(f"{time.perf_counter() - self._accepted:.9f}\n")

    def _recorded(self, verb, method):
        async def call(arg):
            commands.write(verb + "\n")
            return await method(arg)
        return call

    async def _starttls(self, arg):
        if mode == "refuse":
            await self.push("454 4.7.0 TLS not available due to temporary reason")
        elif mode == "inject":
            self.transport.write(b"220 Ready to start TLS\r\n250 injected reply\r\n")
        elif mode == "close":
            await self.push("220 Ready to start TLS")
            self.transport.close()
        else:
            await self.push("220 Ready to start TLS")
            await asyncio.sleep(3600)


async def main():
    loop = asyncio.get_running_loop()
    if mode == "implicit":
        server = await loop.create_server(
            lambda: Recorded(deliver, user, password, "peer.example"), address, 0, ssl=context)
    else:
        server = await mail_server.listen(loop, address, 0, deliver, user, password,
                                          "peer.example", Recorded)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    print(server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    server.close()


asyncio.run(main())
