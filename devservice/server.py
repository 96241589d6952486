#!/usr/bin/env python3
"""Stand-in for the operator's service on loopback: the Entry SOAP endpoint,
the index page, the login advertisement and a control interface for tests."""

import argparse
import email.utils
import json
import os
import secrets
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import quoteattr

import cipher
import commands as cmd
import control
import gif
import pages
import service
import soap
import tls

ENTRY_PATH = "/serv/clientservice.asmx"
# Where the redirect fault sends the client; it answers like ENTRY_PATH.
REDIRECTED_ENTRY_PATH = "/serv/redirected/clientservice.asmx"
# The redirect_loop fault sends the client here, and this sends it here again.
LOOP_ENTRY_PATH = "/serv/loop/clientservice.asmx"
# Above the client's 32 MiB cap on a reply.
OVERSIZE_BYTES = 33 << 20
# Lets the control reply that asked for an outage reach its caller first.
OUTAGE_SETTLE_SECONDS = 0.3
INDEX_PATH = "/chat/clientindex.aspx"
INSTALLER_PATH = "/update/Velmarin-setup.exe"
# The installer's signed manifest and its signature, beside it.
MANIFEST_PATH = INSTALLER_PATH + ".manifest"
SIGNATURE_PATH = INSTALLER_PATH + ".manifest.sig"
AD_PATH = "/ad/loginad.gif"
CONTROL_PREFIX = "/control/"
DEFAULT_NAMESPACE = "http://tempuri.org/"
MAX_BODY = 1 << 20
IDLE_TIMEOUT = 120
SESSION_COOKIE = "ASP.NET_SessionId"
_ASP_COOKIE_ALPHABET = "abcdefghijklmnopqrstuvwxyz012345"
# Faults after which the client cannot have read the answer: the command
# then takes no effect, so no queued message or token is lost to them.
_UNREAD_FAULTS = (
    "close_mid_header",
    "close_mid_body",
    "status_500",
    "status_202",
    "malformed_xml",
    "wrong_key",
    "bad_chunked",
    "oversize",
)


class HttpError(Exception):
    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


def new_session_cookie():
    return "".join(secrets.choice(_ASP_COOKIE_ALPHABET) for _ in range(24))


def request_cookie(headers):
    for line in headers.get_all("Cookie") or []:
        for piece in line.replace(",", ";").split(";"):
            name, sep, value = piece.strip().partition("=")
            if sep and name == SESSION_COOKIE:
                return value
    return None


# Challenge headers, so that a forced 401 or 407 looks like a real one.
_CHALLENGES = {401: "WWW-Authenticate", 407: "Proxy-Authenticate"}


def _not_modified_since(since, modified):
    try:
        return email.utils.parsedate_to_datetime(since).timestamp() >= modified
    except (TypeError, ValueError, OverflowError):
        return False


