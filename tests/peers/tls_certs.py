"""Certificates for the TLS peers, made at run time with python3-cryptography (P-256 keys, so
making them costs nothing): the authority the client is told to trust goes to
OUTPUT_DIR/ca.pem, and the server gets a certificate that is good for localhost, 127.0.0.1 and
::1, or one that is wrong in the way its kind says.

Kinds: good, expired, wronghost (made out for another name), unknownca (from an authority the
client does not know), tls11 (a good certificate, but the server speaks TLS 1.0 and 1.1 only).
"""
import datetime
import ipaddress
import os
import ssl

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

KINDS = ("good", "expired", "wronghost", "unknownca", "tls11")
_DAY = datetime.timedelta(days=1)


def _name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def _authority(name):
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.utcnow()
    cert = (x509.CertificateBuilder().subject_name(_name(name)).issuer_name(_name(name))
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(now - _DAY).not_valid_after(now + 30 * _DAY)
            .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
            .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False,
                                         False), critical=True)
            .sign(key, hashes.SHA256()))
    return key, cert


def _server(issuer_key, issuer_cert, names, expired):
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.utcnow()
    not_after = now - _DAY if expired else now + 30 * _DAY
    alt = [x509.IPAddress(ipaddress.ip_address(n)) if n[0].isdigit() or ":" in n
           else x509.DNSName(n) for n in names]
    cert = (x509.CertificateBuilder().subject_name(_name(names[0]))
            .issuer_name(issuer_cert.subject).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - 30 * _DAY).not_valid_after(not_after)
            .add_extension(x509.SubjectAlternativeName(alt), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                           critical=False)
            .sign(issuer_key, hashes.SHA256()))
    return key, cert


def server_context(output_dir, kind):
    if kind not in KINDS:
        raise ValueError(f"unknown certificate kind {kind!r}")
    trusted_key, trusted = _authority("Quillby Test Authority")
    with open(os.path.join(output_dir, "ca.pem"), "wb") as out:
        out.write(trusted.public_bytes(serialization.Encoding.PEM))
    issuer_key, issuer = (_authority("Unknown Authority") if kind == "unknownca"
                          else (trusted_key, trusted))
    names = ["other.example"] if kind == "wronghost" else ["localhost", "127.0.0.1", "::1"]
    key, cert = _server(issuer_key, issuer, names, kind == "expired")
    chain = os.path.join(output_dir, f"server-{kind}.pem")
    with open(os.open(chain, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "wb") as out:
        out.write(key.private_bytes(serialization.Encoding.PEM,
                                    serialization.PrivateFormat.PKCS8,
                                    serialization.NoEncryption()))
        out.write(cert.public_bytes(serialization.Encoding.PEM))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if kind == "tls11":
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1_1
    context.load_cert_chain(chain)
    return context
