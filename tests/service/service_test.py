"""The service stand-in driven over 127.0.0.1 on free ports, as the program and a browser would.

Run by ctest with QUILLBY_SERVICE naming tools/service/quillby_service.py.
"""
import base64
import datetime
import http.client
import json
import os
import pathlib
import re
import resource
import select
import shutil
import signal
import smtplib
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SERVICE = os.environ["QUILLBY_SERVICE"]
sys.path.insert(0, os.path.dirname(SERVICE))
import quillby_service  # noqa: E402
import web_server  # noqa: E402
import trustme  # noqa: E402
ACCOUNT, PASSWORD = "desktop@quillby.example", "qb2026"
BOUNDARY = "----------010203040506070809"


def ipv6_loopback():
    """Whether this machine's loopback has ::1."""
    try:
        with socket.socket(socket.AF_INET6) as probe:
            probe.bind(("::1", 0))
        return True
    except OSError:
        return False


class StandIn:
    """One run of the stand-in on data_dir; the ports are the free ones it picked."""

    def __init__(self, data_dir, web_port=0, mail_port=0, host="127.0.0.1", file_size=None,
                 security=()):
        def limit():
            if file_size is not None:  # a disk that fills up at this size
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, resource.RLIM_INFINITY))

        self.process = subprocess.Popen(
            ["/usr/bin/python3", SERVICE, "--web-host", host, "--web-port", str(web_port),
             "--mail-host", "localhost", "--mail-port", str(mail_port), "--account", ACCOUNT,
             "--password", PASSWORD, "--data", data_dir, *security],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=limit)
        self.ready = self._line(self.process.stdout)
        found = re.search(r"web https?://[^ ]+:(\d+)/ mail [^ ]+:(\d+) ", self.ready)
        self.web_port, self.mail_port = (int(found[1]), int(found[2])) if found else (0, 0)

    @staticmethod
    def _line(stream):
        # Waits by polling the pipe, never longer than the stand-in can take to start.
        if not select.select([stream], [], [], 30)[0]:
            return ""
        return stream.readline().decode()

    def stop(self, number=signal.SIGTERM):
        """Signals the stand-in and answers its exit status and what it printed."""
        if self.process.poll() is None:
            self.process.send_signal(number)
        try:
            out, err = self.process.communicate(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            out, err = self.process.communicate()
            return None, out.decode(), err.decode()
        return self.process.returncode, out.decode(), err.decode()


class StandInTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="quillby-service-")
        self.data = self.folder.name
        self.service = self.start()

    def tearDown(self):
        if self.service.process.poll() is None:
            self.service.stop()
        self.folder.cleanup()

    def start(self):
        service = StandIn(self.data)
        if not service.web_port:
            service.stop()
            self.fail(f"the stand-in did not start: {service.ready!r}")
        return service

    def mail(self):
        return smtplib.SMTP("127.0.0.1", self.service.mail_port, timeout=10)

    def kept_mail(self):
        folder = os.path.join(self.data, "mail")
        return {name: pathlib.Path(folder, name).read_bytes()
                for name in sorted(os.listdir(folder))}

    def kept_signups(self):
        path = os.path.join(self.data, "signups.jsonl")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as log:
            return [json.loads(line)["fields"] for line in log]

    def request(self, method, path, body=b"", headers=None, context=None, host="127.0.0.1"):
        if context is None:
            web = http.client.HTTPConnection(host, self.service.web_port, timeout=10)
        else:
            web = http.client.HTTPSConnection(host, self.service.web_port, timeout=10,
                                              context=context)
        web.putrequest(method, path, skip_accept_encoding=True)
        for name, value in (headers or {}).items():
            web.putheader(name, value)
        web.endheaders(body)
        reply = web.getresponse()
        result = reply.status, reply.getheader("Location"), reply.read()
        web.close()
        return result

    def signup(self, fields, path="/signup/dbsignup.html", context=None):
        body = b"".join(f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"{name}\"\r\n\r\n"
                        .encode("latin-1") + value.encode("latin-1") + b"\r\n"
                        for name, value in fields) + f"--{BOUNDARY}--\r\n".encode()
        return self.request("POST", path, body, {
            "Content-Type": f"multipart/form-data; boundary={BOUNDARY}",
            "Content-Length": str(len(body))}, context)

    @classmethod
    def setUpClass(cls):
        # One authority for the tests that do not look at its files: keys take time to make.
        cls.shared_tls = tempfile.TemporaryDirectory(prefix="quillby-service-tls-")

    @classmethod
    def tearDownClass(cls):
        cls.shared_tls.cleanup()

    def start_tls(self, security="starttls", ca=None):
        """The stand-in again, speaking TLS on "localhost" with the authority ca (one shared
        by the tests when None); answers a client context that trusts it."""
        ca = ca or os.path.join(self.shared_tls.name, "ca.pem")
        if self.service.process.poll() is None:
            self.service.stop()
        self.service = StandIn(self.data, host="localhost",
                               security=["--mail-security", security, "--web-scheme", "https",
                                         "--tls-ca", ca])
        if not self.service.web_port:
            self.fail(f"the stand-in did not start: {self.service.stop()}")
        return ssl.create_default_context(cafile=ca)

    # Mail

    def test_only_the_account_and_its_password_log_in(self):
        cases = [((ACCOUNT, PASSWORD), 235), ((ACCOUNT, "qb2027"), 535),
                 (("other@quillby.example", PASSWORD), 535), ((ACCOUNT, ""), 535)]
        for (account, password), code in cases:
            with self.subTest(account=account, password=password), self.mail() as smtp:
                smtp.ehlo("Quillby")
                self.assertEqual(smtp.docmd("AUTH LOGIN")[0], 334)
                self.assertEqual(smtp.docmd(base64.b64encode(account.encode()).decode())[0], 334)
                self.assertEqual(smtp.docmd(base64.b64encode(password.encode()).decode())[0],
                                 code)
        with self.mail() as smtp:
            smtp.ehlo("Quillby")
            self.assertEqual(smtp.docmd("AUTH PLAIN", base64.b64encode(
                f"\0{ACCOUNT}\0{PASSWORD}".encode()).decode())[0], 504)
            self.assertEqual(smtp.mail("jane@example.org")[0], 530)

    def test_an_accepted_message_is_kept_as_received_with_its_blind_copy(self):
        text = (b"From: \"Jane Doe\" <jane@example.org>\r\nSubject: Caf\xe9\r\n"
                b"To: \"Bob\" <bob@example.org>\r\n\r\n<html>\r\n.hidden line\r\n.\r\n"
                b"</html>\r\n")
        with self.mail() as smtp:
            smtp.login(ACCOUNT, PASSWORD)
            # smtplib doubles the leading dots on the wire, as the program does.
            smtp.sendmail("jane@example.org", ["bob@example.org", "community@quillby.example"],
                          text)
            self.assertEqual(smtp.mail("jane@example.org")[0], 503)
        self.assertEqual(self.kept_mail(), {
            "000001.eml": b"X-Envelope-From: <jane@example.org>\r\n"
                          b"X-Envelope-To: <bob@example.org>, <community@quillby.example>\r\n"
                          + text})
        # The numbering goes on across runs; nothing is overwritten.
        self.service.stop()
        self.service = self.start()
        with self.mail() as smtp:
            smtp.login(ACCOUNT, PASSWORD)
            smtp.sendmail("jane@example.org", ["bob@example.org"], b"Subject: again\r\n\r\nx\r\n")
        self.assertEqual(list(self.kept_mail()), ["000001.eml", "000002.eml"])

    def test_a_message_not_finished_or_not_allowed_is_not_kept(self):
        with socket.create_connection(("127.0.0.1", self.service.mail_port), timeout=10) as raw:
            replies = raw.makefile("rb")

            def say(line):
                raw.sendall(line + b"\r\n")
                while (reply := replies.readline())[3:4] == b"-":
                    pass
                return reply[:3]

            self.assertEqual(replies.readline()[:3], b"220")
            for line, code in [(b"\xff\xfe garbage", b"500"), (b"EHLO Quillby", b"250"),
                               (b"MAIL FROM:<jane@example.org>", b"530"),
                               (b"AUTH LOGIN", b"334"),
                               (base64.b64encode(ACCOUNT.encode()), b"334"),
                               (base64.b64encode(PASSWORD.encode()), b"235"),
                               (b"MAIL FROM:<jane@example.org>", b"250"),
                               (b"RCPT TO:<bob\tx@example.org>", b"553"),
                               (b"RCPT TO:<bob@example.org>", b"250"), (b"DATA", b"354")]:
                self.assertEqual(say(line), code, line)
            raw.sendall(b"Subject: cut off\r\n\r\nthe connection drops here")
        # The stand-in has gone on: a whole message after the broken one is the only one kept.
        with self.mail() as smtp:
            smtp.login(ACCOUNT, PASSWORD)
            smtp.sendmail("jane@example.org", ["bob@example.org"], b"Subject: whole\r\n\r\nx\r\n")
        self.assertEqual([text.split(b"\r\n")[2] for text in self.kept_mail().values()],
                         [b"Subject: whole"])

    # Web

    def test_a_signup_is_kept_once_per_address_across_runs(self):
        jane = [("FldUserType", "1"), ("FirstName", "Jane Do\xe9"),
                ("EmailAddress", "jane@example.org"), ("StreetAddress", "1 Main St\r\nApt 2"),
                ("ZipCode", "12345"), ("HomePhone", "555-0100"), ("BestTime", "after 5"),
                ("DebtAmount", ""), ("ActionButton", "quillbyapp")]
        bob = [("EmailAddress", "bob@example.org"), ("FirstName", "Bob")]
        thanks, exists = "/signup/thank-you.html", "/signup/emailexists.html"
        for fields, location in [(jane, thanks), ([("EmailAddress", " JANE@example.org")], exists),
                                 (bob, thanks)]:
            self.assertEqual(self.signup(fields)[:2], (302, location), fields)
        self.service.stop()
        self.service = self.start()
        self.assertEqual(self.signup(bob)[:2], (302, exists))
        # Each field as received, in the order received.
        self.assertEqual([list(fields.items()) for fields in self.kept_signups()], [jane, bob])

    def test_a_signup_cut_off_by_a_crash_spoils_no_later_one(self):
        self.service.stop()
        kept = json.dumps({"received": "2026-01-01T00:00:00+00:00",
                           "fields": {"EmailAddress": "jane@example.org"}})
        with open(os.path.join(self.data, "signups.jsonl"), "w", encoding="utf-8") as log:
            log.write(kept + "\n" + kept[:30])
        self.service = self.start()
        self.assertEqual(self.signup([("EmailAddress", "jane@example.org")])[1],
                         "/signup/emailexists.html")
        self.assertEqual(self.signup([("EmailAddress", "bob@example.org")])[1],
                         "/signup/thank-you.html")
        path = os.path.join(self.data, "signups.jsonl")
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)
        with open(path, encoding="utf-8") as log:
            lines = log.read().split("\n")
        self.assertEqual(lines[:2], [kept, kept[:30]])
        self.assertEqual(json.loads(lines[2])["fields"], {"EmailAddress": "bob@example.org"})

    def test_a_signup_the_disk_cannot_take_is_refused_and_leaves_no_half_line(self):
        self.service.stop()
        self.service = StandIn(self.data, file_size=300)
        path = os.path.join(self.data, "signups.jsonl")
        self.assertEqual(self.signup([("EmailAddress", "jane@example.org")])[1],
                         "/signup/thank-you.html")
        with open(path, "rb") as log:
            before = log.read()
        large = [("EmailAddress", "sam@example.org"), ("FirstName", "Sam " * 100)]
        self.assertEqual(self.signup(large)[0], 503)
        with open(path, "rb") as log:
            self.assertEqual(log.read(), before)
        # Room again: the refused signup can be sent once more, and nothing is lost.
        resource.prlimit(self.service.process.pid, resource.RLIMIT_FSIZE,
                         (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
        self.assertEqual(self.signup(large)[1], "/signup/thank-you.html")
        self.assertEqual([fields["EmailAddress"] for fields in self.kept_signups()],
                         ["jane@example.org", "sam@example.org"])
        self.assertEqual(os.stat(path).st_mode & 0o777, 0o600)

    def test_bad_requests_get_an_error_and_nothing_is_kept(self):
        form = f"multipart/form-data; boundary={BOUNDARY}"
        cut = f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"EmailAddress\"\r\n\r\nj@x"
        cases = [
            ("POST", "/signup/dbsignup.html", b"EmailAddress=j@x.org",
             {"Content-Type": "application/x-www-form-urlencoded", "Content-Length": "20"}, 400),
            ("POST", "/signup/dbsignup.html", cut.encode(),
             {"Content-Type": form, "Content-Length": str(len(cut))}, 400),
            ("POST", "/signup/dbsignup.html", b"", {"Content-Type": form}, 411),
            ("POST", "/signup/dbsignup.html", b"",
             {"Content-Type": form, "Content-Length": "-5"}, 400),
            ("POST", "/signup/dbsignup.html", b"",
             {"Content-Type": form, "Content-Length": "\xb2"}, 400),
            ("POST", "/signup/dbsignup.html", b"",
             {"Content-Type": form, "Content-Length": "1\xb9"}, 400),
            ("POST", "/signup/dbsignup.html", b"",
             {"Content-Type": form, "Content-Length": str(1 << 30)}, 413),
            ("POST", "/signup/other.html", cut.encode(),
             {"Content-Type": form, "Content-Length": str(len(cut))}, 404),
            ("GET", "/signup/dbsignup.html", b"", {}, 404),
            ("GET", "/forums/nothing.html", b"", {}, 404),
            ("DELETE", "/", b"", {}, 501),
        ]
        for method, path, body, headers, status in cases:
            with self.subTest(method=method, path=path, headers=headers):
                self.assertEqual(self.request(method, path, body, headers)[0], status)
        for fields in [[("FirstName", "Jane")], [("EmailAddress", "a@x.org")] * 2]:
            self.assertEqual(self.signup(fields)[0], 400, fields)
        with socket.create_connection(("127.0.0.1", self.service.web_port), timeout=10) as raw:
            raw.sendall(b"\x00\x01 not http at all\r\n\r\n")
            self.assertIn(b" 400 ", raw.recv(4096))
        self.assertEqual(self.kept_signups(), [])
        self.assertEqual(self.request("GET", "/")[0], 200)

    def test_control_characters_from_a_client_reach_the_log_escaped(self):
        address = "jane\x1b]0;owned\x07@example.org\r\nService stand-in ready: forged\x9b"
        for location in ["/signup/thank-you.html", "/signup/emailexists.html"]:
            self.assertEqual(self.signup([("EmailAddress", address)])[1], location)
        with socket.create_connection(("127.0.0.1", self.service.web_port), timeout=10) as raw:
            raw.sendall(b"POST /x\x1b[2J\x08 HTTP/1.0\r\nContent-Length: 0\r\n\r\n")
            status_line = raw.makefile("rb").readline()
        self.assertEqual(status_line, b"HTTP/1.0 404 Nothing takes a POST at /x\\x1b[2J\\x08\r\n")
        _, out, err = self.service.stop()
        for text in (out, err):
            self.assertFalse(re.search("[\x00-\x09\x0b-\x1f\x7f-\x9f]", text), repr(text))
            self.assertNotIn("\nService stand-in ready: forged", text)
        self.assertIn("jane\\x1b]0;owned\\x07@example.org\\r\\nService stand-in ready: "
                      "forged\\x9b", out)
        self.assertIn("/x\\x1b[2J\\x08", err)

    def test_the_pages_of_the_links_are_served(self):
        for path in ["/", "/forums", "/signup/", "/forums/about553.html", "/diy/",
                     "/signup/thank-you.html?x=1"]:
            with self.subTest(path=path):
                status, _, body = self.request("GET", path)
                self.assertEqual(status, 200)
                self.assertIn(b"</html>", body)
                self.assertEqual(self.request("HEAD", path)[::2], (200, b""))

    # TLS

    def test_over_starttls_and_https_auth_waits_for_tls_and_the_authority_is_trusted(self):
        context = self.start_tls()
        with self.mail() as smtp:
            code, features = smtp.ehlo("Quillby")
            self.assertIn(b"STARTTLS", features)
            self.assertNotIn(b"AUTH", features)
            self.assertEqual(smtp.docmd("AUTH LOGIN")[0], 530)
            self.assertEqual(smtp.mail("jane@example.org")[0], 530)
            self.assertEqual(smtp.starttls(context=context)[0], 220)
            self.assertIn(b"AUTH LOGIN", smtp.ehlo("Quillby")[1])
            smtp.login(ACCOUNT, PASSWORD)
            smtp.sendmail("jane@example.org", ["bob@example.org"], b"Subject: sealed\r\n\r\nx\r\n")
        self.assertEqual([text.split(b"\r\n")[2] for text in self.kept_mail().values()],
                         [b"Subject: sealed"])

        # The certificate holds for every name of the loopback, and both families listen.
        for host in ["localhost", "127.0.0.1"] + (["::1"] if ipv6_loopback() else []):
            with self.subTest(host=host):
                self.assertEqual(self.request("GET", "/", context=context, host=host)[0], 200)
        self.assertEqual(self.signup([("EmailAddress", "jane@example.org")], context=context)[1],
                         "/signup/thank-you.html")
        self.assertEqual(self.kept_signups(), [{"EmailAddress": "jane@example.org"}])
        with self.assertRaises((http.client.HTTPException, OSError)):
            self.request("GET", "/")  # plain HTTP gets no page
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.request("GET", "/", context=ssl.create_default_context())

        probe = subprocess.run(
            ["/usr/bin/python3", SERVICE, "--web-scheme", "https", "--web-host", "localhost",
             "--web-port", str(self.service.web_port), "--mail-security", "starttls",
             "--mail-host", "localhost", "--mail-port", str(self.service.mail_port),
             "--account", ACCOUNT, "--password", PASSWORD, "--probe",
             "--tls-ca", os.path.join(self.shared_tls.name, "ca.pem")], timeout=30)
        self.assertEqual(probe.returncode, 0)

    def test_over_tls_from_the_start_mail_is_submitted(self):
        context = self.start_tls("tls")
        with smtplib.SMTP_SSL("127.0.0.1", self.service.mail_port, timeout=10,
                              context=context) as smtp:
            smtp.login(ACCOUNT, PASSWORD)
            smtp.sendmail("jane@example.org", ["bob@example.org"], b"Subject: sealed\r\n\r\nx\r\n")
        self.assertEqual(len(self.kept_mail()), 1)

    def test_the_certificates_are_kept_private_across_runs_and_made_again_when_stale(self):
        folder = os.path.join(self.data, "tls")
        ca = os.path.join(folder, "ca.pem")
        self.start_tls(ca=ca)
        self.assertEqual(os.stat(folder).st_mode & 0o777, 0o700)
        for key in ("ca-key.pem", "server-key.pem"):
            self.assertEqual(os.stat(os.path.join(folder, key)).st_mode & 0o777, 0o600, key)

        def files():
            return {name: pathlib.Path(folder, name).read_bytes()
                    for name in ("ca.pem", "ca-key.pem", "server.pem", "server-key.pem")}

        first = files()
        self.start_tls(ca=ca)
        self.assertEqual(files(), first)

        # A server certificate that has expired is issued again by the same authority.
        authority = trustme.CA.from_pem(first["ca.pem"], first["ca-key.pem"])
        expired = authority.issue_cert("localhost", not_after=datetime.datetime(2020, 1, 1))
        expired.private_key_pem.write_to_path(os.path.join(folder, "server-key.pem"))
        expired.cert_chain_pems[0].write_to_path(os.path.join(folder, "server.pem"))
        context = self.start_tls(ca=ca)
        renewed = files()
        self.assertEqual(renewed["ca.pem"], first["ca.pem"])
        self.assertNotIn(renewed["server.pem"], (first["server.pem"],
                                                 expired.cert_chain_pems[0].bytes()))
        self.assertEqual(self.request("GET", "/", context=context, host="localhost")[0], 200)

        # Without its authority, a new one is made, and the old one is trusted no more.
        os.unlink(os.path.join(folder, "ca.pem"))
        context = self.start_tls(ca=ca)
        self.assertNotEqual(files()["ca.pem"], first["ca.pem"])
        self.assertEqual(self.request("GET", "/", context=context, host="localhost")[0], 200)
        old = ssl.create_default_context(cadata=first["ca.pem"].decode())
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.request("GET", "/", context=old, host="localhost")

    # Running

    def test_a_signal_stops_it_while_a_client_holds_a_connection_open(self):
        for number in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=number), \
                    socket.create_connection(("127.0.0.1", self.service.web_port)), \
                    socket.create_connection(("127.0.0.1", self.service.mail_port)):
                began = time.monotonic()
                status, out, _ = self.service.stop(number)
                self.assertEqual(status, 0)
                self.assertLess(time.monotonic() - began, 8)
                self.assertIn("stopped", out)
                self.service = self.start()

    def test_conversations_under_way_when_it_is_stopped_are_finished(self):
        mail = socket.create_connection(("127.0.0.1", self.service.mail_port), timeout=10)
        replies = mail.makefile("rb")

        def say(line):
            mail.sendall(line + b"\r\n")
            while (reply := replies.readline())[3:4] == b"-":
                pass
            return reply[:3]

        self.assertEqual(replies.readline()[:3], b"220")
        for line, code in [(b"EHLO Quillby", b"250"), (b"AUTH LOGIN", b"334"),
                           (base64.b64encode(ACCOUNT.encode()), b"334"),
                           (base64.b64encode(PASSWORD.encode()), b"235"),
                           (b"MAIL FROM:<jane@example.org>", b"250"),
                           (b"RCPT TO:<bob@example.org>", b"250"), (b"DATA", b"354")]:
            self.assertEqual(say(line), code, line)
        mail.sendall(b"Subject: late\r\n\r\nsent as the stand-in stops\r\n")
        part = (f"--{BOUNDARY}\r\nContent-Disposition: form-data; name=\"EmailAddress\"\r\n\r\n"
                f"late@example.org\r\n--{BOUNDARY}--\r\n").encode()
        web = socket.create_connection(("127.0.0.1", self.service.web_port), timeout=10)
        web.sendall(b"POST /signup/dbsignup.html HTTP/1.0\r\nContent-Type: multipart/form-data; "
                    b"boundary=" + BOUNDARY.encode() + b"\r\nContent-Length: "
                    + str(len(part)).encode() + b"\r\n\r\n" + part[:20])
        idle = socket.create_connection(("127.0.0.1", self.service.web_port), timeout=10)

        self.service.process.send_signal(signal.SIGTERM)
        self.assertIn("stopping", StandIn._line(self.service.process.stdout))
        self.assertEqual(say(b"."), b"250")
        self.assertEqual(say(b"QUIT"), b"221")
        web.sendall(part[20:])
        self.assertIn(b"Location: /signup/thank-you.html", web.recv(4096))
        self.assertEqual(idle.recv(4096), b"")  # no request had begun on it
        for connection in (mail, web, idle):
            connection.close()
        status, out, _ = self.service.stop()
        self.assertEqual(status, 0)
        self.assertIn("stopped", out)
        self.assertEqual([text.split(b"\r\n")[2] for text in self.kept_mail().values()],
                         [b"Subject: late"])
        self.assertEqual(self.kept_signups(), [{"EmailAddress": "late@example.org"}])

    def test_a_port_taken_is_named(self):
        for which in ("web", "mail"):
            with self.subTest(port=which), socket.socket() as taken:
                taken.bind(("127.0.0.1", 0))
                taken.listen()
                port = taken.getsockname()[1]
                other = StandIn(self.data, **{f"{which}_port": port})
                status, _, err = other.stop()
                self.assertEqual(status, 2)
                self.assertIn(f"the {which} port {port} on 127.0.0.1 is taken", err)

    def test_the_arguments_file_with_the_mail_password_is_the_users_alone(self):
        self.assertEqual(os.stat(os.environ["QUILLBY_SERVICE_ARGS"]).st_mode & 0o777, 0o600)

    def test_run_sh_shows_which_port_is_taken_and_why_before_it_gives_up(self):
        # run.sh itself, in a copy of the tree whose set-up and build steps do nothing, with an
        # echo of the stand-in's log that starts late, as on a busy machine.
        top = os.path.join(self.data, "top")
        tools = os.path.join(top, "tools")
        build = os.path.join(top, "build")
        shims = os.path.join(self.data, "shims")
        for folder in (os.path.join(build, "tools", "service"), tools, shims):
            os.makedirs(folder)
        os.symlink(os.path.dirname(SERVICE), os.path.join(tools, "service"))
        shutil.copy(os.path.join(os.path.dirname(SERVICE), "..", "run.sh"), tools)
        for name, text in [(os.path.join(tools, "install-deps.sh"), "true"),
                           (os.path.join(tools, "build.sh"), "true"),
                           (os.path.join(shims, "tail"), "sleep 3; exec /usr/bin/tail \"$@\"")]:
            with open(name, "w") as script:
                script.write(f"#!/bin/sh\n{text}\n")
            os.chmod(name, 0o755)
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            with open(os.path.join(build, "tools", "service", "service.args"), "w") as args:
                args.write(f"--web-host=127.0.0.1\n--web-port={port}\n--mail-host=127.0.0.1\n"
                           f"--mail-port=0\n--account={ACCOUNT}\n--password={PASSWORD}\n")
            run = subprocess.run(
                ["bash", os.path.join(tools, "run.sh")], stdout=subprocess.PIPE,
                stderr=subprocess.STDOUT, text=True, timeout=60,
                env=dict(os.environ, QUILLBY_BUILD_DIR=build,
                         PATH=shims + os.pathsep + os.environ["PATH"]))
        self.assertEqual(run.returncode, 1)
        reason = run.stdout.find(f"the web port {port} on 127.0.0.1 is taken")
        self.assertNotEqual(reason, -1, run.stdout)
        self.assertLess(reason, run.stdout.find("could not start (status 2, see above)"))

    def test_a_host_that_is_not_this_machine_is_refused(self):
        other = StandIn(self.data, host="192.0.2.7")
        status, _, err = other.stop()
        self.assertNotEqual(status, 0)
        self.assertIn("'192.0.2.7', which is not a loopback name", err)


class ServerPartsTest(unittest.TestCase):
    """The stand-in's servers and signup log in this process, where a test needs to reach in."""

    def test_the_repeated_field_check_compares_each_name_about_once(self):
        class Name(str):
            compared = 0

            def __eq__(self, other):
                Name.compared += 1
                return str.__eq__(self, other)

            __hash__ = str.__hash__

        fields = [(Name(f"Field{n}"), "") for n in range(3000)] + [("EmailAddress", "j@x.org")]
        folder = tempfile.TemporaryDirectory(prefix="quillby-service-")
        self.addCleanup(folder.cleanup)
        signups = quillby_service.SignupLog(os.path.join(folder.name, "signups.jsonl"))
        self.assertEqual(signups.accept(fields), "/signup/thank-you.html")
        # Comparing every name with every other was 9 million comparisons under the lock.
        self.assertLess(Name.compared, 3 * len(fields))

    def test_a_slow_client_is_dropped_at_the_deadline_and_connections_are_capped(self):
        server = web_server.WebServer("127.0.0.1", 0, lambda fields: "/", {"/": "home"},
                                      max_connections=2, request_seconds=1)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        address = server.server_address

        def trickle(head):
            """Sends head, then a byte at a time, 0.1 s apart, until the server answers or
            closes; answers what it said, or None when it has held on for 10 s."""
            with socket.create_connection(address, timeout=10) as raw:
                raw.sendall(head)
                end = time.monotonic() + 10
                try:
                    while time.monotonic() < end:
                        if select.select([raw], [], [], 0.1)[0]:
                            return raw.recv(4096)
                        raw.sendall(b"x")
                except ConnectionError:
                    return b""  # closed on bytes it had not read
            return None

        post = b"POST /signup/dbsignup.html HTTP/1.0\r\nContent-Length: 1000\r\n\r\n"
        for head, answer in [(b"GET /", b""), (post, b"HTTP/1.0 408 ")]:
            with self.subTest(head=head):
                said = trickle(head)
                self.assertIsNotNone(said, "the slow client was never dropped")
                self.assertEqual(said[:len(answer)], answer)

        held = [socket.create_connection(address) for _ in range(2)]
        with socket.create_connection(address, timeout=10) as extra:
            self.assertEqual(extra.recv(4096)[:13], b"HTTP/1.0 503 ")
        for connection in held:
            connection.close()
        self.assertTrue(server.wait_idle(10))
        with socket.create_connection(address, timeout=10) as again:
            again.sendall(b"GET / HTTP/1.0\r\n\r\n")
            self.assertEqual(again.recv(4096)[:13], b"HTTP/1.0 200 ")


if __name__ == "__main__":
    unittest.main(verbosity=2)
