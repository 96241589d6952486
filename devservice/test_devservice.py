import base64
import http.client
import json
import socket
import threading
import unittest

import cipher
import commands as cmd
import gif
import pages
import server
import soap

USER, PASSWORD = "05512345678", "abc123"


class CipherTest(unittest.TestCase):
    def test_aes_fips197_c1(self):
        key = "".join(chr(i) for i in range(16))
        block = cipher.encrypt_bytes(bytes.fromhex("00112233445566778899aabbccddeeff"), key)
        self.assertEqual(block.hex(), "69c4e0d86a7b0430d8cdb78070b4c55a")
        self.assertEqual(cipher.decrypt_bytes(block, key).hex(), "00112233445566778899aabbccddeeff")

    def test_password_digest_is_middle_of_rfc1321_md5(self):
        cases = [
            ("", "d41d8cd98f00b204e9800998ecf8427e"),
            ("a", "0cc175b9c0f1b6a831c399e269772661"),
            ("abc", "900150983cd24fb0d6963f7d28e17f72"),
            ("message digest", "f96b697d7cb7938d525a2f31aaf161d0"),
            ("abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"),
        ]
        for password, md5 in cases:
            self.assertEqual(cipher.password_digest(password), md5[8:24].upper(), password)

    def test_digest_hashes_code_page_936_bytes(self):
        import hashlib

        self.assertEqual(
            cipher.password_digest("密码"), hashlib.md5(b"\xc3\xdc\xc2\xeb").hexdigest()[8:24].upper()
        )

    def test_encipherment_lengths(self):
        cases = [
            ("", 24, "=="),
            ("a" * 15, 24, "=="),
            ("a" * 16, 24, "=="),
            ("a" * 17, 44, "="),
            ("a" * 15 + "中", 44, "="),  # 17 bytes in code page 936
            ("a" * 32, 44, "="),
        ]
        for plain, length, tail in cases:
            text = cipher.encrypt_text(plain, "0123456789abcdef")
            self.assertEqual(len(text), length, plain)
            self.assertTrue(text.endswith(tail) and not text.endswith(tail + "="), text)

    def test_empty_text_is_one_zero_block(self):
        key = "Key0123456789xyz"
        zero_block = cipher.encrypt_bytes(b"\0" * 16, key)
        self.assertEqual(base64.b64decode(cipher.encrypt_text("", key)), zero_block)

    def test_round_trip_and_wrong_key(self):
        for plain in ["retn=0&data=a;b;c;d;0", "中文 & = + /", "x" * 16, "€ 100", ""]:
            text = cipher.encrypt_text(plain, "AbCdEf0123456789")
            self.assertEqual(cipher.decrypt_text(text, "AbCdEf0123456789"), plain)
            try:
                other = cipher.decrypt_text(text, "ZZZZZZZZZZZZZZZZ")
            except cipher.CipherError:
                continue
            if plain:
                self.assertNotEqual(other, plain)

    def test_euro_sign_is_byte_0x80_as_on_windows(self):
        self.assertEqual(cipher.to_ansi("€1"), b"\x801")
        self.assertEqual(cipher.from_ansi(b"\x80\xd6\xd0"), "€中")

    def test_strict_decipher_refuses_what_a_client_cannot_send(self):
        key = "0123456789abcdef"
        for bad in ["", "abc", "@@@@", base64.b64encode(b"x" * 20).decode(), "AAAA\nAAAA"]:
            with self.assertRaises(cipher.CipherError, msg=repr(bad)):
                cipher.decrypt_text(bad, key)

    def test_session_keys(self):
        for _ in range(50):
            self.assertTrue(cipher.is_session_key(cipher.make_session_key()))
        self.assertFalse(cipher.is_session_key("0123456789abcde!"))


