"""Self-test of the service double: its cipher, its sealed text form, and its
answers over real HTTP on the loopback."""

import email.utils
import http.client
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import service_double as sd

# Published Blowfish known-answer vectors (key, plain, cipher), big-endian
# reference byte order.
REFERENCE_VECTORS = [
    ("0000000000000000", "0000000000000000", "4EF997456198DD78"),
    ("FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"),
    ("3000000000000000", "1000000000000001", "7D856F9A613063F2"),
    ("1111111111111111", "1111111111111111", "2466DD878B963C9D"),
    ("0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"),
    ("FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"),
    ("7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"),
    ("0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"),
]


def swap(hex_block):
    return sd._swap_halves(bytes.fromhex(hex_block))


class CipherTest(unittest.TestCase):
    def test_published_vectors_through_the_byte_order_rule(self):
        for key, plain, cipher in REFERENCE_VECTORS:
            with self.subTest(key=key):
                got = sd.encrypt(bytes.fromhex(key), swap(plain))
                self.assertEqual(got.hex().upper(), swap(cipher).hex().upper())
                self.assertEqual(sd.decrypt(bytes.fromhex(key), got).hex().upper(), swap(plain).hex().upper())

    def test_short_key_is_repeated_to_the_same_schedule(self):
        plain = b"12345678"
        self.assertEqual(sd.encrypt(b"ab", plain), sd.encrypt(b"abab", plain))
        self.assertEqual(sd.encrypt(b"xyz", plain), sd.encrypt(b"xyzxyz", plain))

    def test_the_two_sealed_forms(self):
        sealed = sd.seal(b"0", b"KEY1")
        self.assertRegex(sealed, r"^[0-9A-F]{2}(\$[0-9A-F]{2}){7}$")
        self.assertEqual(sd.prefixed_form(sealed), "$" + sealed)
        self.assertEqual(sd.bare_form(sd.prefixed_form(sealed)), sealed)
        self.assertEqual(sd.open_segment(sd.prefixed_form(sealed), b"KEY1"), b"0")

    def test_seal_and_open_round_trip(self):
        key = b"00AB12CD34EF5A6B0C1D"
        for plain in [b"0", b"-1", b"12345678", b"123456789", b"O=18&&STO=StoreUserData&P1=\xe0\xe1"]:
            with self.subTest(plain=plain):
                sealed = sd.seal(plain, key)
                self.assertEqual(len(sealed), 3 * (len(plain) + (-len(plain) % 8)) - 1)
                self.assertRegex(sealed, sd.SEALED)
                self.assertEqual(sd.open_reply(sealed + "\r\n", key), plain)
                self.assertEqual(sd.open_reply("  $" + sealed.lower(), key), plain)

    def test_open_reply_forms(self):
        key = b"KEY1"
        rows = [
            ("two runs joined", sd.seal(b"-", key) + sd.seal(b"1", key), b"-1"),
            ("too short", "AB", b""),
            ("empty", "", b""),
            ("cut at a zero byte", sd.seal(b"ab\0cd", key), b"ab"),
            ("segment over 10000 characters", "$" + "00$" * 3334, b""),
        ]
        for name, reply, expected in rows:
            with self.subTest(name):
                self.assertEqual(sd.open_reply(reply, key), expected)

    def test_hex_items_follow_strtol(self):
        rows = [("$0A$ff", b"\x0a\xff"), ("$", b"\x00"), ("$7", b"\x07"), ("$ 7", b"\x07"),
                ("$-1", b"\xff"), ("$zz", b"\x00"), ("x$10y", b"\x10")]
        for text, expected in rows:
            with self.subTest(text=text):
                self.assertEqual(sd.decode_hex(text), expected)

    def test_parse_query_keeps_ampersands_inside_values(self):
        query = b"O=18&&STO=StoreUserData&P1=1&P2=C:\\A&B=C&P3=&P4=x&P5=7&P6=0&P7=d&P8=v&RENCR=K"
        fields, complete = sd.parse_query(query)
        self.assertTrue(complete)
        self.assertEqual([k for k, _ in fields], sd.QUERY_KEYS)
        self.assertEqual(dict(fields)["P2"], b"C:\\A&B=C")


