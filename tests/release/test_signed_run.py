"""The signed release exes under Wine, the 32-bit one that ships first: the
sample record goes to the service double and the run ends with the accepted box."""

import os
import shutil
import subprocess
import tempfile
import unittest

from release_fixture import HOST, exe_name, make_certificate, make_key, release
from stagewell_harness import boxes, installation
from stagewell_harness.double import ServiceDouble, port_of_host
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-release")


class SignedRunUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="stagewell-signed-run-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch, ignore_errors=True)
        key = make_key(cls.scratch, "signer")
        cls.cert = make_certificate(cls.scratch, "signer", key)
        cls.dist = os.path.join(cls.scratch, "dist")
        run = release("--host", HOST, "--cert", cls.cert, "--key", key, "--dist", cls.dist)
        if run.returncode != 0:
            raise RuntimeError(run.stderr)

        cls.double = ServiceDouble(os.path.join(WORK, "double"), port_of_host(HOST))
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()

    def test_signed_exes_reach_the_accepted_box(self):
        installation.remove_product_files(self.bed)
        installation.place_product_exe(self.bed, r"C:\Ledgora\Ldg.exe")
        self.bed.reg_import(installation.reg_text(installation.SAMPLE))
        for arch in ("x86", "x64"):
            with self.subTest(arch=arch):
                signed = os.path.join(self.dist, exe_name(arch))
                verified = subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert, "-in", signed],
                                          capture_output=True)
                self.assertEqual(verified.returncode, 0, verified.stdout)
                before = len(self.double.records())
                exe, = self.bed.install("Stagewell", (signed, "stagewell.exe"))

                result = self.bed.drive(exe, timeout=90)
                self.assertFalse(result.timed_out, result)
                self.assertEqual(result.exit_code, 0, result)
                # The service stores the master once: the second exe is told so.
                expected = boxes.ACCEPTED if before == 0 else boxes.DUPLICATE
                self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [expected], result)
                self.assertTrue(result.ended_after_ok, result)
                self.assertEqual(len(self.double.records()), before + 1)


if __name__ == "__main__":
    unittest.main()
