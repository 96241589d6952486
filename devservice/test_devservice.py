import base64
import http.client
import json
import os
import random
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import cipher
import commands as cmd
import control
import gif
import pages
import server
import soap
import tls

USER, PASSWORD = "05512345678", "abc123"
KEY = "0123456789abcdef"
NS = server.DEFAULT_NAMESPACE


class CipherTest(unittest.TestCase):
    def test_published_vectors(self):
        key = "".join(chr(i) for i in range(16))  # FIPS-197 C.1
        block = cipher.encrypt_bytes(bytes.fromhex("00112233445566778899aabbccddeeff"), key)
        self.assertEqual(block.hex(), "69c4e0d86a7b0430d8cdb78070b4c55a")
        self.assertEqual(cipher.decrypt_bytes(block, key).hex(), "00112233445566778899aabbccddeeff")
        # The middle of RFC 1321's MD5, over code page 936 bytes ("密码" is c3dc c2eb).
        self.assertEqual(cipher.password_digest("abc"), "900150983cd24fb0d6963f7d28e17f72"[8:24].upper())
        self.assertEqual(cipher.password_digest("密码"), "F0C964C5F6242486")

    def test_zero_padding_counts_code_page_936_bytes(self):
        cases = [("", 24), ("a" * 16, 24), ("a" * 17, 44), ("a" * 15 + "中", 44), ("€ 中&=+/", 24)]
        for plain, length in cases:
            text = cipher.encrypt_text(plain, KEY)
            self.assertEqual(len(text), length, plain)
            self.assertEqual(cipher.decrypt_text(text, KEY), plain)
        zero_block = cipher.encrypt_bytes(b"\0" * 16, KEY)
        self.assertEqual(base64.b64decode(cipher.encrypt_text("", KEY)), zero_block)
        self.assertEqual(cipher.to_ansi("€1"), b"\x801")  # as Windows' code page 936

    def test_refuses_what_a_client_cannot_send(self):
        for bad in ["", "abc", "@@@@", base64.b64encode(b"x" * 20).decode(), "AAAA\nAAAA"]:
            with self.assertRaises(cipher.CipherError, msg=repr(bad)):
                cipher.decrypt_text(bad, KEY)


class CommandTest(unittest.TestCase):
    def test_broken_commands(self):
        for text, retn in [
            ("", cmd.INVALID_COMMAND),
            ("9999" + KEY[:10], cmd.INVALID_COMMAND),
            (cmd.build_command("1001", KEY, "x=1"), cmd.INVALID_COMMAND),
            ("9999" + KEY + "not base64!", cmd.DECIPHER_FAILED),
            ("9999" + KEY, cmd.DECIPHER_FAILED),
        ]:
            with self.assertRaises(cmd.CommandError, msg=text) as caught:
                cmd.decipher(cmd.split_header(text))
            self.assertEqual(caught.exception.retn, retn, text)
        self.assertEqual(
            cmd.split_header("99x9" + "k" * 15 + "!AAAA").issues,
            ["code is not four digits", "key is not 16 characters of [0-9A-Za-z]"],
        )

    def test_message_fields_must_not_hold_separators(self):
        for bad in ["a|b", "a;b", "a&b", "\U0001F600"]:
            with self.assertRaises(ValueError, msg=bad):
                cmd.validate_message_fields([bad, "", "", "", "0"])


