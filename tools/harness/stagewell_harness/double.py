"""Runs the service double for a group of tests and reads what it recorded."""

import importlib.util
import os
import sqlite3
import ssl
import urllib.parse
import urllib.request

from stagewell_harness import processes

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "service_double", "service_double.py")


def _load_wire():
    # The double's own cipher and sealed-text forms, for tests that seal or open
    # text themselves; loaded from its script, which stays a standalone program.
    spec = importlib.util.spec_from_file_location("service_double", SCRIPT)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


wire = _load_wire()


def header_block(host):
    """The header block the service receives from the exe, byte for byte: the
    program's two headers, then the Host WinINet adds (`host`, the run's);
    no cookie, no cache directive."""
    return "Accept: text/*\r\nUser-Agent: QorRemote\r\nHost: %s\r\n\r\n" % host


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


class ServiceDouble(processes.RecordingDouble):
    """The service double. Port 0 lets it take a free port; it stores the
    records it accepts in double.sqlite in work_dir."""

    def __init__(self, work_dir, port=0, user="", password="", delay_ms=0, trickle_ms=None, tls=None):
        """tls: (certificate PEM, key PEM) to serve HTTPS; None for plain HTTP."""
        super().__init__(work_dir, "double")
        self.requested_port = port
        self.db = os.path.join(work_dir, "double.sqlite")
        self.user, self.password = user, password
        self.delay_ms = delay_ms
        self.trickle_ms = trickle_ms
        self.tls = tls

    def start(self):
        if os.path.exists(self.db):
            os.unlink(self.db)
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
        return self._launch(argv)

    def mode(self, name, trickle_ms=None, set_cookie=None):
        """set_cookie: NAME=VALUE of a persistent cookie every answer sets; "" for none."""
        url = "%s://127.0.0.1:%d/_control?mode=%s" % ("https" if self.tls else "http", self.port, name)
        if trickle_ms is not None:
            url += "&trickle_ms=%d" % trickle_ms
        if set_cookie is not None:
            url += "&set_cookie=" + urllib.parse.quote(set_cookie, safe="")
        # The test's own control call: the double's certificate is not what it checks.
        context = ssl._create_unverified_context() if self.tls else None
        with urllib.request.urlopen(url, timeout=10, context=context) as reply:
            reply.read()

    def stored_rows(self):
        with sqlite3.connect(self.db) as db:
            return db.execute("SELECT * FROM records").fetchall()