class CommandTest(unittest.TestCase):
    def test_parse_fields(self):
        fields = cmd.parse_fields("retn=0&sessionid=a=b&&SKey=x")
        self.assertEqual(fields, {"retn": "0", "sessionid": "a=b", "skey": "x"})
        self.assertEqual(cmd.parse_fields("retn"), {})
        self.assertEqual(cmd.parse_fields("retn="), {"retn": ""})
        self.assertEqual(cmd.parse_fields("a=1&a=2&"), {"a": "2"})

    def test_split_and_decipher(self):
        key = "Abc123Abc123Abc1"
        password = cipher.encrypt_text(PASSWORD, cipher.LOGIN_KEY)
        command = cmd.decipher(
            cmd.split_header(cmd.build_command("1002", key, "userno=%s&pass=%s&ltoken=T" % (USER, password)))
        )
        self.assertEqual((command.code, command.key, command.issues), ("1002", key, []))
        self.assertEqual(command.params, {"userno": USER, "pass": password, "ltoken": "T"})

    def test_broken_commands(self):
        key = "Abc123Abc123Abc1"
        cases = [
            ("", cmd.INVALID_COMMAND),
            ("9999" + key[:10], cmd.INVALID_COMMAND),
            (cmd.build_command("1001", key, "x=1"), cmd.INVALID_COMMAND),
            ("9999" + key + "not base64!", cmd.DECIPHER_FAILED),
            ("9999" + key, cmd.DECIPHER_FAILED),
        ]
        for text, retn in cases:
            with self.assertRaises(cmd.CommandError, msg=text) as caught:
                cmd.decipher(cmd.split_header(text))
            self.assertEqual(caught.exception.retn, retn, text)

    def test_header_issues(self):
        self.assertEqual(
            cmd.split_header("99x9" + "k" * 15 + "!" + "AAAA").issues,
            ["code is not four digits", "key is not 16 characters of [0-9A-Za-z]"],
        )

    def test_message_fields_must_not_hold_separators(self):
        for bad in (
            ["a|b", "", "", "", "0"],
            ["a;b", "", "", "", "0"],
            ["a&b", "", "", "", "0"],
            ["\U0001F600", "", "", "", "0"],
        ):
            with self.assertRaises(ValueError, msg=bad):
                cmd.validate_message_fields(bad)


class SoapTest(unittest.TestCase):
    NS = "http://tempuri.org/"

    def test_envelope_start_tag_is_227_bytes(self):
        self.assertEqual(len(soap.ENVELOPE_START.encode()), 227)

    def test_exact_request_layout(self):
        expected = (
            b'<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"'
            b' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
            b' xmlns:xsd="http://www.w3.org/2001/XMLSchema"'
            b' xmlns:soapenc="http://schemas.xmlsoap.org/soap/encoding/">'
            b'<soap:Body><Entry xmlns="http://tempuri.org/"><requestData>1005a+/=</requestData>'
            b"</Entry></soap:Body></soap:Envelope>"
        )
        self.assertEqual(soap.exact_request("1005a+/=", self.NS), expected)
        self.assertEqual(expected.index(b"<soap:Body>"), 227)

    def test_exact_request_reads_back(self):
        for value in ["9999Abc" + "+/=", "a<b&c>d", "中\t\U0001F600", ""]:
            body = soap.exact_request(value, self.NS)
            self.assertTrue(body.isascii())
            self.assertEqual(soap.read_entry_request(body, self.NS), value)
        self.assertIn(b"&#x4E2D;&#x0009;&#x01F600;", soap.exact_request("中\t\U0001F600", self.NS))
        self.assertIsNone(soap.read_entry_request(soap.exact_request(None, self.NS), self.NS))

    def test_refused_requests(self):
        envelope = soap.ENVELOPE_START
        cases = [
            b"",
            b"<soap:Envelope",
            b'<!DOCTYPE x [<!ENTITY a "aaaa">]><x/>',
            b'<Envelope xmlns="http://www.w3.org/2003/05/soap-envelope"><Body/></Envelope>',
            (envelope + "</soap:Envelope>").encode(),
            (
                envelope
                + '<soap:Body><Entry xmlns="http://other/"><requestData>x</requestData></Entry></soap:Body></soap:Envelope>'
            ).encode(),
            (
                envelope
                + '<soap:Header><h xmlns="urn:h" soap:mustUnderstand="1"/></soap:Header><soap:Body/></soap:Envelope>'
            ).encode(),
        ]
        for body in cases:
            with self.assertRaises(soap.SoapFault, msg=body):
                soap.read_entry_request(body, self.NS)

    def test_soap_action(self):
        soap.check_soap_action('"http://tempuri.org/Entry"', self.NS)
        soap.check_soap_action("http://tempuri.org/Entry", self.NS)
        for bad in (None, "", '"http://tempuri.org/Other"', '"http://tempuri.org/"'):
            with self.assertRaises(soap.SoapFault):
                soap.check_soap_action(bad, self.NS)


