"""The web server shared by the service stand-in and the test peers: Python's http.server on the
loopback with werkzeug's multipart parser, over TLS when given a context.

A POST of a multipart/form-data body to the signup path is parsed whole and its fields, a list of
(name, value) pairs in the order received (values are the bytes as Latin-1 text), are handed to
the server's accept_signup(fields), called from the connection's own thread. That answers the
path the 302 reply points at, or raises Refused; it has kept the signup before it returns. GET
and HEAD serve the server's pages, a mapping of path to HTML text; everything else is 404.
"""
import http.server
import io
import select
import socket
import socketserver
import sys
import threading
import time

from werkzeug.formparser import parse_form_data
from werkzeug.http import parse_options_header

from log_text import escaped

SIGNUP_PATH = "/signup/dbsignup.html"
# A signup form is a few hundred bytes; nothing larger is read.
BODY_LIMIT = 1024 * 1024


class Refused(Exception):
    """A request the server answers with an error status instead of keeping it."""

    def __init__(self, status, reason):
        super().__init__(reason)
        self.status = status
        self.reason = reason


def read_body(headers, stream):
    """The bytes of a request's body as its Content-Length gives them; raises Refused when
    there is none, when it is too large or when the client stops short."""
    if headers.get("Transfer-Encoding"):
        raise Refused(411, "The body must come with a Content-Length, not a transfer coding")
    length_text = headers.get("Content-Length")
    if length_text is None:
        raise Refused(411, "The body must come with a Content-Length")
    digits = length_text.strip(" \t")
    # str.isdigit() also takes "²", which int() then refuses.
    if not (digits.isascii() and digits.isdigit()):
        raise Refused(400, f"Content-Length {length_text!r} is not a number")
    length = int(digits)
    if length > BODY_LIMIT:
        raise Refused(413, f"A body of {length} bytes is larger than the {BODY_LIMIT} taken")
    try:
        body = stream.read(length)
    except TimeoutError as e:
        raise Refused(408, "The body did not arrive in time") from e
    if len(body) != length:
        raise Refused(400, f"The body ended after {len(body)} of its {length} bytes")
    return body


def parse_signup(headers, body):
    """The fields of a multipart/form-data body; raises Refused for anything else."""
    content_type = headers.get("Content-Type", "")
    kind, options = parse_options_header(content_type)
    if kind != "multipart/form-data" or not options.get("boundary"):
        raise Refused(400, f"The body is not multipart/form-data (Content-Type {content_type!r})")
    environ = {
        "wsgi.input": io.BytesIO(body),
        "CONTENT_LENGTH": str(len(body)),
        "CONTENT_TYPE": content_type,
        "REQUEST_METHOD": "POST",
    }
    try:
        _, form, _ = parse_form_data(environ, charset="latin-1", silent=False)
    except Exception as e:  # noqa: BLE001 - werkzeug raises several kinds for a broken body
        raise Refused(400, f"The multipart body cannot be read: {e}") from e
    return list(form.items(multi=True))


class _DeadlineReader(io.RawIOBase):
    """Reads a socket with each wait bounded by the idle time and all of them by the request's
    deadline, so a client sending a byte now and then cannot hold its thread for ever."""

    def __init__(self, connection, idle, deadline):
        self.connection = connection
        self._idle = idle
        self._deadline = deadline
        self._lock = threading.Lock()
        self._started = False  # bytes of a request have arrived
        self._ended = False

    def readable(self):
        return True

    def _arrived(self, seconds):
        """Whether bytes (or the end) are there to read, waiting up to seconds for them."""
        pending = getattr(self.connection, "pending", None)  # bytes TLS has already read
        if pending and pending():
            return True
        # A connection its handler has closed already, while it is still being let go.
        if self.connection.fileno() < 0:
            return True
        poll = select.poll()
        poll.register(self.connection, select.POLLIN)
        return bool(poll.poll(seconds * 1000))

    def readinto(self, buffer):
        left = self._deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError("the request took longer than the server allows")
        wait = min(self._idle, left)
        self.connection.settimeout(wait)
        if not self._arrived(wait):
            raise TimeoutError("the client sent nothing for too long")
        # From here on the request is under way, unless the server has ended the connection.
        with self._lock:
            if self._ended:
                return 0
            self._started = True
        return self.connection.recv_into(buffer)

    def end_if_waiting(self):
        """Ends the connection if no request has begun to arrive on it."""
        with self._lock:
            if self._started or self._arrived(0):
                self._started = True
                return
            self._ended = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class _Writer(io.BufferedIOBase):
    """Writes whole to a socket, within the idle time."""

    def __init__(self, connection, idle):
        self._connection = connection
        self._idle = idle

    def writable(self):
        return True

    def write(self, data):
        self._connection.settimeout(self._idle)
        self._connection.sendall(data)
        return len(data)


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "QuillbyService/1.0"
    # A client that stops sending is dropped after this many seconds.
    timeout = 30

    def setup(self):
        self.connection = self.request
        deadline = time.monotonic() + self.server.request_seconds
        reader = _DeadlineReader(self.connection, self.timeout, deadline)
        self.server.readers[self.request] = reader
        if self.server.stopping:  # after stop() has ended the waiting ones
            reader.end_if_waiting()
        if self.server.context is not None:
            # In this thread, so a slow handshake holds up no one, and within the deadline.
            tls = self.server.context.wrap_socket(self.connection, server_side=True,
                                                  do_handshake_on_connect=False)
            reader.connection = tls
            tls.settimeout(max(0.001, min(self.timeout, deadline - time.monotonic())))
            tls.do_handshake()
            self.connection = tls
        self.rfile = io.BufferedReader(reader)
        self.wfile = _Writer(self.connection, self.timeout)

    def finish(self):
        super().finish()
        if self.connection is not self.request:
            try:
                # close_notify, so the client sees an orderly end; its own is waited for briefly.
                self.connection.settimeout(2)
                self.connection.unwrap()
            except (OSError, ValueError):
                pass

    def do_POST(self):
        path = self.path.split("?", 1)[0]
        try:
            # Read whole before any reply: closing on unread bytes would reset the connection
            # under the reply.
            body = read_body(self.headers, self.rfile)
            if path != SIGNUP_PATH:
                raise Refused(404, f"Nothing takes a POST at {path}")
            location = self.server.accept_signup(parse_signup(self.headers, body))
        except Refused as e:
            # The reason may quote the client's own bytes; the status line and the log get
            # them escaped.
            reason = escaped(e.reason)
            self.server.report(f"web: refused a POST to {escaped(path)}: {reason}")
            self.send_error(e.status, reason)
            return
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        self._page(with_body=True)

    def do_HEAD(self):
        self._page(with_body=False)

    def _page(self, with_body):
        path = self.path.split("?", 1)[0]
        page = self.server.pages.get(path)
        if page is None:
            self.send_error(404)
            return
        data = page.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if with_body:
            self.wfile.write(data)

    def log_message(self, *args):
        pass


class WebServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    """Binds address:port (0 for any free port) when made; raises OSError when it cannot.

    Each connection has a thread of its own, so a browser's idle connection holds up no one, up
    to max_connections at a time; one more is answered 503 at once (closed, over TLS). Every request must arrive
    within request_seconds. The threads never keep the process alive: the caller waits for
    them (wait_idle) and makes sure no signup is being kept when it stops the server (see
    accept_signup)."""

    daemon_threads = True
    block_on_close = False

    def __init__(self, address, port, accept_signup, pages=None, report=None,
                 max_connections=64, request_seconds=60, context=None, listening=None):
        """context, an SSL server context, makes it serve HTTPS; listening, a socket already
        bound and listening, is served instead of binding address:port."""
        self.accept_signup = accept_signup
        self.pages = pages or {}
        self.report = report or (lambda text: None)
        self.max_connections = max_connections
        self.request_seconds = request_seconds
        self.context = context
        self._open = 0
        self._changed = threading.Condition()
        self.readers = {}  # of the connections being served
        self.stopping = False
        if listening is None:
            self.address_family = socket.AF_INET6 if ":" in address else socket.AF_INET
            super().__init__((address, port), Handler)
            return
        self.address_family = listening.family
        super().__init__(listening.getsockname()[:2], Handler, bind_and_activate=False)
        self.socket.close()
        self.socket = listening
        self.server_address = listening.getsockname()
        self.server_name, self.server_port = self.server_address[:2]

    def process_request(self, request, client_address):
        with self._changed:
            busy = self._open >= self.max_connections
            if not busy:
                self._open += 1
        if busy:
            self._refuse_busy(request, client_address)
            return
        try:
            super().process_request(request, client_address)
        except Exception:
            self._ended()
            raise

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self.readers.pop(request, None)
            self._ended()

    def _ended(self):
        with self._changed:
            self._open -= 1
            self._changed.notify_all()

    def _refuse_busy(self, request, client_address):
        self.report(f"web: {self.max_connections} connections are open; refused one from "
                    f"{client_address[0]}")
        if self.context is None:  # over TLS, a handshake would hold this thread: just close
            try:
                request.setblocking(False)  # the accepting thread never waits on a client
                request.send(b"HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n")
            except OSError:
                pass
        self.shutdown_request(request)

    def wait_idle(self, seconds):
        """Waits up to seconds for the connections being served to end; answers whether they
        have."""
        with self._changed:
            return self._changed.wait_for(lambda: self._open == 0, seconds)

    def stop(self, grace):
        """Stops accepting, ends the connections on which no request has begun, and waits up to
        grace seconds for the requests under way; answers whether they have all ended."""
        self.shutdown()
        self.stopping = True
        # Connections the system has accepted already are served, not reset with the socket.
        self.socket.setblocking(False)
        while True:
            try:
                request, client_address = self.get_request()
            except OSError:
                break
            self.process_request(request, client_address)
        for reader in list(self.readers.values()):
            reader.end_if_waiting()
        return self.wait_idle(grace)

    def handle_error(self, request, client_address):
        # A connection that broke mid-request costs that request only; the server goes on.
        self.report(f"web: a request from {client_address[0]} failed and was dropped: "
                    f"{escaped(sys.exc_info()[1])}")
