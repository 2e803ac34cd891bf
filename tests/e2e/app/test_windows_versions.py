"""The 32-bit exe, the file that ships, on every Windows version it meets,
through Wine's per-program version setting (Wine reports Windows 9x to 32-bit
programs only). For each, the identity the service received is checked against
one derived independently of our code, and the reports folder must have been
converted by the version's own path library: the narrow one on 9x, the wide one
on NT."""

import os
import unittest

from stagewell_harness import boxes, installation
from stagewell_harness.double import ServiceDouble, port_of_host
from stagewell_harness.identity import (DRIVE0_SERIAL, WMI_DISK_SERIAL, expected_adapter_piece, fallback_adapter_piece,
                                        fold, media_id_serial_text, volume_serial)
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-versions")
SERVICE_PORT = port_of_host(os.environ["STAGEWELL_SERVICE_HOST"])
EXE_NAME = "stagewell.exe"
# Above 0x7FFFFFFF, so the media-ID serial must be read as signed.
C_VOLUME_SERIAL = 0x9E3779B9
REPORTS = r"D:\דוחות\שנתי"
NARROW = r"\\FILESRV9X\D\דוחות\שנתי"
WIDE = r"\\FILESRV\D\דוחות\שנתי"

# Where each piece comes from: the adapter ("adapter": the interface table below
# major version 6, the adapter list from 6 on; "fallback": the fixed address),
# the disk ("media-id" through VWIN32, "drive0" the storage query, "wmi"), and
# the reports folder's library.
VERSIONS = [
    ("Windows 95", "win95", None, "fallback", "media-id", NARROW),
    ("Windows 98", "win98", None, "adapter", "media-id", NARROW),
    ("Windows 98 without IP Helper", "win98", {"iphlpapi": ""}, "fallback", "media-id", NARROW),
    ("Windows Me", "winme", None, "adapter", "media-id", NARROW),
    ("Windows 2000", "win2k", None, "adapter", "drive0", WIDE),
    ("Windows XP", "winxp", None, "adapter", "drive0", WIDE),
    ("Windows 7", "win7", None, "adapter", "wmi", WIDE),
    ("Windows 10", "win10", None, "adapter", "wmi", WIDE),
]


class WindowsVersionsUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.double = ServiceDouble(os.path.join(WORK, "double"), SERVICE_PORT)
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()
        with open(os.path.join(cls.bed.drive_c(), ".windows-serial"), "w") as serial:
            serial.write("%08x\n" % C_VOLUME_SERIAL)
        cls.exe, _, _ = cls.bed.install("Stagewell", os.environ["STAGEWELL_EXE"],
                                         (os.environ["STAGEWELL_NARROW_UNC_DLL"], "QorUncDllA.dll"),
                                         (os.environ["STAGEWELL_UNC_DLL"], "QorUncDllU.dll"))
        installation.remove_product_files(cls.bed)
        installation.place_product_exe(cls.bed, r"C:\Ledgora\Ldg.exe")
        adapter, _ = expected_adapter_piece()
        cls.adapter_pieces = {"adapter": adapter, "fallback": fallback_adapter_piece()}
        serial = volume_serial(cls.bed)
        cls.disk_parts = {"media-id": fold(media_id_serial_text(serial)), "drive0": fold(DRIVE0_SERIAL),
                          "wmi": fold(WMI_DISK_SERIAL)}
        print("\nC: volume serial %08X, adapter piece %s" % (serial, adapter))

    @classmethod
    def tearDownClass(cls):
        cls.bed.app_defaults(EXE_NAME)

    def test_each_version_sends_its_identity_and_converts_with_its_library(self):
        for number, (name, version, overrides, adapter, disk, reports) in enumerate(VERSIONS):
            with self.subTest(name):
                self.bed.app_defaults(EXE_NAME, version=version, dll_overrides=overrides)
                record = dict(installation.SAMPLE, RepDirectory=REPORTS, ID="7%05d" % number)
                self.bed.reg_import(installation.reg_text(record))
                before = len(self.double.records())

                result = self.bed.drive(self.exe, timeout=90)
                requests = self.double.records()[before:]
                expected = self.adapter_pieces[adapter] + self.disk_parts[disk]
                print("%-30s identity %s (expected %s), reports folder %s" % (
                    name, requests[0]["envelope"]["identity"] if requests else None, expected,
                    requests[0]["fields"].get("P2") if requests else None))
                self.assertFalse(result.timed_out, result)
                self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [boxes.ACCEPTED], result)
                self.assertEqual(len(requests), 1)
                self.assertEqual(requests[0]["envelope"]["identity"], expected)
                self.assertEqual(requests[0]["fields"]["RENCR"], expected)
                self.assertEqual(requests[0]["fields"]["P2"], reports)


if __name__ == "__main__":
    unittest.main(verbosity=2)
