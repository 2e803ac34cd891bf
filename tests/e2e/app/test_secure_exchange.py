"""The run under Wine over HTTPS and through the system proxy: the certificate
is checked by Windows, and a proxy that asks for credentials gets them from
the user or nothing reaches the service.

The exes carry their service from their build (STAGEWELL_*_EXE with its
STAGEWELL_*_HOST): HTTPS straight to a double on a fixed loopback port, and a
service name that only the proxy double resolves, plain and HTTPS.
"""

import os
import re
import shutil
import unittest

from stagewell_harness import boxes, installation, tls
from stagewell_harness.double import ServiceDouble, port_of_host
from stagewell_harness.proxy import ProxyDouble, service_name_of_host
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-secure")
HTTPS_PORT = port_of_host(os.environ["STAGEWELL_HTTPS_HOST"])
PROXIED_NAME = service_name_of_host(os.environ["STAGEWELL_PROXIED_HOST"])
PROXIED_HTTPS_NAME = service_name_of_host(os.environ["STAGEWELL_PROXIED_HTTPS_HOST"])
PROXY_USER, PROXY_PASSWORD = "office", "pr0xy pass"
# Where a certificate says its revocation list and issuer are: a loopback port
# with nothing behind it.
REVOCATION_URL = "http://127.0.0.1:9"
# Markers named after the libraries WinINet loads for TLS, and cryptnet, which
# crypt32 would load by name to check revocation; each leaves "<its
# path>.loaded" when loaded.
TLS_PLANTED = [path for path in os.environ.get("STAGEWELL_TLS_PLANTED_DLLS", "").split(",") if path]
# Markers named after the security libraries WinINet loads for an NTLM or
# Negotiate challenge.
CHALLENGE_PLANTED = [path for path in os.environ.get("STAGEWELL_CHALLENGE_PLANTED_DLLS", "").split(",") if path]

REQUEST_LINE = (r"^GET /iqor/NewWA\.dll\?QOR_URL=[0-9A-F$]+&QOR_ENCR=[0-9A-F]{20}&Snozel=(0|[1-9]\d{0,2}) "
                r"HTTP/1\.[01]$")

bed = None
certificates = {}


def setUpModule():
    global bed
    folder = os.path.join(WORK, "certificates")
    trusted = tls.Authority(folder, "trusted-authority")
    unknown = tls.Authority(folder, "unknown-authority")
    # Wine matches the name against the common name and DNS names, never an
    # IP-address name: 127.0.0.1 is given as text.
    names = ["127.0.0.1", PROXIED_HTTPS_NAME[0]]
    certificates.update({
        "good": trusted.issue("good", "127.0.0.1", names),
        "good, revocation listed": trusted.issue("good-revocation", "127.0.0.1", names,
                                                 revocation_url=REVOCATION_URL),
        "unknown authority": unknown.issue("unknown", "127.0.0.1", names),
        "wrong host name": trusted.issue("other-name", "service.other.test", ["service.other.test"]),
        "expired": trusted.issue("expired", "127.0.0.1", names, expired=True),
    })
    bed = WineBed(os.path.join(WORK, "prefix"))
    bed.start()
    try:
        bed.app_defaults("stagewell.exe")
        tls.trust(bed, trusted)
        ProxyDouble.leave(bed)
    except BaseException:
        bed.stop()
        raise


def tearDownModule():
    if bed:
        bed.stop()


class SecureRun(unittest.TestCase):
    """What every case shares: one sample record, the driver, the boxes."""

    @staticmethod
    def install(folder, exe_variable):
        exe, = bed.install(folder, (os.environ[exe_variable], "stagewell.exe"))
        bed.install(folder, (os.environ["STAGEWELL_UNC_DLL"], "QorUncDllU.dll"), keep=True)
        return exe

    def setUp(self):
        installation.remove_product_files(bed)
        installation.place_product_exe(bed, r"C:\Ledgora\Ldg.exe")

    def run_exe(self, exe, customer, double, **drive_options):
        bed.reg_import(installation.reg_text(dict(installation.SAMPLE, Customer=customer)))
        before = len(double.records())
        result = bed.drive(exe, timeout=90, **drive_options)
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertTrue(result.ended_after_ok, "still running after OK on its last box: %r" % (result,))
        return result, double.records()[before:]

    def assertOneBox(self, result, expected):
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [expected], result)
        self.assertEqual(boxes.look(result.boxes[-1]), (expected.icon, expected.alignment))
        self.assertFalse(result.boxes[-1]["wait_visible"], "wait window still up behind the outcome box")

    def assertAcceptedRequest(self, requests):
        self.assertEqual(len(requests), 1, requests)
        self.assertTrue(all(requests[0]["checks"].values()), requests[0]["checks"])
        self.assertRegex(requests[0]["request_line"], REQUEST_LINE)