class SoapTest(unittest.TestCase):
    def test_exact_request_layout(self):
        expected = (
            b'<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"'
            b' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
            b' xmlns:xsd="http://www.w3.org/2001/XMLSchema"'
            b' xmlns:soapenc="http://schemas.xmlsoap.org/soap/encoding/">'
            b'<soap:Body><Entry xmlns="http://tempuri.org/"><requestData>1005a+/=</requestData>'
            b"</Entry></soap:Body></soap:Envelope>"
        )
        self.assertEqual(soap.exact_request("1005a+/=", NS), expected)
        self.assertEqual(expected.index(b"<soap:Body>"), 227)
        self.assertIn(b"&#x4E2D;&#x0009;&#x01F600;", soap.exact_request("中\t\U0001F600", NS))
        for value in ["a<b&c>d", "中\t\U0001F600", "", None]:
            self.assertEqual(soap.read_entry_request(soap.exact_request(value, NS), NS), value)

    def test_refused_requests(self):
        envelope = soap.ENVELOPE_START
        for body in [
            '<!DOCTYPE x [<!ENTITY a "aaaa">]><x/>',
            '<Envelope xmlns="http://www.w3.org/2003/05/soap-envelope"><Body/></Envelope>',
            envelope + "</soap:Envelope>",
            envelope
            + '<soap:Body><Entry xmlns="http://other/"><requestData>x</requestData></Entry></soap:Body>'
            "</soap:Envelope>",
            envelope + '<soap:Header><h xmlns="urn:h" soap:mustUnderstand="1"/></soap:Header><soap:Body/>'
            "</soap:Envelope>",
        ]:
            with self.assertRaises(soap.SoapFault, msg=body):
                soap.read_entry_request(body.encode(), NS)
        soap.check_soap_action('"http://tempuri.org/Entry"', NS)
        soap.check_soap_action("http://tempuri.org/Entry", NS)
        for bad in (None, "", '"http://tempuri.org/Other"', '"http://tempuri.org/"'):
            with self.assertRaises(soap.SoapFault, msg=bad):
                soap.check_soap_action(bad, NS)

    def test_index_page_keeps_the_session_inert(self):
        page = pages.index_page('x"</script><b>').decode("utf-8")
        self.assertIn("window.external.InvokeWebserver(command, data)", page)
        self.assertNotIn("</script><b>", page)


def lzw_decode(data, min_code_size):
    """An independent GIF LZW decoder: the table is a list grown one entry
    per code, as viewers do it."""
    clear, stream, out = 1 << min_code_size, iter(data), []
    buffer = count = 0
    table, previous, size = None, None, min_code_size + 1
    while True:
        while count < size:
            buffer, count = buffer | next(stream) << count, count + 8
        code, buffer, count = buffer & ((1 << size) - 1), buffer >> size, count - size
        if code == clear:
            table, previous, size = [(i,) for i in range(clear)] + [None, None], None, min_code_size + 1
            continue
        if code == clear + 1:
            return out
        entry = table[code] if code < len(table) else previous + previous[:1]
        if previous is not None and len(table) < 4096:
            table.append(previous + entry[:1])
        if len(table) == 1 << size and size < 12:
            size += 1
        out.extend(entry)
        previous = entry


def read_gif(data):
    """(width, height, colours, frames, delays); fails on anything malformed."""
    assert data[:6] == b"GIF89a", data[:6]
    width, height, flags = struct.unpack_from("<HHB", data, 6)
    colours = 2 << (flags & 7) if flags & 0x80 else 0
    position, frames, delays = 13 + 3 * colours, [], []

    def blocks():
        nonlocal position
        joined = b""
        while data[position]:
            joined += data[position + 1 : position + 1 + data[position]]
            position += 1 + data[position]
        position += 1
        return joined

    while data[position] != 0x3B:
        kind, position = data[position], position + 1
        if kind == 0x21:
            label, position = data[position], position + 1
            block = blocks()
            if label == 0xF9:
                delays.append(struct.unpack_from("<H", block, 1)[0])
        else:
            assert kind == 0x2C, hex(kind)
            assert struct.unpack_from("<HHHHB", data, position) == (0, 0, width, height, 0)
            min_code_size, position = data[position + 9], position + 10
            frames.append(lzw_decode(blocks(), min_code_size))
    assert position == len(data) - 1, "bytes behind the trailer"
    return width, height, colours, frames, delays


class GifTest(unittest.TestCase):
    def test_lzw_survives_full_tables(self):
        generator = random.Random(7)
        for min_code_size, colours in [(2, 4), (3, 5), (8, 256)]:
            pixels = [generator.randrange(colours) for _ in range(30000)] + [1] * 5000
            self.assertEqual(lzw_decode(gif.lzw_encode(pixels, min_code_size), min_code_size), pixels)

    def test_advertisement_is_an_animated_gif89a(self):
        width, height, colours, frames, delays = read_gif(gif.advertisement(0))
        self.assertEqual((width, height), (gif.WIDTH, gif.HEIGHT))
        self.assertEqual(len(frames), len(delays))
        self.assertGreaterEqual(len(frames), 2)
        self.assertNotEqual(frames[0], frames[1])
        self.assertTrue(all(len(f) == width * height and max(f) < colours for f in frames))
        self.assertIn(0, delays)
        self.assertTrue(any(delays))
        self.assertNotEqual(gif.advertisement(0), gif.advertisement(1))


