#!/usr/bin/python3
"""A loopback stand-in for the maker's store-user-data web service.

Usage:
  /usr/bin/python3 service_double.py [--port 0] [--db PATH] [--mode MODE]
                                     [--record PATH.jsonl] [--user U --password P]
                                     [--delay-ms N] [--trickle-ms N] [--set-cookie NAME=VALUE]
                                     [--tls-cert CERT.pem --tls-key KEY.pem]

Prints "READY <port>" on stdout once it listens (port 0 takes a free port, and
the line names it) and serves until SIGTERM or SIGINT. With --tls-cert and
--tls-key it serves HTTPS with that certificate (its chain after it in the
same file); a client that refuses the certificate sends nothing, so nothing
is recorded. The sealed request is opened with Debian's python3-cryptography
Blowfish, each 4-byte half of a block reversed before and after the block: an
implementation independent of the program's own.

Modes (the answer to GET /iqor/NewWA.dll?...):
  normal        checks the request; stores an accepted record in SQLite and
                answers sealed "0" for a new (subscriber, ID) pair, sealed "-1"
                for one already stored; a request failing a check gets sealed
                "ERR" (neither "0" nor "-1")
  no-verdict    checks, stores nothing, answers sealed "RECEIVED"
  empty         200 with an empty body
  garbage       200 with a line of HTML
  several-runs  as normal, the verdict sent as two sealed runs on one line
                ("OK" + "0", or "-" + "1")
  redirect      302 to /iqor/Moved?<same query> with a sealed "-1" body line;
                the moved address, if ever fetched, answers as normal does
  not-found     404 with an HTML body line
  server-error  500 with an HTML body line
  auth          401 with Basic authentication until the request carries
                --user/--password, then as normal
  silent        reads the request and never answers
  close         reads the request and closes the connection without a response
  huge          200 with one line of 8 MiB
  trickle-body  as normal, but the body is sent one byte every --trickle-ms
                (default 2000) after the status line and headers
  trickle-headers  as normal, but the status line and headers are sent one
                byte every --trickle-ms, then the body
  cut-reset     checks, stores nothing; announces a line of CUT_RUNS sealed "0"
                runs, sends the first CUT_SENT_RUNS of them (whole runs, more
                than one 127-byte read) and resets the connection
  cut-stall     as cut-reset, but stalls there until the client leaves

With --set-cookie every answer to the service's address carries a persistent
cookie: "Set-Cookie: NAME=VALUE; expires=<a year on>; path=/".

GET /_control?mode=NAME[&trickle_ms=N][&set_cookie=NAME=VALUE] switches the
mode (and the trickle interval, and the cookie: set_cookie= with nothing after
it sets none) of a running double; not recorded.

Every other request is appended to the record file as one JSON object per line:
  request_line (text and hex), method, path, query (raw, as received), headers
  ([name, value] in order), header_block (the header lines as received, byte
  for byte as latin-1 text, up to and with the empty line), envelope (sealed, identity, snozel), opened query
  (hex of the raw Windows-1255 bytes and cp1255 text), keys (in order), fields
  (key -> cp1255 text), checks (name -> bool), ok, answer (status, body,
  opened, expected_outcome: what the program should conclude from it), stored.
"""

import argparse
import base64
import contextlib
import email.utils
import json
import re
import select
import signal
import socket
import sqlite3
import ssl
import struct
import sys
import threading
import time
import warnings
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

QUERY_KEYS = ["O", "", "STO", "P1", "P2", "P3", "P4", "P5", "P6", "P7", "P8", "RENCR"]
SERVICE_PATH = "/iqor/NewWA.dll"
MOVED_PATH = "/iqor/Moved"
HUGE_LINE_BYTES = 8 * 1024 * 1024
# The cut modes' line: the part that arrives opens whole, to "0" six times.
CUT_RUNS, CUT_SENT_RUNS = 8, 6
HTML_LINE = b"<html><body><h1>Service page</h1></body></html>\r\n"
DEFAULT_TRICKLE_MS = 2000
HANDSHAKE_SECONDS = 20
COOKIE_SECONDS = 365 * 24 * 3600


# --- the cipher and the sealed text form -------------------------------------

def _swap_halves(block):
    return block[3::-1] + block[7:3:-1]


