#!/usr/bin/env python3
"""Makes the tests' certificate authority and the stand-in's certificates in a
folder under build/ (never committed): a root that only the test Wine prefixes
trust, a server certificate for loopback, and four that must be refused: one
for another name, one expired, one from an authority nobody trusts and one
signed by itself.
Keeps what is there while it is whole and the server certificate still has a
month to run."""

import argparse
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

# Loopback by name and by address; some chain engines match a host only
# against DNS names, so the address is a DNS name as well.
LOOPBACK_NAMES = [
    x509.DNSName("127.0.0.1"),
    x509.IPAddress(ipaddress.ip_address("127.0.0.1")),
    x509.DNSName("localhost"),
]
# What each server certificate is: issuer, names, validity (days from now).
SERVERS = {
    "server": ("ca", LOOPBACK_NAMES, -1, 825),
    "wrong-name": ("ca", [x509.DNSName("wrong-name.example")], -1, 825),
    "expired": ("ca", LOOPBACK_NAMES, -60, -30),
    "untrusted": ("untrusted-ca", LOOPBACK_NAMES, -1, 825),
    "self-signed": (None, LOOPBACK_NAMES, -1, 825),
}
AUTHORITIES = {"ca": "Velmarin test CA", "untrusted-ca": "Velmarin untrusted test CA"}


def now():
    return datetime.datetime.now(datetime.timezone.utc)


def new_key():
    return ec.generate_private_key(ec.SECP256R1())


def write(path, data):
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def key_bytes(key):
    return key.private_bytes(
        serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()
    )


def make_authority(name):
    key = new_key()
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, name)])
    cert = (
        x509.CertificateBuilder()
        .subject_name(subject)
        .issuer_name(subject)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now() - datetime.timedelta(days=1))
        .not_valid_after(now() + datetime.timedelta(days=3650))
        .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
        .add_extension(
            x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True
        )
        .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()), critical=False)
        .sign(key, hashes.SHA256())
    )
    return key, cert


def make_server(names, issuer_key, issuer_cert, from_days, to_days):
    """A server certificate; without an issuer, signed by its own key."""
    key = new_key()
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "velmarin test server")])
    if issuer_key is None:
        issuer_key = key
    cert = (
        x509.CertificateBuilder()
        .subject_name(subject)
        .issuer_name(issuer_cert.subject if issuer_cert else subject)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now() + datetime.timedelta(days=from_days))
        .not_valid_after(now() + datetime.timedelta(days=to_days))
        .add_extension(x509.SubjectAlternativeName(names), critical=False)
        .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
        .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
        .add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_key.public_key()), critical=False
        )
        .sign(issuer_key, hashes.SHA256())
    )
    return key, cert


def is_current(folder):
    files = ["ca.pem", "ca.der"] + ["%s.%s" % (n, e) for n in SERVERS for e in ("pem", "key")]
    if not all(os.path.isfile(os.path.join(folder, f)) for f in files):
        return False
    with open(os.path.join(folder, "server.pem"), "rb") as f:
        server = x509.load_pem_x509_certificate(f.read())
    return server.not_valid_after_utc > now() + datetime.timedelta(days=30)


def make(folder):
    os.makedirs(folder, exist_ok=True)
    authorities = {name: make_authority(title) for name, title in AUTHORITIES.items()}
    key, cert = authorities["ca"]
    write(os.path.join(folder, "ca.der"), cert.public_bytes(serialization.Encoding.DER))
    write(os.path.join(folder, "ca.pem"), cert.public_bytes(serialization.Encoding.PEM))
    for name, (issuer, names, start, end) in SERVERS.items():
        issuer_key, issuer_cert = authorities[issuer] if issuer else (None, None)
        server_key, server_cert = make_server(names, issuer_key, issuer_cert, start, end)
        # The chain the server presents: its certificate, then its issuer's.
        chain = server_cert.public_bytes(serialization.Encoding.PEM)
        if issuer_cert:
            chain += issuer_cert.public_bytes(serialization.Encoding.PEM)
        write(os.path.join(folder, name + ".key"), key_bytes(server_key))
        write(os.path.join(folder, name + ".pem"), chain)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("folder", help="where the authority and certificates go")
    parser.add_argument("--force", action="store_true", help="make them anew")
    args = parser.parse_args(argv)
    if args.force or not is_current(args.folder):
        make(args.folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
