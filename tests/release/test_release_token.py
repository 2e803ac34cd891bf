"""scripts/release.sh with a key in a SoftHSM2 token and time stamps from the
loopback time-stamp double, and scripts/verify-release.sh on what it wrote and
on altered copies: the PIN never shows, bad input and failed time stamps leave
dist/ as it was, and only the untouched release verifies."""

import os
import pty
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.dirname(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "harness"))

from release_fixture import (HOST, RELEASE, SOFTHSM_MODULE, Token, exe_name, make_certificate,  # noqa: E402
                             make_key, release, verify_release)
from stagewell_harness.timestamp import TimestampDouble  # noqa: E402
from test_release import snapshot  # noqa: E402

ARCHES = ("x86", "x64")
TSA_NAME = "/CN=Stagewell test time-stamp authority"


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def write(path, data):
    with open(path, "wb") as handle:
        handle.write(data)


def sections(data):
    """{name: (file offset, size)} of a PE image's sections."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    found = {}
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0").decode()
        size, offset = struct.unpack_from("<II", data, entry + 16)
        found[name] = (offset, size)
    return found


def certificate_table(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    return struct.unpack_from("<II", data, directories + 4 * 8)


def osslsigncode_verify(exe, ca, tsa_ca=None):
    argv = ["osslsigncode", "verify", "-CAfile", ca, "-in", exe] + (["-TSA-CAfile", tsa_ca] if tsa_ca else [])
    return subprocess.run(argv, capture_output=True, text=True)


class PinWatch:
    """Samples every process's arguments and environment while it runs, and
    keeps those that carry the secret; counts the signer processes it saw, so
    that a watch that saw nothing does not pass for a clean one."""

    def __init__(self, secret):
        self.secret = secret.encode()
        self.leaks = []
        self.signers_seen = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)

    @staticmethod
    def _is_release(cmdline):
        """The release's shell, or the `env` of its #! line that starts it."""
        argv = cmdline.split(b"\0")
        if len(argv) > 1 and os.path.basename(argv[0]) == b"env":
            argv = argv[1:]
        return len(argv) > 1 and os.path.basename(argv[0]) == b"bash" and argv[1].endswith(b"scripts/release.sh")

    def _watch(self):
        leaked = set()
        seen = set()
        while not self._stop.is_set():
            for pid in os.listdir("/proc"):
                if not pid.isdigit():
                    continue
                cmdline = b""
                for part in ("cmdline", "environ"):
                    try:
                        text = read("/proc/%s/%s" % (pid, part))
                    except OSError:
                        continue
                    if part == "cmdline":
                        cmdline = text
                    # The release's own shell was started with the PIN in its
                    # environment (where it is given), and its forks share that
                    # until they exec. Judged by the command line read before
                    # the environment: a fork that execs in between would
                    # otherwise pass for another program holding the PIN.
                    if self.secret in text and pid not in leaked and not (
                            part == "environ" and self._is_release(cmdline)):
                        leaked.add(pid)
                        self.leaks.append((pid, part, cmdline.replace(b"\0", b" ")[:200]))
                    if part == "cmdline" and b"osslsigncode\0sign" in text and pid not in seen:
                        seen.add(pid)
                        self.signers_seen += 1

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


class TokenFixture:
    """A token with the signer's key and certificate, a certificate of the
    same key that is not for code signing, and the time-stamp doubles."""

    @classmethod
    def make_token(cls, scratch):
        cls.key = make_key(scratch, "signer")
        cls.cert = make_certificate(scratch, "signer", cls.key)
        cls.server_cert = make_certificate(scratch, "server", cls.key, {"extendedKeyUsage": "serverAuth"})
        cls.other_cert = make_certificate(scratch, "other", make_key(scratch, "other"))
        cls.token = Token(os.path.join(scratch, "token"))
        cls.token.add_key("signer", cls.key, "01")
        cls.token.add_certificate("signer", cls.cert, "01")
        cls.token.add_certificate("server", cls.server_cert, "02")
        cls.env = dict(cls.token.env, STAGEWELL_SIGNING_PIN=cls.token.pin)


