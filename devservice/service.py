"""What the service knows and does: users, tokens, sessions, queued messages,
forced result codes, and the answer to each command."""

import threading
import time
import uuid
from dataclasses import dataclass, field

import cipher
import commands as cmd

DEFAULT_VERSION = "1.0.0.1"
# A fixed date, so that a restarted service does not look like a new picture.
AD_FIRST_MODIFIED = 1704067200
DEFAULT_USERS = {"05512345678": "abc123", "01087654321": "密码123"}
DEFAULT_OPTIONS = {
    # Token reply without ltoken; the login then expects an empty token.
    "omit_ltoken": False,
    # Login reply without skey; heartbeat replies then go under the command key.
    "omit_skey": False,
    # "command" or "digest": the key the login reply is enciphered with.
    "login_reply_key": "command",
    # "skey" or "command": the key heartbeat replies are enciphered with.
    "heartbeat_reply_key": "skey",
    # A second login of a user signs the first session out (12000).
    "supersede": True,
}
# How /ad/loginad.gif is served; POST /control/ad changes them.
DEFAULT_AD = {
    # Any other status is answered with a short text and no Last-Modified.
    "status": 200,
    # false: no Content-Length, not chunked; the body ends with the connection.
    "content_length": True,
    # false: a 200 without Last-Modified.
    "last_modified": True,
    # Body written in pieces of this many bytes (0: at once) ...
    "piece": 0,
    # ... with this pause between them.
    "interval_ms": 0,
    # Zero bytes behind the GIF trailer, to make a slow body last.
    "padding": 0,
    # The Location of a 3xx answer (none: no Location).
    "location": None,
}
_OPTION_CHOICES = {"login_reply_key": ("command", "digest"), "heartbeat_reply_key": ("skey", "command")}
# The newest installer for the updater: a file on this machine (none: 404),
# the status to answer, and a byte count after which the body is cut off;
# its signed manifest and signature (null: the files beside the installer).
DEFAULT_INSTALLER = {"path": None, "status": 200, "truncate": None, "manifest": None, "signature": None}
_RELEASE_FILE_SUFFIXES = {"manifest": ".manifest", "signature": ".manifest.sig"}


def release_file_path(installer, which):
    """Where the installer's manifest or signature is read from; None for none."""
    if installer[which] is not None:
        return installer[which]
    return installer["path"] + _RELEASE_FILE_SUFFIXES[which] if installer["path"] else None


@dataclass
class Session:
    session_id: str
    user: str
    skey: str
    cookie: str
    signed_in_elsewhere: bool = False


@dataclass
class Outcome:
    """A computed answer; commit applies its effects. Held under the state
    lock from computation to commit, so nothing changes in between."""

    retn: str
    fields: list
    key: str
    key_name: str
    details: dict = field(default_factory=dict)
    effects: list = field(default_factory=list)

    @property
    def text(self):
        return cmd.join_fields(self.fields)

    def commit(self):
        for effect in self.effects:
            effect()


def check_texts(texts, what):
    """ValueError unless every text has a code page 936 form, which
    whatever is enciphered or hashed must have."""
    for text in texts:
        try:
            cipher.to_ansi(text)
        except UnicodeEncodeError:
            raise ValueError("%s %r has no code page 936 form" % (what, text)) from None


# The certificates the HTTPS port can present: the good one and four to refuse.
TLS_CERTIFICATES = ("server", "wrong-name", "expired", "untrusted", "self-signed")


