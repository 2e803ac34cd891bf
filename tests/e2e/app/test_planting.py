"""Libraries planted where a download lands never load; the maker's path
library is found where the product keeps it.

Each marker DLL carries the name of a system library and leaves
"<its path>.loaded" when loaded. The overrides ask for Windows' own load
order (native before builtin), under which a bare-name load or an import
would pick up the copy beside the exe or in the current folder.
"""

import os
import shutil
import unittest

from stagewell_harness import boxes, installation
from stagewell_harness.double import ServiceDouble, port_of_host
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-planting")
# The exe carries the service's address from its build.
SERVICE_PORT = port_of_host(os.environ["STAGEWELL_SERVICE_HOST"])
PLANTED = [path for path in os.environ.get("STAGEWELL_PLANTED_DLLS", "").split(",") if path]
NATIVE_FIRST = "native,builtin"
# Wine 8's own user32 imports version.dll, and Wine 8 has no KnownDLLs, so its
# loader finds a version.dll beside the exe while resolving the exe's imports,
# before the program's first instruction. Windows loads user32 and its
# dependencies as KnownDLLs, from the system folder, without a search.
LOADED_BY_WINE_ITSELF = {("version", "Downloads")}


class PlantedLibraries(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.double = ServiceDouble(os.path.join(WORK, "double"), SERVICE_PORT)
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()
        # The maker's path library is the one library expected beside the exe.
        cls.exe, _ = cls.bed.install("Downloads", os.environ["STAGEWELL_EXE"],
                                     (os.environ["STAGEWELL_UNC_DLL"], "QorUncDllU.dll"))
        cls.downloads = os.path.dirname(cls.exe)
        cls.elsewhere = os.path.join(cls.bed.drive_c(), "Work")
        shutil.rmtree(cls.elsewhere, ignore_errors=True)
        os.makedirs(cls.elsewhere)
        installation.remove_product_files(cls.bed)
        installation.place_product_exe(cls.bed, r"C:\Ledgora\Ldg.exe")
        cls.customer = 700000
        cls.bed.app_defaults("stagewell.exe")
        cls.identity, _ = cls.accepted_run()

    @classmethod
    def accepted_run(cls, cwd=None):
        """The identity and the reports folder the service received."""
        cls.customer += 1
        cls.bed.reg_import(installation.reg_text(dict(installation.SAMPLE, Customer=str(cls.customer))))
        before = len(cls.double.records())
        result = cls.bed.drive(cls.exe, timeout=90, cwd=cwd)
        requests = cls.double.records()[before:]
        texts = [(box["title"], box["text"]) for box in result.boxes]
        assert texts == [boxes.ACCEPTED] and len(requests) == 1 and result.ended_after_ok, (result, requests)
        return requests[0]["envelope"]["identity"], requests[0]["fields"]["P2"]

    def test_path_library_only_in_one_folder(self):
        """The exe started from a downloads folder without the path library,
        as STAGEWELL_EXE and STAGEWELL_UNC_DLL name them (either bitness)."""
        library = os.environ["STAGEWELL_UNC_DLL"]
        beside_exe = os.path.join(self.downloads, "QorUncDllU.dll")
        os.unlink(beside_exe)
        self.addCleanup(shutil.copy, library, beside_exe)
        repdirectory = installation.SAMPLE["RepDirectory"]
        converted = r"\\FILESRV\C" + repdirectory[2:]  # what the fixture library makes of C:\...
        # The sample's Project is C:\Ledgora\Prog, so Ldg.exe is in C:\Ledgora.
        cases = [
            ("the product's folder", os.path.join(self.bed.drive_c(), "Ledgora"), converted),
            ("the Windows folder", os.path.join(self.bed.drive_c(), "windows"), converted),
            ("the current folder", self.elsewhere, repdirectory),
        ]
        for name, folder, expected in cases:
            with self.subTest(name):
                planted = shutil.copy(library, os.path.join(folder, "QorUncDllU.dll"))
                try:
                    _, reports = self.accepted_run(self.elsewhere)
                finally:
                    os.unlink(planted)
                self.assertEqual(reports, expected)

    def test_planted_beside_the_exe_or_in_the_current_folder(self):
        self.assertEqual(len(PLANTED), 4, "the build makes the four marker DLLs")
        for folder, cwd in ((self.downloads, None), (self.elsewhere, self.elsewhere)):
            for dll in PLANTED:
                name = os.path.splitext(os.path.basename(dll))[0]
                with self.subTest(library=name, planted_in=os.path.basename(folder)):
                    planted = shutil.copy(dll, folder)
                    marker = planted + ".loaded"
                    self.bed.app_defaults("stagewell.exe", dll_overrides={name: NATIVE_FIRST})
                    try:
                        identity, reports = self.accepted_run(cwd)
                    finally:
                        self.bed.app_defaults("stagewell.exe")
                        os.unlink(planted)
                    self.assertEqual(identity, self.identity)
                    # The path library beside the exe still converts.
                    self.assertTrue(reports.startswith("\\\\"), reports)
                    if os.path.exists(marker):
                        os.unlink(marker)
                        if (name, os.path.basename(folder)) in LOADED_BY_WINE_ITSELF:
                            self.skipTest("loaded by Wine's user32 before the program starts")
                        self.fail("planted %s was loaded" % name)


if __name__ == "__main__":
    unittest.main()