class TokenRelease(TokenFixture, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="stagewell-release-token-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch, ignore_errors=True)
        cls.make_token(cls.scratch)
        cls.tsa = TimestampDouble(os.path.join(cls.scratch, "tsa")).start()
        cls.addClassCleanup(cls.tsa.stop)

        # The certificate in a file, time-stamped, with the PIN watched: by
        # sampling, and by wrappers that log every argument the signing tools
        # get (osslsigncode wipes a -pass argument at once, too fast to sample).
        cls.stamped = os.path.join(cls.scratch, "stamped")
        wrappers = os.path.join(cls.scratch, "wrappers")
        os.makedirs(wrappers)
        cls.arguments_log = os.path.join(cls.scratch, "arguments.log")
        for tool in ("osslsigncode", "openssl"):
            path = os.path.join(wrappers, tool)
            with open(path, "w") as handle:
                handle.write('#!/bin/sh\nprintf "%%s\\n" "%s $*" >>"%s"\nexec %s "$@"\n'
                             % (tool, cls.arguments_log, shutil.which(tool)))
            os.chmod(path, 0o755)
        wrapped = dict(cls.env, PATH=wrappers + os.pathsep + cls.env["PATH"])
        with PinWatch(cls.token.pin) as cls.watch:
            cls.stamped_run = release("--host", HOST, "--pkcs11-module", SOFTHSM_MODULE, "--cert", cls.cert,
                                      "--key", cls.token.uri("signer", "private"), "--timestamp", cls.tsa.url,
                                      "--dist", cls.stamped, env=wrapped)
        # The certificate in the token, no time stamp.
        cls.in_token = os.path.join(cls.scratch, "in-token")
        cls.in_token_run = release("--host", HOST, "--pkcs11-module", SOFTHSM_MODULE,
                                   "--cert", cls.token.uri("signer", "cert"),
                                   "--key", cls.token.uri("signer", "private"), "--dist", cls.in_token, env=cls.env)

    def setUp(self):
        for run in (self.stamped_run, self.in_token_run):
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)

    def test_both_exes_are_signed_by_the_token_key_and_time_stamped(self):
        for arch in ARCHES:
            with self.subTest(arch):
                stamped = osslsigncode_verify(os.path.join(self.stamped, exe_name(arch)), self.cert, self.tsa.root)
                self.assertEqual(stamped.returncode, 0, stamped.stdout + stamped.stderr)
                self.assertIn("Timestamp Server Signature verification: ok", stamped.stdout)
                self.assertIn("Subject: " + TSA_NAME, stamped.stdout)
                self.assertIn("Subject: /CN=Stagewell release test signer", stamped.stdout)
                in_token = osslsigncode_verify(os.path.join(self.in_token, exe_name(arch)), self.cert)
                self.assertEqual(in_token.returncode, 0, in_token.stdout + in_token.stderr)
                self.assertNotIn("Timestamp time:", in_token.stdout)
        stamps = re.findall(r"^(x86|x64) exe time-stamped at (.+ GMT) by (.+)$", self.stamped_run.stdout, re.M)
        self.assertEqual([(arch, authority) for arch, _, authority in stamps],
                         [("x86", TSA_NAME), ("x64", TSA_NAME)], self.stamped_run.stdout)
        self.assertEqual(len(self.tsa.records()), 2)

    def test_the_pin_shows_in_no_process_output_or_file(self):
        self.assertGreaterEqual(self.watch.signers_seen, 1, "the watch saw no signing")
        self.assertEqual(self.watch.leaks, [])
        with open(self.arguments_log) as handle:
            arguments = handle.read()
        self.assertEqual(arguments.count("osslsigncode sign "), 3, arguments)  # the probe and each exe
        self.assertNotIn(self.token.pin, arguments)
        pin = self.token.pin
        for run in (self.stamped_run, self.in_token_run):
            self.assertNotIn(pin, run.stdout + run.stderr)
        for dist in (self.stamped, self.in_token):
            for name in os.listdir(dist):
                self.assertNotIn(pin.encode(), read(os.path.join(dist, name)), name)

    def test_without_the_variable_the_pin_is_asked_on_the_terminal_without_echo(self):
        env = dict(self.token.env)
        env.pop("STAGEWELL_SIGNING_PIN", None)
        dist = os.path.join(self.scratch, "asked")
        pid, terminal = pty.fork()
        if pid == 0:  # the child: the pty is its controlling terminal
            try:
                os.execve(RELEASE, [RELEASE, "--host", HOST, "--pkcs11-module", SOFTHSM_MODULE, "--cert", self.cert,
                                    "--key", self.token.uri("signer", "private"), "--dist", dist], env)
            finally:
                os._exit(127)
        seen = b""
        try:
            while b"PIN of the token" not in seen:
                chunk = os.read(terminal, 4096)
                self.assertTrue(chunk, seen)
                seen += chunk
            os.write(terminal, self.token.pin.encode() + b"\n")
            while True:
                try:
                    chunk = os.read(terminal, 4096)
                except OSError:  # the child has ended and closed its side
                    break
                if not chunk:
                    break
                seen += chunk
        finally:
            _, status = os.waitpid(pid, 0)
            os.close(terminal)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0, seen)
        self.assertNotIn(self.token.pin.encode(), seen)
        self.assertIn(b"wrote " + dist.encode(), seen)
        self.assertEqual(osslsigncode_verify(os.path.join(dist, exe_name("x86")), self.cert).returncode, 0)

    def test_verify_release_accepts_the_release(self):
        exes = [os.path.join(self.stamped, exe_name(arch)) for arch in ARCHES]
        result = verify_release("--host", HOST, "--root", self.cert, "--tsa-root", self.tsa.root,
                                "--signer", "Stagewell release test signer", *exes)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.count("verdict:    verified: built from this checkout for " + HOST), 2,
                         result.stdout)
        self.assertEqual(result.stdout.count("signer:     /CN=Stagewell release test signer"), 2, result.stdout)
        self.assertEqual(result.stdout.count(" by %s, verified" % TSA_NAME), 2, result.stdout)

    def test_verify_release_refuses_what_was_altered(self):
        good = os.path.join(self.in_token, exe_name("x86"))
        data = read(good)
        text_offset, text_size = sections(data)[".text"]
        changed_at = text_offset + text_size // 2

        # One code byte changed, then validly signed again with the same key.
        unsigned = os.path.join(self.scratch, "changed-unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", good, "-out", unsigned], check=True,
                       capture_output=True)
        code = bytearray(read(unsigned))
        code[changed_at] ^= 0x01
        write(unsigned, code)
        resigned = os.path.join(self.scratch, "changed-resigned.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", self.cert, "-key", self.key, "-h", "sha256",
                        "-in", unsigned, "-out", resigned], check=True, capture_output=True)
        self.assertEqual(osslsigncode_verify(resigned, self.cert).returncode, 0)

        # One byte of the signature's own value changed: the code is the build's.
        broken = bytearray(data)
        table_offset, table_size = certificate_table(data)
        broken[table_offset + table_size - 24] ^= 0x01
        broken_path = os.path.join(self.scratch, "broken-signature.exe")
        write(broken_path, broken)

        cases = [
            # name, file, root, host, more options, what the report says
            ("a code byte changed, signed again", resigned, self.cert, HOST, [],
             "first at offset %d (0x%x), in section .text" % (changed_at, changed_at)),
            ("a broken signature", broken_path, self.cert, HOST, [], "its signature does not verify"),
            ("an unknown root", good, self.other_cert, HOST, [],
             "its signature does not verify to " + self.other_cert),
            ("another signer than the one expected", good, self.cert, HOST, ["--signer", "Someone Else"],
             "its signer is 'Stagewell release test signer', not 'Someone Else'"),
        ]
        for name, exe, root, host, options, message in cases:
            with self.subTest(name):
                result = verify_release("--host", host, "--root", root, *options, exe)
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                self.assertIn(message, result.stdout)
                self.assertIn("verdict:    NOT VERIFIED", result.stdout)
        self.assertIn("code:       identical", verify_release("--host", HOST, "--root", self.cert, broken_path).stdout)

    def test_verify_release_refuses_another_hosts_build(self):
        good = os.path.join(self.in_token, exe_name("x86"))
        result = verify_release("--host", "https://other.example.com", "--root", self.cert, good)
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("DIFFERS from the rebuild for https://other.example.com: first at offset", result.stdout)
        self.assertIn("its code is not what this checkout builds for https://other.example.com", result.stdout)


