"""The real stagewell.exe under Wine: each refusal and the record that passes."""

import os
import unittest

from stagewell_harness import boxes, installation
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-app")


def with_values(**changes):
    values = dict(installation.SAMPLE)
    for name, value in changes.items():
        name = name.replace("__", "\\")
        if value is None:
            values.pop(name, None)
        else:
            values[name] = value
    return values


# name, registry values, product exe to create, expected box (None: no refusal), wait window still visible
REFUSAL_CASES = [
    ("no Project value", with_values(Project=None), r"C:\Ledgora\Ldg.exe", boxes.WRONG_LAUNCH, True),
    ("Ldg.exe only inside Project", with_values(Project=r"C:\A\B"), r"C:\A\B\Ldg.exe", boxes.WRONG_LAUNCH, True),
    ("no Customer", with_values(Customer=None), r"C:\Ledgora\Ldg.exe", boxes.CUSTOMER_MISSING, False),
    ("empty Customer", with_values(Customer=""), r"C:\Ledgora\Ldg.exe", boxes.CUSTOMER_MISSING, False),
    ("7-byte Customer", with_values(Customer="1234567"), r"C:\Ledgora\Ldg.exe", boxes.CUSTOMER_CORRUPTED, False),
    ("Terminal 1", with_values(Terminal="1"), r"C:\Ledgora\Ldg.exe", boxes.TERMINAL, False),
    ("no RepDirectory", with_values(RepDirectory=None), r"C:\Ledgora\Ldg.exe", boxes.REPDIRECTORY_MISSING, False),
    ("no LEDGDOCDIR", with_values(Directories__LEDGDOCDIR=None), r"C:\Ledgora\Ldg.exe",
     boxes.LEDGDOCDIR_MISSING, False),
    ("empty LEDGDOCDIR", with_values(Directories__LEDGDOCDIR=""), r"C:\Ledgora\Ldg.exe",
     boxes.LEDGDOCDIR_MISSING, False),
    ("empty DatabaseInfo", with_values(DatabaseInfo=""), r"C:\Ledgora\Ldg.exe", boxes.DATABASEINFO_MISSING, False),
    ("no ID", with_values(ID=None), r"C:\Ledgora\Ldg.exe", boxes.ID_MISSING, False),
    ("empty ID", with_values(ID=""), r"C:\Ledgora\Ldg.exe", boxes.ID_MISSING, False),
    # The value buffer holds 260 bytes, the terminating zero included.
    ("ID of 260 characters", with_values(ID="7" * 260), r"C:\Ledgora\Ldg.exe", boxes.ID_MISSING, False),
    ("edition 2014b", with_values(Version="2014b 55"), r"C:\Ledgora\Ldg.exe", boxes.EDITION_TOO_OLD, False),
    ("no Version record", with_values(Version=None), r"C:\Ledgora\Ldg.exe", boxes.EDITION_TOO_OLD, False),
    ("Version over 13 bytes", with_values(Version="2016 SP1 12345"), r"C:\Ledgora\Ldg.exe",
     boxes.EDITION_TOO_OLD, False),
]

PASSING_CASES = [
    ("sample record", with_values(), r"C:\Ledgora\Ldg.exe"),
    ("Ldg.exe beside Project's folder", with_values(Project=r"C:\A\B"), r"C:\A\Ldg.exe"),
    ("6-byte Customer, Terminal 01", with_values(Customer="654321", Terminal="01"), r"C:\Ledgora\Ldg.exe"),
    ("no Kupa, edition 2015a", with_values(Kupa=None, Version="2015a 55"), r"C:\Ledgora\Ldg.exe"),
    ("Customer as a DWORD", with_values(Customer=("dword", 0x31)), r"C:\Ledgora\Ldg.exe"),
]


class RunUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()
        cls.exe, = cls.bed.install("Stagewell", os.environ["STAGEWELL_EXE"])

    def run_record(self, values, product_exe):
        installation.remove_product_files(self.bed)
        if product_exe:
            installation.place_product_exe(self.bed, product_exe)
        self.bed.reg_import(installation.reg_text(values))
        result = self.bed.drive(self.exe, timeout=60)
        self.assertFalse(result.timed_out, result)
        return result

    def test_refusals(self):
        for name, values, product_exe, expected, wait_visible in REFUSAL_CASES:
            with self.subTest(name):
                result = self.run_record(values, product_exe)
                self.assertEqual(len(result.boxes), 1, result)
                box = result.boxes[0]
                self.assertEqual((box["title"], box["text"]), expected)
                self.assertEqual(boxes.look(box), (expected.icon, expected.alignment), name)
                self.assertEqual(box["wait_visible"], wait_visible, name)
                self.assertTrue(box["exstyle"] & boxes.WS_EX_LAYOUTRTL, "box not right-to-left")
                self.assertTrue(box["exstyle"] & boxes.WS_EX_TOPMOST, "box not system-modal")
                if wait_visible:
                    self.assertEqual((result.wait["title"], result.wait["text"]), (boxes.WAIT_TITLE, boxes.WAIT_TEXT))
                self.assertEqual(result.exit_code, 0)

    def test_records_that_pass_every_check(self):
        for name, values, product_exe in PASSING_CASES:
            with self.subTest(name):
                result = self.run_record(values, product_exe)
                refusals = [b for b in result.boxes if (b["title"], b["text"]) in boxes.REFUSALS]
                self.assertEqual(refusals, [], name)
                self.assertEqual(result.exit_code, 0)

    def test_a_record_only_in_the_64_bit_view_is_not_found(self):
        # The product writes the 32-bit view: the 32-bit exe reads it natively,
        # the 64-bit exe asks for it.
        installation.remove_product_files(self.bed)
        installation.place_product_exe(self.bed, r"C:\Ledgora\Ldg.exe")
        self.bed.reg_import(installation.reg_text(installation.SAMPLE, installation.NATIVE_64_PRODUCT_KEY))
        result = self.bed.drive(self.exe, timeout=60)
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [boxes.WRONG_LAUNCH],
                         "a record only in the 64-bit view must not be found")


class RunUnderLatinLocale(unittest.TestCase):
    """The Hebrew boxes read correctly where the ANSI code page is 1252."""

    def test_boxes_are_readable(self):
        with WineBed(os.path.join(WORK, "prefix"), lang="C") as bed:
            exe, = bed.install("Stagewell", os.environ["STAGEWELL_EXE"])
            installation.remove_product_files(bed)
            installation.place_product_exe(bed, r"C:\Ledgora\Ldg.exe")
            for values, expected in [(with_values(Customer=None), boxes.CUSTOMER_MISSING),
                                     (with_values(Version="2014b 55"), boxes.EDITION_TOO_OLD)]:
                bed.reg_import(installation.reg_text(values))
                result = bed.drive(exe, timeout=60)
                self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [expected])
                self.assertEqual(result.boxes[0]["icon"], expected.icon)


if __name__ == "__main__":
    unittest.main()
