"""Self-test of the proxy double: what it forwards and tunnels, what it asks
for, and that it reaches nothing but the loopback routes it was given."""

import argparse
import base64
import http.client
import json
import os
import socket
import tempfile
import threading
import unittest
from http.server import BaseHTTPRequestHandler, HTTPServer

import proxy_double as pd

CREDENTIALS = "Basic " + base64.b64encode(b"office:pass word").decode()


class Upstream(BaseHTTPRequestHandler):
    """Answers with the request line and headers it received."""

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        body = json.dumps({"line": self.requestline, "headers": dict(self.headers.items())}).encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class ProxyTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.upstream = HTTPServer(("127.0.0.1", 0), Upstream)
        threading.Thread(target=self.upstream.serve_forever, daemon=True).start()
        self.record = os.path.join(self.dir.name, "proxy.jsonl")
        routes = {("service.test", 80): ("127.0.0.1", self.upstream.server_address[1]),
                  ("service.test", 443): ("127.0.0.1", self.upstream.server_address[1])}
        self.proxy = pd.ProxyDouble(0, routes, self.record, "office", "pass word")
        threading.Thread(target=self.proxy.serve_forever, daemon=True).start()

    def tearDown(self):
        self.proxy.stop()
        self.upstream.shutdown()
        self.upstream.server_close()
        self.dir.cleanup()

    def records(self):
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines]

    def through(self, method, target, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.proxy.server_address[1], timeout=5)
        connection.request(method, target, headers=headers or {})
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response.status, response.getheader("Proxy-Authenticate"), body

    def test_credentials_are_asked_until_given(self):
        status, challenge, _ = self.through("GET", "http://service.test/iqor/x?a=1")
        self.assertEqual((status, challenge), (407, 'Basic realm="office"'))
        status, _, body = self.through("GET", "http://service.test/iqor/x?a=1",
                                       {"Proxy-Authorization": CREDENTIALS, "User-Agent": "QorRemote"})
        self.assertEqual(status, 200)
        seen = json.loads(body)
        self.assertEqual(seen["line"], "GET /iqor/x?a=1 HTTP/1.0")
        self.assertEqual(seen["headers"].get("User-Agent"), "QorRemote")
        self.assertNotIn("Proxy-Authorization", seen["headers"], "the proxy's credentials went on to the service")
        self.assertEqual([(r["status"], r["authorised"]) for r in self.records()], [(407, False), (200, True)])

    def test_ntlm_and_negotiate_are_offered_and_never_admit(self):
        for scheme in ("NTLM", "Negotiate"):
            with self.subTest(scheme):
                self.through("GET", "/_control?challenge=" + scheme)
                # The first leg of a handshake and the Basic credentials alike.
                for authorization in (scheme + " TlRMTVNTUAABAAAAB4IIogAAAAAAAAAAAAAAAAAAAAAGAbEdAAAADw==", CREDENTIALS):
                    status, challenge, _ = self.through("GET", "http://service.test/iqor/x",
                                                        {"Proxy-Authorization": authorization})
                    self.assertEqual((status, challenge), (407, scheme))
        self.through("GET", "/_control?challenge=Basic")
        status, _, _ = self.through("GET", "http://service.test/iqor/x", {"Proxy-Authorization": CREDENTIALS})
        self.assertEqual(status, 200)
        self.assertEqual([r["authorised"] for r in self.records()], [False] * 4 + [True])

    def test_unknown_settings_are_refused(self):
        for query in ("challenge=Digest", "credentials=maybe", "colour=blue", ""):
            with self.subTest(query):
                status, _, _ = self.through("GET", "/_control?" + query)
                self.assertEqual(status, 400)

    def test_switched_off_the_proxy_is_open(self):
        self.through("GET", "/_control?credentials=off")
        status, _, _ = self.through("GET", "http://service.test/iqor/x")
        self.assertEqual(status, 200)

    def test_connect_tunnels_to_the_route(self):
        client = socket.create_connection(self.proxy.server_address, timeout=5)
        with client:
            client.sendall(b"CONNECT service.test:443 HTTP/1.1\r\nProxy-Authorization: " + CREDENTIALS.encode() +
                           b"\r\n\r\n")
            self.assertTrue(client.recv(1024).startswith(b"HTTP/1.0 200"))
            client.sendall(b"GET /through HTTP/1.0\r\n\r\n")
            answer = b""
            while True:
                chunk = client.recv(4096)
                if not chunk:
                    break
                answer += chunk
        self.assertIn(b'"line": "GET /through HTTP/1.0"', answer)

    def test_names_without_a_route_are_never_looked_up(self):
        self.through("GET", "/_control?credentials=off")
        cases = [("GET", "http://service.test:8080/x"), ("GET", "http://example.com/"),
                 ("CONNECT", "example.com:443"), ("GET", "http://127.0.0.1:%d/" % self.upstream.server_address[1])]
        for method, target in cases:
            with self.subTest(target):
                status, _, _ = self.through(method, target)
                self.assertEqual(status, 502)

    def test_routes_lead_to_loopback_only(self):
        self.assertEqual(pd.parse_route("Service.TEST:443=127.0.0.1:9"), (("service.test", 443), ("127.0.0.1", 9)))
        for text in ["service.test:443=10.0.0.1:9", "service.test=127.0.0.1:9", "service.test:443=127.0.0.1",
                     "service.test:443=example.com:9"]:
            with self.subTest(text):
                with self.assertRaises(argparse.ArgumentTypeError):
                    pd.parse_route(text)


if __name__ == "__main__":
    unittest.main()