def _chunked(body):
    pieces = [body[i : i + 97] for i in range(0, len(body), 97)]
    return b"".join(b"%x\r\n%s\r\n" % (len(p), p) for p in pieces) + b"0\r\n\r\n"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "devservice/1.0"
    timeout = IDLE_TIMEOUT

    @property
    def state(self):
        return self.server.state

    # Open connections are known to the server, which cuts them in an outage.
    def setup(self):
        super().setup()
        self.server.track_connection(self.connection, True)
        self.tls_entry = None
        if isinstance(self.connection, ssl.SSLSocket):
            self.tls_entry = tls.handshake(self.connection, self.server.tls_names.pop(self.connection, None))
            self.state.append_log(self.tls_entry, tls=True)
            if not self.server.quiet:
                print("tls: %(certificate)s certificate: %(version)s %(cipher)s %(error)s" % self.tls_entry,
                      file=sys.stderr, flush=True)

    def handle(self):
        if self.tls_entry is not None and self.tls_entry["error"]:
            return
        try:
            super().handle()
        except ssl.SSLError as error:
            # Anything but TLS records after the handshake, or a broken record.
            self.state.update_entry(self.tls_entry, error=str(error))

    def parse_request(self):
        # Counted before the reply goes out: a client that has read its reply
        # may ask for the log at once.
        if self.tls_entry is not None and self.raw_requestline:
            self.state.update_entry(self.tls_entry, requests=self.tls_entry["requests"] + 1)
        return super().parse_request()

    def finish(self):
        self.server.track_connection(self.connection, False)
        super().finish()

    def log_message(self, format, *args):
        if not self.server.quiet:
            super().log_message(format, *args)

    # Plumbing

    def _write(self, status, headers, body=b"", fault=None):
        """One reply written in one piece, or cut short on purpose."""
        head = ["HTTP/1.1 %d %s" % (status, self.responses.get(status, ("",))[0])]
        head.append("Date: %s" % self.date_time_string())
        head.append("Server: %s" % self.server_version)
        head += ["%s: %s" % pair for pair in headers]
        if fault == "chunked":
            head.append("Transfer-Encoding: chunked")
            payload = _chunked(body)
        else:
            head.append("Content-Length: %d" % len(body))
            payload = body
        if fault == "connection_close" or self.close_connection:
            head.append("Connection: close")
            self.close_connection = True
        raw_head = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        if fault == "interim_100":
            raw_head = b"HTTP/1.1 100 Continue\r\n\r\n" + raw_head
        if fault == "close_mid_header":
            data = raw_head[: len(raw_head) // 2]
        elif fault == "close_mid_body":
            data = raw_head + payload[: len(payload) // 2]
        else:
            data = raw_head + (b"" if self.command == "HEAD" else payload)
        if fault in ("close_mid_header", "close_mid_body"):
            self.close_connection = True
        self.log_request(status, len(body))
        self._publish_entry()
        try:
            self.wfile.write(data)
            self.wfile.flush()
        except OSError:
            self.close_connection = True

    def _publish_entry(self):
        # Logged before the reply goes out: whoever has read the reply
        # finds the command in the log.
        entry, self._pending_entry = getattr(self, "_pending_entry", None), None
        if entry is not None:
            self.state.append_log(entry)

    def _read_body(self, required=False):
        if self.headers.get("Transfer-Encoding"):
            self.close_connection = True
            raise HttpError(411, "request bodies must carry a Content-Length")
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            if required:
                raise HttpError(411, "the Entry operation needs a Content-Length")
            return b""
        if not length_text.strip().isdigit():
            self.close_connection = True
            raise HttpError(400, "bad Content-Length %r" % length_text)
        length = int(length_text)
        if length > MAX_BODY:
            self.close_connection = True
            raise HttpError(413, "request body over %d bytes" % MAX_BODY)
        body = self.rfile.read(length)
        if len(body) != length:
            self.close_connection = True
            raise HttpError(400, "request body ended after %d of %d bytes" % (len(body), length))
        return body

    def _plain_error(self, status, message, extra=()):
        self._write(
            status,
            [("Content-Type", "text/plain; charset=utf-8")] + list(extra),
            (message + "\n").encode("utf-8"),
        )

    def _cookie_headers(self, cookie, new_cookie):
        return (
            [("Set-Cookie", "%s=%s; path=/; HttpOnly" % (SESSION_COOKIE, new_cookie))] if new_cookie else []
        )

    # Dispatch

    def do_GET(self):
        self._dispatch()

    def do_HEAD(self):
        self._dispatch()

    def do_POST(self):
        self._dispatch()

    def do_PUT(self):
        self._dispatch()

    def do_DELETE(self):
        self._dispatch()

    def _dispatch(self):
        url = urllib.parse.urlsplit(self.path)
        self._loop_hop = url.path == LOOP_ENTRY_PATH
        try:
            if url.path in (ENTRY_PATH, REDIRECTED_ENTRY_PATH):
                self._entry(url.path == REDIRECTED_ENTRY_PATH)
            elif url.path == LOOP_ENTRY_PATH:
                self._entry(True)
            elif url.path.startswith(CONTROL_PREFIX):
                self._control(url)
            elif url.path == INDEX_PATH:
                self._index(url)
            elif url.path == AD_PATH:
                self._advertisement()
            elif url.path == INSTALLER_PATH:
                self._installer()
            elif url.path in (MANIFEST_PATH, SIGNATURE_PATH):
                self._release_file("manifest" if url.path == MANIFEST_PATH else "signature")
            else:
                self._plain_error(404, "no such page: %s" % url.path)
        except Exception as error:  # a bad request must never end the server
            self.close_connection = True
            self.log_error("internal error on %s: %r", self.path, error)
            try:
                self._plain_error(500, "internal error: %r" % error)
            except Exception:
                pass

    # The Entry operation

    def _entry(self, redirected):
        entry = {
            "time": time.time(),
            "path": self.path,
            "method": self.command,
            "headers": [[k, v] for k, v in self.headers.items()],
            "status": None,
            "fault": None,
            "error": None,
            "request_data": None,
            "exact": False,
            "issues": [],
            "code": None,
            "key": None,
            "text": None,
            "params": {},
            "retn": None,
            "reply": None,
            "reply_key": None,
            "forced": False,
            "committed": False,
            "session_cookie": False,
            "tls": self.tls_entry["version"] if self.tls_entry else None,
        }
        cookie = request_cookie(self.headers)
        new_cookie = None if cookie else new_session_cookie()
        entry["cookie"] = cookie
        entry["set_cookie"] = new_cookie
        self._pending_entry = entry
        try:
            self._entry_exchange(entry, redirected, cookie, new_cookie)
        except HttpError as error:
            # The body may be unread: this connection cannot carry another request.
            self.close_connection = True
            entry["status"], entry["error"] = error.status, str(error)
            extra = [("Allow", "POST")] if error.status == 405 else []
            self._plain_error(error.status, str(error), extra)
        except soap.SoapFault as error:
            entry["status"], entry["error"] = 500, "%s: %s" % (error.faultcode, error.faultstring)
            body = soap.fault_response(error.faultcode, error.faultstring)
            headers = [
                ("Cache-Control", "private"),
                ("Content-Type", soap.CONTENT_TYPE),
            ] + self._cookie_headers(cookie, new_cookie)
            self._write(500, headers, body)
        except Exception as error:
            entry.update(status=500, error="internal error: %r" % error)
            raise
        finally:
            self._publish_entry()

    def _entry_exchange(self, entry, redirected, cookie, new_cookie):
        namespace = self.server.namespace
        if self.command != "POST":
            raise HttpError(405, "the Entry operation takes POST")
        body = self._read_body(required=True)
        content_type = self.headers.get("Content-Type", "")
        if content_type.split(";")[0].strip().lower() != "text/xml":
            raise HttpError(415, "a SOAP 1.1 request is text/xml, not %r" % content_type)
        soap.check_soap_action(self.headers.get("SOAPAction"), namespace)
        value = soap.read_entry_request(body, namespace)
        entry["request_data"] = value
        entry["issues"] = soap.request_issues(
            self.headers.items(), body, value, namespace, self.server.server_port
        )
        entry["exact"] = not entry["issues"]

        command, early = None, None
        try:
            command = cmd.split_header(value)
            entry.update(code=command.code, key=command.key)
            entry["issues"] += command.issues
            cmd.decipher(command)
            entry.update(text=command.text, params=command.params)
        except cmd.CommandError as error:
            entry["error"] = str(error)
            key, key_name = (command.key, "command") if command else (cipher.LOGIN_KEY, "login")
            early = service.Outcome(error.retn, [("retn", error.retn)], key, key_name)

        fault = None if redirected else self._take_fault(command.code if command else None)
        if self._loop_hop:
            fault = {"fault": "redirect_loop"}
        if fault:
            entry["fault"] = fault["fault"]
            if fault["fault"] == "delay":
                time.sleep(fault["seconds"])
            elif fault["fault"] == "redirect":
                self._redirect(entry)
                return
            elif fault["fault"] == "redirect_loop":
                self._redirect(entry, LOOP_ENTRY_PATH)
                return

        state = self.state
        effective_cookie = cookie or new_cookie
        with state.lock:
            outcome = early or state.execute(command, effective_cookie)
            if command is not None:
                session_id = (
                    command.params.get("sessionid") if command.code in (cmd.HEARTBEAT, cmd.LOGOUT) else None
                )
                entry["session_cookie"] = state.cookie_session(cookie, session_id)
            if not fault or fault["fault"] not in _UNREAD_FAULTS:
                outcome.commit()
                entry["committed"] = True
        entry.update(outcome.details)
        entry.update(retn=outcome.retn, reply=outcome.text, reply_key=outcome.key_name)
        self._entry_reply(entry, outcome, fault["fault"] if fault else None, cookie, new_cookie)

    def _take_fault(self, code):
        with self.state.lock:
            for fault in self.state.faults:
                if fault["count"] > 0 and fault["code"] in (None, code):
                    fault["count"] -= 1
                    return dict(fault)
        return None

    def _redirect(self, entry, path=REDIRECTED_ENTRY_PATH):
        host = self.headers.get("Host") or "%s:%d" % self.server.server_address[:2]
        location = "http://%s%s" % (host, path)
        entry.update(status=302, reply=location)
        link = "<h2>Object moved to <a href=%s>here</a>.</h2>" % quoteattr(location)
        body = ("<html><head><title>Object moved</title></head><body>%s</body></html>" % link).encode()
        self._write(302, [("Location", location), ("Content-Type", "text/html; charset=utf-8")], body)

    def _entry_reply(self, entry, outcome, fault, cookie, new_cookie):
        key = outcome.key
        if fault == "wrong_key":
            key = cipher.make_session_key()
            entry["reply_key"] = "random"
        result = cipher.encrypt_text(outcome.text, key)
        status, body = 200, soap.entry_response(result, self.server.namespace)
        if fault == "status_500":
            status, body = 500, soap.fault_response(
                "soap:Server", "Server was unable to process request. ---> The service is failing on purpose."
            )
        elif fault == "status_202":
            status, body = 202, b""
        elif fault == "malformed_xml":
            body = body[: body.index(b"</EntryResult>")] + b"</EntryResponse></soap:Envelope"
        entry["status"] = status
        headers = [("Cache-Control", "private, max-age=0")]
        if body:
            headers.append(("Content-Type", soap.CONTENT_TYPE))
        headers += self._cookie_headers(cookie, new_cookie)
        if fault in ("bad_chunked", "oversize"):
            self._write_broken_framing(entry, headers, body, fault)
            return
        self._write(status, headers, body, fault)

    def _write_broken_framing(self, entry, headers, body, fault):
        """A 200 reply the client must give up on: a chunked body whose second
        size line is not hexadecimal, or a body read to the close that runs past
        the client's cap (whitespace inside the envelope, so that it would still
        be a valid reply to a client without a cap). The connection ends after
        it; the entry's `ended` is when the writing did, which for a reply over
        the cap is about when the client stopped reading."""
        self.close_connection = True
        head = ["HTTP/1.1 200 OK", "Date: %s" % self.date_time_string(), "Server: %s" % self.server_version]
        head += ["%s: %s" % pair for pair in headers]
        if fault == "bad_chunked":
            head.append("Transfer-Encoding: chunked")
            half = len(body) // 2
            payload = b"%x\r\n%s\r\nzz\r\n%s\r\n0\r\n\r\n" % (half, body[:half], body[half:])
        else:
            end = body.rindex(b"</soap:Envelope>")
            payload = body[:end] + b" " * max(0, OVERSIZE_BYTES - len(body)) + body[end:]
        head.append("Connection: close")
        self.log_request(200, len(payload))
        self._publish_entry()
        try:
            self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
            self.wfile.write(payload)
            self.wfile.flush()
        except OSError:
            pass  # the client stopped reading at its cap
        self.state.update_entry(entry, ended=time.time())

    # Pages, advertisement, control

    def _index(self, url):
        query = urllib.parse.parse_qs(url.query)
        session_id = query.get("kptsessionid", [""])[0]
        cookie = request_cookie(self.headers)
        new_cookie = None if cookie else new_session_cookie()
        with self.state.lock:
            valid = session_id in self.state.sessions
            session_cookie = self.state.cookie_session(cookie, session_id)
        self.state.append_log(
            {
                "time": time.time(),
                "path": self.path,
                "kptsessionid": session_id,
                "session_valid": valid,
                "cookie": cookie,
                "session_cookie": session_cookie,
            },
            pages=True,
        )
        headers = [("Content-Type", "text/html; charset=utf-8"), ("Cache-Control", "no-cache")]
        self._write(200, headers + self._cookie_headers(cookie, new_cookie), pages.index_page(session_id))

    def _advertisement(self):
        if self.command not in ("GET", "HEAD"):
            self._plain_error(405, "the advertisement takes GET", [("Allow", "GET, HEAD")])
            return
        with self.state.lock:
            ad = self.state.ad_snapshot()
        since = self.headers.get("If-Modified-Since")
        entry = {
            "time": time.time(),
            "path": self.path,
            "method": self.command,
            "headers": [[k, v] for k, v in self.headers.items()],
            "if_modified_since": since,
            "generation": ad["generation"],
            "modified": None,
            "status": None,
            "content_length": None,
            "length": 0,
            "bytes_sent": 0,
            "complete": False,
            "ended": None,
            "error": None,
            "tls": self.tls_entry["version"] if self.tls_entry else None,
        }
        headers = [("Cache-Control", "no-cache")]
        if ad["status"] != 200:
            status = ad["status"]
            body = ("%d: the advertisement is unavailable on purpose\n" % status).encode("ascii")
            headers.append(("Content-Type", "text/plain; charset=utf-8"))
            if ad.get("location") and 300 <= status < 400:
                headers.append(("Location", ad["location"]))
            if status in _CHALLENGES:
                headers.append((_CHALLENGES[status], 'Basic realm="devservice"'))
            self._send_advertisement(status, headers, body, ad, entry)
            return
        if ad["last_modified"]:
            headers.insert(0, ("Last-Modified", email.utils.formatdate(ad["modified"], usegmt=True)))
            entry["modified"] = ad["modified"]
            if since and _not_modified_since(since, ad["modified"]):
                self._send_advertisement(304, headers, b"", ad, entry)
                return
        body = self.server.advertisement(ad["generation"]) + bytes(ad["padding"])
        headers.append(("Content-Type", "image/gif"))
        self._send_advertisement(200, headers, body, ad, entry)

    def _installer(self):
        """The newest installer, for the updater; cut short or refused on request."""
        if self.command not in ("GET", "HEAD"):
            self._plain_error(405, "the installer takes GET", [("Allow", "GET, HEAD")])
            return
        with self.state.lock:
            settings = dict(self.state.installer)
        entry = {"time": time.time(), "status": settings["status"], "bytes_sent": 0, "complete": False}
        with self.state.lock:
            self.state.installer_downloads.append(entry)
        body = b""
        if settings["path"] and settings["status"] == 200:
            try:
                with open(settings["path"], "rb") as f:
                    body = f.read()
            except OSError as error:
                settings["status"] = 404
                entry["status"] = 404
                entry["error"] = str(error)
        elif settings["status"] == 200:
            settings["status"] = 404
            entry["status"] = 404
        if settings["status"] != 200:
            self._plain_error(settings["status"], "no installer on offer")
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command == "HEAD":
            return
        sent = body if settings["truncate"] is None else body[: settings["truncate"]]
        self.wfile.write(sent)
        self.wfile.flush()
        entry["bytes_sent"] = len(sent)
        entry["complete"] = len(sent) == len(body)
        if not entry["complete"]:
            self.close_connection = True

    def _release_file(self, which):
        """The installer's manifest or signature: the file the control named, or
        by default the one package.sh writes beside the installer."""
        if self.command not in ("GET", "HEAD"):
            self._plain_error(405, "the %s takes GET" % which, [("Allow", "GET, HEAD")])
            return
        with self.state.lock:
            path = service.release_file_path(self.state.installer, which)
        try:
            with open(path, "rb") as f:
                body = f.read()
        except (OSError, TypeError):
            self._plain_error(404, "no %s on offer" % which)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _send_advertisement(self, status, headers, body, ad, entry):
        """The reply with the framing and pace the settings ask for. Its log
        entry is published before the head goes out and follows the body."""
        head = ["HTTP/1.1 %d %s" % (status, self.responses.get(status, ("",))[0])]
        head.append("Date: %s" % self.date_time_string())
        head.append("Server: %s" % self.server_version)
        head += ["%s: %s" % pair for pair in headers]
        bodiless = status in (204, 304)
        if not bodiless and ad["content_length"]:
            head.append("Content-Length: %d" % len(body))
            entry["content_length"] = len(body)
        elif not bodiless:
            # Read to close: nothing else can tell the client where the body ends.
            self.close_connection = True
        if self.close_connection:
            head.append("Connection: close")
        if bodiless or self.command == "HEAD":
            body = b""
        entry.update(status=status, length=len(body))
        self.log_request(status, len(body))
        self.state.append_log(entry, ads=True)
        piece = ad["piece"] or len(body) or 1
        sent = 0
        try:
            self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
            for start in range(0, len(body), piece):
                if start and ad["interval_ms"]:
                    time.sleep(ad["interval_ms"] / 1000.0)
                self.wfile.write(body[start : start + piece])
                sent += len(body[start : start + piece])
                self.state.update_entry(entry, bytes_sent=sent)
            self.wfile.flush()
        except OSError as error:
            # The client went away mid-reply, as a destroyed window's download does.
            self.close_connection = True
            self.state.update_entry(entry, error="client gone: %s" % (error.strerror or error))
        self.state.update_entry(entry, bytes_sent=sent, complete=sent == len(body), ended=time.time())

    def _control(self, url):
        try:
            body = self._read_body()
        except HttpError as error:
            self._plain_error(error.status, str(error))
            return
        name = url.path[len(CONTROL_PREFIX) :].strip("/")
        status, result = control.handle(
            self.state, self.command, name, urllib.parse.parse_qs(url.query), body
        )
        payload = json.dumps(result, ensure_ascii=False).encode("utf-8")
        self._write(status, [("Content-Type", "application/json; charset=utf-8")], payload)


class DevServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(
        self,
        port=0,
        users=None,
        namespace=DEFAULT_NAMESPACE,
        version=service.DEFAULT_VERSION,
        quiet=False,
        state=None,
        tls_contexts=None,
    ):
        # A second server for HTTPS shares the first one's state.
        self.state = state or service.ServiceState(users, version)
        self.namespace = namespace
        self.quiet = quiet
        self.tls_contexts = tls_contexts
        self.tls_names = {}  # accepted connection: the certificate it was given
        self._outage_seen = 0
        self._connections = set()
        self._connections_lock = threading.Lock()
        super().__init__(("127.0.0.1", port), Handler)
        if tls_contexts:
            self.state.tls_listeners.append(self.cut_connections)

    def get_request(self):
        connection, address = super().get_request()
        if self.tls_contexts:
            connection, name = tls.wrap(self.tls_contexts, self.state, connection)
            self.tls_names[connection] = name
        return connection, address

    def track_connection(self, connection, opened):
        with self._connections_lock:
            (self._connections.add if opened else self._connections.discard)(connection)

    def cut_connections(self):
        with self._connections_lock:
            open_connections = list(self._connections)
        for connection in open_connections:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def service_actions(self):
        # Runs on the serving thread between requests: an outage holds it, so
        # nothing is accepted meanwhile.
        seconds, self._outage_seen = self.state.take_outage(self._outage_seen)
        if seconds:
            time.sleep(OUTAGE_SETTLE_SECONDS)
            self.outage(seconds)

    def outage(self, seconds):
        """As if the service had stopped: open connections are cut, new ones
        refused for the given seconds; then it listens on the same port again."""
        port = self.server_address[1]
        self.socket.shutdown(socket.SHUT_RD)  # refuses from here on
        self.cut_connections()
        time.sleep(seconds)
        fresh = socket.socket(self.address_family, self.socket_type)
        fresh.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        for _ in range(50):
            try:
                fresh.bind(("127.0.0.1", port))
                break
            except OSError:
                time.sleep(0.1)  # the port is taken for a moment; try again
        else:
            raise OSError("port %d stayed taken after the outage" % port)
        fresh.listen(self.request_queue_size)
        # Onto the same descriptor, which the serving loop watches.
        os.dup2(fresh.fileno(), self.socket.fileno())
        fresh.close()

    def advertisement(self, generation):
        return gif.advertisement(generation)


def load_users(path):
    with open(path, encoding="utf-8") as f:
        users = json.load(f)
    if not isinstance(users, dict) or not all(
        isinstance(k, str) and isinstance(v, str) for k, v in users.items()
    ):
        raise ValueError("%s: expected a JSON object of number to password" % path)
    return users


def write_port_file(path, port):
    # Written whole under a temporary name, so a reader never sees half.
    temporary = "%s.%d.tmp" % (path, os.getpid())
    with open(temporary, "w", encoding="ascii") as f:
        f.write("%d\n" % port)
    os.replace(temporary, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--port-file", help="file to receive the port once listening")
    parser.add_argument("--users", help="JSON file of number to password")
    parser.add_argument("--namespace", default=DEFAULT_NAMESPACE, help="service namespace URI")
    parser.add_argument(
        "--version", default=service.DEFAULT_VERSION, help="newest client version (command 1005)"
    )
    parser.add_argument("--quiet", action="store_true", help="no access log on stderr")
    parser.add_argument("--tls-dir", help="certificates of scripts/make-test-ca.py: serve HTTPS too")
    parser.add_argument("--tls-port", type=int, default=0, help="HTTPS port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--tls-port-file", help="file to receive the HTTPS port once listening")
    args = parser.parse_args(argv)
    if not args.namespace.endswith("/"):
        parser.error("--namespace must end with '/'")
    try:
        users = load_users(args.users) if args.users else None
        server = DevServer(args.port, users, args.namespace, args.version, args.quiet)
        secure = None
        if args.tls_dir:
            contexts = tls.load_contexts(args.tls_dir)
            secure = DevServer(
                args.tls_port, namespace=args.namespace, quiet=args.quiet, state=server.state, tls_contexts=contexts
            )
    except (OSError, ValueError, ssl.SSLError) as error:
        print("devservice: %s" % error, file=sys.stderr)
        return 1
    port = server.server_address[1]
    if secure:
        threading.Thread(target=secure.serve_forever, daemon=True).start()
        if args.tls_port_file:
            write_port_file(args.tls_port_file, secure.server_address[1])
        print(
            "devservice listening on https://127.0.0.1:%d%s" % (secure.server_address[1], ENTRY_PATH),
            file=sys.stderr,
            flush=True,
        )
    if args.port_file:
        write_port_file(args.port_file, port)
    print("devservice listening on http://127.0.0.1:%d%s" % (port, ENTRY_PATH), file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
