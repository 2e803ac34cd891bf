"""scripts/check-exes.sh against probe exes linked with and without each
protection: the whole set passes, and each one left out fails with its line.

STAGEWELL_MINGW_CC is the build's MinGW C compiler. The probes link the exes'
own stack guard (src/common/win32_stack_guard.cpp) unless a case leaves it out;
under Wine, the guard ends a probe that overruns its buffer.
"""

import os
import subprocess
import tempfile
import unittest

from stagewell_harness.winebed import WineBed

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "..", "..", "scripts", "check-exes.sh")
GUARD = os.path.join(HERE, "..", "..", "src", "common", "win32_stack_guard.cpp")
CC = os.environ["STAGEWELL_MINGW_CC"]
X64 = "x86_64" in os.path.basename(CC)

PROTECTED = ["-fstack-protector-strong", "-D_FORTIFY_SOURCE=2"]
LINKED = ["-Wl,--tsaware"]

# name: (compile flags, link flags, the line the check must print; None: it passes)
CASES = {
    "every protection": (PROTECTED, LINKED, None),
    "no stack protector": (["-D_FORTIFY_SOURCE=2"], LINKED, "stack protector: 1 canary checks"),
    "libssp's guard": (PROTECTED + ["no guard"], LINKED, "libssp's stack guard"),
    "not terminal-server aware": (PROTECTED, [], "no TERMINAL_SERVICE_AWARE"),
    "no ASLR": (PROTECTED, LINKED + ["-Wl,--disable-dynamicbase"], "no DYNAMIC_BASE"),
    "relocations stripped": (PROTECTED, LINKED + ["-Wl,--disable-reloc-section"], "relocations stripped"),
    "no NX": (PROTECTED, LINKED + ["-Wl,--disable-nxcompat"], "no NX_COMPAT"),
}
if X64:
    CASES["no high-entropy addresses"] = (PROTECTED, LINKED + ["-Wl,--disable-high-entropy-va"], "no HIGH_ENTROPY_VA")


class CheckExes(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def probe(self, name, compile_flags, link_flags):
        exe = os.path.join(self.folder.name, name.replace(" ", "-").replace("'", "") + ".exe")
        sources = [os.path.join(HERE, "pe_probe.c")]
        if "no guard" not in compile_flags:
            guard = os.path.join(self.folder.name, "guard.o")
            subprocess.run([CC, "-Os", "-ffunction-sections", "-fno-stack-protector", "-x", "c++", "-c", GUARD,
                            "-o", guard], check=True, capture_output=True, timeout=120)
            sources.append(guard)
        flags = [flag for flag in compile_flags if flag != "no guard"]
        subprocess.run([CC, "-Os", "-ffunction-sections", "-Wl,--gc-sections", "-mwindows", "-static", "-s"] + flags +
                       sources + ["-o", exe] + link_flags + ["-lole32", "-loleaut32"],
                       check=True, capture_output=True, timeout=120)
        return exe

    def test_each_protection_left_out_fails_the_check(self):
        for name, (compile_flags, link_flags, complaint) in CASES.items():
            with self.subTest(name):
                exe = self.probe(name, compile_flags, link_flags)
                # The probe has two guarded functions, not the exes' hundred;
                # the guard's __chk_fail is the one call the check counts in any exe.
                checked = subprocess.run(["bash", CHECK, exe], capture_output=True, text=True, timeout=60,
                                         env=dict(os.environ, STAGEWELL_MIN_CANARY_CHECKS="2"))
                if complaint is None:
                    self.assertEqual(checked.returncode, 0, checked.stdout)
                    self.assertIn("stack protector (", checked.stdout)
                else:
                    self.assertEqual(checked.returncode, 1, checked.stdout)
                    self.assertIn(complaint, checked.stdout)

    def test_a_partly_protected_exe_falls_short_of_the_floor(self):
        checked = subprocess.run(["bash", CHECK, self.probe("partly", PROTECTED, LINKED)], capture_output=True,
                                 text=True, timeout=60)
        self.assertEqual(checked.returncode, 1, checked.stdout)
        self.assertRegex(checked.stdout, r"stack protector: \d canary checks, fewer than 50")

    def test_an_overrun_buffer_ends_the_run_under_wine(self):
        exe = self.probe("overrun", PROTECTED, LINKED)
        with WineBed(os.path.join(self.folder.name, "prefix")) as bed:
            # cmd reports the whole exit code; a Linux process status keeps its low byte.
            codes = {}
            for argument in ("overrun", "fine"):
                command = "%s %s & echo exit=%%errorlevel%%" % (bed.to_windows_path(exe), argument)
                result = bed.run(["cmd", "/c", command], timeout=120)
                codes[argument] = result.stdout.decode(errors="replace").strip()
        self.assertEqual(codes["overrun"], "exit=%d" % (0xC0000409 - 2**32), codes)  # STATUS_STACK_BUFFER_OVERRUN
        self.assertRegex(codes["fine"], r"^exit=[1-9]$", codes)


if __name__ == "__main__":
    unittest.main()
