"""The signed x64 release exe under Wine: the sample record goes to the service
double and the run ends with the accepted box."""

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
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="stagewell-signed-run-")
        self.addCleanup(shutil.rmtree, self.scratch, ignore_errors=True)
        key = make_key(self.scratch, "signer")
        cert = make_certificate(self.scratch, "signer", key)
        dist = os.path.join(self.scratch, "dist")
        run = release("--host", HOST, "--cert", cert, "--key", key, "--dist", dist)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.signed = os.path.join(dist, exe_name("x64"))
        verified = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", self.signed], capture_output=True)
        self.assertEqual(verified.returncode, 0, verified.stdout)

        self.double = ServiceDouble(os.path.join(WORK, "double"), port_of_host(HOST))
        self.addCleanup(self.double.stop)
        self.double.start()
        self.bed = WineBed(os.path.join(WORK, "prefix"))
        self.addCleanup(self.bed.stop)
        self.bed.start()

    def test_signed_exe_reaches_the_accepted_box(self):
        exe, = self.bed.install("Stagewell", (self.signed, "stagewell.exe"))
        installation.remove_product_files(self.bed)
        installation.place_product_exe(self.bed, r"C:\Ledgora\Ldg.exe")
        self.bed.reg_import(installation.reg_text(installation.SAMPLE))

        result = self.bed.drive(exe, timeout=90)
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [boxes.ACCEPTED], result)
        self.assertTrue(result.ended_after_ok, result)
        self.assertEqual(len(self.double.records()), 1)


if __name__ == "__main__":
    unittest.main()
