"""Ending the helper processes a tool starts, and the launcher of our doubles."""

import json
import os
import select
import subprocess


def stop(process, grace_s):
    """Asks the process to end, and kills it if it has not within grace_s."""
    process.terminate()
    try:
        process.wait(timeout=grace_s)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class RecordingDouble:
    """A double of ours as a process on loopback: it prints "READY <port>" once
    it listens, writes its stderr to a log and each request it saw to a JSON
    line file, both in work_dir. self.port names its port once started.

    Use it as a context manager, or call stop() on every path.
    """

    READY_SECONDS = 20

    def __init__(self, work_dir, name):
        self.work_dir = work_dir
        self.name = name
        self.record = os.path.join(work_dir, name + ".jsonl")
        self.log = os.path.join(work_dir, name + ".log")
        self.port = None
        self.process = None
        self._log = None

    def _launch(self, argv):
        """Starts argv with the record file new, and waits for its READY line."""
        os.makedirs(self.work_dir, exist_ok=True)
        if os.path.exists(self.record):
            os.unlink(self.record)
        self._log = open(self.log, "ab")
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=self._log)
        try:
            ready, _, _ = select.select([self.process.stdout], [], [], self.READY_SECONDS)
            line = self.process.stdout.readline().decode() if ready else ""
            words = line.split()
            if words[:1] != ["READY"] or len(words) < 2:
                raise RuntimeError("%s double did not start: %r (see %s)" % (self.name, line, self.log))
            self.port = int(words[1])
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self):
        if self.process:
            stop(self.process, 15)
            self.process.stdout.close()
            self.process = None
        if self._log:
            self._log.close()
            self._log = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def records(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines if line.strip()]