def _lzw_decode(data, min_code_size):
    """Plain GIF LZW decoder, to check the encoder against."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    bits = int.from_bytes(data, "little")
    position, size, table, previous, out = 0, min_code_size + 1, None, None, []
    while True:
        code = (bits >> position) & ((1 << size) - 1)
        position += size
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            size, previous = min_code_size + 1, None
            continue
        if code == end:
            return out
        if previous is None:
            entry = table[code]
        else:
            entry = table[code] if code < len(table) else previous + previous[:1]
            if len(table) < 4096:
                table.append(previous + entry[:1])
            if len(table) == 1 << size and size < 12:
                size += 1
        out.extend(entry)
        previous = entry


class GifTest(unittest.TestCase):
    def test_lzw_round_trip(self):
        import random

        generator = random.Random(7)
        cases = [
            ([0] * 5000, 2),
            ([generator.randrange(4) for _ in range(20000)], 2),
            ([generator.randrange(256) for _ in range(20000)], 8),
            ([1, 2, 3], 2),
        ]
        for pixels, size in cases:
            self.assertEqual(_lzw_decode(gif.lzw_encode(pixels, size), size), pixels)

    def test_advertisement_is_an_animated_gif(self):
        data = gif.advertisement(0)
        self.assertEqual(data[:6], b"GIF89a")
        self.assertEqual(data[-1:], b";")
        self.assertEqual(int.from_bytes(data[6:8], "little"), gif.WIDTH)
        self.assertIn(b"NETSCAPE2.0", data)
        self.assertNotEqual(data, gif.advertisement(1))


class PageTest(unittest.TestCase):
    def test_page_has_bridge_and_keeps_session_inert(self):
        page = pages.index_page('x"</script><b>').decode("utf-8")
        self.assertIn("function putMsg(", page)
        self.assertIn("window.external.InvokeWebserver(command, data)", page)
        self.assertNotIn("</script><b>", page)


class LiveServerTest(unittest.TestCase):
    """The service over real HTTP, with requests of the client's exact shape."""

    @classmethod
    def setUpClass(cls):
        cls.server = server.DevServer(quiet=True)
        cls.port = cls.server.server_address[1]
        cls.thread = threading.Thread(target=cls.server.serve_forever, daemon=True)
        cls.thread.start()

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

    def control(self, name, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        connection.request(
            "POST" if body is not None else "GET",
            "/control/" + name,
            json.dumps(body) if body is not None else None,
        )
        response = connection.getresponse()
        result = json.loads(response.read())
        connection.close()
        self.assertEqual(response.status, 200, result)
        return result

    def post(self, command, path=server.ENTRY_PATH):
        body = soap.exact_request(command, server.DEFAULT_NAMESPACE)
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
        body = soap.exact_request(command, server.DEFAULT_NAMESPACE)
        head = (
            'POST %s HTTP/1.1\r\nContent-Length: %d\r\nContent-Type: %s\r\nSOAPAction: "http://tempuri.org/Entry"\r\n\r\n'
            % (
                server.ENTRY_PATH,
                len(body),
                soap.CONTENT_TYPE,
            )
        )
        with socket.create_connection(("127.0.0.1", self.port), timeout=5) as raw:
            raw.sendall(head.encode() + body)
            received = b""
            while True:
                piece = raw.recv(4096)
                if not piece:
                    return received
                received += piece

    def call(self, code, key, text, reply_key=None):
        response, body = self.post(cmd.build_command(code, key, text))
        self.assertEqual(response.status, 200, body)
        set_cookie = response.getheader("Set-Cookie")
        if set_cookie:
            self.last_set_cookie = set_cookie.split(";")[0]
        result = body.split(b"<EntryResult>")[1].split(b"</EntryResult>")[0].decode()
        return cmd.parse_fields(cipher.decrypt_text(result, reply_key or key))

    def login(self, key="LoginKey12345678"):
        token = self.call("1000", key, "userno=" + USER)["ltoken"]
        password = cipher.encrypt_text(PASSWORD, cipher.LOGIN_KEY)
        return self.call("1002", key, "userno=%s&pass=%s&ltoken=%s" % (USER, password, token))

    def test_whole_series(self):
        key = "SeriesKey0123456"
        token = self.call("1000", key, "userno=" + USER)
        self.assertEqual(token["retn"], "0")
        wrong = cipher.encrypt_text("nope", cipher.LOGIN_KEY)
        self.assertEqual(
            self.call("1002", key, "userno=%s&pass=%s&ltoken=%s" % (USER, wrong, token["ltoken"]))["retn"],
            "11000",
        )
        self.assertEqual(
            self.call("1002", key, "userno=%s&pass=%s&ltoken=%s" % (USER, wrong, token["ltoken"]))["retn"],
            "10006",
        )

        reply = self.login(key)
        self.assertEqual(reply["retn"], "0")
        session, skey = reply["sessionid"], reply["skey"]
        self.assertTrue(cipher.is_session_key(skey))
        self.cookie = self.last_set_cookie

        self.control(
            "messages",
            {
                "user": USER,
                "messages": [["1", "05599998888", "2024-01-01 10:00", "你好", "0"], ["2", "x", "t", "y", "4"]],
            },
        )
        beat = self.call("9999", "HeartKey01234567", "sessionid=" + session, reply_key=skey)
        self.assertEqual(beat, {"retn": "0", "data": "1;05599998888;2024-01-01 10:00;你好;0|2;x;t;y;4"})
        self.assertEqual(
            self.call("9999", "HeartKey01234567", "sessionid=" + session, reply_key=skey), {"retn": "10001"}
        )

        self.control("version", {"version": "1.2.3.4"})
        self.assertEqual(self.call("1005", "VersionKey012345", "ver"), {"retn": "0", "version": "1.2.3.4"})
        self.assertEqual(self.call("1003", "PageKey012345678", "cmd=send&to=1")["retn"], "0")
        self.assertEqual(self.call("1004", "LogoutKey0123456", "sessionid=" + session)["retn"], "0")
        self.assertEqual(self.call("9999", "HeartKey01234567", "sessionid=" + session)["retn"], "15006")

        log = self.control("log")["commands"]
        self.assertEqual(
            [e["code"] for e in log],
            ["1000", "1002", "1002", "1000", "1002", "9999", "9999", "1005", "1003", "1004", "9999"],
        )
        self.assertTrue(all(e["exact"] and e["status"] == 200 for e in log), [e["issues"] for e in log])
        self.assertEqual([e["session_cookie"] for e in log[5:7]], [True, True])
        self.assertEqual(log[8]["params"], {"cmd": "send", "to": "1"})
        self.assertEqual(log[4]["password"], PASSWORD)

    def test_second_login_signs_the_first_out(self):
        first = self.login()
        second = self.login()
        self.assertEqual(second["retn"], "0")
        beat = self.call(
            "9999", "HeartKey01234567", "sessionid=" + first["sessionid"], reply_key=first["skey"]
        )
        self.assertEqual(beat["retn"], "12000")
        self.assertEqual(
            self.call("9999", "HeartKey01234567", "sessionid=" + first["sessionid"])["retn"], "15006"
        )

    def test_reply_key_options(self):
        self.control("options", {"login_reply_key": "digest", "omit_skey": True, "omit_ltoken": True})
        key = "OptionKey0123456"
        self.assertEqual(self.call("1000", key, "userno=" + USER), {"retn": "0"})
        password = cipher.encrypt_text(PASSWORD, cipher.LOGIN_KEY)
        reply = self.call(
            "1002",
            key,
            "userno=%s&pass=%s&ltoken=" % (USER, password),
            reply_key=cipher.password_digest(PASSWORD),
        )
        self.assertEqual(set(reply), {"retn", "sessionid"})
        self.assertEqual(self.call("9999", key, "sessionid=" + reply["sessionid"])["retn"], "10001")

    def test_forced_codes_take_no_effect(self):
        session = self.login()
        self.control("messages", {"user": USER, "messages": [["1", "a", "b", "c", "0"]]})
        self.control("force", {"code": "9999", "retn": "15006", "count": 2})
        for _ in range(2):
            self.assertEqual(
                self.call("9999", "K" * 16, "sessionid=" + session["sessionid"], reply_key=session["skey"]),
                {"retn": "15006"},
            )
        self.assertEqual(
            self.call("9999", "K" * 16, "sessionid=" + session["sessionid"], reply_key=session["skey"])[
                "data"
            ],
            "1;a;b;c;0",
        )

    def test_faults_that_keep_the_reply_readable(self):
        session = self.login()
        for fault in ("delay", "connection_close", "chunked", "interim_100"):
            self.control("fault", {"fault": fault, "seconds": 0.1})
            self.control("messages", {"user": USER, "messages": [[fault, "a", "b", "c", "0"]]})
            reply = self.call(
                "9999", "K" * 16, "sessionid=" + session["sessionid"], reply_key=session["skey"]
            )
            self.assertEqual(reply["data"], fault + ";a;b;c;0")
            if fault == "connection_close":
                self.connection.close()

    def test_faults_that_lose_the_reply_keep_the_message(self):
        session = self.login()
        self.control("messages", {"user": USER, "messages": [["1", "a", "b", "c", "0"]]})
        beat = cmd.build_command("9999", "K" * 16, "sessionid=" + session["sessionid"])
        for fault, check in [
            ("status_500", lambda r, b: r.status == 500 and b"soap:Fault" in b),
            ("status_202", lambda r, b: r.status == 202 and b == b""),
            ("malformed_xml", lambda r, b: r.status == 200 and not b.endswith(b"</soap:Envelope>")),
            ("wrong_key", lambda r, b: r.status == 200),
        ]:
            self.control("fault", {"fault": fault, "code": "9999"})
            response, body = self.post(beat)
            self.assertTrue(check(response, body), fault)
        for fault in ("close_mid_header", "close_mid_body"):
            self.control("fault", {"fault": fault})
            head, _, body = self.raw_post(beat).partition(b"\r\n\r\n")
            if fault == "close_mid_header":
                self.assertEqual(body, b"")
                self.assertTrue(head.startswith(b"HTTP/1.1 200 OK\r\n"))
            else:
                length = int(head.split(b"Content-Length: ")[1].split(b"\r\n")[0])
                self.assertLess(len(body), length)
        log = self.control("log")["commands"]
        self.assertEqual([e["committed"] for e in log[-6:]], [False] * 6)
        reply = self.call("9999", "K" * 16, "sessionid=" + session["sessionid"], reply_key=session["skey"])
        self.assertEqual(reply["data"], "1;a;b;c;0")

    def test_redirect_leads_to_an_endpoint_that_answers(self):
        self.control("fault", {"fault": "redirect"})
        response, _ = self.post(cmd.build_command("1005", "K" * 16, "ver"))
        self.assertEqual(response.status, 302)
        location = response.getheader("Location")
        self.assertEqual(location, "http://127.0.0.1:%d%s" % (self.port, server.REDIRECTED_ENTRY_PATH))
        response, body = self.post(
            cmd.build_command("1005", "K" * 16, "ver"), path=server.REDIRECTED_ENTRY_PATH
        )
        self.assertEqual(response.status, 200)

    def test_bad_requests_get_clear_errors_and_are_logged(self):
        def send(method, headers, body):
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
            connection.request(method, server.ENTRY_PATH, body, headers)
            response = connection.getresponse()
            response.read()
            connection.close()
            return response.status

        good = {"Content-Type": soap.CONTENT_TYPE, "SOAPAction": '"http://tempuri.org/Entry"'}
        request = soap.exact_request(cmd.build_command("1005", "K" * 16, "ver"), server.DEFAULT_NAMESPACE)
        cases = [
            ("GET", {}, None, 405),
            ("POST", {"Content-Type": "application/json", "SOAPAction": good["SOAPAction"]}, request, 415),
            ("POST", {"Content-Type": soap.CONTENT_TYPE}, request, 500),
            ("POST", good, b"\xff\xfe garbage", 500),
            ("POST", good, request.replace(b"Entry", b"Entree"), 500),
        ]
        for method, headers, body, status in cases:
            self.assertEqual(send(method, headers, body), status, (method, headers))
        self.assertEqual(send("POST", good, request), 200)
        log = self.control("log")["commands"]
        self.assertEqual([e["status"] for e in log], [c[3] for c in cases] + [200])
        self.assertTrue(all(e["error"] for e in log[:-1]))
        self.assertIn("header order", " ".join(log[-1]["issues"]))

    def test_advertisement_last_modified(self):
        def get(headers):
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
            connection.request("GET", server.AD_PATH, headers=headers)
            response = connection.getresponse()
            body = response.read()
            connection.close()
            return response.status, response.getheader("Last-Modified"), body

        status, modified, body = get({})
        self.assertEqual((status, body[:6]), (200, b"GIF89a"))
        self.assertEqual(get({"If-Modified-Since": modified})[0], 304)
        self.control("ad", {"touch": True})
        status, newer, _ = get({"If-Modified-Since": modified})
        self.assertEqual(status, 200)
        self.assertNotEqual(newer, modified)

    def test_wait_returns_when_the_command_arrives(self):
        result = {}
        waiter = threading.Thread(
            target=lambda: result.update(self.control("wait", {"code": "1005", "timeout": 5}))
        )
        waiter.start()
        self.call("1005", "K" * 16, "ver")
        waiter.join()
        self.assertTrue(result["complete"])
        self.assertEqual(result["entries"][0]["code"], "1005")


if __name__ == "__main__":
    unittest.main()
