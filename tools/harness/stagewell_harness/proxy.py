"""Runs the forward proxy double for a group of tests, and points a Wine
prefix's Internet Settings at it."""

import os
import urllib.request

from stagewell_harness import processes

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "proxy_double", "proxy_double.py")
INTERNET_SETTINGS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def service_name_of_host(host):
    """(name, port) a service setting names: "https://name" -> (name, 443)."""
    secure = host.startswith("https://")
    rest = host[len("https://"):] if secure else host
    name, _, port = rest.partition(":")
    return name, int(port) if port else (443 if secure else 80)


class ProxyDouble(processes.RecordingDouble):
    """The proxy on a free loopback port. routes: {(name, port): loopback
    port}. With user and password it asks for them (407) until
    credentials(False) turns that off.
    """

    def __init__(self, work_dir, routes, user="", password=""):
        super().__init__(work_dir, "proxy")
        self.routes = routes
        self.user, self.password = user, password

    def start(self):
        argv = ["/usr/bin/python3", SCRIPT, "--port", "0", "--record", self.record]
        for (name, port), target in self.routes.items():
            argv += ["--route", "%s:%d=127.0.0.1:%d" % (name, port, target)]
        if self.user:
            argv += ["--user", self.user, "--password", self.password]
        return self._launch(argv)

    def credentials(self, asked, challenge="Basic"):
        """Whether the 407 is sent, and the scheme it offers: Basic, NTLM or
        Negotiate, the last two never admitted."""
        url = "http://127.0.0.1:%d/_control?credentials=%s&challenge=%s" % (self.port, "on" if asked else "off",
                                                                            challenge)
        with urllib.request.urlopen(url, timeout=10) as reply:
            reply.read()

    def use_in(self, bed):
        """Sets the prefix's system proxy (what WinINet's preconfigured access reads)."""
        bed.reg_import('[%s]\n"ProxyEnable"=dword:00000001\n"ProxyServer"="127.0.0.1:%d"\n'
                       % (INTERNET_SETTINGS, self.port))

    @staticmethod
    def leave(bed):
        bed.reg_import('[%s]\n"ProxyEnable"=dword:00000000\n"ProxyServer"=-\n' % INTERNET_SETTINGS)
