"""The machine identity computed by the real Win32 code under Wine.

identity_probe.exe builds the identity as the application does and writes it to
a file; the expected identity is derived independently of our C++ code
(stagewell_harness.identity). AppDefaults Version "winxp64" makes Wine report
5.2 (interface table and physical drive), the default 6.1 (adapter list and WMI
disk); disabling iphlpapi makes loading IP Helper fail, disabling wbemprox makes
every WMI query fail.
"""

import os
import unittest

from stagewell_harness.identity import (DRIVE0_SERIAL, WMI_DISK_SERIAL, expected_adapter_piece, fold,
                                        wine_ethernet_adapters)
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-identity")
PROBE = os.environ.get("STAGEWELL_IDENTITY_PROBE", "")
EXE_NAME = "identity_probe.exe"


class IdentityUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not PROBE:
            raise RuntimeError("STAGEWELL_IDENTITY_PROBE is not set")
        os.makedirs(WORK, exist_ok=True)
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()
        cls.adapter_piece, cls.address_text = expected_adapter_piece()
        print("\nadapters seen from Linux: %r" % (wine_ethernet_adapters(),))

    @classmethod
    def tearDownClass(cls):
        cls.bed.app_defaults(EXE_NAME)

    def run_probe(self, scenario, version=None, dll_overrides=None):
        self.bed.app_defaults(EXE_NAME, version=version, dll_overrides=dll_overrides)
        out = os.path.join(WORK, "identity-%s.txt" % scenario)
        if os.path.exists(out):
            os.unlink(out)
        drive = self.bed.drive(PROBE, args=[self.bed.to_windows_path(out)], timeout=60)
        self.assertFalse(drive.timed_out, drive)
        self.assertTrue(os.path.exists(out), "the probe wrote nothing: %r" % (drive,))
        with open(out) as handle:
            report = dict(line.split("=", 1) for line in handle.read().splitlines() if "=" in line)
        return drive, report

    def check(self, scenario, report, drive, result, identity, address_text, boxes=()):
        print("%-28s identity %-20s (expected %s), boxes %r" % (
            scenario, report.get("identity"), identity, [b["text"] for b in drive.boxes]))
        self.assertEqual(report["result"], result)
        self.assertEqual(report["identity"], identity)
        self.assertEqual(report["address"], address_text)
        self.assertEqual([(b["title"], b["text"]) for b in drive.boxes], [("Stagewell", text) for text in boxes])

    def test_default_version_uses_the_adapter_list_and_the_wmi_disk(self):
        drive, report = self.run_probe("default")
        self.assertEqual(report["major"], "6")
        self.check("default (6.1)", report, drive, "1", self.adapter_piece + fold(WMI_DISK_SERIAL),
                   self.address_text)

    def test_winxp64_uses_the_interface_table_and_the_physical_drive(self):
        drive, report = self.run_probe("winxp64", version="winxp64")
        self.assertEqual(report["major"], "5")
        self.check("winxp64 (5.2)", report, drive, "1", self.adapter_piece + fold(DRIVE0_SERIAL),
                   self.address_text)

    def test_without_ip_helper_the_box_and_an_empty_identity(self):
        drive, report = self.run_probe("no-iphlpapi", dll_overrides={"iphlpapi": ""})
        self.check("IP Helper unavailable", report, drive, "0", "", "", boxes=["Unable to load ....dll"])
        self.assertEqual(drive.exit_code, 1)

    def test_without_wmi_the_adapter_group_ends_the_identity(self):
        drive, report = self.run_probe("no-wbemprox", dll_overrides={"wbemprox": ""})
        # The adapter list of WMI is unavailable too, so the group is that of no adapter.
        self.check("WMI unavailable", report, drive, "1", self.adapter_piece + "0000", self.address_text)


if __name__ == "__main__":
    unittest.main(verbosity=2)
