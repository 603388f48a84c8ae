"""The local stand-in of the Marrowvale service: its mail submission server and its web server on
this machine's loopback, so every feature of Quillby Desktop works without a network.

    quillby_service.py @build/tools/service/service.args --data FOLDER
    quillby_service.py @build/tools/service/service.args --probe

The arguments file, written by CMake from the build's deployment values, gives the hosts, the ports,
the mail account and its password, and whether mail and web speak TLS (STARTTLS or TLS from the
start, HTTPS). "localhost" is served on both 127.0.0.1 and ::1. FOLDER receives:

    mail/NNNNNN.eml   every accepted message, as received, after two lines X-Envelope-From and
                      X-Envelope-To that name the envelope (blind copies included)
    signups.jsonl     every accepted counselling signup, one JSON object a line
    tls/              the certificate authority the program trusts and the servers' certificate
                      (see certificates.py), unless --tls-ca puts them elsewhere

--probe asks both servers whether they answer (the web site's home page, the mail greeting) and
exits 0 when both do. SIGTERM and SIGINT stop the servers; what was accepted is already on disk.
"""
import argparse
import asyncio
import collections
import datetime
import errno
import http.client
import json
import os
import signal
import smtplib
import stat
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import certificates  # noqa: E402
import loopback  # noqa: E402
import mail_server  # noqa: E402
import web_server  # noqa: E402
from log_text import escaped  # noqa: E402

EXIT_CANNOT_START = 2
# Seconds a conversation under way when a stop is asked for has to end; tools/run.sh waits
# longer before it kills.
STOP_GRACE = 5


def report(text):
    print(text, flush=True)


def write_whole(folder, name_for, data):
    """Writes data to a new file of folder, whole or not at all, and answers its path: a
    temporary file is written and fsync'd, then linked under the first free name_for(n)."""
    temporary = os.path.join(folder, f".incoming-{os.getpid()}-{threading.get_ident()}.tmp")
    fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    try:
        with os.fdopen(fd, "wb") as out:
            out.write(data)
            out.flush()
            os.fsync(out.fileno())
        n = 1
        while True:
            path = os.path.join(folder, name_for(n))
            try:
                os.link(temporary, path)  # never replaces a file that is there
                break
            except FileExistsError:
                n += 1
    finally:
        if os.path.exists(temporary):
            os.unlink(temporary)
    directory = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(directory)
    finally:
        os.close(directory)
    return path


