#!/usr/bin/python3
"""A loopback stand-in for an office's forward proxy.

Usage:
  /usr/bin/python3 proxy_double.py --route NAME:PORT=127.0.0.1:PORT [--route ...]
                                   [--port 0] [--user U --password P] [--record PATH.jsonl]

Prints "READY <port>" on stdout once it listens (port 0 takes a free port) and
serves until SIGTERM or SIGINT.

It forwards a GET for an absolute address (http://NAME:PORT/...) and tunnels
a CONNECT NAME:PORT, but only to the loopback addresses its routes give: a
name it has no route for is answered 502 and never looked up, so the service
names stay names that only this proxy resolves. With --user and --password
every request must carry them as Basic Proxy-Authorization, or is answered
407 with Proxy-Authenticate: Basic. GET /_control?credentials=on|off (sent to
the proxy itself, not through it) switches that, and challenge=NTLM|Negotiate
makes the 407 offer that scheme instead, with an answer that never admits
(the double checks no handshake); challenge=Basic goes back. Not recorded.

Every request is appended to the record file as one JSON object per line:
method, target, proxy_authorization (the header as received, or null),
authorised, status (the proxy's own answer, or the forwarded one's first line).
"""

import argparse
import base64
import ipaddress
import json
import select
import signal
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

RELAY_SECONDS = 120
HOP_BY_HOP = {"proxy-authorization", "proxy-connection", "connection", "keep-alive"}
CHALLENGES = ("Basic", "NTLM", "Negotiate")


class Handler(BaseHTTPRequestHandler):
    server_version = "ProxyDouble/1.0"
    protocol_version = "HTTP/1.0"
    # Unbuffered: what a tunnelled client sends after its headers stays in the
    # socket for the relay, not in a reader's buffer.
    rbufsize = 0

    def log_message(self, format, *args):  # the record file is the log
        pass

    def do_GET(self):
        if self.path.startswith("/_control?"):
            self._control(self.path.partition("?")[2])
            return
        parts = urlsplit(self.path)
        if parts.scheme != "http" or not parts.hostname:
            self._refuse(400, "not an absolute http address")
            return
        if not self._admitted():
            return
        target = self.server.route(parts.hostname, parts.port or 80)
        if not target:
            self._refuse(502, "no route to %s:%d" % (parts.hostname, parts.port or 80))
            return
        path = parts.path or "/"
        if parts.query:
            path += "?" + parts.query
        lines = ["GET %s HTTP/1.0" % path]
        lines += ["%s: %s" % (name, value) for name, value in self.headers.items()
                  if name.lower() not in HOP_BY_HOP]
        lines.append("Connection: close")
        upstream = self._open_upstream(target)
        if not upstream:
            return
        with upstream:
            upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
            self._record(200, "forwarded to %s:%d" % target)
            self._relay(upstream, one_way=True)
        self.close_connection = True

    def _open_upstream(self, target):
        """A connection to the route's target; None once the client was told it failed."""
        try:
            return socket.create_connection(target, timeout=RELAY_SECONDS)
        except OSError as error:
            self._refuse(502, "cannot reach %s:%d: %s" % (target + (error,)))
            return None

    def do_CONNECT(self):
        host, _, port = self.path.rpartition(":")
        if not self._admitted():
            return
        target = self.server.route(host, int(port)) if port.isdigit() else None
        if not target:
            self._refuse(502, "no route to %s" % self.path)
            return
        upstream = self._open_upstream(target)
        if not upstream:
            return
        with upstream:
            self.wfile.write(b"HTTP/1.0 200 Connection established\r\n\r\n")
            self.wfile.flush()
            self._record(200, "tunnel to %s:%d" % target)
            self._relay(upstream, one_way=False)
        self.close_connection = True

    # --- helpers -------------------------------------------------------------

    def _control(self, query):
        """credentials=on|off: whether the configured credentials are asked;
        challenge=SCHEME: what the 407 offers."""
        setting = dict(item.partition("=")[::2] for item in query.split("&"))
        known = (setting.get("credentials", "on") in ("on", "off") and setting.get("challenge", "Basic") in CHALLENGES
                 and set(setting) <= {"credentials", "challenge"} and setting)
        if not known or not self.server.configured_credentials:
            self._refuse(400, "unknown setting")
            return
        if "credentials" in setting:
            self.server.credentials = self.server.configured_credentials if setting["credentials"] == "on" else None
        self.server.challenge = setting.get("challenge", self.server.challenge)
        body = b"OK\r\n"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _admitted(self):
        """True when no credentials are asked or the request carries them."""
        if not self.server.credentials:
            return True
        basic = self.server.challenge == "Basic"
        if basic and self.headers.get("Proxy-Authorization") == self.server.credentials:
            return True
        body = b"<html><body>Proxy authentication required</body></html>\r\n"
        self._record(407, "credentials asked (%s)" % self.server.challenge)
        self.send_response(407)
        self.send_header("Proxy-Authenticate", 'Basic realm="office"' if basic else self.server.challenge)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True
        return False

    def _refuse(self, status, why):
        self._record(status, why)
        body = (why + "\r\n").encode("latin-1", "replace")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def _record(self, status, note):
        authorization = self.headers.get("Proxy-Authorization")
        self.server.write_record({
            "method": self.command, "target": self.path, "proxy_authorization": authorization,
            "authorised": (bool(self.server.credentials) and self.server.challenge == "Basic"
                           and authorization == self.server.credentials),
            "status": status, "note": note})

    def _relay(self, upstream, one_way):
        """Copies bytes between the client and upstream until one side closes.
        one_way: the client has said all it will (a forwarded GET)."""
        client = self.connection
        self.wfile.flush()
        sides = [upstream] if one_way else [client, upstream]
        while not self.server.stopping.is_set():
            readable, _, _ = select.select(sides, [], [], 0.5)
            for side in readable:
                try:
                    data = side.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    return
                try:
                    (client if side is upstream else upstream).sendall(data)
                except OSError:
                    return