class TokenBadInput(TokenFixture, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="stagewell-release-token-bad-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch, ignore_errors=True)
        cls.make_token(cls.scratch)
        cls.not_a_module = os.path.join(cls.scratch, "not-a-module.so")
        write(cls.not_a_module, b"\x7fELF but no library")

    def dist_of_an_earlier_release(self):
        dist = tempfile.mkdtemp(dir=self.scratch)
        for name, text in (("stagewell-0.9.0-x86.exe", "MZ earlier"), ("SHA256SUMS", "earlier sums\n")):
            with open(os.path.join(dist, name), "w") as handle:
                handle.write(text)
        return dist

    def assertRefused(self, args, message, built, **options):
        """Refused with message, dist/ as it was (an earlier release's, or none); the runs' stderr."""
        said = []
        for dist in (self.dist_of_an_earlier_release(), os.path.join(self.scratch, "not-there")):
            before = snapshot(dist)
            result = release("--host", HOST, *args, "--dist", dist, **options)
            self.assertNotEqual(result.returncode, 0, result.stdout)
            self.assertIn(message, result.stderr)
            self.assertEqual("building" in result.stdout, built, result.stdout)
            self.assertEqual(snapshot(dist), before, "dist/ changed")
            self.assertNotIn(self.token.pin, result.stdout + result.stderr)
            said.append(result.stderr)
        return said

    def test_bad_token_input_is_refused_before_anything_is_built(self):
        key = self.token.uri("signer", "private")
        in_token = ["--pkcs11-module", SOFTHSM_MODULE, "--cert", self.cert]
        cases = [
            # name, arguments, PIN (None: not given), message
            ("module that does not exist", ["--pkcs11-module", "/nonexistent/module.so", "--cert", self.cert,
                                            "--key", key], self.token.pin, "cannot read the PKCS#11 module"),
            ("module that does not load", ["--pkcs11-module", self.not_a_module, "--cert", self.cert, "--key", key],
             self.token.pin, "the PKCS#11 module '%s' does not load" % self.not_a_module),
            ("no such token", in_token + ["--key", "pkcs11:token=elsewhere;object=signer"], self.token.pin,
             "no token matches the key"),
            ("no such key", in_token + ["--key", self.token.uri("nobody", "private")], self.token.pin,
             "no private key in the token"),
            ("no such certificate", ["--pkcs11-module", SOFTHSM_MODULE, "--cert", self.token.uri("nobody", "cert"),
                                     "--key", key], self.token.pin, "no certificate in the token"),
            ("wrong PIN", in_token + ["--key", key], "000000", "the token refused the PIN (PIN incorrect)"),
            ("no PIN and no terminal", in_token + ["--key", key], None, "no PIN for the token"),
            ("key of another certificate", ["--pkcs11-module", SOFTHSM_MODULE, "--cert", self.other_cert,
                                            "--key", key], self.token.pin, "does not belong to the certificate"),
            ("file certificate not for code signing", ["--pkcs11-module", SOFTHSM_MODULE, "--cert", self.server_cert,
                                                       "--key", key], self.token.pin, "not for code signing"),
            ("token certificate not for code signing", ["--pkcs11-module", SOFTHSM_MODULE,
                                                        "--cert", self.token.uri("server", "cert"), "--key", key],
             self.token.pin, "not for code signing"),
            ("key in a file with a module", in_token + ["--key", self.key], self.token.pin,
             "the key is a PKCS#11 URI"),
            ("token key without a module", ["--cert", self.cert, "--key", key], self.token.pin,
             "needs --pkcs11-module"),
        ]
        for name, args, pin, message in cases:
            with self.subTest(name):
                env = dict(self.env)
                if pin is None:
                    del env["STAGEWELL_SIGNING_PIN"]
                else:
                    env["STAGEWELL_SIGNING_PIN"] = pin
                # A session of its own: no terminal to ask the PIN on.
                self.assertRefused(args, message, built=False, env=env, start_new_session=True)

    def test_a_failed_time_stamp_fails_the_release(self):
        doubles = {answer: TimestampDouble(os.path.join(self.scratch, "tsa-" + answer), answer).start()
                   for answer in ("garbage", "refuse")}
        for double in doubles.values():
            self.addCleanup(double.stop)
        token = ["--pkcs11-module", SOFTHSM_MODULE, "--cert", self.cert, "--key", self.token.uri("signer", "private")]
        cases = [
            # name, service, what osslsigncode says of it
            ("unreachable", "http://127.0.0.1:9/", "Connection refused"),
            ("garbage answer", doubles["garbage"].url, "Failed to convert timestamp reply"),
            ("error answer", doubles["refuse"].url, "code=500"),
        ]
        for name, url, cause in cases:
            with self.subTest(name):
                message = "signing the x86 exe failed: no time stamp from '%s'" % url
                for stderr in self.assertRefused(token + ["--timestamp", url], message, built=True, env=self.env):
                    self.assertIn(cause, stderr)

if __name__ == "__main__":
    unittest.main()
