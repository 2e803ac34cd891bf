"""Runs the service double for a group of tests and reads what it recorded."""

import json
import os
import subprocess
import urllib.request

SOURCE = os.environ.get("STAGEWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SCRIPT = os.path.join(SOURCE, "tools", "service_double", "service_double.py")


class ServiceDouble:
    def __init__(self, work_dir, port, user="", password="", delay_ms=0):
        self.work_dir = work_dir
        self.port = port
        self.db = os.path.join(work_dir, "double.sqlite")
        self.record = os.path.join(work_dir, "double.jsonl")
        self.user, self.password = user, password
        self.delay_ms = delay_ms
        self.process = None

    def start(self):
        os.makedirs(self.work_dir, exist_ok=True)
        for path in (self.db, self.record):
            if os.path.exists(path):
                os.unlink(path)
        argv = ["/usr/bin/python3", SCRIPT, "--port", str(self.port), "--db", self.db, "--record", self.record]
        if self.user:
            argv += ["--user", self.user, "--password", self.password]
        if self.delay_ms:
            argv += ["--delay-ms", str(self.delay_ms)]
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.process.stdout.readline().decode()
        if not line.startswith("READY"):
            raise RuntimeError("service double did not start: %r %r" % (line, self.process.stderr.read()))
        return self

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(timeout=15)
            self.process.stdout.close()
            self.process.stderr.close()
            self.process = None

    def mode(self, name):
        url = "http://127.0.0.1:%d/_control?mode=%s" % (self.port, name)
        with urllib.request.urlopen(url, timeout=10) as reply:
            reply.read()

    def records(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines if line.strip()]

    def stored_rows(self):
        import sqlite3
        with sqlite3.connect(self.db) as db:
            return db.execute("SELECT * FROM records").fetchall()