class LiveServerTest(unittest.TestCase):
    """The service over real HTTP, with requests of the client's exact shape."""

    @classmethod
    def setUpClass(cls):
        cls.server = server.DevServer(quiet=True)
        cls.port = cls.server.server_address[1]
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.server.state.reset()
        self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        self.cookie = None

    def tearDown(self):
        self.connection.close()

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        connection.request(method, path, body, headers or {})
        response = connection.getresponse()
        data = response.read()
        connection.close()
        return response, data

    def control(self, name, body=None):
        method = "GET" if body is None else "POST"
        response, data = self.request(method, "/control/" + name, None if body is None else json.dumps(body))
        self.assertEqual(response.status, 200, data)
        return json.loads(data)

    def post(self, command, path=server.ENTRY_PATH):
        body = soap.exact_request(command, NS)
        c = self.connection
        c.putrequest("POST", path, skip_host=True, skip_accept_encoding=True)
        c.putheader("Content-Length", str(len(body)))
        c.putheader("Content-Type", soap.CONTENT_TYPE)
        if self.cookie:
            c.putheader("Cookie", self.cookie)
        c.putheader("SOAPAction", '"http://tempuri.org/Entry"')
        c.putheader("Accept", "text/xml")
        c.putheader("Host", "127.0.0.1:%d" % self.port)
        c.putheader("User-Agent", soap.USER_AGENT)
        c.endheaders(body)
        response = c.getresponse()
        return response, response.read()

    def raw_post(self, command):
        """Everything the service sends until it closes the connection."""
        body = soap.exact_request(command, NS)
        head = 'POST %s HTTP/1.1\r\nContent-Length: %d\r\nContent-Type: %s\r\nSOAPAction: "%sEntry"\r\n\r\n'
        pieces = []
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
            raw.sendall((head % (server.ENTRY_PATH, len(body), soap.CONTENT_TYPE, NS)).encode() + body)
            while piece := raw.recv(1 << 16):
                pieces.append(piece)
        return b"".join(pieces)

    def reply(self, body, key):
        result = body.split(b"<EntryResult>")[1].split(b"</EntryResult>")[0].decode()
        return cmd.parse_fields(cipher.decrypt_text(result, key))

    def call(self, code, key, text, reply_key=None, path=server.ENTRY_PATH):
        response, body = self.post(cmd.build_command(code, key, text), path)
        self.assertEqual(response.status, 200, body)
        if response.getheader("Set-Cookie"):
            self.last_set_cookie = response.getheader("Set-Cookie").split(";")[0]
        return self.reply(body, reply_key or key)

    def login(self, key="LoginKey12345678"):
        token = self.call("1000", key, "userno=" + USER)["ltoken"]
        password = cipher.encrypt_text(PASSWORD, cipher.LOGIN_KEY)
        return self.call("1002", key, "userno=%s&pass=%s&ltoken=%s" % (USER, password, token))

    def beat(self, session, path=server.ENTRY_PATH):
        return self.call("9999", "K" * 16, "sessionid=" + session["sessionid"], session["skey"], path)

    def test_whole_series(self):
        key = "SeriesKey0123456"
        token = self.call("1000", key, "userno=" + USER)
        self.assertEqual(token["retn"], "0")
        wrong = cipher.encrypt_text("nope", cipher.LOGIN_KEY)
        wrong = "userno=%s&pass=%s&ltoken=%s" % (USER, wrong, token["ltoken"])
        self.assertEqual(self.call("1002", key, wrong)["retn"], cmd.WRONG_PASSWORD)
        self.assertEqual(self.call("1002", key, wrong)["retn"], cmd.INVALID_TOKEN)  # the token is spent

        session = self.login(key)
        self.assertEqual(session["retn"], "0")
        self.assertTrue(cipher.is_session_key(session["skey"]))
        self.cookie = self.last_set_cookie
        session_id = "sessionid=" + session["sessionid"]
        messages = [["1", "05599998888", "2024-01-01 10:00", "你好", "0"], ["2", "x", "t", "y", "4"]]
        self.control("messages", {"user": USER, "messages": messages})
        self.assertEqual(
            self.beat(session), {"retn": "0", "data": "1;05599998888;2024-01-01 10:00;你好;0|2;x;t;y;4"}
        )
        self.assertEqual(self.beat(session), {"retn": cmd.NO_DATA})

        self.control("version", {"version": "1.2.3.4"})
        self.assertEqual(self.call("1005", "VersionKey012345", "ver"), {"retn": "0", "version": "1.2.3.4"})
        self.assertEqual(self.call("1003", "PageKey012345678", "cmd=send&to=1")["retn"], "0")
        self.assertEqual(self.call("1004", "LogoutKey0123456", session_id)["retn"], "0")
        self.assertEqual(self.call("9999", KEY, session_id)["retn"], cmd.SESSION_DROPPED)

        log = self.control("log")["commands"]
        codes = ["1000", "1002", "1002", "1000", "1002", "9999", "9999", "1005", "1003", "1004", "9999"]
        self.assertEqual([e["code"] for e in log], codes)
        self.assertTrue(all(e["exact"] and e["status"] == 200 for e in log), [e["issues"] for e in log])
        self.assertEqual([e["session_cookie"] for e in log[5:7]], [True, True])
        self.assertEqual(log[4]["password"], PASSWORD)

    def test_second_login_signs_the_first_out(self):
        first = self.login()
        self.assertEqual(self.login()["retn"], "0")
        self.assertEqual(self.beat(first)["retn"], cmd.SIGNED_IN_ELSEWHERE)
        dropped = self.call("9999", KEY, "sessionid=" + first["sessionid"])
        self.assertEqual(dropped["retn"], cmd.SESSION_DROPPED)

    def test_a_reply_the_client_cannot_read_takes_no_effect(self):
        session = self.login()
        beat = cmd.build_command("9999", "K" * 16, "sessionid=" + session["sessionid"])
        readable = ("delay", "connection_close", "chunked", "interim_100")
        statuses = {"status_500": 500, "status_202": 202, "redirect": 302}
        for fault in control.FAULTS + ("forced",):
            with self.subTest(fault):
                text = fault + ";a;b;c;0"
                self.control("messages", {"user": USER, "messages": [text.split(";")]})
                if fault == "forced":
                    self.control("force", {"code": "9999", "retn": cmd.SESSION_DROPPED})
                else:
                    self.control("fault", {"fault": fault, "seconds": 0.1})
                if fault.startswith("close_mid"):
                    head, _, body = self.raw_post(beat).partition(b"\r\n\r\n")
                    length = head.partition(b"Content-Length: ")[2].split(b"\r\n")[0]
                    self.assertLess(len(body), int(length or 1), "cut short")
                else:
                    response, body = self.post(beat)
                    self.connection.close()
                    self.assertEqual(response.status, statuses.get(fault, 200))
                if fault in readable:
                    self.assertEqual(self.reply(body, session["skey"]), {"retn": "0", "data": text})
                    continue
                if fault == "forced":
                    self.assertEqual(self.reply(body, session["skey"]), {"retn": cmd.SESSION_DROPPED})
                else:
                    self.assertFalse(self.control("log")["commands"][-1]["committed"])
                if fault == "redirect":
                    self.assertTrue(response.getheader("Location").endswith(server.REDIRECTED_ENTRY_PATH))
                self.assertEqual(self.beat(session, server.REDIRECTED_ENTRY_PATH)["data"], text)

    def test_bad_requests_get_clear_errors_and_never_end_the_server(self):
        good = {"Content-Type": soap.CONTENT_TYPE, "SOAPAction": '"http://tempuri.org/Entry"'}
        request = soap.exact_request(cmd.build_command("1005", KEY, "ver"), NS)
        cases = [
            ("GET", {}, None, 405),
            ("POST", dict(good, **{"Content-Type": "application/json"}), request, 415),
            ("POST", {"Content-Type": soap.CONTENT_TYPE}, request, 500),
            ("POST", good, b"\xff\xfe garbage", 500),
            ("POST", good, request.replace(b"Entry", b"Entree"), 500),
            ("POST", dict(good, **{"Content-Length": "x"}), None, 400),
            ("POST", good, request, 200),
        ]
        for method, headers, body, status in cases:
            self.assertEqual(
                self.request(method, server.ENTRY_PATH, body, headers)[0].status, status, headers
            )
        log = self.control("log")["commands"]
        self.assertEqual([e["status"] for e in log], [c[3] for c in cases])
        self.assertTrue(all(e["error"] for e in log[:-1]))
        self.assertIn("header order", " ".join(log[-1]["issues"]))

    def test_installer_on_offer_refused_or_cut_short(self):
        response, _ = self.request("GET", server.INSTALLER_PATH)
        self.assertEqual(response.status, 404)
        with tempfile.NamedTemporaryFile(suffix=".exe") as f:
            f.write(b"MZ" + bytes(range(256)) * 40)
            f.flush()
            self.control("installer", {"path": f.name})
            response, data = self.request("GET", server.INSTALLER_PATH)
            self.assertEqual((response.status, data), (200, open(f.name, "rb").read()))
            self.control("installer", {"truncate": 100})
            with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
                raw.sendall(b"GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % server.INSTALLER_PATH.encode())
                received = b""
                while piece := raw.recv(4096):
                    received += piece
            head, body = received.split(b"\r\n\r\n", 1)
            self.assertIn(b"Content-Length: %d" % (2 + 256 * 40), head)
            self.assertEqual(len(body), 100)
            self.control("installer", {"truncate": None, "status": 503})
            self.assertEqual(self.request("GET", server.INSTALLER_PATH)[0].status, 503)
        downloads = self.control("log")["installer_downloads"]
        self.assertEqual([(d["status"], d["complete"]) for d in downloads],
                         [(404, False), (200, True), (200, False), (503, False)])
        self.assertEqual(self.request("POST", "/control/installer", '{"truncate": -1}')[0].status, 400)

    def test_release_manifest_and_signature_beside_the_installer(self):
        for path in (server.MANIFEST_PATH, server.SIGNATURE_PATH):
            self.assertEqual(self.request("GET", path)[0].status, 404)
        with tempfile.TemporaryDirectory() as folder:
            setup = os.path.join(folder, "setup.exe")
            for name, content in (("setup.exe", b"MZ"), ("setup.exe.manifest", b"text"),
                                  ("setup.exe.manifest.sig", b"s" * 64), ("other.sig", b"o" * 64)):
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(content)
            self.control("installer", {"path": setup})
            self.assertEqual(self.request("GET", server.MANIFEST_PATH)[1], b"text")
            self.assertEqual(self.request("GET", server.SIGNATURE_PATH)[1], b"s" * 64)
            # Named apart from the installer, as a test serves a forged pair.
            self.control("installer", {"signature": os.path.join(folder, "other.sig")})
            self.assertEqual(self.request("GET", server.SIGNATURE_PATH)[1], b"o" * 64)
            self.control("installer", {"manifest": os.path.join(folder, "missing")})
            self.assertEqual(self.request("GET", server.MANIFEST_PATH)[0].status, 404)
        self.assertEqual(self.request("POST", "/control/installer", '{"manifest": 1}')[0].status, 400)

    def test_advertisement_last_modified(self):
        response, body = self.request("GET", server.AD_PATH)
        modified = response.getheader("Last-Modified")
        self.assertEqual((response.status, body[:6]), (200, b"GIF89a"))
        self.assertEqual(
            self.request("GET", server.AD_PATH, headers={"If-Modified-Since": modified})[0].status, 304
        )
        self.control("ad", {"touch": True})
        response, _ = self.request("GET", server.AD_PATH, headers={"If-Modified-Since": modified})
        self.assertEqual(response.status, 200)
        self.assertNotEqual(response.getheader("Last-Modified"), modified)

    def last_ad(self, until=lambda entry: True):
        """The newest advertisement log entry, once it satisfies until."""
        deadline = time.monotonic() + 3
        while True:
            entry = self.control("log")["ads"][-1]
            if until(entry) or time.monotonic() > deadline:
                return entry
            time.sleep(0.01)

    def test_advertisement_settings(self):
        bad_bodies = [{"stauts": 404}, {"status": "404"}, {"status": 100}, {"content_length": 0}]
        bad_bodies += [{"interval_ms": True}, {"padding": 1 << 30}, {"status": 404, "piece": -1}]
        for bad in bad_bodies:
            response, data = self.request("POST", "/control/ad", json.dumps(bad))
            self.assertEqual(response.status, 400, bad)
        self.assertEqual(self.control("state")["ad"]["status"], 200, "a refused body changes nothing")
        reply = self.control("ad", {"touch": True, "padding": 10, "piece": 7})
        self.assertEqual((reply["generation"], reply["size"]), (1, len(gif.advertisement(1)) + 10))
        self.control("reset", {})
        self.assertEqual(self.control("state")["ad"]["piece"], 0)

    def test_advertisement_replies(self):
        picture = gif.advertisement(0)
        stamp = "Mon, 01 Jan 2024 00:00:00 GMT"
        cases = [  # settings, method, If-Modified-Since, status, Last-Modified, body
            ({}, "HEAD", None, 200, stamp, b""),
            ({}, "GET", stamp, 304, stamp, b""),
            ({"status": 404}, "GET", None, 404, None, None),
            ({"status": 407}, "GET", None, 407, None, None),
            ({"last_modified": False}, "GET", stamp, 200, None, picture),
            ({"padding": 100}, "GET", None, 200, stamp, picture + bytes(100)),
        ]
        for settings, method, since, status, modified, body in cases:
            self.control("reset", {})
            self.control("ad", settings)
            headers = {"If-Modified-Since": since} if since else {}
            response, data = self.request(method, server.AD_PATH, headers=headers)
            entry = self.last_ad(lambda e: e["ended"])
            self.assertEqual((response.status, response.getheader("Last-Modified")), (status, modified))
            if body is not None:
                self.assertEqual(data, body, settings)
            self.assertEqual(response.getheader("Proxy-Authenticate") is not None, status == 407)
            logged = (entry["method"], entry["status"], entry["if_modified_since"])
            self.assertEqual(logged, (method, status, since))
            self.assertEqual((entry["bytes_sent"], entry["complete"]), (len(data), True))
            self.assertEqual(entry["modified"], modified and 1704067200)
        self.assertEqual(int(response.getheader("Content-Length")), len(picture) + 100)

    def test_advertisement_read_to_close(self):
        self.control("ad", {"content_length": False, "piece": 300, "padding": 5})
        received = b""
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
            raw.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % server.AD_PATH.encode())
            while piece := raw.recv(4096):
                received += piece
        head, _, body = received.partition(b"\r\n\r\n")
        self.assertNotIn(b"Content-Length", head)
        self.assertNotIn(b"Transfer-Encoding", head)
        self.assertIn(b"\r\nConnection: close", head)
        self.assertEqual(body, gif.advertisement(0) + bytes(5))

    def test_slow_advertisement_left_mid_body(self):
        self.control("ad", {"piece": 100, "interval_ms": 20, "padding": 3000})
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
            raw.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" % server.AD_PATH.encode())
            raw.recv(100)
            entry = self.last_ad()
            self.assertEqual((entry["status"], entry["ended"], entry["complete"]), (200, None, False))
        entry = self.last_ad(lambda e: e["ended"])
        self.assertTrue(entry["ended"] and entry["error"], entry)
        self.assertFalse(entry["complete"])
        self.assertLess(entry["bytes_sent"], entry["content_length"])
        # The next client is served whole, at the pace asked for.
        self.control("ad", {"piece": 1000, "interval_ms": 30})
        started = time.monotonic()
        response, data = self.request("GET", server.AD_PATH)
        self.assertGreater(time.monotonic() - started, 0.08)
        self.assertEqual(data, gif.advertisement(0) + bytes(3000))
        self.assertEqual(self.last_ad(lambda e: e["ended"])["bytes_sent"], len(data))

    def test_faults_of_framing_and_routing(self):
        """A redirect back to itself, a broken chunk size line and a reply over
        the client's cap: none can be read, so none takes effect."""
        session = self.login()
        beat = cmd.build_command("9999", "K" * 16, "sessionid=" + session["sessionid"])
        self.control("messages", {"user": USER, "messages": [["7", "a", "b", "c", "0"]]})

        self.control("fault", {"fault": "redirect_loop", "code": "9999"})
        for path in (server.ENTRY_PATH, server.LOOP_ENTRY_PATH, server.LOOP_ENTRY_PATH):
            response, _ = self.post(beat, path)
            self.assertEqual(response.status, 302)
            self.assertTrue(response.getheader("Location").endswith(server.LOOP_ENTRY_PATH))
        self.connection.close()

        self.control("fault", {"fault": "bad_chunked"})
        head, _, body = self.raw_post(beat).partition(b"\r\n\r\n")
        self.assertIn(b"Transfer-Encoding: chunked", head)
        size, _, rest = body.partition(b"\r\n")
        self.assertTrue(rest[int(size, 16) :].startswith(b"\r\nzz\r\n"), body)

        self.control("fault", {"fault": "oversize"})
        head, _, body = self.raw_post(beat).partition(b"\r\n\r\n")
        self.assertNotIn(b"Content-Length", head)
        self.assertIn(b"Connection: close", head)
        self.assertGreater(len(body), 32 << 20)
        self.assertEqual(self.reply(body, session["skey"])["data"], "7;a;b;c;0", "whole, were it read")

        log = self.control("log")["commands"][-5:]
        self.assertEqual([e["fault"] for e in log], ["redirect_loop"] * 3 + ["bad_chunked", "oversize"])
        self.assertFalse(any(e["committed"] for e in log))
        self.assertEqual(self.beat(session)["data"], "7;a;b;c;0")


