"""Wine test bed: one 64-bit prefix (with its 32-bit side) and one X display
for a group of tests.

The prefix is made once (wineboot) and reused; before a batch a warm wineserver
is started so each program start costs milliseconds, not seconds. Dialogs are
unmanaged (no window manager under Xvfb), so a dismissed box vanishes at once.
"""

import fcntl
import json
import os
import queue
import random
import shutil
import subprocess
import tempfile
import threading
import time

from stagewell_harness import processes

# With wine32 installed, "wine" starts the emulated 32-bit loader for every
# program, and a 32-bit regedit writes HKLM\SOFTWARE\Wow6432Node keys one
# level too deep: tools and 64-bit programs start with the 64-bit loader, which
# hands a 32-bit exe on to the 32-bit one.
WINE = next((path for path in ("/usr/lib/wine/wine64", shutil.which("wine64")) if path and os.path.exists(path)),
            shutil.which("wine") or "wine")
WINE32 = "/usr/lib/wine/wine"
# The prefix every bed is copied from (see WineBed._copy_template).
TEMPLATE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "build",
                                         "wine-prefix-template"))
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver64"
# Under qemu-user, Wine's reservation of the 32-bit address space otherwise
# breaks into some 65,000 mappings: about 55 s per process instead of 3 s.
QEMU_RESERVED_VA = "0x81000000"


class DriveResult:
    """What the box driver saw: the boxes in order, the exit code, the events.

    longest_stall_ms is the longest stretch in which the wait window answered
    no window message (None when no wait window was watched). ended_after_ok
    says whether the program ended within the driver's grace time after OK
    was pressed on its last box.
    """

    def __init__(self, events, returncode, timed_out=False):
        self.events = events
        self.returncode = returncode
        self.boxes = [e for e in events if e.get("event") == "box"]
        self.auth_dialogs = [e for e in events if e.get("event") == "auth"]
        waits = [e for e in events if e.get("event") == "wait"]
        self.wait = waits[0] if waits else None
        exits = [e for e in events if e.get("event") == "exit"]
        self.exit_code = exits[0]["code"] if exits else None
        self.timed_out = timed_out or any(e.get("event") == "timeout" for e in events)
        watched = [e for e in events if e.get("event") == "responsiveness"]
        self.longest_stall_ms = max((e["longest_stall_ms"] for e in watched), default=None)
        self.probes = sum(e["probes"] for e in watched)
        self.ended_after_ok = self._ended_after_last_ok()

    def _ended_after_last_ok(self):
        kinds = [e.get("event") for e in self.events]
        if "box" not in kinds or "exit" not in kinds:
            return False
        after_last_box = kinds[len(kinds) - 1 - kinds[::-1].index("box"):]
        return "still-running" not in after_last_box

    def __repr__(self):
        return "DriveResult(%r)" % (self.events,)


