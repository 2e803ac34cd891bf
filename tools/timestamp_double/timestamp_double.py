#!/usr/bin/python3
"""A loopback RFC 3161 time-stamp authority.

Usage:
  /usr/bin/python3 timestamp_double.py --dir DIR [--port 0] [--answer stamp|garbage|refuse] [--record PATH.jsonl]

Prints "READY <port>" on stdout once it listens (port 0 takes a free port) and
serves until SIGTERM or SIGINT.

In DIR it keeps a throwaway authority: DIR/tsa-root.pem, the root that issued
DIR/tsa.pem (extended key usage critical,timeStamping) and its key; made on
the first start, reused after. Every POST is answered by --answer:
  stamp    the time-stamp reply `openssl ts -reply` gives for the query;
  garbage  200 with a body of the reply's type that is no reply at all;
  refuse   500 with a text body, as a service that fails.
Every request is appended to the record file as one JSON object per line:
path, content_type, length (of the query), answer.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_QUERY = 64 * 1024
TSA_NAME = "Stagewell test time-stamp authority"


def make_authority(folder):
    """The root, the time-stamping certificate and key, and openssl's ts configuration."""
    os.makedirs(folder, exist_ok=True)
    paths = {name: os.path.join(folder, name) for name in
             ("tsa-root.pem", "tsa-root.key", "tsa.pem", "tsa.key", "tsa.cnf", "serial")}
    if os.path.exists(paths["tsa.cnf"]):
        return paths

    def openssl(*args):
        subprocess.run(["openssl"] + list(args), check=True, capture_output=True)

    openssl("req", "-x509", "-new", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-keyout", paths["tsa-root.key"],
            "-subj", "/CN=Stagewell test time-stamp root", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", "-out", paths["tsa-root.pem"])
    request = os.path.join(folder, "tsa.csr")
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", paths["tsa.key"], "-subj", "/CN=" + TSA_NAME,
            "-out", request)
    extensions = os.path.join(folder, "tsa.ext")
    with open(extensions, "w") as handle:
        handle.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=critical,timeStamping\n")
    openssl("x509", "-req", "-in", request, "-CA", paths["tsa-root.pem"], "-CAkey", paths["tsa-root.key"],
            "-CAcreateserial", "-days", "30", "-extfile", extensions, "-out", paths["tsa.pem"])
    with open(paths["serial"], "w") as handle:
        handle.write("01\n")
    with open(paths["tsa.cnf"], "w") as handle:
        handle.write("[tsa]\ndefault_tsa = tsa_config\n[tsa_config]\n"
                     "serial = %s\nsigner_cert = %s\nsigner_key = %s\ncerts = %s\nsigner_digest = sha256\n"
                     "default_policy = 1.3.6.1.4.1.99999.1\ndigests = sha1, sha256, sha384, sha512\n"
                     "accuracy = secs:1\nordering = no\ntsa_name = yes\ness_cert_id_chain = no\n"
                     "ess_cert_id_alg = sha256\n" % (paths["serial"], paths["tsa.pem"], paths["tsa.key"],
                                                     paths["tsa.pem"]))
    return paths


class Handler(BaseHTTPRequestHandler):
    server_version = "TimestampDouble/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):  # the record file is the log
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if not 0 < length <= MAX_QUERY:
            self._answer(400, "text/plain", b"a query of 1 to %d bytes, please\r\n" % MAX_QUERY, "bad length")
            return
        query = self.rfile.read(length)
        answer = self.server.answer
        if answer == "refuse":
            self._answer(500, "text/plain", b"time-stamp service out of order\r\n", answer)
        elif answer == "garbage":
            self._answer(200, "application/timestamp-reply", b"\x30\x03\x02\x01" + b"not a reply" * 8, answer)
        else:
            reply = self.server.stamp(query)
            if reply is None:
                self._answer(400, "text/plain", b"not a time-stamp query\r\n", "not a query")
            else:
                self._answer(200, "application/timestamp-reply", reply, answer)

    def _answer(self, status, content_type, body, note):
        self.server.write_record({"path": self.path, "content_type": self.headers.get("Content-Type"),
                                  "length": int(self.headers.get("Content-Length") or 0), "answer": note})
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)


class TimestampDouble(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, authority, answer, record_path):
        super().__init__(("127.0.0.1", port), Handler)
        self.authority = authority
        self.answer = answer
        self.record_path = record_path
        self._lock = threading.Lock()  # openssl ts keeps its serial in one file

    def stamp(self, query):
        with self._lock, tempfile.TemporaryDirectory() as scratch:
            query_path = os.path.join(scratch, "query.tsq")
            reply_path = os.path.join(scratch, "reply.tsr")
            with open(query_path, "wb") as handle:
                handle.write(query)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", self.authority["tsa.cnf"],
                                   "-queryfile", query_path, "-out", reply_path], capture_output=True)
            if done.returncode != 0 or not os.path.exists(reply_path):
                sys.stderr.write(done.stderr.decode(errors="replace"))
                return None
            with open(reply_path, "rb") as handle:
                return handle.read()

    def write_record(self, record):
        if not self.record_path:
            return
        with self._lock, open(self.record_path, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--answer", choices=("stamp", "garbage", "refuse"), default="stamp")
    parser.add_argument("--record", default="")
    args = parser.parse_args(argv)

    server = TimestampDouble(args.port, make_authority(args.dir), args.answer, args.record)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    serving = threading.Thread(target=server.serve_forever, daemon=True)
    serving.start()
    print("READY %d" % server.server_address[1], flush=True)
    while not stop.wait(0.5):
        pass
    server.shutdown()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
