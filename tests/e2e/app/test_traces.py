"""Every path of the run leaves the Wine prefix as it found it: no file, no
registry value, no cache entry and no cookie, and no file in the prefix holds
what travelled.

One bed serves every run. A snapshot of the prefix holds every directory and
regular file (size and content, or size and time for the system's shared
files and large ones) and the registry's keys and values as the server writes
them to system.reg, user.reg and userdef.reg (their header and time stamps
left out). The prefix's server is ended before each snapshot, so the registry
is on disk.

Wine's own writes for a WinINet client are measured, never assumed: the first
WinINet client of the prefix (a session opened and closed) is the warm-up;
then a client that exchanges nothing (the same session, and a run refused
before its exchange) changes a short list of items, and only those are
discounted in the runs' snapshots. The password dialog's own first-use writes
come from the same client, which opens it once for an address the proxy
refuses with a 407, before the proxy's group. At the end, one search of every
file in the prefix looks for the machine identity, the sealed texts the
doubles received and the cookies they set, in ASCII and in UTF-16LE.

A cookie a browser stored for the service's hosts (persistent, path "/")
is there before the runs; no request may carry it.
"""

import email.utils
import hashlib
import os
import re
import secrets
import shutil
import stat
import subprocess
import tempfile
import time
import unittest

from stagewell_harness import boxes, installation, tls
from stagewell_harness.double import ServiceDouble, header_block, port_of_host
from stagewell_harness.proxy import ProxyDouble, service_name_of_host
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-traces")
SERVICE_PORT = port_of_host(os.environ["STAGEWELL_SERVICE_HOST"])
HTTPS_PORT = port_of_host(os.environ["STAGEWELL_HTTPS_HOST"])
PROXIED_NAME = service_name_of_host(os.environ["STAGEWELL_PROXIED_HOST"])
PROXY_USER, PROXY_PASSWORD = "office", "pr0xy pass"

# What the service receives, byte for byte: the request line, then the header
# block (double.header_block).
REQUEST_LINE = re.compile(r"GET /iqor/NewWA\.dll\?QOR_URL=[0-9A-F$]+&QOR_ENCR=[0-9A-F]{20}&Snozel=(0|[1-9]\d{0,2}) "
                          r"HTTP/1\.1")
# Through the proxy double, which forwards the client's headers but its own
# hop-by-hop ones, then adds its own Connection.
FORWARDED_HEADER_NAMES = ["Accept", "User-Agent", "Host", "Connection"]

REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")
# Files up to this size that are the prefix's own (not linked to the template)
# are compared by content; the rest by size and modification time.
HASHED_BYTES = 4 << 20
COOKIE_LIFETIME_S = 365 * 24 * 3600


def persistent_cookie(text):
    return "%s; expires=%s; path=/" % (text, email.utils.formatdate(time.time() + COOKIE_LIFETIME_S, usegmt=True))


# --- snapshots -------------------------------------------------------------

def _registry(path):
    """{(key,): None, (key, value name): the value as written} of one .reg file."""
    items = {}
    key = None
    with open(path, encoding="utf-8", errors="surrogateescape") as lines:
        pending = ""
        for raw in lines:
            line = pending + raw.rstrip("\n")
            if line.endswith("\\") and key is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            pending = ""
            header = re.match(r"^\[(.*)\](?: \d+)?$", line)
            if header:
                key = header.group(1)
                items[(key,)] = None
            elif key is not None and line and not line.startswith("#time="):
                name = re.match(r'^(@|#\w+|"(?:[^"\\]|\\.)*")=?', line)
                items[(key, name.group(1) if name else line)] = line
    return items


def _digest(path):
    hashed = hashlib.sha256()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 20), b""):
            hashed.update(block)
    return hashed.hexdigest()


