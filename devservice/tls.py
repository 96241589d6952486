"""HTTPS for the stand-in: the same service on a second port under TLS, with
the certificates of the tests' authority (scripts/make-test-ca.py). Which
certificate the port presents is chosen through /control/tls, so that one
stand-in serves the refusal cases as well."""

import os
import ssl

import service

# Each is NAME.pem (the certificate, then its issuer's) and NAME.key.
CERTIFICATES = service.TLS_CERTIFICATES
HANDSHAKE_SECONDS = 10


def load_contexts(folder):
    """One server context per certificate; TLS 1.2 at least."""
    contexts = {}
    for name in CERTIFICATES:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key"))
        contexts[name] = context
    return contexts


def wrap(contexts, state, connection):
    """The accepted connection under the certificate chosen now; the
    handshake is left to the connection's own thread."""
    name = state.tls_certificate
    wrapped = contexts[name].wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
    return wrapped, name


def handshake(connection, name):
    """The log entry of one handshake: what was agreed, or why it failed."""
    entry = {"certificate": name, "version": None, "cipher": None, "error": None, "requests": 0}
    connection.settimeout(HANDSHAKE_SECONDS)
    try:
        connection.do_handshake()
        entry["version"] = connection.version()
        entry["cipher"] = connection.cipher()[0]
    except (ssl.SSLError, OSError) as error:
        entry["error"] = str(error)
    connection.settimeout(None)
    return entry