class ServiceState:
    def __init__(self, users=None, version=DEFAULT_VERSION):
        check_texts([version], "version")
        check_texts((users or {}).values(), "password")
        self.lock = threading.RLock()
        self.changed = threading.Condition(self.lock)
        self.initial_users = dict(DEFAULT_USERS if users is None else users)
        # Called when the HTTPS port's certificate changes: each cuts that port's connections.
        self.tls_listeners = []
        self.initial_version = version
        self.reset()

    def reset(self):
        with self.lock:
            self.users = dict(self.initial_users)
            self.version = self.initial_version
            self.options = dict(DEFAULT_OPTIONS)
            self.tokens = {}
            self.sessions = {}
            self.queues = {}
            self.forced = []
            self.faults = []
            self.log = []
            self.pages = []
            self.ads = []
            self.ad_generation = 0
            self.ad_modified = AD_FIRST_MODIFIED
            self.ad_settings = dict(DEFAULT_AD)
            self.installer = dict(DEFAULT_INSTALLER)
            self.installer_downloads = []
            self.tls_certificate = TLS_CERTIFICATES[0]
            self.tls_log = []
            self.changed.notify_all()

    def set_options(self, values):
        with self.lock:
            for name, value in values.items():
                if name not in DEFAULT_OPTIONS:
                    raise ValueError("unknown option %r" % name)
                choices = _OPTION_CHOICES.get(name)
                if choices and value not in choices:
                    raise ValueError("option %s takes one of %s" % (name, choices))
                if not choices and not isinstance(value, bool):
                    raise ValueError("option %s takes true or false" % name)
                self.options[name] = value

    def queue_messages(self, user, messages):
        """messages: lists of fields (checked, joined with ";") or raw
        texts (taken as they are, for odd layouts)."""
        texts = []
        for message in messages:
            if isinstance(message, list):
                cmd.validate_message_fields(message)
                texts.append(cmd.FIELD_SEPARATOR.join(message))
            elif isinstance(message, str):
                cipher.to_ansi(message)
                texts.append(message)
            else:
                raise ValueError("a message is a list of fields or a text")
        with self.lock:
            self.queues.setdefault(user, []).extend(texts)
            return len(self.queues[user])

    def force(self, code, retn, count, extra_fields):
        if code not in cmd.KNOWN_CODES:
            raise ValueError("unknown command code %r" % code)
        check_texts([str(retn)] + [t for pair in extra_fields.items() for t in pair], "reply field")
        with self.lock:
            self.forced.append(
                {"code": code, "retn": str(retn), "count": int(count), "fields": dict(extra_fields)}
            )

    def mark_session(self, user, action):
        with self.lock:
            found = [s for s in self.sessions.values() if s.user == user]
            for session in found:
                if action == "drop":
                    del self.sessions[session.session_id]
                elif action == "elsewhere":
                    session.signed_in_elsewhere = True
                else:
                    raise ValueError("unknown session action %r" % action)
            return len(found)

    def snapshot(self):
        with self.lock:
            return {
                "version": self.version,
                "options": dict(self.options),
                "users": sorted(self.users),
                "sessions": [vars(s).copy() for s in self.sessions.values()],
                "queues": {u: list(q) for u, q in self.queues.items() if q},
                "forced": [dict(f) for f in self.forced if f["count"] > 0],
                "faults": [dict(f) for f in self.faults if f["count"] > 0],
                "ad_modified": self.ad_modified,
                "ad": self.ad_snapshot(),
            }

    def choose_certificate(self, name):
        """The certificate for the HTTPS port's connections from now on; the
        open ones are cut, so that no kept-open connection outlives the change."""
        with self.lock:
            self.tls_certificate = name
            listeners = list(self.tls_listeners)
        for cut in listeners:
            cut()

    def request_outage(self, seconds):
        """Asks every port to stop serving for that long (see DevServer)."""
        with self.lock:
            self.outage_serial = getattr(self, "outage_serial", 0) + 1
            self.pending_outage = seconds

    def take_outage(self, seen):
        """(seconds, serial) of the outage asked for after serial seen, else (None, seen)."""
        with self.lock:
            serial = getattr(self, "outage_serial", 0)
            if serial == seen:
                return None, seen
            return self.pending_outage, serial

    def ad_snapshot(self):
        with self.lock:
            return dict(self.ad_settings, generation=self.ad_generation, modified=self.ad_modified)

    def append_log(self, entry, pages=False, ads=False, tls=False):
        with self.lock:
            target = self.pages if pages else self.ads if ads else self.tls_log if tls else self.log
            entry["index"] = len(target)
            target.append(entry)
            self.changed.notify_all()

    def update_entry(self, entry, **values):
        """Changes a logged entry; readers copy entries under the lock."""
        with self.lock:
            entry.update(values)
            self.changed.notify_all()

    def wait_for(self, code, count, since, timeout):
        """Log entries of a command code from index since on, once there are
        count of them or the time-out has passed."""
        deadline = time.monotonic() + timeout
        with self.lock:
            while True:
                found = [e for e in self.log[since:] if code is None or e.get("code") == code]
                remaining = deadline - time.monotonic()
                if len(found) >= count or remaining <= 0:
                    return found
                self.changed.wait(remaining)

    def cookie_session(self, cookie, session_id=None):
        """Whether the cookie belongs to a live session (the named one when
        a session id is given)."""
        if not cookie:
            return False
        if session_id is not None:
            session = self.sessions.get(session_id)
            return session is not None and session.cookie == cookie
        return any(s.cookie == cookie for s in self.sessions.values())

    # Commands. Callers hold the lock from execute to commit.

    def execute(self, command, cookie):
        """The answer to a deciphered command."""
        forced = next((f for f in self.forced if f["code"] == command.code and f["count"] > 0), None)
        if forced is not None:
            return self._forced(command, forced)
        handler = {
            cmd.TOKEN: self._token,
            cmd.LOGIN: self._login,
            cmd.PAGE: self._page,
            cmd.LOGOUT: self._logout,
            cmd.VERSION: self._version,
            cmd.HEARTBEAT: self._heartbeat,
        }[command.code]
        return handler(command, cookie)

    def _reply(self, command, retn, extra=(), key=None, key_name="command"):
        return Outcome(
            retn, [("retn", retn)] + list(extra), key or command.key, key_name if key else "command"
        )

    def _forced(self, command, forced):
        key, key_name = command.key, "command"
        session = self.sessions.get(command.params.get("sessionid", ""))
        if command.code == cmd.HEARTBEAT and session is not None:
            key, key_name = self._heartbeat_key(command, session)
        outcome = Outcome(
            forced["retn"], [("retn", forced["retn"])] + list(forced["fields"].items()), key, key_name
        )
        outcome.details["forced"] = True

        def use():
            forced["count"] -= 1

        outcome.effects.append(use)
        return outcome

    def _token(self, command, cookie):
        user = command.params.get("userno", "")
        if not user:
            return self._reply(command, cmd.BAD_PARAMETERS)
        token = "" if self.options["omit_ltoken"] else uuid.uuid4().hex.upper()
        outcome = self._reply(command, cmd.OK, [] if self.options["omit_ltoken"] else [("ltoken", token)])
        outcome.effects.append(lambda: self.tokens.__setitem__(user, token))
        return outcome

    def _login(self, command, cookie):
        params = command.params
        if not params.get("userno") or "pass" not in params or "ltoken" not in params:
            return self._reply(command, cmd.BAD_PARAMETERS)
        user, sent = params["userno"], params["pass"]
        try:
            password = cipher.decrypt_text(sent, cipher.LOGIN_KEY)
        except cipher.CipherError:
            password = None
        key, key_name = command.key, "command"
        if self.options["login_reply_key"] == "digest" and password is not None:
            key, key_name = cipher.password_digest(password), "digest"
        stored = self.users.get(user)
        details = {
            "password": password,
            "password_ok": stored is not None and sent == cipher.encrypt_text(stored, cipher.LOGIN_KEY),
        }
        if self.tokens.get(user) != params["ltoken"]:
            outcome = self._reply(command, cmd.INVALID_TOKEN, key=key, key_name=key_name)
        elif not details["password_ok"]:
            outcome = self._reply(command, cmd.WRONG_PASSWORD, key=key, key_name=key_name)
        else:
            session = Session(
                uuid.uuid4().hex.upper(),
                user,
                "" if self.options["omit_skey"] else cipher.make_session_key(),
                cookie,
            )
            extra = [("sessionid", session.session_id)]
            if session.skey:
                extra.append(("skey", session.skey))
            outcome = self._reply(command, cmd.OK, extra, key=key, key_name=key_name)
            outcome.effects.append(lambda: self._open_session(session))
        outcome.details.update(details)
        outcome.effects.append(lambda: self.tokens.pop(user, None))
        return outcome

    def _open_session(self, session):
        if self.options["supersede"]:
            for other in self.sessions.values():
                if other.user == session.user:
                    other.signed_in_elsewhere = True
        self.sessions[session.session_id] = session

    def _page(self, command, cookie):
        return self._reply(command, cmd.OK)

    def _logout(self, command, cookie):
        session_id = command.params.get("sessionid", "")
        if not session_id:
            return self._reply(command, cmd.BAD_PARAMETERS)
        if session_id not in self.sessions:
            return self._reply(command, cmd.SESSION_DROPPED)
        outcome = self._reply(command, cmd.OK)
        outcome.effects.append(lambda: self.sessions.pop(session_id, None))
        return outcome

    def _version(self, command, cookie):
        if command.text != "ver":
            return self._reply(command, cmd.BAD_PARAMETERS)
        return self._reply(command, cmd.OK, [("version", self.version)])

    def _heartbeat_key(self, command, session):
        if session.skey and self.options["heartbeat_reply_key"] == "skey":
            return session.skey, "skey"
        return command.key, "command"

    def _heartbeat(self, command, cookie):
        session_id = command.params.get("sessionid", "")
        if not session_id:
            return self._reply(command, cmd.BAD_PARAMETERS)
        session = self.sessions.get(session_id)
        if session is None:
            return self._reply(command, cmd.SESSION_DROPPED)
        key, key_name = self._heartbeat_key(command, session)
        if session.signed_in_elsewhere:
            outcome = self._reply(command, cmd.SIGNED_IN_ELSEWHERE, key=key, key_name=key_name)
            outcome.effects.append(lambda: self.sessions.pop(session_id, None))
            return outcome
        queue = self.queues.get(session.user, [])
        if not queue:
            return self._reply(command, cmd.NO_DATA, key=key, key_name=key_name)
        taken = len(queue)
        outcome = self._reply(
            command, cmd.OK, [("data", cmd.join_messages(queue))], key=key, key_name=key_name
        )
        outcome.details["messages"] = taken
        outcome.effects.append(lambda: queue.__delitem__(slice(0, taken)))
        return outcome