def snapshot(bed):
    """{item: state} of the prefix. Items: ("dir", path), ("file", path),
    ("registry", file, key[, value name])."""
    bed.settle()
    items = {}
    for folder, dirs, names in os.walk(bed.prefix):
        relative = os.path.relpath(folder, bed.prefix)
        for name in dirs:
            if not os.path.islink(os.path.join(folder, name)):
                items[("dir", os.path.normpath(os.path.join(relative, name)))] = None
        for name in names:
            path = os.path.join(folder, name)
            relative_path = os.path.normpath(os.path.join(relative, name))
            if relative == "." and name in REGISTRY_FILES:
                items.update({("registry", name) + item: state for item, state in _registry(path).items()})
                continue
            info = os.lstat(path)
            if not stat.S_ISREG(info.st_mode):
                continue
            if info.st_nlink == 1 and info.st_size <= HASHED_BYTES:
                items[("file", relative_path)] = (info.st_size, _digest(path))
            else:
                items[("file", relative_path)] = (info.st_size, info.st_mtime_ns)
    return items


def changes(before, after):
    """{item: "created" | "changed" | "removed"} from one snapshot to the next."""
    found = {}
    for item in before.keys() | after.keys():
        if item not in before:
            found[item] = "created"
        elif item not in after:
            found[item] = "removed"
        elif before[item] != after[item]:
            found[item] = "changed"
    return found


def describe(found):
    return "\n".join("  %s %s" % (how, " | ".join(item)) for item, how in sorted(found.items())) or "  nothing"


def files_holding(root, texts):
    """The files under root (links not followed) holding any of texts, in
    ASCII or UTF-16LE: one grep over all."""
    with tempfile.NamedTemporaryFile(delete=False) as patterns:
        for text in texts:
            patterns.write(text.encode("ascii") + b"\n" + text.encode("utf-16-le") + b"\n")
    try:
        found = subprocess.run(["grep", "-a", "-r", "-l", "-F", "-f", patterns.name, "."], cwd=root,
                               env=dict(os.environ, LC_ALL="C"), stdout=subprocess.PIPE, timeout=600)
    finally:
        os.unlink(patterns.name)
    if found.returncode not in (0, 1):
        raise RuntimeError("grep failed (%d)" % found.returncode)
    return sorted(found.stdout.decode("utf-8", "replace").split("\n")[:-1])


# --- the bed ---------------------------------------------------------------

bed = None
# Where the snapshots stand: the latest one, and the items a client that
# exchanges nothing changes.
state = {}


def setUpModule():
    global bed
    folder = os.path.join(WORK, "certificates")
    state["authority"] = tls.Authority(folder, "trusted-authority")
    state["certificate"] = state["authority"].issue("good", "127.0.0.1", ["127.0.0.1"])
    # A new prefix each time: the warm-up must be the prefix's first WinINet
    # client, and no cookie of an earlier run may be there.
    shutil.rmtree(os.path.join(WORK, "prefix"), ignore_errors=True)
    bed = WineBed(os.path.join(WORK, "prefix"))
    bed.start()
    try:
        _prepare()
    except BaseException:
        bed.stop()
        raise


def _prepare():
    bed.app_defaults("stagewell.exe")
    tls.trust(bed, state["authority"])
    state["exes"] = {}
    for folder, variable in [("Stagewell", "STAGEWELL_EXE"), ("StagewellShort", "STAGEWELL_SHORT_EXE"),
                             ("StagewellHttps", "STAGEWELL_HTTPS_EXE"), ("StagewellProxied", "STAGEWELL_PROXIED_EXE")]:
        exe, = bed.install(folder, (os.environ[variable], "stagewell.exe"))
        bed.install(folder, (os.environ["STAGEWELL_UNC_DLL"], "QorUncDllU.dll"), keep=True)
        state["exes"][variable] = exe
    state["client"], = bed.install("WininetClient", os.environ["STAGEWELL_WININET_CLIENT"])
    installation.remove_product_files(bed)
    installation.place_product_exe(bed, r"C:\Ledgora\Ldg.exe")
    # The record, refused before its exchange: Terminal 1.
    bed.reg_import(installation.reg_text(dict(installation.SAMPLE, Terminal="1")))

    # The warm-up: the prefix's first WinINet client.
    first = snapshot(bed)
    client("session")
    warmed = snapshot(bed)
    state["first use"] = changes(first, warmed)

    # A browser's cookie for the service's hosts, stored as a user's would be.
    state["stored cookie"] = "stagewell_browser=" + secrets.token_hex(8)
    client("cookie", "http://127.0.0.1/", persistent_cookie(state["stored cookie"]),
           "http://%s/" % PROXIED_NAME[0], persistent_cookie(state["stored cookie"]))
    before = snapshot(bed)
    client("session")
    refused = bed.drive(state["exes"]["STAGEWELL_EXE"], timeout=90)
    if [(b["title"], b["text"]) for b in refused.boxes] != [boxes.TERMINAL]:
        raise RuntimeError("the refused run showed %r" % (refused.boxes,))
    state["discounted"] = changes(before, snapshot(bed))

    bed.reg_import(installation.reg_text(installation.SAMPLE))
    state["latest"] = snapshot(bed)


