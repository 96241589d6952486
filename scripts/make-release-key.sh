#!/usr/bin/env bash
# Makes an Ed25519 release key pair, unless the folder holds one already:
#   make-release-key.sh DIR
# DIR/release.key is the private key (PEM, readable by its owner only): it
# signs releases and never leaves the machine that makes them.
# DIR/release.pub is the public key (PEM) that clientupdate.exe is built with
# (CMake option VELMARIN_UPDATE_PUBLIC_KEY).
set -euo pipefail
dir=$1
[ -f "$dir/release.key" ] && [ -f "$dir/release.pub" ] && exit 0
mkdir -p "$dir"
python3 - "$dir" <<'PY'
import os, sys
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey
folder = sys.argv[1]
key = Ed25519PrivateKey.generate()
private = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                            serialization.NoEncryption())
fd = os.open(os.path.join(folder, "release.key"), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
with os.fdopen(fd, "wb") as f:
    f.write(private)
public = key.public_key().public_bytes(serialization.Encoding.PEM, serialization.PublicFormat.SubjectPublicKeyInfo)
with open(os.path.join(folder, "release.pub"), "wb") as f:
    f.write(public)
PY
