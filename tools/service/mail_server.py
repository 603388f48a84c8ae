"""The mail submission server shared by the service stand-in and the test peers: aiosmtpd on the
loopback, AUTH LOGIN with the one mail account, one message per connection.

A message accepted is handed to deliver(envelope) before the 250 reply goes out; deliver keeps it
wherever its caller wants (a mail folder, a test report) and raises when it cannot.
"""
import logging
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult

# aiosmtpd logs a warning about its own use of a deprecated session field on every login, and
# every connection at INFO level; the callers report what they keep themselves.
logging.getLogger("mail.log").setLevel(logging.ERROR)
# Plain AUTH is what the program speaks, and the server is on the loopback only.
warnings.filterwarnings("ignore", "Requiring AUTH while not requiring TLS")

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


class Submission(SMTP):
    """One client connection: AUTH LOGIN with the account and password, then one message."""

    def __init__(self, deliver, account, password, hostname):
        self._account = account.encode()
        self._password = password.encode()
        super().__init__(_Handler(deliver), hostname=hostname, authenticator=self._check_login,
                         auth_required=True, auth_require_tls=False,
                         auth_exclude_mechanism=["PLAIN"], data_size_limit=MESSAGE_LIMIT,
                         timeout=IDLE_SECONDS)

    def _check_login(self, server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and auth_data.login == self._account
              and auth_data.password == self._password)
        # Not handled here: aiosmtpd answers 235 on success and 535 otherwise.
        return AuthResult(success=ok, handled=False)


async def listen(loop, address, port, deliver, account, password, hostname,
                 connection=Submission):
    """Binds address:port (0 for any free port) and serves until the returned server is closed;
    raises OSError when the port cannot be had."""
    return await loop.create_server(
        lambda: connection(deliver, account, password, hostname), address, port)