class OutageTest(unittest.TestCase):
    """The service stopped for a while: its connections cut, new ones refused."""

    def setUp(self):
        self.server = server.DevServer(quiet=True)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, args=(0.05,), daemon=True).start()

    def tearDown(self):
        self.server.shutdown()
        self.server.server_close()

    def get_state(self, connection):
        connection.request("GET", "/control/state")
        response = connection.getresponse()
        response.read()
        return response.status

    def test_outage_then_back_on_the_same_port(self):
        kept = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        self.assertEqual(self.get_state(kept), 200)
        for bad in ({}, {"seconds": 0}, {"seconds": 61}, {"seconds": "1"}):
            asked = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
            asked.request("POST", "/control/outage", json.dumps(bad))
            self.assertEqual(asked.getresponse().status, 400, bad)
            asked.close()
        asked = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        asked.request("POST", "/control/outage", json.dumps({"seconds": 1}))
        self.assertEqual(asked.getresponse().status, 200)
        asked.close()
        time.sleep(server.OUTAGE_SETTLE_SECONDS + 0.3)
        with self.assertRaises(ConnectionRefusedError):
            socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
        with self.assertRaises((OSError, http.client.HTTPException)):
            self.get_state(kept)
        deadline = time.monotonic() + 5
        while True:
            again = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
            try:
                status = self.get_state(again)
                break
            except ConnectionRefusedError:
                self.assertLess(time.monotonic(), deadline, "still refused")
                time.sleep(0.05)
            finally:
                again.close()
        kept.close()
        self.assertEqual(status, 200)


