"""The mail submission server shared by the service stand-in and the test peers: aiosmtpd on the
loopback, AUTH LOGIN with the one mail account, one message per connection; plain, with STARTTLS
(AUTH only after it) or over TLS from the start.

A message accepted is handed to deliver(envelope) before the 250 reply goes out; deliver keeps it
wherever its caller wants (a mail folder, a test report) and raises when it cannot.
"""
import asyncio
import logging
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult

# aiosmtpd logs a warning about its own use of a deprecated session field on every login, and
# every connection at INFO level; the callers report what they keep themselves.
logging.getLogger("mail.log").setLevel(logging.ERROR)
# Plain AUTH is what a plain build speaks, and the server is on the loopback only.
warnings.filterwarnings("ignore", "Requiring AUTH while not requiring TLS")

SECURITY = ("none", "starttls", "tls")

# Larger than any referral or feedback, small enough that a runaway client cannot fill memory.
MESSAGE_LIMIT = 10 * 1024 * 1024
# A client that stops talking is dropped after this many seconds rather than held for ever.
IDLE_SECONDS = 120


def _printable(address):
    return all(0x20 < ord(c) < 0x7F for c in address)


class _Handler:
    """The hooks of one connection: it keeps at most one message."""

    def __init__(self, deliver):
        self._deliver = deliver
        self._delivered = False

    async def handle_MAIL(self, server, session, envelope, address, options):
        if self._delivered:
            return "503 5.5.1 One message per connection; reconnect to send another"
        if address and not _printable(address):
            return "553 5.1.7 Sender address holds blanks or control characters"
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if not _printable(address):
            return "553 5.1.3 Recipient address holds blanks or control characters"
        envelope.rcpt_tos.append(address)
        envelope.rcpt_options.extend(options)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        try:
            self._deliver(envelope)
        except Exception as e:  # noqa: BLE001 - any failure to keep it refuses the message
            print(f"mail: could not keep a message: {e}", file=sys.stderr, flush=True)
            return "451 4.3.0 The message could not be kept; nothing was delivered"
        self._delivered = True
        return "250 Message accepted for delivery"

    def busy(self, envelope):
        """Whether a message is under way or kept and its client not yet gone."""
        return self._delivered or envelope.mail_from is not None


class Submission(SMTP):
    """One client connection: AUTH LOGIN with the account and password, then one message."""

    # The open connections of the server, kept by MailServer.
    sessions = None

    def __init__(self, deliver, account, password, hostname, security="none", context=None):
        self._account = account.encode()
        self._password = password.encode()
        self._hooks = _Handler(deliver)
        starttls = security == "starttls"
        super().__init__(self._hooks, hostname=hostname, authenticator=self._check_login,
                         auth_required=True, auth_require_tls=starttls,
                         tls_context=context if starttls else None, require_starttls=starttls,
                         auth_exclude_mechanism=["PLAIN"], data_size_limit=MESSAGE_LIMIT,
                         timeout=IDLE_SECONDS)

    def connection_made(self, transport):
        super().connection_made(transport)
        if self.sessions is not None:
            self.sessions.add(self)

    def connection_lost(self, error):
        super().connection_lost(error)
        if self.sessions is not None:
            self.sessions.discard(self)

    def busy(self):
        return self._hooks.busy(self.envelope)

    def goodbye(self):
        """Tells the client the service is stopping and closes once that is sent."""
        if self.transport is not None and not self.transport.is_closing():
            self.transport.write(b"421 4.3.2 The service is stopping; try again later\r\n")
            self.transport.close()

    def _check_login(self, server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and auth_data.login == self._account
              and auth_data.password == self._password)
        # Not handled here: aiosmtpd answers 235 on success and 535 otherwise.
        return AuthResult(success=ok, handled=False)


class MailServer:
    """The listening sockets and the open connections of one mail server."""

    def __init__(self, servers, sessions):
        self._servers = servers
        self.sessions = sessions

    @property
    def sockets(self):
        return [s for server in self._servers for s in server.sockets]

    def close(self):
        for server in self._servers:
            server.close()

    async def stop(self, grace):
        """Stops accepting, lets every message under way be finished and its client leave
        (for up to grace seconds), tells the others the service is stopping, and answers once
        every connection is closed. Asyncio's own close() leaves open connections to be cut
        when the loop ends, even one whose 250 is still to be sent."""
        # A turn of the loop first, so connections the system has accepted already are taken
        # rather than reset with the socket.
        await asyncio.sleep(0)
        self.close()
        loop = asyncio.get_running_loop()
        end = loop.time() + grace
        while any(session.busy() for session in self.sessions) and loop.time() < end:
            await asyncio.sleep(0.05)
        for session in list(self.sessions):
            session.goodbye()
        while self.sessions and loop.time() < end + 1:
            await asyncio.sleep(0.05)
        for session in list(self.sessions):
            if session.transport is not None:
                session.transport.abort()
        for server in self._servers:
            await server.wait_closed()


async def listen(loop, address, port, deliver, account, password, hostname,
                 connection=Submission, security="none", context=None, listening=()):
    """Serves until the returned MailServer is stopped, on the sockets of listening (bound and
    listening already) or else on address:port (0 for any free port), which raises OSError when
    it cannot be had. security is one of SECURITY; context, an SSL server context, is needed
    for all but "none"."""
    sessions = set()

    def session():
        protocol = connection(deliver, account, password, hostname, security, context)
        protocol.sessions = sessions
        return protocol

    # Over TLS from the start, the handshake is bounded as every other wait is.
    tls = {"ssl": context, "ssl_handshake_timeout": IDLE_SECONDS} if security == "tls" else {}
    if listening:
        servers = [await loop.create_server(session, sock=s, **tls) for s in listening]
    else:
        servers = [await loop.create_server(session, address, port, **tls)]
    return MailServer(servers, sessions)
