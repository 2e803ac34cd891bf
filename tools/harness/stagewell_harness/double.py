"""Runs the service double for a group of tests and reads what it recorded."""

import importlib.util
import json
import os
import select
import sqlite3
import ssl
import subprocess
import urllib.request

from stagewell_harness import processes

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "service_double", "service_double.py")
READY_SECONDS = 20


def _load_wire():
    # The double's own cipher and sealed-text forms, for tests that seal or open
    # text themselves; loaded from its script, which stays a standalone program.
    spec = importlib.util.spec_from_file_location("service_double", SCRIPT)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


wire = _load_wire()


def port_of_host(host):
    """The port of a [https://]host[:port] build setting (STAGEWELL_SERVICE_HOST)."""
    secure = host.startswith("https://")
    rest = host[len("https://"):] if secure else host
    name, colon, port = rest.rpartition(":")
    return int(port) if colon and not port.endswith("]") else (443 if secure else 80)


def service_port_of_build(build_dir):
    """The service port baked into the exes of a CMake build folder."""
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith("STAGEWELL_SERVICE_HOST:"):
                return port_of_host(line.split("=", 1)[1].strip())
    raise RuntimeError("STAGEWELL_SERVICE_HOST is not set in %s" % build_dir)


class ServiceDouble:
    """The double as a process. Port 0 lets it take a free port (self.port
    names it once started); its stderr goes to double.log in work_dir.

    Use it as a context manager, or call stop() on every path.
    """

    def __init__(self, work_dir, port=0, user="", password="", delay_ms=0, trickle_ms=None, tls=None):
        """tls: (certificate PEM, key PEM) to serve HTTPS; None for plain HTTP."""
        self.work_dir = work_dir
        self.requested_port = port
        self.port = None
        self.db = os.path.join(work_dir, "double.sqlite")
        self.record = os.path.join(work_dir, "double.jsonl")
        self.log = os.path.join(work_dir, "double.log")
        self.user, self.password = user, password
        self.delay_ms = delay_ms
        self.trickle_ms = trickle_ms
        self.tls = tls
        self.process = None
        self._log = None

    def start(self):
        os.makedirs(self.work_dir, exist_ok=True)
        for path in (self.db, self.record):
            if os.path.exists(path):
                os.unlink(path)
        argv = ["/usr/bin/python3", SCRIPT, "--port", str(self.requested_port), "--db", self.db,
                "--record", self.record]
        if self.user:
            argv += ["--user", self.user, "--password", self.password]
        if self.delay_ms:
            argv += ["--delay-ms", str(self.delay_ms)]
        if self.trickle_ms is not None:
            argv += ["--trickle-ms", str(self.trickle_ms)]
        if self.tls:
            argv += ["--tls-cert", self.tls[0], "--tls-key", self.tls[1]]
        self._log = open(self.log, "ab")
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=self._log)
        try:
            self.port = self._read_ready_port()
        except BaseException:
            self.stop()
            raise
        return self

    def _read_ready_port(self):
        ready, _, _ = select.select([self.process.stdout], [], [], READY_SECONDS)
        line = self.process.stdout.readline().decode() if ready else ""
        words = line.split()
        if words[:1] != ["READY"] or len(words) < 2:
            raise RuntimeError("service double did not start: %r (see %s)" % (line, self.log))
        return int(words[1])

    def stop(self):
        if self.process:
            processes.stop(self.process, 15)
            self.process.stdout.close()
            self.process = None
        if self._log:
            self._log.close()
            self._log = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def mode(self, name, trickle_ms=None):
        url = "%s://127.0.0.1:%d/_control?mode=%s" % ("https" if self.tls else "http", self.port, name)
        if trickle_ms is not None:
            url += "&trickle_ms=%d" % trickle_ms
        # The test's own control call: the double's certificate is not what it checks.
        context = ssl._create_unverified_context() if self.tls else None
        with urllib.request.urlopen(url, timeout=10, context=context) as reply:
            reply.read()

    def records(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines if line.strip()]

    def stored_rows(self):
        with sqlite3.connect(self.db) as db:
            return db.execute("SELECT * FROM records").fetchall()
