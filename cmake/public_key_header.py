"""Writes the C++ header that builds the release public key into the updater:
    public_key_header.py PUBLIC_KEY_PEM OUTPUT_HEADER"""
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PublicKey

source, target = sys.argv[1], sys.argv[2]
with open(source, "rb") as f:
    key = serialization.load_pem_public_key(f.read())
if not isinstance(key, Ed25519PublicKey):
    sys.exit("%s is not an Ed25519 public key" % source)
raw = key.public_bytes(serialization.Encoding.Raw, serialization.PublicFormat.Raw)
body = ", ".join("0x%02x" % b for b in raw)
with open(target, "w") as f:
    f.write("// Made by the build from %s.\n#pragma once\n" % source.replace("\\", "/"))
    f.write('#include "release/core/release_check.h"\n\n')
    f.write("inline constexpr CReleasePublicKey kReleasePublicKey{%s};\n" % body)
