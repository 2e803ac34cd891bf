"""scripts/release.sh: signed exes that verify against their certificate,
checksums that match, unsigned exes that are the build's own bytes, and bad
input refused with dist/ left as it was."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))

from release_fixture import CODE_SIGNING, HOST, exe_name, make_certificate, make_key, release  # noqa: E402

URL = "https://deploy.example.com/stagewell"
ARCHES = {"x86": 0x14C, "x64": 0x8664}  # the PE header's machine


def pe_header(data):
    """(machine, certificate table offset, size) of a PE image."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0"
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    offset, size = struct.unpack_from("<II", data, directories + 4 * 8)  # entry 4: certificates
    return machine, offset, size


def verify(exe, ca):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-in", exe], capture_output=True, text=True)


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


def snapshot(folder):
    """Every entry of a folder, hidden ones included, with its bytes; None if there is no folder."""
    if not os.path.isdir(folder):
        return None
    return {name: read(os.path.join(folder, name)) if os.path.isfile(os.path.join(folder, name)) else "folder"
            for name in os.listdir(folder)}


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="stagewell-release-")
        cls.key = make_key(cls.scratch, "signer")
        cls.cert = make_certificate(cls.scratch, "signer", cls.key)
        cls.signed = os.path.join(cls.scratch, "signed")
        cls.unsigned = os.path.join(cls.scratch, "plain")
        cls.signed_run = release("--host", HOST, "--cert", cls.cert, "--key", cls.key, "--url", URL,
                                 "--dist", cls.signed)
        cls.unsigned_run = release("--host", HOST, "--dist", cls.unsigned)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def setUp(self):
        for run in (self.signed_run, self.unsigned_run):
            self.assertEqual(run.returncode, 0, run.stderr)

    def test_dist_holds_the_two_exes_and_their_checksums(self):
        for dist in (self.signed, self.unsigned):
            self.assertEqual(sorted(os.listdir(dist)), sorted([exe_name("x64"), exe_name("x86"), "SHA256SUMS"]))
            for arch, machine in ARCHES.items():
                self.assertEqual(pe_header(read(os.path.join(dist, exe_name(arch))))[0], machine, arch)
            check = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=dist, capture_output=True,
                                   text=True)
            self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
            self.assertEqual(sorted(check.stdout.splitlines()), ["%s: OK" % exe_name(a) for a in sorted(ARCHES)])

    def test_both_exes_verify_against_the_certificate(self):
        self.assertNotIn("left unsigned", self.signed_run.stdout)
        for arch in ARCHES:
            with self.subTest(arch):
                result = verify(os.path.join(self.signed, exe_name(arch)), self.cert)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                self.assertIn("Message digest algorithm  : SHA256", result.stdout)
                self.assertIn("Text description: Stagewell", result.stdout)
                self.assertIn("URL description: " + URL, result.stdout)
                self.assertIn("Subject: /CN=Stagewell release test signer", result.stdout)

    def test_a_flipped_byte_breaks_the_signature(self):
        data = bytearray(read(os.path.join(self.signed, exe_name("x86"))))
        data[len(data) // 3] ^= 0x01  # inside the code, well before the signature
        tampered = os.path.join(self.scratch, "tampered.exe")
        with open(tampered, "wb") as handle:
            handle.write(data)
        result = verify(tampered, self.cert)
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn("MISMATCH", result.stdout)

    def test_unsigned_exes_are_the_signed_ones_without_their_signature(self):
        said = [line for line in self.unsigned_run.stdout.splitlines() if "unsigned" in line]
        self.assertEqual(said, ["no certificate given: the exes are left unsigned"], self.unsigned_run.stdout)
        for arch in ARCHES:
            with self.subTest(arch):
                unsigned = read(os.path.join(self.unsigned, exe_name(arch)))
                self.assertEqual(pe_header(unsigned)[1:], (0, 0), "a certificate table in the unsigned exe")
                stripped = os.path.join(self.scratch, "stripped-" + arch)
                subprocess.run(["osslsigncode", "remove-signature", "-in", os.path.join(self.signed, exe_name(arch)),
                                "-out", stripped], check=True, capture_output=True)
                self.assertTrue(read(stripped) == unsigned, "signing changed more than the signature")


class BadInput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="stagewell-release-bad-")
        key = make_key(cls.scratch, "signer")
        cls.paths = {
            "key": key,
            "cert": make_certificate(cls.scratch, "signer", key),
            "other_key": make_key(cls.scratch, "other"),
            "locked_key": make_key(cls.scratch, "locked", passphrase="pass phrase"),
            "server": make_certificate(cls.scratch, "server", key, {"extendedKeyUsage": "serverAuth"}),
            "no_eku": make_certificate(cls.scratch, "no-eku", key, {"keyUsage": "digitalSignature"}),
            "encipher_only": make_certificate(cls.scratch, "encipher", key,
                                              dict(CODE_SIGNING, keyUsage="keyEncipherment")),
            "missing": os.path.join(cls.scratch, "missing.pem"),
            "folder": cls.scratch,
            "garbage": os.path.join(cls.scratch, "garbage.pem"),
        }
        with open(cls.paths["garbage"], "w") as handle:
            handle.write("-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def dist_of_an_earlier_release(self):
        dist = tempfile.mkdtemp(dir=self.scratch)
        for name, text in (("stagewell-0.9.0-x86.exe", "MZ earlier"), ("SHA256SUMS", "earlier sums\n")):
            with open(os.path.join(dist, name), "w") as handle:
                handle.write(text)
        return dist

    def assertRefused(self, args, message, dist, built):
        before = snapshot(dist)
        result = release(*[arg.format(**self.paths) for arg in args], "--dist", dist)
        self.assertNotEqual(result.returncode, 0, result.stdout)
        self.assertIn(message, result.stderr)
        self.assertEqual("building" in result.stdout, built, result.stdout)
        self.assertEqual(snapshot(dist), before, "dist/ changed")

    def test_input_is_checked_before_anything_is_built(self):
        host = ["--host", HOST]
        cases = [
            # name, arguments ({name} is one of the fixture's paths), message
            ("no host", [], "no service host"),
            ("empty host", ["--host", ""], "no service host"),
            ("host with a scheme", ["--host", "http://service.example.com"], "bad service host"),
            ("host with a quote", ["--host", 'a"b'], "bad service host"),
            ("port out of range", ["--host", "service.example.com:65536"], "port out of range"),
            ("https with a path", ["--host", "https://service.example.com/iqor"], "bad service host"),
            ("https without a host", ["--host", "https://"], "bad service host"),
            ("upper-case scheme", ["--host", "HTTPS://service.example.com"], "bad service host"),
            ("another scheme", ["--host", "ftp://service.example.com"], "bad service host"),
            ("https port out of range", ["--host", "https://service.example.com:0"], "port out of range"),
            ("certificate without its key", host + ["--cert", "{cert}"], "--cert needs its private key"),
            ("key without its certificate", host + ["--key", "{key}"], "--key needs its certificate"),
            ("key of another certificate", host + ["--cert", "{cert}", "--key", "{other_key}"],
             "does not belong to the certificate"),
            ("server certificate", host + ["--cert", "{server}", "--key", "{key}"], "not for code signing"),
            ("no extended key usage", host + ["--cert", "{no_eku}", "--key", "{key}"], "not for code signing"),
            ("key usage without digitalSignature", host + ["--cert", "{encipher_only}", "--key", "{key}"],
             "not for code signing"),
            ("certificate file missing", host + ["--cert", "{missing}", "--key", "{key}"],
             "cannot read the certificate file"),
            ("key is a folder", host + ["--cert", "{cert}", "--key", "{folder}"], "cannot read the key file"),
            ("certificate is not PEM", host + ["--cert", "{garbage}", "--key", "{key}"], "is not a PEM certificate"),
            ("encrypted key", host + ["--cert", "{cert}", "--key", "{locked_key}"],
             "not an unencrypted PEM private key"),
            ("timestamp without a certificate", host + ["--timestamp", "http://127.0.0.1:9/"],
             "--timestamp is part of a signature"),
            ("url without a certificate", host + ["--url", "https://example.com/"], "--url is part of a signature"),
            ("unknown option", host + ["--sign"], "unknown argument"),
        ]
        for name, args, message in cases:
            with self.subTest(name):
                self.assertRefused(args, message, self.dist_of_an_earlier_release(), built=False)
                self.assertRefused(args, message, os.path.join(self.scratch, "not-there"), built=False)

    def test_a_failed_signing_leaves_no_partial_files(self):
        # Nothing listens on the discard port: the build is done, the signing fails.
        args = ["--host", HOST, "--cert", "{cert}", "--key", "{key}", "--timestamp", "http://127.0.0.1:9/"]
        self.assertRefused(args, "signing the x86 exe failed", self.dist_of_an_earlier_release(), built=True)
        self.assertRefused(args, "signing the x86 exe failed", os.path.join(self.scratch, "not-there"), built=True)


if __name__ == "__main__":
    unittest.main()
