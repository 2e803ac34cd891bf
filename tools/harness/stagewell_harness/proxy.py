"""Runs the forward proxy double for a group of tests, and points a Wine
prefix's Internet Settings at it."""

import json
import os
import select
import subprocess
import urllib.request

from stagewell_harness import processes

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "proxy_double", "proxy_double.py")
READY_SECONDS = 20
INTERNET_SETTINGS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def service_name_of_host(host):
    """(name, port) a service setting names: "https://name" -> (name, 443)."""
    secure = host.startswith("https://")
    rest = host[len("https://"):] if secure else host
    name, _, port = rest.partition(":")
    return name, int(port) if port else (443 if secure else 80)


class ProxyDouble:
    """The proxy as a process on a free loopback port (self.port once started).
    routes: {(name, port): loopback port}. With user and password it asks for
    them (407) until credentials(False) turns that off.
    """

    def __init__(self, work_dir, routes, user="", password=""):
        self.work_dir = work_dir
        self.routes = routes
        self.user, self.password = user, password
        self.record = os.path.join(work_dir, "proxy.jsonl")
        self.log = os.path.join(work_dir, "proxy.log")
        self.port = None
        self.process = None
        self._log = None

    def start(self):
        os.makedirs(self.work_dir, exist_ok=True)
        if os.path.exists(self.record):
            os.unlink(self.record)
        argv = ["/usr/bin/python3", SCRIPT, "--port", "0", "--record", self.record]
        for (name, port), target in self.routes.items():
            argv += ["--route", "%s:%d=127.0.0.1:%d" % (name, port, target)]
        if self.user:
            argv += ["--user", self.user, "--password", self.password]
        self._log = open(self.log, "ab")
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=self._log)
        try:
            ready, _, _ = select.select([self.process.stdout], [], [], READY_SECONDS)
            words = (self.process.stdout.readline().decode() if ready else "").split()
            if words[:1] != ["READY"] or len(words) < 2:
                raise RuntimeError("proxy double did not start (see %s)" % self.log)
            self.port = int(words[1])
        except BaseException:
            self.stop()
            raise
        return self

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

    def credentials(self, asked):
        url = "http://127.0.0.1:%d/_control?credentials=%s" % (self.port, "on" if asked else "off")
        with urllib.request.urlopen(url, timeout=10) as reply:
            reply.read()

    def records(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as lines:
            return [json.loads(line) for line in lines if line.strip()]

    def use_in(self, bed):
        """Sets the prefix's system proxy (what WinINet's preconfigured access reads)."""
        bed.reg_import('[%s]\n"ProxyEnable"=dword:00000001\n"ProxyServer"="127.0.0.1:%d"\n'
                       % (INTERNET_SETTINGS, self.port))

    @staticmethod
    def leave(bed):
        bed.reg_import('[%s]\n"ProxyEnable"=dword:00000000\n"ProxyServer"=-\n' % INTERNET_SETTINGS)