class Https(SecureRun):
    """HTTPS straight to the double, no proxy."""

    @classmethod
    def setUpClass(cls):
        cls.exe = cls.install("StagewellHttps", "STAGEWELL_HTTPS_EXE")
        cls.double = None

    def serve(self, certificate):
        if self.double:
            self.double.stop()
        self.double = ServiceDouble(os.path.join(WORK, "https-double"), HTTPS_PORT, tls=certificates[certificate])
        self.double.start()

    def tearDown(self):
        if self.double:
            self.double.stop()
            self.double = None

    def test_accepted_over_https_and_the_duplicate_after_it(self):
        self.serve("good")
        result, requests = self.run_exe(self.exe, "171717", self.double)
        self.assertOneBox(result, boxes.ACCEPTED)
        self.assertAcceptedRequest(requests)
        self.assertEqual(requests[0]["fields"]["P1"], "171717")
        result, requests = self.run_exe(self.exe, "171717", self.double)
        self.assertOneBox(result, boxes.DUPLICATE)
        self.assertEqual(len(requests), 1)

    def test_a_certificate_that_fails_the_check_ends_before_anything_is_sent(self):
        for number, name in enumerate(["unknown authority", "wrong host name", "expired"]):
            with self.subTest(name):
                self.serve(name)
                result, requests = self.run_exe(self.exe, str(181810 + number), self.double)
                self.assertOneBox(result, boxes.CERTIFICATE_INVALID)
                self.assertEqual(requests, [], "the service received a request")
                self.assertEqual(result.auth_dialogs, [], "a dialog offered to go on anyway")

    def test_libraries_planted_beside_the_exe_never_load_for_tls(self):
        # Windows' load order asked for (native first): a bare-name load or an
        # import would take the copy beside the exe, which is also the current folder.
        self.assertTrue(TLS_PLANTED, "STAGEWELL_TLS_PLANTED_DLLS is not set")
        # A certificate as an authority issues it, so that a revocation check
        # or an issuer's retrieval, if one were made, would reach cryptnet.
        self.serve("good, revocation listed")
        for number, dll in enumerate(TLS_PLANTED):
            name = os.path.splitext(os.path.basename(dll))[0]
            with self.subTest(name):
                planted = shutil.copy(dll, os.path.dirname(self.exe))
                bed.app_defaults("stagewell.exe", dll_overrides={name: "native,builtin"})
                try:
                    result, requests = self.run_exe(self.exe, str(222220 + number), self.double)
                finally:
                    bed.app_defaults("stagewell.exe")
                    os.unlink(planted)
                loaded = os.path.exists(planted + ".loaded")
                if loaded:
                    os.unlink(planted + ".loaded")
                self.assertFalse(loaded, "planted %s was loaded" % name)
                self.assertOneBox(result, boxes.ACCEPTED)
                self.assertEqual(len(requests), 1)


