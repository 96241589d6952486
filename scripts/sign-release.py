#!/usr/bin/env python3
"""Signs an installer for the updater:
    sign-release.py --key KEY --version V INSTALLER [--out PREFIX]
writes PREFIX.manifest (product, version, size and SHA-256 of the installer)
and PREFIX.manifest.sig (the 64-byte Ed25519 signature over the manifest).
PREFIX defaults to INSTALLER. KEY is the private key in PEM."""
import argparse
import hashlib
import os
import re
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey


def manifest_text(version, data):
    return "product Velmarin\nversion %s\nsize %d\nsha256 %s\n" % (version, len(data), hashlib.sha256(data).hexdigest())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--key", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--out")
    parser.add_argument("installer")
    args = parser.parse_args()
    if not re.fullmatch(r"(0|[1-9][0-9]{0,4})(\.(0|[1-9][0-9]{0,4})){3}", args.version) or any(
        int(n) > 65535 for n in args.version.split(".")
    ):
        sys.exit("sign-release: the version must be four numbers of 0 to 65535")
    with open(args.key, "rb") as f:
        key = serialization.load_pem_private_key(f.read(), password=None)
    if not isinstance(key, Ed25519PrivateKey):
        sys.exit("sign-release: %s is not an Ed25519 private key" % args.key)
    with open(args.installer, "rb") as f:
        data = f.read()
    text = manifest_text(args.version, data).encode("ascii")
    prefix = args.out or args.installer
    for path, content in ((prefix + ".manifest", text), (prefix + ".manifest.sig", key.sign(text))):
        with open(path + ".new", "wb") as f:
            f.write(content)
        os.replace(path + ".new", path)


if __name__ == "__main__":
    main()