class ServiceTest(unittest.TestCase):
    """The double over HTTP, on a port of its own."""

    KEY = "00AB12CD34EF5A6B0C1D"

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.record = os.path.join(self.dir.name, "record.jsonl")
        self.server = sd.ServiceDouble(0, os.path.join(self.dir.name, "db.sqlite"), "normal", self.record,
                                       "user", "secret")
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def tearDown(self):
        self.server.stop()
        self.dir.cleanup()

    def query(self, customer=b"123456", rencr=KEY.encode()):
        return (b"O=18&&STO=StoreUserData&P1=" + customer + b"&P2=\\\\S\\\xe3\xe5\xe7&P3=C:\\D&P4=PC\\SQL"
                b"&P5=77&P6=0&P7=2026-01-02 03:04:05&P8=2015a 12&RENCR=" + rencr)

    def target(self, query_bytes, snozel="7"):
        return "/iqor/NewWA.dll?QOR_URL=%s&QOR_ENCR=%s&Snozel=%s" % (
            sd.seal(query_bytes, self.KEY.encode()), self.KEY, snozel)

    def get(self, query_bytes, headers=None, snozel="7"):
        target = self.target(query_bytes, snozel)
        connection = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=5)
        sent = {"Accept": "text/*", "User-Agent": "QorRemote"}
        sent.update(headers or {})
        connection.request("GET", target, headers=sent)
        response = connection.getresponse()
        body = response.read().decode("latin-1")
        connection.close()
        opened = sd.open_reply(body.split("\n")[0], self.KEY.encode())
        return response.status, opened

    def records(self):
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines]

    def test_new_pair_then_the_same_pair(self):
        self.assertEqual(self.get(self.query()), (200, b"0"))
        self.assertEqual(self.get(self.query()), (200, b"-1"))
        self.assertEqual(self.get(self.query(customer=b"654321")), (200, b"0"))
        first = self.records()[0]
        self.assertTrue(first["ok"], first["checks"])
        self.assertTrue(first["stored"])
        self.assertEqual(first["keys"], sd.QUERY_KEYS)
        self.assertEqual(first["fields"]["P2"], "\\\\S\\דוח")
        self.assertEqual(first["envelope"]["snozel"], "7")
        self.assertEqual(first["answer"]["expected_outcome"], "accepted")
        self.assertEqual(self.records()[1]["answer"]["expected_outcome"], "duplicate")

    def test_failed_checks_answer_neither_zero_nor_minus_one(self):
        rows = [
            ("RENCR differs", {"query": self.query(rencr=b"OTHER")}),
            ("wrong agent", {"headers": {"User-Agent": "Other"}}),
            ("Snozel with a leading zero", {"snozel": "07"}),
            ("Snozel over 999", {"snozel": "1000"}),
        ]
        for name, change in rows:
            with self.subTest(name):
                status, opened = self.get(change.get("query", self.query()), change.get("headers"),
                                          change.get("snozel", "5"))
                self.assertEqual((status, opened), (200, b"ERR"))
                self.assertFalse(self.records()[-1]["stored"])

    def test_scenario_modes(self):
        rows = [("no-verdict", 200, b"RECEIVED"), ("several-runs", 200, b"OK0"),
                ("redirect", 302, b"-1"), ("not-found", 404, None), ("server-error", 500, None),
                ("empty", 200, b""), ("auth", 401, None)]
        for mode, status, opened in rows:
            with self.subTest(mode):
                self.server.mode = mode
                got_status, got_opened = self.get(self.query(customer=mode.encode()[:6]))
                self.assertEqual(got_status, status)
                if opened is not None:
                    self.assertEqual(got_opened, opened)

    def test_the_header_block_is_recorded_as_received(self):
        target = self.target(self.query())
        sent = ("GET %s HTTP/1.1\r\nAccept: text/*\r\nUser-Agent: QorRemote\r\nHost:  127.0.0.1:%d\r\n"
                "X-Folded: a\r\n b\r\n\r\n" % (target, self.server.server_address[1]))
        with socket.create_connection(("127.0.0.1", self.server.server_address[1]), timeout=5) as client:
            client.sendall(sent.encode("latin-1"))
            while client.recv(4096):
                pass
        record = self.records()[-1]
        self.assertEqual(record["request_line"], "GET %s HTTP/1.1" % target)
        self.assertEqual(record["header_block"], sent.split("\r\n", 1)[1])

    def test_a_persistent_cookie_on_every_answer_when_asked(self):
        for cookie in ["probe=5f3a", ""]:
            with self.subTest(cookie=cookie):
                self.server.set_cookie = cookie
                connection = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=5)
                connection.request("GET", self.target(self.query()),
                                   headers={"Accept": "text/*", "User-Agent": "QorRemote"})
                got = connection.getresponse().getheader("Set-Cookie")
                connection.close()
                if cookie:
                    self.assertRegex(got, r"^probe=5f3a; expires=\w{3}, \d\d \w{3} \d{4} [\d:]{8} GMT; path=/$")
                    expires = email.utils.parsedate_to_datetime(got.split("expires=")[1].split(";")[0])
                    self.assertGreater(expires.timestamp(), time.time() + 300 * 24 * 3600)
                    self.assertEqual(self.records()[-1]["answer"]["set_cookie"], got)
                else:
                    self.assertIsNone(got)

    def test_auth_accepts_the_configured_credentials(self):
        self.server.mode = "auth"
        self.assertEqual(self.get(self.query())[0], 401)
        basic = "Basic dXNlcjpzZWNyZXQ="  # user:secret
        self.assertEqual(self.get(self.query(), {"Authorization": basic}), (200, b"0"))

    def test_trickle_modes_send_the_whole_reply_slowly(self):
        # (mode, the part that comes at once: status line and headers, or nothing,
        # seconds a byte). The body's interval is long enough that a head sent at
        # once stays well apart from a trickled one on a loaded machine too.
        rows = [("trickle-body", True, 0.05), ("trickle-headers", False, 0.01)]
        for number, (mode, head_at_once, interval) in enumerate(rows):
            with self.subTest(mode):
                self.server.mode = mode
                self.server.trickle_seconds = interval
                connection = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=10)
                started = time.monotonic()
                connection.request("GET", self.target(self.query(customer=b"77777%d" % number)),
                                   headers={"Accept": "text/*", "User-Agent": "QorRemote"})
                response = connection.getresponse()
                head_seconds = time.monotonic() - started
                body = response.read().decode("latin-1")
                connection.close()
                self.assertEqual(response.status, 200)
                self.assertEqual(sd.open_reply(body, self.KEY.encode()), b"0")
                # 25 body bytes at 50 ms a byte (1.2 s at least), or some 100
                # bytes of head at 10 ms a byte.
                if head_at_once:
                    self.assertLess(head_seconds, 0.6)
                    self.assertGreater(time.monotonic() - started, 1.2)
                else:
                    self.assertGreater(head_seconds, 0.5)
                self.assertEqual(self.records()[-1]["answer"]["trickled"], mode.split("-")[1])

    def test_cut_modes_send_whole_runs_of_zero_then_reset_or_stall(self):
        rows = [("cut-reset", ConnectionResetError), ("cut-stall", socket.timeout)]
        for number, (mode, ending) in enumerate(rows):
            with self.subTest(mode):
                self.server.mode = mode
                with socket.create_connection(("127.0.0.1", self.server.server_address[1]), timeout=1) as client:
                    client.sendall(("GET %s HTTP/1.0\r\n\r\n" % self.target(
                        self.query(customer=b"88888%d" % number))).encode())
                    received = b""
                    with self.assertRaises(ending):
                        while True:
                            chunk = client.recv(4096)
                            if not chunk:
                                break
                            received += chunk
                head, _, part = received.partition(b"\r\n\r\n")
                announced = int(re.search(rb"Content-Length: (\d+)", head).group(1))
                self.assertGreater(len(part), 127)
                self.assertLess(len(part), announced)
                self.assertNotIn(b"\n", part)
                self.assertEqual(sd.open_reply(part.decode(), self.KEY.encode()), b"0" * sd.CUT_SENT_RUNS)
                self.assertEqual(self.records()[-1]["answer"]["expected_outcome"], "no reply")
                self.assertFalse(self.records()[-1]["stored"])

    def test_trickling_stops_when_the_client_leaves(self):
        self.server.mode = "trickle-body"
        self.server.trickle_seconds = 0.3
        with socket.create_connection(("127.0.0.1", self.server.server_address[1]), timeout=5) as client:
            client.sendall(("GET %s HTTP/1.0\r\n\r\n" % self.target(self.query())).encode())
            received = b""
            while not received.partition(b"\r\n\r\n")[2]:  # the head and the first byte of the body
                chunk = client.recv(64)
                self.assertTrue(chunk, "closed before the body")
                received += chunk
            self.assertTrue(received.startswith(b"HTTP/1.0 200"))
            self.assertEqual(self.server.active_trickles, 1)
        deadline = time.monotonic() + 2
        while self.server.active_trickles and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(self.server.active_trickles, 0, "still trickling to a client that left")


