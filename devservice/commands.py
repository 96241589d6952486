"""Command strings as the client sends them and reply texts as it reads them:
four-digit code, 16-character key in clear, enciphered parameter text."""

from dataclasses import dataclass, field

import cipher

CODE_LENGTH = 4
HEADER_LENGTH = CODE_LENGTH + cipher.KEY_LENGTH

TOKEN = "1000"
LOGIN = "1002"
PAGE = "1003"
LOGOUT = "1004"
VERSION = "1005"
HEARTBEAT = "9999"
KNOWN_CODES = (TOKEN, LOGIN, PAGE, LOGOUT, VERSION, HEARTBEAT)

OK = "0"
INVALID_COMMAND = "10000"
NO_DATA = "10001"
DECIPHER_FAILED = "10003"
BAD_PARAMETERS = "10005"
INVALID_TOKEN = "10006"
WRONG_PASSWORD = "11000"
SIGNED_IN_ELSEWHERE = "12000"
SESSION_DROPPED = "15006"

MESSAGE_SEPARATOR = "|"
FIELD_SEPARATOR = ";"
MESSAGE_FIELDS = 5


class CommandError(ValueError):
    """A command that cannot be taken apart; retn tells the client why."""

    def __init__(self, retn, reason):
        super().__init__(reason)
        self.retn = retn


@dataclass
class Command:
    code: str
    key: str
    cipher_text: str
    text: str = ""
    params: dict = field(default_factory=dict)
    issues: list = field(default_factory=list)


def parse_fields(text):
    """name=value pairs joined by "&"; names lower-cased, the last of a name
    wins, pieces without "=" are dropped; values are taken as they are."""
    fields = {}
    for piece in text.split("&"):
        name, sep, value = piece.partition("=")
        if sep:
            fields[name.lower()] = value
    return fields


def join_fields(pairs):
    return "&".join("%s=%s" % (name, value) for name, value in pairs)


def split_header(value):
    """Code and key of a command, with what the client got wrong about them.
    CommandError when the text is too short to carry a key."""
    if value is None or len(value) < HEADER_LENGTH:
        raise CommandError(INVALID_COMMAND, "command shorter than %d characters" % HEADER_LENGTH)
    command = Command(value[:CODE_LENGTH], value[CODE_LENGTH:HEADER_LENGTH], value[HEADER_LENGTH:])
    if not (command.code.isascii() and command.code.isdigit()):
        command.issues.append("code is not four digits")
    if not cipher.is_session_key(command.key):
        command.issues.append("key is not 16 characters of [0-9A-Za-z]")
    return command


def decipher(command):
    """Fills text and params. CommandError for an unknown code or an
    undecipherable parameter text."""
    if command.code not in KNOWN_CODES:
        raise CommandError(INVALID_COMMAND, "unknown command code %r" % command.code)
    try:
        command.text = cipher.decrypt_text(command.cipher_text, command.key)
    except cipher.CipherError as error:
        raise CommandError(DECIPHER_FAILED, str(error)) from None
    command.params = parse_fields(command.text)
    return command


def build_command(code, key, text):
    """The client's side, for tests and for poking the service by hand."""
    return code + key + cipher.encrypt_text(text, key)


def validate_message_fields(fields):
    """A message field must not hold a character that the reply layout uses
    as a separator, or the client would split it wrongly."""
    for value in fields:
        if not isinstance(value, str):
            raise ValueError("message fields must be strings")
        for forbidden in (MESSAGE_SEPARATOR, FIELD_SEPARATOR, "&"):
            if forbidden in value:
                raise ValueError("message field %r holds %r" % (value, forbidden))
    cipher.to_ansi("".join(fields))


def join_messages(messages):
    return MESSAGE_SEPARATOR.join(messages)