class TlsTest(unittest.TestCase):
    """The HTTPS port: the same service under TLS, with a certificate chosen
    through the plain port's control interface."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        maker = os.path.join(os.path.dirname(__file__), "..", "scripts", "make-test-ca.py")
        subprocess.run([sys.executable, maker, cls.folder.name], check=True)
        cls.plain = server.DevServer(quiet=True)
        cls.secure = server.DevServer(
            quiet=True, state=cls.plain.state, tls_contexts=tls.load_contexts(cls.folder.name)
        )
        for s in (cls.plain, cls.secure):
            threading.Thread(target=s.serve_forever, args=(0.05,), daemon=True).start()
        cls.trusting = ssl.create_default_context(cafile=os.path.join(cls.folder.name, "ca.pem"))

    @classmethod
    def tearDownClass(cls):
        for s in (cls.plain, cls.secure):
            s.shutdown()
            s.server_close()
        cls.folder.cleanup()

    def setUp(self):
        self.plain.state.reset()

    def control(self, method, name, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.plain.server_address[1], timeout=5)
        connection.request(method, "/control/" + name, json.dumps(body) if body is not None else None)
        reply = json.loads(connection.getresponse().read())
        connection.close()
        return reply

    def secure_connection(self, host="127.0.0.1"):
        return http.client.HTTPSConnection(
            host, self.secure.server_address[1], timeout=5, context=self.trusting
        )

    def test_same_service_over_tls_one_connection(self):
        connection = self.secure_connection()
        for _ in range(2):
            connection.request("GET", "/control/state")
            reply = connection.getresponse()
            reply.read()
            self.assertEqual(reply.status, 200)
        connection.close()
        handshakes = self.control("GET", "log")["tls"]
        self.assertEqual(len(handshakes), 1)
        self.assertIn(handshakes[0]["version"], ("TLSv1.2", "TLSv1.3"))
        self.assertEqual(handshakes[0]["requests"], 2)
        self.assertIsNone(handshakes[0]["error"])

    def test_each_certificate_to_refuse_is_refused_by_a_checking_client(self):
        for name in ("wrong-name", "expired", "untrusted", "self-signed"):
            with self.subTest(name):
                self.assertEqual(self.control("POST", "tls", {"certificate": name}), {"ok": True})
                connection = self.secure_connection()
                with self.assertRaises(ssl.SSLCertVerificationError):
                    connection.request("GET", "/control/state")
                connection.close()
        self.assertEqual(self.control("POST", "tls", {"certificate": "nonesuch"})["ok"], False)
        # The good one again, and by name as well as by address.
        self.control("POST", "tls", {"certificate": "server"})
        for host in ("127.0.0.1", "localhost"):
            connection = self.secure_connection(host)
            connection.request("GET", "/control/state")
            self.assertEqual(connection.getresponse().status, 200)
            connection.close()
        names = [e["certificate"] for e in self.control("GET", "log")["tls"]]
        self.assertEqual(names, ["wrong-name", "expired", "untrusted", "self-signed", "server", "server"])

    def test_choosing_a_certificate_cuts_the_open_connections(self):
        kept = self.secure_connection()
        kept.request("GET", "/control/state")
        kept.getresponse().read()
        self.control("POST", "tls", {"certificate": "expired"})
        with self.assertRaises((OSError, http.client.HTTPException)):
            kept.request("GET", "/control/state")
            kept.getresponse().read()
        kept.close()

    def test_clear_text_to_the_tls_port_is_a_failed_handshake(self):
        with socket.create_connection(("127.0.0.1", self.secure.server_address[1]), timeout=5) as raw:
            raw.sendall(b"GET /control/state HTTP/1.1\r\nHost: x\r\n\r\n")
            raw.recv(100)
        time.sleep(0.2)
        handshake = self.control("GET", "log")["tls"][0]
        self.assertIsNotNone(handshake["error"])
        self.assertEqual(handshake["requests"], 0)

    def test_an_outage_stops_both_ports(self):
        self.control("POST", "outage", {"seconds": 1})
        time.sleep(server.OUTAGE_SETTLE_SECONDS + 0.3)
        for port in (self.plain.server_address[1], self.secure.server_address[1]):
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
        deadline = time.monotonic() + 5
        while True:
            try:
                connection = self.secure_connection()
                connection.request("GET", "/control/state")
                self.assertEqual(connection.getresponse().status, 200)
                connection.close()
                break
            except ConnectionRefusedError:
                self.assertLess(time.monotonic(), deadline, "still refused")
                time.sleep(0.05)


if __name__ == "__main__":
    unittest.main()
