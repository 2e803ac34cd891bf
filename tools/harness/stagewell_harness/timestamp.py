"""Runs the RFC 3161 time-stamp double for a group of tests."""

import os

from stagewell_harness import processes

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "timestamp_double", "timestamp_double.py")


class TimestampDouble(processes.RecordingDouble):
    """The time-stamp authority on a free loopback port, its throwaway
    certificates in work_dir (self.root: the root that issued its certificate).
    answer: stamp, garbage or refuse (see the double's usage)."""

    def __init__(self, work_dir, answer="stamp"):
        super().__init__(work_dir, "timestamp-" + answer)
        self.answer = answer
        self.root = os.path.join(work_dir, "authority", "tsa-root.pem")

    def start(self):
        return self._launch(["/usr/bin/python3", SCRIPT, "--dir", os.path.join(self.work_dir, "authority"),
                             "--port", "0", "--answer", self.answer, "--record", self.record])

    @property
    def url(self):
        return "http://127.0.0.1:%d/" % self.port