class ThroughTheProxy(SecureRun):
    """The prefix's system proxy, which alone resolves the exes' service name."""

    @classmethod
    def setUpClass(cls):
        cls.exe = cls.install("StagewellProxied", "STAGEWELL_PROXIED_EXE")
        cls.https_exe = cls.install("StagewellProxiedHttps", "STAGEWELL_PROXIED_HTTPS_EXE")
        cls.double = ServiceDouble(os.path.join(WORK, "proxied-double"), 0)
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()
        cls.https_double = ServiceDouble(os.path.join(WORK, "proxied-https-double"), 0, tls=certificates["good"])
        cls.addClassCleanup(cls.https_double.stop)
        cls.https_double.start()
        cls.proxy = ProxyDouble(os.path.join(WORK, "proxy"),
                                {PROXIED_NAME: cls.double.port, PROXIED_HTTPS_NAME: cls.https_double.port},
                                PROXY_USER, PROXY_PASSWORD)
        cls.addClassCleanup(cls.proxy.stop)
        cls.proxy.start()
        cls.proxy.use_in(bed)
        cls.addClassCleanup(ProxyDouble.leave, bed)

    def proxied(self, asks_credentials, run, challenge="Basic"):
        self.proxy.credentials(asks_credentials, challenge)
        before = len(self.proxy.records())
        outcome = run()
        return outcome, self.proxy.records()[before:]

    def test_an_open_proxy_carries_http_and_https(self):
        cases = [
            ("http", lambda: self.exe, lambda: self.double, "GET",
             r"http://%s(:%d)?/iqor/NewWA\.dll\?QOR_URL=" % (re.escape(PROXIED_NAME[0]), PROXIED_NAME[1])),
            ("https", lambda: self.https_exe, lambda: self.https_double, "CONNECT",
             r"%s:%d$" % (re.escape(PROXIED_HTTPS_NAME[0]), PROXIED_HTTPS_NAME[1])),
        ]
        for number, (name, exe, double, method, target) in enumerate(cases):
            with self.subTest(name):
                (result, requests), seen = self.proxied(False, lambda: self.run_exe(exe(), str(191910 + number),
                                                                                     double()))
                self.assertOneBox(result, boxes.ACCEPTED)
                self.assertAcceptedRequest(requests)
                self.assertEqual([r["method"] for r in seen], [method], seen)
                self.assertRegex(seen[0]["target"], target)

    def transports(self):
        """(name, exe, double) of the plain and the HTTPS exe."""
        return [("http", self.exe, self.double), ("https", self.https_exe, self.https_double)]

    def test_proxy_credentials_from_the_dialog(self):
        for number, (name, exe, double) in enumerate(self.transports()):
            with self.subTest(name):
                (result, requests), seen = self.proxied(True, lambda: self.run_exe(
                    exe, str(202020 + number), double, user=PROXY_USER, password=PROXY_PASSWORD))
                self.assertEqual(len(result.auth_dialogs), 1, result)
                self.assertIn("127.0.0.1:%d" % self.proxy.port, result.auth_dialogs[0]["texts"],
                              "not the proxy's dialog")
                self.assertOneBox(result, boxes.ACCEPTED)
                self.assertAcceptedRequest(requests)
                # The proxy saw the credentials on the retry, and only what it
                # let through reached the service.
                self.assertEqual(seen[-1]["status"], 200, seen)
                self.assertTrue(seen[-1]["authorised"], seen)
                self.assertIn(407, [r["status"] for r in seen])

    def test_proxy_refused_is_no_reply_and_nothing_reaches_the_service(self):
        answers = [
            ("dialog cancelled", dict(cancel_auth=True)),
            # The proxy refuses them again: no second dialog, and never the fault box.
            ("wrong credentials", dict(user=PROXY_USER, password="not " + PROXY_PASSWORD)),
        ]
        cases = [(answer, transport) for answer in answers for transport in self.transports()]
        for number, ((answer, options), (name, exe, double)) in enumerate(cases):
            with self.subTest(answer=answer, transport=name):
                (result, requests), seen = self.proxied(True, lambda: self.run_exe(
                    exe, str(212120 + number), double, **options))
                self.assertEqual(len(result.auth_dialogs), 1, result)
                self.assertOneBox(result, boxes.NO_REPLY)
                self.assertEqual(requests, [])
                self.assertTrue(seen and all(r["status"] == 407 for r in seen), seen)

    def test_a_challenge_over_plain_http_loads_no_security_library_planted_beside_the_exe(self):
        # Windows' load order asked for, as for TLS above. Wine starts no
        # handshake here (its NTLM needs Samba's ntlm_auth): the proxy's
        # dialog, which the driver cancels, then the no-reply box.
        self.assertTrue(CHALLENGE_PLANTED, "STAGEWELL_CHALLENGE_PLANTED_DLLS is not set")
        cases = [(scheme, dll) for scheme in ("NTLM", "Negotiate") for dll in CHALLENGE_PLANTED]
        for number, (scheme, dll) in enumerate(cases):
            name = os.path.splitext(os.path.basename(dll))[0]
            with self.subTest(challenge=scheme, planted=name):
                planted = shutil.copy(dll, os.path.dirname(self.exe))
                bed.app_defaults("stagewell.exe", dll_overrides={name: "native,builtin"})
                try:
                    (result, requests), seen = self.proxied(True, lambda: self.run_exe(
                        self.exe, str(232320 + number), self.double), challenge=scheme)
                finally:
                    bed.app_defaults("stagewell.exe")
                    os.unlink(planted)
                loaded = os.path.exists(planted + ".loaded")
                if loaded:
                    os.unlink(planted + ".loaded")
                self.assertFalse(loaded, "planted %s was loaded" % name)
                self.assertEqual(len(result.auth_dialogs), 1, result)
                self.assertOneBox(result, boxes.NO_REPLY)
                self.assertEqual(requests, [])
                self.assertTrue(seen and all(r["status"] == 407 for r in seen), seen)


if __name__ == "__main__":
    unittest.main()
