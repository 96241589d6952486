"""The control interface for tests under /control/: JSON in, JSON out."""

import json
import time

import commands as cmd
import gif
import service

FAULTS = (
    "delay",
    "close_mid_header",
    "close_mid_body",
    "connection_close",
    "chunked",
    "interim_100",
    "redirect",
    "status_500",
    "status_202",
    "malformed_xml",
    "wrong_key",
)
# Faults of the reply's framing and routing, for the fault matrix of the
# running program: a redirect that leads back to itself, a chunked body with a
# broken size line, and a reply larger than the client's 32 MiB cap.
WIRE_FAULTS = ("redirect_loop", "bad_chunked", "oversize")
DEFAULT_DELAY_SECONDS = 12.0
# Long enough for several heartbeat cycles, short enough not to stall a run.
MAX_OUTAGE_SECONDS = 60.0
MAX_WAIT_SECONDS = 120.0
# Advertisement settings: (type, lowest, highest); the bounds keep a typo
# from tying up the service for hours or filling its memory.
AD_LIMITS = {
    "status": (int, 200, 599),
    "content_length": (bool, None, None),
    "last_modified": (bool, None, None),
    "piece": (int, 0, 1 << 20),
    "interval_ms": (float, 0, 60000),
    "padding": (int, 0, 16 << 20),
    # Sent as Location with a 3xx status: where a redirect leads.
    "location": (str, None, None),
}


class ControlError(ValueError):
    pass


def _field(body, name, kind, default=None, required=False):
    if name not in body:
        if required:
            raise ControlError("missing %r" % name)
        return default
    value = body[name]
    if kind is float and isinstance(value, int) and not isinstance(value, bool):
        value = float(value)
    if not isinstance(value, kind) or (kind is int and isinstance(value, bool)):
        raise ControlError("%r must be %s" % (name, kind.__name__))
    return value


def _reset(state, body):
    state.reset()
    return {"ok": True}


def _messages(state, body):
    user = _field(body, "user", str, required=True)
    messages = _field(body, "messages", list, required=True)
    return {"ok": True, "queued": state.queue_messages(user, messages)}


def _force(state, body):
    code = _field(body, "code", str, required=True)
    retn = body.get("retn")
    if not isinstance(retn, (str, int)) or isinstance(retn, bool):
        raise ControlError("'retn' must be a string or a number")
    fields = _field(body, "fields", dict, {})
    if not all(isinstance(k, str) and isinstance(v, str) for k, v in fields.items()):
        raise ControlError("'fields' must map strings to strings")
    state.force(code, retn, _field(body, "count", int, 1), fields)
    return {"ok": True}


def _version(state, body):
    version = _field(body, "version", str, required=True)
    service.check_texts([version], "version")
    with state.lock:
        state.version = version
    return {"ok": True}


def _options(state, body):
    state.set_options(body)
    return {"ok": True, "options": state.snapshot()["options"]}


def _users(state, body):
    users = _field(body, "users", dict, required=True)
    if not all(isinstance(k, str) and isinstance(v, str) for k, v in users.items()):
        raise ControlError("'users' must map numbers to passwords")
    service.check_texts(users.values(), "password")
    with state.lock:
        state.users.update(users)
    return {"ok": True}


def _fault(state, body):
    name = _field(body, "fault", str, required=True)
    if name not in FAULTS + WIRE_FAULTS:
        raise ControlError("unknown fault %r; known: %s" % (name, ", ".join(FAULTS + WIRE_FAULTS)))
    code = _field(body, "code", str)
    if code is not None and code not in cmd.KNOWN_CODES:
        raise ControlError("unknown command code %r" % code)
    fault = {
        "fault": name,
        "count": _field(body, "count", int, 1),
        "seconds": _field(body, "seconds", float, DEFAULT_DELAY_SECONDS),
        "code": code,
    }
    with state.lock:
        state.faults.append(fault)
    return {"ok": True}


def _outage(state, body):
    seconds = _field(body, "seconds", float, required=True)
    if not 0 < seconds <= MAX_OUTAGE_SECONDS:
        raise ControlError("'seconds' must be above 0 and at most %g" % MAX_OUTAGE_SECONDS)
    state.request_outage(seconds)
    return {"ok": True, "seconds": seconds}


def _tls(state, body):
    name = _field(body, "certificate", str, required=True)
    if name not in service.TLS_CERTIFICATES:
        raise ControlError("unknown certificate %r; known: %s" % (name, ", ".join(service.TLS_CERTIFICATES)))
    state.choose_certificate(name)
    return {"ok": True}