class ProxyDouble(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, routes, record_path, user="", password=""):
        super().__init__(("127.0.0.1", port), Handler)
        self.routes = routes
        self.record_path = record_path
        self.configured_credentials = None
        if user:
            self.configured_credentials = "Basic " + base64.b64encode(
                ("%s:%s" % (user, password)).encode("latin-1")).decode()
        self.credentials = self.configured_credentials  # asked now; GET /_control switches
        self.challenge = "Basic"
        self.stopping = threading.Event()
        self._record_lock = threading.Lock()

    def route(self, host, port):
        return self.routes.get((host.lower(), port))

    def write_record(self, record):
        if not self.record_path:
            return
        with self._record_lock, open(self.record_path, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()


def parse_route(text):
    """NAME:PORT=127.0.0.1:PORT -> ((name, port), (address, port)); loopback targets only."""
    source, _, target = text.partition("=")
    name, _, port = source.rpartition(":")
    address, _, target_port = target.rpartition(":")
    try:
        loopback = ipaddress.ip_address(address).is_loopback
    except ValueError:
        loopback = False
    if not (name and port.isdigit() and target_port.isdigit() and loopback):
        raise argparse.ArgumentTypeError("a route is NAME:PORT=127.x.x.x:PORT, not %r" % text)
    return (name.lower(), int(port)), (address, int(target_port))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--route", type=parse_route, action="append", default=[])
    parser.add_argument("--record", default="")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    args = parser.parse_args(argv)

    server = ProxyDouble(args.port, dict(args.route), args.record, args.user, args.password)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    serving = threading.Thread(target=server.serve_forever, daemon=True)
    serving.start()
    print("READY %d" % server.server_address[1], flush=True)
    while not stop.wait(0.5):
        pass
    server.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
