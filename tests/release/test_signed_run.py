"""The signed x64 release exe under Wine: the sample record goes to the service
double and the run ends with the accepted box."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))

import expected_boxes as boxes  # noqa: E402
import installation  # noqa: E402
from double import ServiceDouble  # noqa: E402
from release_fixture import HOST, exe_name, make_certificate, make_key, release  # noqa: E402
from winebed import WineBed  # noqa: E402

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

        self.double = ServiceDouble(os.path.join(WORK, "double"), int(HOST.rsplit(":", 1)[1])).start()
        self.addCleanup(self.double.stop)
        self.bed = WineBed(os.path.join(WORK, "prefix")).start()
        self.addCleanup(self.bed.stop)

    def test_signed_exe_reaches_the_accepted_box(self):
        exe_dir = os.path.join(installation.drive_c(self.bed), "Stagewell")
        shutil.rmtree(exe_dir, ignore_errors=True)
        os.makedirs(exe_dir)
        exe = shutil.copy(self.signed, os.path.join(exe_dir, "stagewell.exe"))
        installation.remove_product_files(self.bed)
        installation.place_product_exe(self.bed, r"C:\Ledgora\Ldg.exe")
        self.bed.reg_import(installation.reg_text(installation.SAMPLE))

        result = self.bed.drive(exe, timeout=90)
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [boxes.ACCEPTED], result)
        self.assertEqual(len(self.double.records()), 1)


if __name__ == "__main__":
    unittest.main()