def _session(state, body):
    user = _field(body, "user", str, required=True)
    action = _field(body, "action", str, required=True)
    return {"ok": True, "sessions": state.mark_session(user, action)}


def ad_view(state):
    """The advertisement settings with the size of a 200 body."""
    view = state.ad_snapshot()
    view["size"] = len(gif.advertisement(view["generation"])) + view["padding"]
    return view


def _ad(state, body):
    unknown = sorted(set(body) - set(AD_LIMITS) - {"touch", "modified"})
    if unknown:
        raise ControlError(
            "unknown ad setting %s; known: touch, modified, %s"
            % (", ".join(map(repr, unknown)), ", ".join(AD_LIMITS))
        )
    modified = _field(body, "modified", int)
    changes = {}
    for name, (kind, lowest, highest) in AD_LIMITS.items():
        value = _field(body, name, kind)
        if value is None:
            continue
        if lowest is not None and not lowest <= value <= highest:
            raise ControlError("%r must be from %s to %s" % (name, lowest, highest))
        if kind is float and value == int(value):
            value = int(value)
        changes[name] = value
    with state.lock:
        if body.get("touch") or modified is not None:
            state.ad_generation += 1
            state.ad_modified = (
                modified if modified is not None else max(int(time.time()), state.ad_modified + 1)
            )
        state.ad_settings.update(changes)
        return dict(ok=True, **ad_view(state))


def _installer(state, body):
    settings = {}
    for name in ("path", "manifest", "signature"):
        if name in body:
            path = body[name]
            if path is not None and not isinstance(path, str):
                raise ControlError("'%s' must be a file name or null" % name)
            settings[name] = path
    if "status" in body:
        status = _field(body, "status", int)
        if not 200 <= status <= 599:
            raise ControlError("'status' must be 200 to 599")
        settings["status"] = status
    if "truncate" in body:
        truncate = body["truncate"]
        if truncate is not None and (not isinstance(truncate, int) or isinstance(truncate, bool) or truncate < 0):
            raise ControlError("'truncate' must be a byte count or null")
        settings["truncate"] = truncate
    with state.lock:
        state.installer.update(settings)
        return dict(state.installer, ok=True)


def _wait(state, body):
    code = _field(body, "code", str)
    count = _field(body, "count", int, 1)
    since = _field(body, "since", int, 0)
    timeout = min(_field(body, "timeout", float, 10.0), MAX_WAIT_SECONDS)
    entries = state.wait_for(code, count, since, timeout)
    return {"ok": True, "complete": len(entries) >= count, "entries": entries}


def _log(state, query):
    since = int(query.get("since", ["0"])[0])
    pages_since = int(query.get("pages_since", ["0"])[0])
    ads_since = int(query.get("ads_since", ["0"])[0])
    tls_since = int(query.get("tls_since", ["0"])[0])
    with state.lock:
        return {
            "commands": state.log[since:],
            "pages": state.pages[pages_since:],
            # Copied: a body still being sent updates its entry.
            "ads": [dict(e) for e in state.ads[ads_since:]],
            "installer_downloads": list(state.installer_downloads),
            # Handshakes of the HTTPS port, copied: a connection counts its requests.
            "tls": [dict(e) for e in state.tls_log[tls_since:]],
        }


_POST = {
    "reset": _reset,
    "messages": _messages,
    "force": _force,
    "version": _version,
    "options": _options,
    "users": _users,
    "fault": _fault,
    "session": _session,
    "ad": _ad,
    "installer": _installer,
    "wait": _wait,
    "outage": _outage,
    "tls": _tls,
}


def handle(state, method, name, query, raw_body):
    """(status, JSON-able object) for one control request."""
    try:
        if method == "GET" and name == "log":
            return 200, _log(state, query)
        if method == "GET" and name == "state":
            return 200, dict(state.snapshot(), ad=ad_view(state))
        handler = _POST.get(name)
        if handler is None:
            return 404, {"ok": False, "error": "no control %r" % name}
        if method != "POST":
            return 405, {"ok": False, "error": "control %r takes POST" % name}
        body = json.loads(raw_body.decode("utf-8") or "{}") if raw_body else {}
        if not isinstance(body, dict):
            raise ControlError("the body must be a JSON object")
        return 200, handler(state, body)
    except (ValueError, UnicodeError) as error:
        return 400, {"ok": False, "error": str(error)}
