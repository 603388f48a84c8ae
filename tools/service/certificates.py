"""The stand-in's own certificate authority and its server certificate for this machine's
loopback, made with trustme on the first start and kept across runs in one folder:

    ca.pem           the authority's certificate, which the program trusts
    ca-key.pem       its private key (0600)
    server.pem       the servers' certificate for localhost, 127.0.0.1 and ::1, then ca.pem
    server-key.pem   its private key (0600)

A file missing, unreadable or expiring within a day is made again (the server certificate from
the kept authority when that is still good).
"""
import datetime
import fcntl
import os
import ssl

import trustme
from cryptography import x509

NAMES = ("localhost", "127.0.0.1", "::1")
ORGANIZATION = "Quillby service stand-in"


def _write(path, data, mode):
    """Replaces path by a file of data, whole: written beside it, fsync'd, renamed."""
    temporary = f"{path}.{os.getpid()}.tmp"
    fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC,
                 mode)
    try:
        with os.fdopen(fd, "wb") as out:
            out.write(data)
            out.flush()
            os.fsync(out.fileno())
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def _read(path):
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_CLOEXEC)
    except OSError:
        return None
    with os.fdopen(fd, "rb") as file:
        return file.read()


def _good(certificate_pem):
    """Whether the PEM text is a certificate that is valid for at least another day."""
    try:
        certificate = x509.load_pem_x509_certificate(certificate_pem)
    except (TypeError, ValueError):
        return False
    soon = datetime.datetime.utcnow() + datetime.timedelta(days=1)
    return certificate.not_valid_before <= datetime.datetime.utcnow() and \
        certificate.not_valid_after > soon


def _server_is_good(folder, ca_pem):
    chain, key = _read(os.path.join(folder, "server.pem")), \
        _read(os.path.join(folder, "server-key.pem"))
    if not (chain and key and _good(chain)):
        return False
    try:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(folder, "server.pem"),
                                os.path.join(folder, "server-key.pem"))
        issuer = x509.load_pem_x509_certificate(chain).issuer
    except (ssl.SSLError, ValueError):
        return False
    return issuer == x509.load_pem_x509_certificate(ca_pem).subject


def ensure(ca_path):
    """Makes what is missing or stale beside ca_path (a folder of its own, 0700) and answers
    the paths of the server certificate chain and its key."""
    folder = os.path.dirname(os.path.abspath(ca_path))
    if os.path.basename(ca_path) != "ca.pem":
        raise SystemExit(f"The stand-in keeps its authority as ca.pem, not {ca_path}.")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    lock = os.open(os.path.join(folder, ".lock"), os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW
                   | os.O_CLOEXEC, 0o600)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)  # two stand-ins starting at once make one authority
        ca_pem, ca_key = _read(os.path.join(folder, "ca.pem")), \
            _read(os.path.join(folder, "ca-key.pem"))
        ca_good = bool(ca_pem and ca_key and _good(ca_pem))
        if not (ca_good and _server_is_good(folder, ca_pem)):
            ca = None
            if ca_good:
                try:
                    ca = trustme.CA.from_pem(ca_pem, ca_key)
                except (TypeError, ValueError):
                    pass
            if ca is None:
                ca = trustme.CA(organization_name=ORGANIZATION)
                _write(os.path.join(folder, "ca-key.pem"), ca.private_key_pem.bytes(), 0o600)
                _write(os.path.join(folder, "ca.pem"), ca.cert_pem.bytes(), 0o644)
            server = ca.issue_cert(*NAMES, organization_name=ORGANIZATION)
            _write(os.path.join(folder, "server-key.pem"), server.private_key_pem.bytes(), 0o600)
            _write(os.path.join(folder, "server.pem"),
                   b"".join(blob.bytes() for blob in server.cert_chain_pems), 0o644)
    finally:
        os.close(lock)
    return os.path.join(folder, "server.pem"), os.path.join(folder, "server-key.pem")


def server_context(ca_path):
    """A TLS 1.2+ server context with the stand-in's certificate, made first if need be."""
    chain, key = ensure(ca_path)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(chain, key)
    return context


def client_context(ca_path):
    """A verifying client context that trusts the stand-in's authority."""
    return ssl.create_default_context(cafile=ca_path)