class MailFolder:
    """Keeps each accepted message as one .eml file."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        numbers = [int(name[:-4]) for name in os.listdir(folder)
                   if name.endswith(".eml") and name[:-4].isdigit()]
        self._next = max(numbers, default=0) + 1

    def keep(self, envelope):
        head = (f"X-Envelope-From: <{envelope.mail_from}>\r\n"
                f"X-Envelope-To: {', '.join(f'<{r}>' for r in envelope.rcpt_tos)}\r\n")
        first = self._next
        path = write_whole(self.folder, lambda n: f"{first + n - 1:06d}.eml",
                           head.encode("ascii") + envelope.original_content)
        self._next = int(os.path.basename(path)[:-4]) + 1
        report(f"mail: kept a message from <{escaped(envelope.mail_from)}> to "
               f"{escaped(', '.join(envelope.rcpt_tos))} in {path}")


class SignupLog:
    """Keeps each accepted signup as one JSON line; an address signed up before, in this run or
    an earlier one, is answered with emailexists.html and not kept again."""

    def __init__(self, path):
        self.path = path
        self._lock = threading.Lock()  # one signup at a time, and none once closed
        self._closed = False
        self._known = set()
        try:
            fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_CLOEXEC)
        except FileNotFoundError:
            return
        with os.fdopen(fd, "rb") as log:
            if not stat.S_ISREG(os.fstat(fd).st_mode):
                raise SystemExit(f"{path} is not a regular file; move it away and start again.")
            if os.fstat(fd).st_mode & 0o077:
                os.fchmod(fd, 0o600)  # it holds people's names, addresses and phone numbers
            data = log.read()
        for number, line in enumerate(data.splitlines(), 1):
            try:
                fields = json.loads(line)["fields"]
                self._known.add(self._key(fields["EmailAddress"]))
            except (ValueError, KeyError, TypeError):
                print(f"web: line {number} of {path} is not a signup; left as it is",
                      file=sys.stderr, flush=True)

    @staticmethod
    def _key(address):
        return address.strip().casefold()

    def accept(self, fields):
        # Checked before the lock: a large form holds up no other signup.
        counts = collections.Counter(name for name, _ in fields)
        repeated = sorted(name for name, count in counts.items() if count > 1)
        if repeated:
            raise web_server.Refused(400, f"The form repeats the field {repeated[0]}")
        form = dict(fields)
        with self._lock:
            if self._closed:
                raise web_server.Refused(503, "The service is stopping; try again later")
            return self._accept(form)

    def _append(self, line):
        """Appends line whole or not at all; a line left unfinished before (a crash, a failed
        truncation) is ended first, so it never swallows this one."""
        fd = os.open(self.path, os.O_RDWR | os.O_APPEND | os.O_CREAT | os.O_NOFOLLOW
                     | os.O_CLOEXEC, 0o600)
        try:
            size = os.fstat(fd).st_size
            if size and os.pread(fd, 1, size - 1) != b"\n":
                line = b"\n" + line
            try:
                written = 0
                while written < len(line):  # a full disk can take part of it first
                    written += os.write(fd, line[written:])
                os.fsync(fd)
            except OSError as e:
                try:
                    os.ftruncate(fd, size)
                except OSError:
                    pass  # the next append ends the half line before its own
                print(f"web: could not append to {self.path}: {e}", file=sys.stderr, flush=True)
                raise web_server.Refused(503, "The signup could not be kept; try again") from e
        finally:
            os.close(fd)

    def close(self):
        """Waits for the signup being kept, if any; later ones are refused."""
        with self._lock:
            self._closed = True

    def _accept(self, form):
        address = form.get("EmailAddress", "")
        if not address.strip():
            raise web_server.Refused(400, "The form has no EmailAddress")
        if self._key(address) in self._known:
            report(f"web: {escaped(address)} signed up before; answered emailexists.html")
            return "/signup/emailexists.html"
        record = {"received": datetime.datetime.now().astimezone().isoformat(timespec="seconds"),
                  "fields": form}
        line = json.dumps(record, ensure_ascii=False).encode("utf-8") + b"\n"
        self._append(line)
        self._known.add(self._key(address))
        report(f"web: kept the signup of {escaped(address)} in {self.path}")
        return "/signup/thank-you.html"


def page(title, *paragraphs):
    body = "".join(f"<p>{p}</p>" for p in paragraphs)
    return (f"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>{title}</title></head>"
            f"<body><h1>{title}</h1>{body}<p><small>A page of the local service stand-in "
            f"(tools/service): the real site is not on this machine.</small></p>"
            f"<p><a href=\"/\">Home</a> | <a href=\"/forums\">Forums</a> | "
            f"<a href=\"/signup/\">Free counselling</a> | <a href=\"/diy/\">Do it yourself</a>"
            f"</p></body></html>")


PAGES = {
    "/": page("Marrowvale", "Debt counselling for everyone, free of charge."),
    "/forums": page("Marrowvale forums", "People of the community answer each other here.",
                    "<a href=\"/forums/about553.html\">How the community works</a>"),
    "/forums/about553.html": page("How the community works",
                                  "Members share what worked for them and what did not."),
    "/signup/": page("Free counselling", "Use the Free Counseling tab of Quillby Desktop to ask "
                     "for a call; the stand-in keeps every signup in signups.jsonl."),
    "/signup/thank-you.html": page("Thank you", "Your signup has been received."),
    "/signup/emailexists.html": page("Already signed up",
                                     "This e-mail address has been signed up before."),
    "/diy/": page("Do it yourself", "Steps to take on your own debt, one at a time."),
}


def settings():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     fromfile_prefix_chars="@")
    parser.add_argument("--web-scheme", choices=("http", "https"), default="http")
    parser.add_argument("--web-host", required=True)
    parser.add_argument("--web-port", type=int, required=True, help="0 picks a free port")
    parser.add_argument("--mail-security", choices=mail_server.SECURITY, default="none",
                        help="plain, STARTTLS before AUTH, or TLS from the start")
    parser.add_argument("--mail-host", required=True)
    parser.add_argument("--mail-port", type=int, required=True, help="0 picks a free port")
    parser.add_argument("--account", required=True, help="the mail account's address")
    parser.add_argument("--password", required=True, help="the mail account's password")
    parser.add_argument("--tls-ca", help="the certificate authority clients trust, ca.pem in a "
                        "folder of its own that also holds the keys (default: FOLDER/tls/ca.pem)")
    what = parser.add_mutually_exclusive_group(required=True)
    what.add_argument("--data", help="folder for the received mail and the signups")
    what.add_argument("--probe", action="store_true", help="check that both servers answer")
    args = parser.parse_args()
    args.tls = args.web_scheme == "https" or args.mail_security != "none"
    if args.tls and not args.tls_ca:
        if args.probe:
            parser.error("--probe of a stand-in that speaks TLS needs --tls-ca")
        args.tls_ca = os.path.join(args.data, "tls", "ca.pem")
    return args


def probe(args):
    context = certificates.client_context(args.tls_ca) if args.tls else None
    try:
        web_address = loopback.addresses("--web-host", args.web_host)[0]
        if args.web_scheme == "https":
            web = http.client.HTTPSConnection(web_address, args.web_port, timeout=5,
                                              context=context)
        else:
            web = http.client.HTTPConnection(web_address, args.web_port, timeout=5)
        web.request("GET", "/")
        status = web.getresponse().status
        web.close()
        mail_address = loopback.addresses("--mail-host", args.mail_host)[0]
        if args.mail_security == "tls":
            mail = smtplib.SMTP_SSL(mail_address, args.mail_port, timeout=5, context=context)
        else:
            mail = smtplib.SMTP(mail_address, args.mail_port, timeout=5)
        with mail:  # the greeting was 220, or smtplib has raised
            if args.mail_security == "starttls":
                mail.starttls(context=context)
    except (OSError, smtplib.SMTPException, http.client.HTTPException):
        return 1
    return 0 if status == 200 else 1


def cannot_start(what, address, port, error):
    taken = error.errno == errno.EADDRINUSE
    why = ("is taken by another program (a stand-in already running, perhaps)" if taken
           else f"cannot be used: {error.strerror}")
    print(f"The service stand-in cannot start: the {what} port {port} on {address} {why}. "
          f"Stop that program, or build with another port (cmake -D"
          f"QUILLBY_{what.upper()}_PORT=...).", file=sys.stderr, flush=True)
    return EXIT_CANNOT_START


def shown(sockets):
    return " and ".join(s.getsockname()[0] for s in sockets)


async def serve(args):
    web_addresses = loopback.addresses("--web-host", args.web_host)
    mail_addresses = loopback.addresses("--mail-host", args.mail_host)
    mail_folder = MailFolder(os.path.join(args.data, "mail"))
    signups = SignupLog(os.path.join(args.data, "signups.jsonl"))
    context = certificates.server_context(args.tls_ca) if args.tls else None
    try:
        web_sockets = loopback.listen(web_addresses, args.web_port)
    except loopback.CannotListen as e:
        return cannot_start("web", e.address, e.port, e.error)
    try:
        mail_sockets = loopback.listen(mail_addresses, args.mail_port)
    except loopback.CannotListen as e:
        for s in web_sockets:
            s.close()
        return cannot_start("mail", e.address, e.port, e.error)
    webs = [web_server.WebServer(None, None, signups.accept, PAGES,
                                 lambda text: print(text, file=sys.stderr, flush=True),
                                 context=context if args.web_scheme == "https" else None,
                                 listening=s)
            for s in web_sockets]
    loop = asyncio.get_running_loop()
    mail = await mail_server.listen(loop, None, None, mail_folder.keep, args.account,
                                    args.password, "quillby-service.localhost",
                                    security=args.mail_security, context=context,
                                    listening=mail_sockets)
    stop = asyncio.Event()
    for number in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(number, stop.set)
    for web in webs:
        threading.Thread(target=web.serve_forever, name="web", daemon=True).start()
    web_port = web_sockets[0].getsockname()[1]
    mail_port = mail_sockets[0].getsockname()[1]
    web_host = args.web_host.strip("[]")
    web_host = f"[{web_host}]" if ":" in web_host else web_host
    security = {"none": "plain", "starttls": "STARTTLS", "tls": "TLS"}[args.mail_security]
    report(f"Service stand-in ready: web {args.web_scheme}://{web_host}:{web_port}/ mail "
           f"{args.mail_host}:{mail_port} ({security}), listening on {shown(web_sockets)} "
           f"(web) and {shown(mail_sockets)} (mail); received mail in {mail_folder.folder}, "
           f"signups in {signups.path}" + (f"; its authority is {args.tls_ca}" if args.tls
                                           else ""))
    await stop.wait()
    report(f"Service stand-in stopping: conversations under way have up to {STOP_GRACE} s to end.")
    await asyncio.gather(mail.stop(STOP_GRACE),
                         *(asyncio.to_thread(web.stop, STOP_GRACE) for web in webs))
    signups.close()
    for web in webs:
        web.server_close()
    report("Service stand-in stopped.")
    return 0


def main():
    args = settings()
    if args.probe:
        return probe(args)
    return asyncio.run(serve(args))


if __name__ == "__main__":
    sys.exit(main())
