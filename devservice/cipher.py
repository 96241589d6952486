"""Text cipher of the service: AES-128 ECB with zero padding, Base64, and the
password digest. Text becomes bytes in code page 936 before anything is
enciphered or hashed, as on a Simplified Chinese Windows."""

import base64
import binascii
import codecs
import hashlib
import secrets
import string

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

BLOCK = 16
KEY_LENGTH = 16
KEY_ALPHABET = string.digits + string.ascii_uppercase + string.ascii_lowercase
# Enciphers the password inside the login command.
LOGIN_KEY = "w3>qT8sZ!pLx2Jv#"

# Python's gbk codec lacks the one single byte that Windows code page 936
# adds: 0x80 is the euro sign there.
_EURO = "\u20ac"
_EURO_BYTE = b"\x80"


def _euro_errors(error):
    if isinstance(error, UnicodeEncodeError):
        if error.object[error.start] == _EURO:
            return _EURO_BYTE, error.start + 1
    elif isinstance(error, UnicodeDecodeError):
        if error.object[error.start : error.start + 1] == _EURO_BYTE:
            return _EURO, error.start + 1
    raise error


codecs.register_error("devservice-cp936", _euro_errors)


class CipherError(ValueError):
    """A cipher text that the service cannot decipher."""


def to_ansi(text):
    """Code page 936 bytes of a text; UnicodeEncodeError when it has none."""
    return text.encode("gbk", errors="devservice-cp936")


def from_ansi(data):
    """Text of code page 936 bytes; UnicodeDecodeError for invalid bytes."""
    return data.decode("gbk", errors="devservice-cp936")


def _key_bytes(key):
    # A key character without a code page 936 form becomes "?", as the
    # Windows conversion does; no conforming key has one.
    ansi = "".join(c if _encodable(c) else "?" for c in key)
    return to_ansi(ansi)[:KEY_LENGTH].ljust(KEY_LENGTH, b"\0")


def _encodable(char):
    try:
        to_ansi(char)
        return True
    except UnicodeEncodeError:
        return False


def _aes(key):
    raw = _key_bytes(key)
    return Cipher(algorithms.AES(raw), modes.ECB())


def encrypt_bytes(plain, key):
    """Zero-padded ECB encipherment; an empty input still gives one block."""
    padded_length = max(BLOCK, -(-len(plain) // BLOCK) * BLOCK)
    padded = plain.ljust(padded_length, b"\0")
    encryptor = _aes(key).encryptor()
    return encryptor.update(padded) + encryptor.finalize()


def decrypt_bytes(data, key):
    if not data or len(data) % BLOCK:
        raise CipherError("cipher text of %d bytes is not whole blocks" % len(data))
    decryptor = _aes(key).decryptor()
    return decryptor.update(data) + decryptor.finalize()


def encrypt_text(plain, key):
    return base64.b64encode(encrypt_bytes(to_ansi(plain), key)).decode("ascii")


def decrypt_text(cipher_text, key):
    """Strict counterpart of encrypt_text: the service refuses what a
    conforming client cannot have sent instead of guessing."""
    try:
        data = base64.b64decode(cipher_text.encode("ascii"), validate=True)
    except (UnicodeEncodeError, binascii.Error) as error:
        raise CipherError("not Base64: %s" % error) from None
    plain = decrypt_bytes(data, key)
    end = plain.find(b"\0")
    if end >= 0:
        plain = plain[:end]
    try:
        return from_ansi(plain)
    except UnicodeDecodeError:
        raise CipherError("deciphered bytes are not code page 936 text") from None


def password_digest(password):
    digest = hashlib.md5(to_ansi(password)).digest()
    return digest[4:12].hex().upper()


def make_session_key():
    return "".join(secrets.choice(KEY_ALPHABET) for _ in range(KEY_LENGTH))


def is_session_key(text):
    return len(text) == KEY_LENGTH and all(c in KEY_ALPHABET for c in text)