def client(*args):
    ran = bed.run([state["client"]] + list(args), timeout=120)
    if ran.returncode != 0:
        raise RuntimeError("wininet_client %s failed (%d): %s" % (args[0], ran.returncode, ran.stderr.decode(
            "utf-8", "replace")))


def tearDownModule():
    if bed:
        bed.stop()


class Traces(unittest.TestCase):
    """The groups of runs in order, each checked against the snapshot before
    it; the search over the whole prefix comes last."""

    # Every request the doubles received, and the cookies they set.
    received = []
    cookies_set = []

    @classmethod
    def setUpClass(cls):
        print("\nWine's first-use writes (warm-up, before every snapshot):\n%s" % describe(state["first use"]))
        print("Discounted, as a WinINet client that exchanges nothing changes them:\n%s"
              % describe(state["discounted"]))
        cls.double = ServiceDouble(os.path.join(WORK, "double"), SERVICE_PORT)
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()

    def assertLeavesNothing(self, runs):
        """Runs the group's runs, then compares the prefix with the latest snapshot."""
        before = state["latest"]
        runs()
        state["latest"] = after = snapshot(bed)
        left = {item: how for item, how in changes(before, after).items() if item not in state["discounted"]}
        self.assertEqual(left, {}, "the runs left in the prefix:\n" + describe(left))

    def drive(self, exe_variable, expected, double, **options):
        before = len(double.records())
        result = bed.drive(state["exes"][exe_variable], timeout=90, **options)
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [expected], result)
        requests = double.records()[before:]
        self.received.extend(requests)
        self.cookies_set.extend(r["answer"]["set_cookie"].split(";")[0] for r in requests
                                if "set_cookie" in r.get("answer", {}))
        return result, requests

    def assertReceivedAsSent(self, requests, host):
        """The request line, then exactly the program's two headers and Host:
        no cookie, no cache directive, nothing else."""
        self.assertTrue(requests)
        for request in requests:
            self.assertRegex(request["request_line"], REQUEST_LINE)
            self.assertEqual(request["header_block"], header_block(host))

    def test_1_plain_http_accepted_duplicate_fault_and_a_persistent_cookie(self):
        host = "127.0.0.1:%d" % SERVICE_PORT
        cookie = "stagewell_service=" + secrets.token_hex(8)

        def runs():
            for name, mode, set_cookie, expected in [("accepted", "normal", "", boxes.ACCEPTED),
                                                      ("duplicate", "normal", "", boxes.DUPLICATE),
                                                      ("fault", "no-verdict", "", boxes.FAULT),
                                                      ("persistent Set-Cookie", "normal", cookie, boxes.DUPLICATE)]:
                with self.subTest(name):
                    self.double.mode(mode, set_cookie=set_cookie)
                    _, requests = self.drive("STAGEWELL_EXE", expected, self.double)
                    self.assertEqual(len(requests), 1, requests)
                    self.assertReceivedAsSent(requests, host)

        self.assertLeavesNothing(runs)
        self.assertIn(cookie, self.cookies_set)

    def test_2_no_reply_at_the_deadline_and_from_a_refused_connection(self):
        def runs():
            with self.subTest("the deadline, silent service"):
                self.double.mode("silent", set_cookie="")
                _, requests = self.drive("STAGEWELL_SHORT_EXE", boxes.NO_REPLY, self.double)
                self.assertReceivedAsSent(requests, "127.0.0.1:%d" % SERVICE_PORT)
            with self.subTest("connection refused"):
                self.double.stop()
                _, requests = self.drive("STAGEWELL_EXE", boxes.NO_REPLY, self.double)
                self.assertEqual(requests, [])

        self.assertLeavesNothing(runs)

    def test_3_https_accepted(self):
        https = ServiceDouble(os.path.join(WORK, "https-double"), HTTPS_PORT, tls=state["certificate"])
        self.addCleanup(https.stop)
        https.start()
        cookie = "stagewell_secure=" + secrets.token_hex(8)
        https.mode("normal", set_cookie=cookie)

        def runs():
            _, requests = self.drive("STAGEWELL_HTTPS_EXE", boxes.ACCEPTED, https)
            self.assertEqual(len(requests), 1, requests)
            self.assertReceivedAsSent(requests, "127.0.0.1:%d" % HTTPS_PORT)

        self.assertLeavesNothing(runs)
        self.assertIn(cookie, self.cookies_set)

    def test_4_the_proxy_asks_for_credentials(self):
        service = ServiceDouble(os.path.join(WORK, "proxied-double"), 0)
        self.addCleanup(service.stop)
        service.start()
        cookie = "stagewell_proxied=" + secrets.token_hex(8)
        service.mode("normal", set_cookie=cookie)
        proxy = ProxyDouble(os.path.join(WORK, "proxy"), {PROXIED_NAME: service.port}, PROXY_USER, PROXY_PASSWORD)
        self.addCleanup(proxy.stop)
        proxy.start()
        proxy.credentials(True)
        # The system proxy is the harness's setting, made and taken back outside the snapshots.
        proxy.use_in(bed)
        self.addCleanup(ProxyDouble.leave, bed)
        # The password dialog's own first-use writes, from a client that asks
        # the proxy for nothing of the service's and cancels the dialog.
        before = snapshot(bed)
        warm_up = bed.drive(state["client"], args=["dialog", PROXIED_NAME[0], "/warm-up"], timeout=60,
                            cancel_auth=True, watch_wait=False)
        self.assertEqual((len(warm_up.auth_dialogs), warm_up.exit_code), (1, 0), warm_up)
        state["latest"] = snapshot(bed)
        print("\nThe password dialog's first-use writes (warm-up):\n%s" % describe(changes(before, state["latest"])))

        def runs():
            result, requests = self.drive("STAGEWELL_PROXIED_EXE", boxes.ACCEPTED, service, user=PROXY_USER,
                                          password=PROXY_PASSWORD)
            self.assertEqual(len(result.auth_dialogs), 1, result)
            self.assertIn(407, [r["status"] for r in proxy.records()])
            self.assertEqual(len(requests), 1, requests)
            self.assertEqual([name for name, _ in requests[0]["headers"]], FORWARDED_HEADER_NAMES)

        self.assertLeavesNothing(runs)
        self.assertIn(cookie, self.cookies_set)

    def test_5_no_file_in_the_prefix_holds_what_travelled(self):
        envelopes = [r["envelope"] for r in self.received if "envelope" in r]
        self.assertGreaterEqual(len(envelopes), 7, "the runs above did not all reach a double")
        texts = sorted({e["identity"] for e in envelopes} | {e["sealed"] for e in envelopes}
                       | {c.split("=", 1)[1] for c in self.cookies_set})
        self.assertEqual(files_holding(bed.prefix, texts), [])
        # The browser's cookie is still where it was, and the search finds it.
        self.assertTrue(files_holding(bed.prefix, [state["stored cookie"].split("=", 1)[1]]),
                        "the search does not find the stored cookie")


if __name__ == "__main__":
    unittest.main()