def _library_key(key):
    """The library takes 4..56 key bytes; the schedule cycles through the key,
    so a short key repeated a whole number of times keys the same tables."""
    if not key:
        raise ValueError("empty key")
    if len(key) < 4:
        key = key * -(-4 // len(key))
    if len(key) > 56:
        raise ValueError("key longer than 56 bytes")
    return key


def _blowfish(key):
    # Kept for interoperability, not chosen: the library's deprecation notice
    # is noise here (and unittest's runner resets module-level filters).
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return algorithms.Blowfish(_library_key(key))


def _run_blocks(key, data, decrypt):
    cipher = Cipher(_blowfish(key), modes.ECB())
    worker = cipher.decryptor() if decrypt else cipher.encryptor()
    out = bytearray()
    for k in range(0, len(data), 8):
        out += _swap_halves(worker.update(_swap_halves(data[k:k + 8])))
    return bytes(out)


def encrypt(key, plain):
    """ECB with zero padding to a multiple of 8."""
    padded = plain + b"\0" * (-len(plain) % 8)
    return _run_blocks(key, padded, decrypt=False)


def decrypt(key, data):
    padded = data + b"\0" * (-len(data) % 8)
    return _run_blocks(key, padded, decrypt=True)


# The sealed text has two forms. The prefixed form, "$4F$1A...", writes every
# byte as "$" and two hex digits: the form that is decoded. The bare form,
# "4F$1A...", is the same without its leading "$": the form the program sends
# in QOR_URL and the service answers with.

def prefixed_form(bare):
    return "$" + bare


def bare_form(prefixed):
    return prefixed[1:] if prefixed.startswith("$") else prefixed


def seal(plain, key):
    """The bare form of the sealed plain text."""
    return bare_form("".join("$%02X" % b for b in encrypt(key, plain)))


def _strtol16(text):
    """The C library's strtol(text, 16) on one or two characters, low 8 bits."""
    text = text.lstrip(" \t\r\n\v\f")
    sign = 1
    if text[:1] in ("+", "-"):
        sign = -1 if text[0] == "-" else 1
        text = text[1:]
    if text[:2].lower() == "0x" and len(text) > 2 and text[2] in "0123456789abcdefABCDEF":
        text = text[2:]
    digits = re.match(r"[0-9a-fA-F]*", text).group(0)
    return (sign * int(digits, 16) if digits else 0) & 0xFF


def decode_hex(text):
    out = bytearray()
    j = 0
    while j < len(text):
        if text[j] == "$":
            out.append(_strtol16(text[j + 1:j + 3]))
            j += 3
        else:
            j += 1
    return bytes(out)


def open_segment(segment, key):
    """Opens one sealed run in its prefixed form."""
    if len(segment) > 10000:
        return b""
    plain = decrypt(key, decode_hex(segment))
    return plain.split(b"\0", 1)[0]


def open_reply(reply, key):
    """Opens one or several sealed runs written on one line."""
    text = reply.strip(" \t\r\n\v\f")
    if text.startswith("$"):
        return open_segment(text, key)
    if len(text) < 3:
        return b""
    for i in range(2, len(text), 3):
        if text[i] != "$":
            return open_segment(prefixed_form(text[:i]), key) + open_reply(text[i:], key)
    return open_segment(prefixed_form(text), key)


def classify(opened):
    if b"0" in opened:
        return "accepted"
    if b"-1" in opened:
        return "duplicate"
    return "fault"


# --- the request -------------------------------------------------------------

ENVELOPE = re.compile(r"^QOR_URL=([^&]*)&QOR_ENCR=([^&]*)&Snozel=([^&]*)$")
SEALED = re.compile(r"^[0-9A-F]{2}(\$[0-9A-F]{2})*$")


def parse_query(text):
    """Splits the opened query at the markers of its keys, in order. Values are
    sent unescaped, so a value may hold "&" and "="; only the next key's marker
    ends it. Returns ([(key, value bytes)], complete)."""
    if not text.startswith(b"O="):
        return [], False
    fields = []
    key, start = "O", 2
    for following in QUERY_KEYS[1:]:
        marker = b"&" if following == "" else b"&" + following.encode() + b"="
        at = text.find(marker, start)
        if at < 0:
            fields.append((key, text[start:]))
            return fields, False
        fields.append((key, text[start:at]))
        key, start = following, at + len(marker)
    fields.append((key, text[start:]))
    return fields, True


def examine(method, path, query, headers):
    """Everything the double checks and reports about one service request."""
    report = {"method": method, "path": path, "query": query, "checks": {}}
    checks = report["checks"]
    checks["method is GET"] = method == "GET"
    checks["path"] = path == SERVICE_PATH
    header_values = {}
    for name, value in headers:
        header_values.setdefault(name.lower(), []).append(value)
    checks["User-Agent is QorRemote"] = header_values.get("user-agent") == ["QorRemote"]
    checks["Accept is text/*"] = header_values.get("accept") == ["text/*"]

    envelope = ENVELOPE.match(query)
    checks["envelope form"] = envelope is not None
    if not envelope:
        return report, None
    sealed, identity, snozel = envelope.groups()
    report["envelope"] = {"sealed": sealed, "identity": identity, "snozel": snozel}
    checks["Snozel is 0-999 without leading zeros"] = re.fullmatch(r"0|[1-9][0-9]{0,2}", snozel) is not None
    checks["sealed form"] = (SEALED.match(sealed) is not None and (len(sealed) + 1) % 24 == 0)
    key = identity.encode("latin-1")
    try:
        opened = open_segment(prefixed_form(sealed), key)
    except ValueError as error:
        report["key_error"] = str(error)
        return report, None
    report["opened_hex"] = opened.hex().upper()
    report["opened_text"] = opened.decode("cp1255", errors="replace")
    fields, complete = parse_query(opened)
    report["keys"] = [name for name, _ in fields]
    report["fields"] = {name: value.decode("cp1255", errors="replace") for name, value in fields if name}
    report["fields_hex"] = {name: value.hex().upper() for name, value in fields if name}
    values = dict(fields)
    checks["keys in order"] = complete and report["keys"] == QUERY_KEYS
    checks["O is 18"] = values.get("O") == b"18"
    checks["empty item"] = values.get("") == b""
    checks["STO is StoreUserData"] = values.get("STO") == b"StoreUserData"
    checks["RENCR equals QOR_ENCR"] = values.get("RENCR") == key
    return report, key


# --- storage -----------------------------------------------------------------

class Store:
    """Accepted records, one per (subscriber number, installation ID)."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.db = sqlite3.connect(path, check_same_thread=False)
        self.db.execute(
            "CREATE TABLE IF NOT EXISTS records (customer TEXT, id TEXT, rep_directory TEXT,"
            " doc_directory TEXT, database_info TEXT, kupa TEXT, date TEXT, version TEXT,"
            " identity TEXT, query_hex TEXT, PRIMARY KEY (customer, id))")
        self.db.commit()

    def add(self, fields, query_hex):
        """True when the pair was new and is now stored."""
        row = [fields.get(k, "") for k in ("P1", "P5", "P2", "P3", "P4", "P6", "P7", "P8", "RENCR")]
        with self.lock:
            try:
                self.db.execute("INSERT INTO records VALUES (?,?,?,?,?,?,?,?,?,?)", row + [query_hex])
                self.db.commit()
                return True
            except sqlite3.IntegrityError:
                return False


# --- the server ----------------------------------------------------------------

class _KeptLines:
    """The handler's input, keeping each line read through it: the parser
    reads the header block line by line, and keeps no raw copy of it."""

    def __init__(self, stream):
        self.stream, self.lines = stream, []

    def readline(self, limit=-1):
        line = self.stream.readline(limit)
        self.lines.append(line)
        return line

    def __getattr__(self, name):
        return getattr(self.stream, name)


class Handler(BaseHTTPRequestHandler):
    server_version = "IqorDouble/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):  # the record file is the log
        pass

    def parse_request(self):
        stream, self.rfile = self.rfile, _KeptLines(self.rfile)
        try:
            parsed = super().parse_request()
        finally:
            self.header_block = b"".join(self.rfile.lines)
            self.rfile = stream
        if not parsed:
            self.server.write_record({"request_line": self._request_line(),
                                      "request_line_hex": self.raw_requestline.hex().upper(),
                                      "error": "malformed request"})
        return parsed

    def _request_line(self):
        return self.raw_requestline.decode("latin-1").rstrip("\r\n")

    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/_control":
            self._control(query)
            return
        mode = self.server.mode
        if self.server.delay_seconds:
            # A slow service, so the program's wait window can be seen.
            self.server.stopping.wait(self.server.delay_seconds)
        record = {"mode": mode, "received_at": time.time(), "request_line": self._request_line(),
                  "request_line_hex": self.raw_requestline.hex().upper(),
                  "headers": [[n, v] for n, v in self.headers.items()],
                  "header_block": self.header_block.decode("latin-1")}
        report, key = examine(self.command, path if path != MOVED_PATH else SERVICE_PATH, query,
                              self.headers.items())
        record.update(report)
        record["path"] = path
        record["followed_redirect"] = path == MOVED_PATH
        record["ok"] = key is not None and all(report["checks"].values())
        record["stored"] = False
        REPLIES[mode](self, Request(record, key, path, query, mode))

    # --- the named replies (REPLIES below maps each mode to one) -------------

    def reply_verdict(self, request):
        """Sealed "0" for a new pair, now stored; "-1" for a stored one; "ERR"
        for a request failing a check (in several-runs mode, as two runs)."""
        if request.key is None:
            self._answer(request.record, 200, b"ERR\r\n", None)
            return
        self._answer(request.record, 200, self._verdict_line(request), request.key)

    def reply_received(self, request):
        if request.key is None:
            self._answer(request.record, 200, b"ERR\r\n", None)
            return
        self._answer(request.record, 200, (seal(b"RECEIVED", request.key) + "\r\n").encode(), request.key)

    def reply_empty_page(self, request):
        self._answer(request.record, 200, b"", request.key)

    def reply_html_page(self, request):
        self._answer(request.record, 200, HTML_LINE, request.key)

    def reply_not_found(self, request):
        self._answer(request.record, 404, HTML_LINE, request.key)

    def reply_server_error(self, request):
        self._answer(request.record, 500, HTML_LINE, request.key)

    def reply_moved(self, request):
        """302 to the moved address; the moved address itself answers as normal."""
        if request.path == MOVED_PATH or request.key is None:
            self.reply_verdict(request)
            return
        location = "http://%s:%d%s?%s" % (self.server.server_address[0], self.server.server_address[1],
                                          MOVED_PATH, request.query)
        self._answer(request.record, 302, (seal(b"-1", request.key) + "\r\n").encode(), request.key,
                     extra=[("Location", location)])

    def reply_challenge(self, request):
        """401 until the request carries the configured credentials."""
        if self._authorised():
            self.reply_verdict(request)
            return
        request.record["authorization"] = self.headers.get("Authorization")
        self._answer(request.record, 401, HTML_LINE, request.key,
                     extra=[("WWW-Authenticate", 'Basic realm="iqor"')])

    def reply_silence(self, request):
        self.server.write_record(dict(request.record, answer={"status": None, "expected_outcome": "no reply"}))
        self._wait_for_client_to_leave()

    def reply_hang_up(self, request):
        self.server.write_record(dict(request.record, answer={"status": None, "expected_outcome": "no reply"}))
        self.close_connection = True
        self.connection.shutdown(socket.SHUT_RDWR)

    def reply_huge_line(self, request):
        request.record["answer"] = {"status": 200, "body_bytes": HUGE_LINE_BYTES + 2, "expected_outcome": "fault"}
        self.server.write_record(request.record)
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(HUGE_LINE_BYTES + 2))
        self.end_headers()
        chunk = b"A" * 65536
        for _ in range(HUGE_LINE_BYTES // len(chunk)):
            if not self._write(chunk):
                return
        self._write(b"\r\n")

    def reply_trickled_body(self, request):
        """The verdict's status line and headers at once, its body a byte at a time."""
        body = self._verdict_line(request) if request.key is not None else b"ERR\r\n"
        self._record_trickle(request, body, "body")
        self._write(self._head(200, body))
        self._trickle(body)

    def reply_trickled_headers(self, request):
        """The verdict's status line and headers a byte at a time, then its body."""
        body = self._verdict_line(request) if request.key is not None else b"ERR\r\n"
        self._record_trickle(request, body, "headers")
        if self._trickle(self._head(200, body)):
            self._write(body)

    def reply_cut_line(self, request):
        """Whole sealed runs of a longer line, then a reset or a stall before its
        line feed: the part opens to "accepted", and is no reply."""
        if request.key is None:
            self._answer(request.record, 200, b"ERR\r\n", None)
            return
        run = seal(b"0", request.key).encode()
        body = run * CUT_RUNS + b"\r\n"
        part = run * CUT_SENT_RUNS
        request.record["answer"] = {"status": 200, "body": body.decode("latin-1"), "sent": part.decode("latin-1"),
                                    "opened_part": open_reply(part.decode("latin-1"), request.key).decode("latin-1"),
                                    "expected_outcome": "no reply"}
        self.server.write_record(request.record)
        self.close_connection = True
        if not self._write(self._head(200, body) + part):
            return
        self.wfile.flush()
        if request.mode == "cut-stall":
            self._wait_for_client_to_leave()
            return
        # A zero linger time makes the close a reset, not an orderly end.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    # --- helpers of the replies ----------------------------------------------

    def _verdict_line(self, request):
        verdict = b"ERR"
        if request.record["ok"]:
            request.record["stored"] = self.server.store.add(request.record["fields"], request.record["opened_hex"])
            verdict = b"0" if request.record["stored"] else b"-1"
        if request.mode == "several-runs":
            runs = [b"OK", b"0"] if verdict == b"0" else [b"-", b"1"] if verdict == b"-1" else [b"E", b"RR"]
            line = "".join(seal(run, request.key) for run in runs)
        else:
            line = seal(verdict, request.key)
        return (line + "\r\n").encode()

    def _record_trickle(self, request, body, part):
        opened = open_reply(body.split(b"\n", 1)[0].decode("latin-1"), request.key) if request.key else b""
        request.record["answer"] = {"status": 200, "body": body.decode("latin-1"),
                                    "opened": opened.decode("cp1255", errors="replace"),
                                    "trickled": part, "trickle_ms": int(self.server.trickle_seconds * 1000),
                                    "expected_outcome": "no reply"}
        self.server.write_record(request.record)

    def _head(self, status, body):
        """The status line and headers of a plain-text answer, as bytes."""
        head = "HTTP/1.0 %d %s\r\nServer: %s\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % (
            status, self.responses[status][0], self.version_string(), len(body))
        return head.encode("latin-1")

    def _trickle(self, data):
        """Sends data one byte per interval; False once the client has gone or
        the double is stopping."""
        self.close_connection = True
        with self.server.trickling():
            for k in range(len(data)):
                if k and not self._pause_while_client_stays(self.server.trickle_seconds):
                    return False
                if not self._write(data[k:k + 1]):
                    return False
        return True

    def _pause_while_client_stays(self, seconds):
        deadline = time.monotonic() + seconds
        while not self.server.stopping.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return True
            readable, _, _ = select.select([self.connection], [], [], min(left, 0.1))
            if readable:
                try:
                    if not self.connection.recv(1, socket.MSG_PEEK):
                        return False
                except OSError:
                    return False
        return False

    def _control(self, query):
        settings = parse_qs(query, keep_blank_values=True)
        mode = settings.get("mode", [""])[0]
        trickle_ms = settings.get("trickle_ms", [""])[0]
        if mode in MODES and (trickle_ms.isdigit() or not trickle_ms):
            self.server.mode = mode
            if trickle_ms:
                self.server.trickle_seconds = int(trickle_ms) / 1000.0
            if "set_cookie" in settings:
                self.server.set_cookie = settings["set_cookie"][0]
            self._send(200, b"OK\r\n")
        else:
            self._send(400, b"unknown mode\r\n")

    def _authorised(self):
        expected = "Basic " + base64.b64encode(
            ("%s:%s" % (self.server.user, self.server.password)).encode("latin-1")).decode()
        return self.headers.get("Authorization") == expected

    def _answer(self, record, status, body, key, extra=()):
        first_line = body.split(b"\n", 1)[0]
        opened = open_reply(first_line.decode("latin-1"), key) if key else b""
        record["answer"] = {"status": status, "body": body.decode("latin-1"),
                            "opened": opened.decode("cp1255", errors="replace"),
                            "expected_outcome": classify(opened) if key else "fault"}
        if self.server.set_cookie:
            cookie = "%s; expires=%s; path=/" % (self.server.set_cookie, email.utils.formatdate(
                time.time() + COOKIE_SECONDS, usegmt=True))
            extra = list(extra) + [("Set-Cookie", cookie)]
            record["answer"]["set_cookie"] = cookie
        if status == 401:
            record["answer"]["expected_outcome"] = "no reply unless the dialog retries"
        self.server.write_record(record)
        self._send(status, body, extra)

    def _send(self, status, body, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self._write(body)

    def _write(self, data):
        """False once the client has gone: it may stop reading at any point."""
        try:
            self.wfile.write(data)
            return True
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
            return False

    def _wait_for_client_to_leave(self):
        self.connection.settimeout(0.5)
        while not self.server.stopping.is_set():
            try:
                if not self.connection.recv(1):
                    break
            except socket.timeout:
                continue
            except OSError:
                break
        self.close_connection = True


class Request:
    """One service request as the replies see it."""

    def __init__(self, record, key, path, query, mode):
        self.record, self.key, self.path, self.query, self.mode = record, key, path, query, mode


# Mode -> its named reply.
REPLIES = {
    "normal": Handler.reply_verdict,
    "no-verdict": Handler.reply_received,
    "empty": Handler.reply_empty_page,
    "garbage": Handler.reply_html_page,
    "several-runs": Handler.reply_verdict,
    "redirect": Handler.reply_moved,
    "not-found": Handler.reply_not_found,
    "server-error": Handler.reply_server_error,
    "auth": Handler.reply_challenge,
    "silent": Handler.reply_silence,
    "close": Handler.reply_hang_up,
    "huge": Handler.reply_huge_line,
    "trickle-body": Handler.reply_trickled_body,
    "trickle-headers": Handler.reply_trickled_headers,
    "cut-reset": Handler.reply_cut_line,
    "cut-stall": Handler.reply_cut_line,
}
MODES = tuple(REPLIES)


class ServiceDouble(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, db_path, mode, record_path, user="", password="", delay_ms=0,
                 trickle_ms=DEFAULT_TRICKLE_MS, tls=None, set_cookie=""):
        super().__init__(("127.0.0.1", port), Handler)
        self.tls = None
        if tls:
            self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.tls.load_cert_chain(*tls)
        self.mode = mode
        self.delay_seconds = delay_ms / 1000.0
        self.trickle_seconds = trickle_ms / 1000.0
        self.store = Store(db_path)
        self.record_path = record_path
        self.user, self.password = user, password
        self.set_cookie = set_cookie  # NAME=VALUE of the cookie each answer sets; empty: none
        self.stopping = threading.Event()
        self._record_lock = threading.Lock()
        self.active_trickles = 0  # answers being trickled now

    def finish_request(self, request, client_address):
        # The handshake on the request's own thread, so that a client that
        # stalls or refuses the certificate holds up no other.
        if not self.tls:
            super().finish_request(request, client_address)
            return
        # Wrapping takes the connection over: the wrapped socket is the one to close.
        try:
            request.settimeout(HANDSHAKE_SECONDS)
            secure = self.tls.wrap_socket(request, server_side=True)
        except OSError:  # the client refused the certificate, or went away
            return
        try:
            secure.settimeout(None)
            super().finish_request(secure, client_address)
        finally:
            secure.close()

    @contextlib.contextmanager
    def trickling(self):
        with self._record_lock:
            self.active_trickles += 1
        try:
            yield
        finally:
            with self._record_lock:
                self.active_trickles -= 1

    def write_record(self, record):
        if not self.record_path:
            return
        with self._record_lock, open(self.record_path, "a", encoding="utf-8") as out:
            out.write(json.dumps(record, ensure_ascii=False) + "\n")

    def stop(self):
        self.stopping.set()
        self.shutdown()
        self.server_close()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--db", default=":memory:")
    parser.add_argument("--mode", choices=MODES, default="normal")
    parser.add_argument("--record", default="")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--delay-ms", type=int, default=0, help="wait this long before answering")
    parser.add_argument("--trickle-ms", type=int, default=DEFAULT_TRICKLE_MS,
                        help="interval between the bytes of the trickle modes")
    parser.add_argument("--tls-cert", default="", help="serve HTTPS with this PEM certificate (and chain)")
    parser.add_argument("--tls-key", default="", help="the certificate's PEM private key")
    parser.add_argument("--set-cookie", default="", metavar="NAME=VALUE",
                        help="answer with this persistent cookie")
    args = parser.parse_args(argv)
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")

    server = ServiceDouble(args.port, args.db, args.mode, args.record, args.user, args.password,
                           args.delay_ms, args.trickle_ms, (args.tls_cert, args.tls_key) if args.tls_cert else None,
                           args.set_cookie)
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