class TlsTest(unittest.TestCase):
    """The double over HTTPS, with a certificate made for the test."""

    KEY = ServiceTest.KEY
    query = ServiceTest.query
    target = ServiceTest.target
    records = ServiceTest.records

    def tearDown(self):
        self.server.stop()
        self.dir.cleanup()

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.cert = os.path.join(self.dir.name, "cert.pem")
        key = os.path.join(self.dir.name, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key,
                        "-out", self.cert, "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"],
                       check=True, capture_output=True)
        self.record = os.path.join(self.dir.name, "record.jsonl")
        open(self.record, "w").close()
        self.server = sd.ServiceDouble(0, os.path.join(self.dir.name, "db.sqlite"), "normal", self.record,
                                       tls=(self.cert, key))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def secure_get(self, context):
        connection = http.client.HTTPSConnection("127.0.0.1", self.server.server_address[1], timeout=5,
                                                 context=context)
        connection.request("GET", self.target(self.query()), headers={"Accept": "text/*", "User-Agent": "QorRemote"})
        response = connection.getresponse()
        body = response.read().decode("latin-1")
        connection.close()
        return response.status, sd.open_reply(body.split("\n")[0], self.KEY.encode())

    def test_a_client_that_trusts_the_certificate_gets_the_verdict(self):
        self.assertEqual(self.secure_get(ssl.create_default_context(cafile=self.cert)), (200, b"0"))
        self.assertEqual(len(self.records()), 1)

    def test_a_client_that_refuses_the_certificate_sends_nothing(self):
        with self.assertRaises(ssl.SSLError):
            self.secure_get(ssl.create_default_context())
        # The double goes on serving others.
        self.assertEqual(self.secure_get(ssl.create_default_context(cafile=self.cert)), (200, b"0"))
        self.assertEqual(len(self.records()), 1)


class ShutdownTest(unittest.TestCase):
    def test_sigterm_ends_the_double_while_it_trickles(self):
        with tempfile.TemporaryDirectory() as work:
            double = subprocess.Popen([sys.executable, sd.__file__, "--port", "0", "--mode", "trickle-headers",
                                       "--trickle-ms", "5000", "--record", os.path.join(work, "r.jsonl")],
                                      stdout=subprocess.PIPE, text=True)
            try:
                port = int(double.stdout.readline().split()[1])
                with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
                    client.sendall(b"GET /iqor/NewWA.dll?x HTTP/1.0\r\n\r\n")
                    self.assertEqual(client.recv(1), b"H")
                    started = time.monotonic()
                    double.send_signal(signal.SIGTERM)
                    double.wait(timeout=5)
                    self.assertLess(time.monotonic() - started, 2.5)
            finally:
                if double.poll() is None:
                    double.kill()
                    double.wait()
                double.stdout.close()


if __name__ == "__main__":
    unittest.main()