class WineBed:
    def __init__(self, prefix_dir, display=None, lang="he_IL.UTF-8"):
        self.prefix = os.path.abspath(prefix_dir)
        self.display = display
        self.lang = lang
        self._xvfb = None
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEARCH": "win64",
            "WINELOADER": WINE,
            "QEMU_RESERVED_VA": QEMU_RESERVED_VA,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",  # no Mono or Gecko installer prompts
            "LANG": lang,
            "LC_ALL": lang,
        })

    # --- life cycle -------------------------------------------------------

    def start(self):
        try:
            return self._start()
        except BaseException:
            self.stop()
            raise

    def _start(self):
        if self.display is None and not os.environ.get("STAGEWELL_USE_DISPLAY"):
            self._start_xvfb()
        elif self.display is None:
            self.display = os.environ.get("DISPLAY")
        self.env["DISPLAY"] = self.display
        if _lacks_32_bit_side(self.prefix):
            shutil.rmtree(self.prefix)
        fresh = not os.path.exists(os.path.join(self.prefix, "system.reg"))
        if fresh:
            shutil.rmtree(self.prefix, ignore_errors=True)
            self._copy_template()
        self._end_server()
        self.reg_import('[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n')
        self._keep_server()
        return self

    def _copy_template(self):
        """A new prefix as a copy of one made once per source tree.

        wineboot takes half a minute or more (its 32-bit half runs under
        emulation) and writes 1.3 GB; every bed of both suites starts from the
        same prefix. The system's DLLs are hard links, which no test writes to;
        the registry files are copies of their own.
        """
        os.makedirs(os.path.dirname(TEMPLATE), exist_ok=True)
        with open(TEMPLATE + ".lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if _lacks_32_bit_side(TEMPLATE) or not os.path.exists(os.path.join(TEMPLATE, "system.reg")):
                shutil.rmtree(TEMPLATE, ignore_errors=True)
                env = dict(self.env, WINEPREFIX=TEMPLATE)
                subprocess.run([WINE, "wineboot", "-i"], env=env, check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
                subprocess.run([WINESERVER, "-w"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               timeout=120)
            shutil.copytree(TEMPLATE, self.prefix, symlinks=True, copy_function=_link_unless_registry)

    def stop(self):
        try:
            self._end_server()
        finally:
            if self._xvfb:
                processes.stop(self._xvfb, 10)
                self._xvfb = None

    def settle(self):
        """Ends every program of the prefix and its server, which writes the
        registry to its files (it otherwise does so some 30 s after a change),
        then starts the server again to stay, as start does."""
        self._end_server()
        self._keep_server()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def _start_xvfb(self):
        # Beds run side by side (one per exe): a display taken in the meantime
        # makes Xvfb exit, and the next number is tried.
        for _ in range(30):
            number = random.randrange(100, 1000)
            if os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number):
                continue
            self._xvfb = subprocess.Popen(
                ["Xvfb", ":%d" % number, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if self._serves(":%d" % number):
                self.display = ":%d" % number
                return
            processes.stop(self._xvfb, 10)
            self._xvfb = None
        raise RuntimeError("Xvfb did not start on any free display")

    def _serves(self, display):
        deadline = time.monotonic() + 20
        while self._xvfb.poll() is None and time.monotonic() < deadline:
            if subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return True
            time.sleep(0.05)
        return False

    def _end_server(self):
        """Ends every program of the prefix, then its server."""
        self._wineserver("-k")
        self._wineserver("-w")

    def _keep_server(self):
        """A server that stays after the last program ends, so that each start is warm."""
        subprocess.Popen([WINESERVER, "-p"], env=self.env).wait(timeout=30)

    def _wineserver(self, flag):
        subprocess.run([WINESERVER, flag], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    # --- registry ---------------------------------------------------------

    def reg_import(self, text):
        if not text.lstrip().startswith("Windows Registry Editor"):
            text = "Windows Registry Editor Version 5.00\n\n" + text
        with tempfile.NamedTemporaryFile(suffix=".reg", delete=False, dir=self.prefix) as handle:
            handle.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))
            path = handle.name
        try:
            # Seen once in a loaded run: regedit ended with 1 and imported
            # nothing. A second try, then its own words.
            for _ in range(2):
                imported = self.run(["regedit", "/S", self.to_windows_path(path)])
                if imported.returncode == 0:
                    return
                time.sleep(0.5)
            raise RuntimeError("regedit could not import %s: %s" % (
                text[:200], imported.stderr.decode("utf-8", "replace")[-2000:]))
        finally:
            os.unlink(path)

    def reg_delete(self, key):
        subprocess.run([WINE, "reg", "delete", key, "/f"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def reg_export(self, key):
        """The key's values as regedit exports them (text), for before/after comparisons."""
        with tempfile.NamedTemporaryFile(suffix=".reg", delete=False, dir=self.prefix) as handle:
            path = handle.name
        try:
            subprocess.run([WINE, "regedit", "/E", self.to_windows_path(path), key], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            with open(path, "rb") as exported:
                data = exported.read()
            return data.decode("utf-16") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
        finally:
            os.unlink(path)

    def app_defaults(self, exe_name, version=None, dll_overrides=None):
        key = "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\" + exe_name
        self.reg_delete(key)
        text = "[%s]\n" % key
        if version:
            text += '"Version"="%s"\n' % version
        if dll_overrides:
            text += "[%s\\DllOverrides]\n" % key
            for name, value in dll_overrides.items():
                text += '"%s"="%s"\n' % (name, value)
        self.reg_import(text)

    # --- programs ---------------------------------------------------------

    def to_windows_path(self, linux_path):
        return "Z:" + os.path.abspath(linux_path).replace("/", "\\")

    def drive_c(self):
        return os.path.join(self.prefix, "drive_c")

    def install(self, folder, *files, keep=False):
        """Copies programs and DLLs into C:\\<folder> of the prefix and returns
        their paths there, in order. Each file is a path, or (path, name) to
        install it under another name. The folder starts empty unless keep.
        """
        target = os.path.join(self.drive_c(), folder)
        if not keep:
            shutil.rmtree(target, ignore_errors=True)
        os.makedirs(target, exist_ok=True)
        installed = []
        for entry in files:
            source, name = entry if isinstance(entry, tuple) else (entry, os.path.basename(entry))
            installed.append(shutil.copy(source, os.path.join(target, name)))
        return installed

    def run(self, argv, timeout=60, cwd=None):
        """Runs a program to its end; its output is in the result as bytes.

        The output goes through files, not pipes: the first program of a
        prefix starts Wine's services, which inherit its handles and would hold
        a pipe open long after the program ended.
        """
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            ended = subprocess.run([WINE] + list(argv), env=self.env, cwd=cwd, stdout=out, stderr=err,
                                   timeout=timeout)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(ended.args, ended.returncode, out.read(), err.read())

    def drive(self, exe_path, args=(), timeout=60, user=None, password=None, cancel_auth=False,
              hold_ms=0, on_event=None, exit_grace_ms=None, watch_wait=True, quiet=False, cwd=None, env=None):
        """Runs exe_path under the box driver, which presses OK on every box.

        on_event, when given, is called with each event as it arrives (the driver
        holds each box on screen for hold_ms first), e.g. to take a screenshot.
        exit_grace_ms is how long the program may take to end after OK on a box.
        watch_wait=False turns the wait window's watcher off (for timings);
        quiet=True sends the program no window message until a box is up (no
        watcher, the wait window not read). env adds variables for the program.
        The driver ends the program after timeout seconds; should the driver
        itself hang, it is killed 30 s later and the result says timed_out.
        """
        driver = os.environ.get("STAGEWELL_BOX_DRIVER")
        if not driver:
            raise RuntimeError("STAGEWELL_BOX_DRIVER is not set")
        argv = [WINE, os.path.abspath(driver), "--timeout", str(int(timeout * 1000)), "--hold", str(hold_ms)]
        if exit_grace_ms is not None:
            argv += ["--exit-grace", str(int(exit_grace_ms))]
        if quiet:
            argv += ["--quiet"]
        elif not watch_wait:
            argv += ["--no-watch"]
        if user is not None:
            argv += ["--user", user, "--password", password or ""]
        if cancel_auth:
            argv += ["--cancel-auth"]
        argv += ["--", self.to_windows_path(exe_path)] + list(args)
        # Started from its own folder, as a double-click would, so no DLL of the
        # caller's working directory is found by accident; `cwd` sets another.
        process = subprocess.Popen(argv, env=dict(self.env, **(env or {})), stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL,
                                   cwd=cwd or os.path.dirname(os.path.abspath(exe_path)))
        lines = queue.Queue()
        reader = threading.Thread(target=_read_lines, args=(process.stdout, lines), daemon=True)
        reader.start()
        events = []
        deadline = time.monotonic() + timeout + 30
        hung = False
        try:
            while True:
                try:
                    line = lines.get(timeout=max(0.0, deadline - time.monotonic()))
                except queue.Empty:
                    hung = True
                    break
                if line is None:
                    break
                if not line.startswith("{"):
                    continue
                event = json.loads(line)
                events.append(event)
                if on_event:
                    on_event(event)
            if not hung:
                try:
                    process.wait(timeout=max(1.0, deadline - time.monotonic()))
                except subprocess.TimeoutExpired:
                    hung = True
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
            # A program the driver started may still hold the pipe: then the
            # reader is left to end with it.
            reader.join(timeout=2)
            if not reader.is_alive():
                process.stdout.close()
        return DriveResult(events, process.returncode, timed_out=hung)

    def screenshot(self, png_path):
        subprocess.run(["import", "-display", self.display, "-window", "root", png_path],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)


def _lacks_32_bit_side(prefix):
    """A prefix made before Wine's i386 half was installed cannot run the 32-bit exe."""
    return (os.path.exists(os.path.join(prefix, "system.reg")) and os.path.exists(WINE32)
            and not os.path.isdir(os.path.join(prefix, "drive_c", "windows", "syswow64")))


def _link_unless_registry(source, target):
    if source.endswith(".reg"):
        return shutil.copy2(source, target)
    os.link(source, target)
    return target


def _read_lines(stream, lines):
    """Hands each line of the driver's output to the queue; None at its end."""
    try:
        for raw in stream:
            lines.put(raw.decode("utf-8", "replace").strip())
    except (OSError, ValueError):
        pass
    finally:
        lines.put(None)
