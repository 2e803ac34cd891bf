"""Windows' own verdict on the build's exe, signed as a release signs it:
WinVerifyTrust under Wine (verify_trust.exe, the Authenticode policy), with a
throwaway authority in the prefix's trusted roots. The signed exe is trusted; a
copy with one code byte changed and the unsigned exe are not, each with its own
result. Wine checks the file's hash, but its Authenticode policy lets a
signature under a root the prefix does not know through: Windows answers
CERT_E_UNTRUSTEDROOT there. The test holds Wine to what it does, and to the
chain status that still marks the root as untrusted.
"""

import os
import re
import shutil
import struct
import subprocess
import unittest

from stagewell_harness import tls
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-signature")

TRUSTED = 0x00000000
TRUST_E_NOSIGNATURE = 0x800B0100
TRUST_E_BAD_DIGEST = 0x80096010
# Measured with Wine 8.0: the chain is built and marked, the policy passes it.
WINE_UNKNOWN_ROOT_RESULT = TRUSTED
CERT_TRUST_IS_UNTRUSTED_ROOT = 0x20

bed = None
files = {}


def sign(exe, certificate, out):
    """Signs as scripts/release.sh does: SHA-256 Authenticode, the product's name."""
    cert, key = certificate
    signed = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-n", "Stagewell",
                             "-in", exe, "-out", out], capture_output=True, text=True, timeout=120)
    if signed.returncode != 0:
        raise RuntimeError("osslsigncode failed: %s%s" % (signed.stdout, signed.stderr))
    return out


def text_section(exe):
    """(file offset, size) of the exe's .text section, from its PE headers."""
    with open(exe, "rb") as image:
        data = image.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    for index in range(sections):
        entry = table + 40 * index
        name = data[entry:entry + 8].rstrip(b"\0")
        raw_size, raw_offset = struct.unpack_from("<II", data, entry + 16)
        if name == b".text":
            return raw_offset, raw_size
    raise RuntimeError("%s has no .text section" % exe)


def with_code_byte_changed(exe, out):
    shutil.copy(exe, out)
    offset, size = text_section(out)
    with open(out, "r+b") as image:
        image.seek(offset + size // 2)
        byte = image.read(1)
        image.seek(offset + size // 2)
        image.write(bytes([byte[0] ^ 0xFF]))
    return out


def setUpModule():
    global bed
    folder = os.path.join(WORK, "certificates")
    shutil.rmtree(folder, ignore_errors=True)  # osslsigncode writes no file that exists
    trusted = tls.Authority(folder, "trusted-root")
    unknown = tls.Authority(folder, "unknown-root")
    exe = os.environ["STAGEWELL_EXE"]
    signed = sign(exe, trusted.issue("signer", "Stagewell tests signer", usage="codeSigning"),
                  os.path.join(folder, "signed.exe"))
    files.update({
        "unsigned": exe,
        "signed": signed,
        "signed, one code byte changed": with_code_byte_changed(signed, os.path.join(folder, "changed.exe")),
        "signed under an unknown root": sign(exe, unknown.issue("stranger", "Stagewell tests stranger",
                                                               usage="codeSigning"),
                                             os.path.join(folder, "stranger.exe")),
    })
    bed = WineBed(os.path.join(WORK, "prefix"))
    bed.start()
    try:
        tls.trust(bed, trusted)
    except BaseException:
        bed.stop()
        raise


def tearDownModule():
    if bed:
        bed.stop()


class WinVerifyTrust(unittest.TestCase):
    def verdict(self, name):
        """(WinVerifyTrust's result, the signer chain's error status or None)."""
        helper = os.environ["STAGEWELL_VERIFY_TRUST"]
        installed, = bed.install("Signed", (files[name], "stagewell.exe"))
        result = bed.run([helper, bed.to_windows_path(installed)], timeout=120)
        output = result.stdout.decode(errors="replace").strip()
        match = re.fullmatch(r"0x([0-9A-F]{8}) chain=0x([0-9A-F]{8})", output)
        self.assertTrue(match, result)
        verdict, chain = int(match.group(1), 16), int(match.group(2), 16)
        self.assertEqual(result.returncode, 0 if verdict == TRUSTED else 1, result)
        return verdict, None if chain == 0xFFFFFFFF else chain

    def test_each_file_gets_its_verdict(self):
        # name: (result, the chain's status; None: not checked)
        cases = {
            "signed": (TRUSTED, 0),
            "signed, one code byte changed": (TRUST_E_BAD_DIGEST, None),
            "signed under an unknown root": (WINE_UNKNOWN_ROOT_RESULT, CERT_TRUST_IS_UNTRUSTED_ROOT),
            "unsigned": (TRUST_E_NOSIGNATURE, None),
        }
        for name, (expected, chain_status) in cases.items():
            with self.subTest(name):
                verdict, chain = self.verdict(name)
                self.assertEqual("0x%08X" % verdict, "0x%08X" % expected)
                if chain_status is not None:
                    self.assertEqual(chain, chain_status)


if __name__ == "__main__":
    unittest.main()
