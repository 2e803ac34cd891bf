"""The whole run under Wine against the service double: what is sent, what is
shown, and that nothing is written."""

import datetime
import os
import re
import socket
import time
import unittest
import zoneinfo

from stagewell_harness import boxes, installation
from stagewell_harness.double import ServiceDouble, header_block, port_of_host, wire
from stagewell_harness.winebed import WineBed

WORK = os.environ.get("STAGEWELL_E2E_WORK", "/tmp/stagewell-e2e-exchange")
# The exes carry the service's address from their build.
SERVICE_PORT = port_of_host(os.environ["STAGEWELL_SERVICE_HOST"])
USER, PASSWORD = "master", "s3cret"
# Hebrew systems' own zone: far enough from UTC (two or three hours) that a date
# read in UTC instead of local time shows.
LOCAL_ZONE = "Asia/Jerusalem"
HEADER_BLOCK = header_block("127.0.0.1:%d" % SERVICE_PORT)

# A record a user would have: Hebrew folders, "&" and "=" inside values, a
# placeholder's text inside the reports directory, a local database.
RECORD = dict(installation.SAMPLE)
RECORD.update({
    "RepDirectory": r"D:\דוחות\A&B=1\~Kupa",
    "Directories\\LEDGDOCDIR": r"C:\Ledgora\מסמכים",
    "DatabaseInfo": r".\SQLEXPRESS",
    "Customer": "246810",
    "ID": "55443",
    "Kupa": "7",
    "Version": "2016 SP2 77",
})


def wine_computer_name():
    """Wine's NetBIOS name: the host name's first label, upper case, 15 bytes at most."""
    return socket.gethostname().split(".")[0].upper()[:15]


class ExchangeUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.double = ServiceDouble(os.path.join(WORK, "double"), SERVICE_PORT, USER, PASSWORD)
        cls.addClassCleanup(cls.double.stop)
        cls.double.start()
        cls.bed = WineBed(os.path.join(WORK, "prefix"))
        cls.addClassCleanup(cls.bed.stop)
        cls.bed.start()
        cls.bed.app_defaults("stagewell.exe")
        cls.exe, = cls.bed.install("Stagewell", os.environ["STAGEWELL_EXE"])
        cls.short_exe, = cls.bed.install("StagewellShort", (os.environ["STAGEWELL_SHORT_EXE"], "stagewell.exe"))

    def setUp(self):
        self.double.mode("normal")
        installation.remove_product_files(self.bed)
        installation.place_product_exe(self.bed, r"C:\Ledgora\Ldg.exe")
        self.with_converter(True)

    def with_converter(self, present):
        unc_dll = os.path.join(os.path.dirname(self.exe), "QorUncDllU.dll")
        if present:
            self.bed.install("Stagewell", (os.environ["STAGEWELL_UNC_DLL"], "QorUncDllU.dll"), keep=True)
        elif os.path.exists(unc_dll):
            os.unlink(unc_dll)

    def run_exe(self, values, exe=None, **drive_options):
        self.bed.reg_import(installation.reg_text(values))
        before = len(self.double.records())
        result = self.bed.drive(exe or self.exe, timeout=90, **drive_options)
        self.assertFalse(result.timed_out, result)
        self.assertEqual(result.exit_code, 0, result)
        self.assertTrue(result.ended_after_ok, "still running after OK on its last box: %r" % (result,))
        return result, self.double.records()[before:]

    def assertOneBox(self, result, expected):
        self.assertEqual([(b["title"], b["text"]) for b in result.boxes], [expected], result)
        self.assertEqual(boxes.look(result.boxes[-1]), (expected.icon, expected.alignment))
        self.assertFalse(result.boxes[-1]["wait_visible"], "wait window still up behind the outcome box")

    def test_first_run_is_accepted_and_the_second_is_a_duplicate(self):
        started = datetime.datetime.now(zoneinfo.ZoneInfo(LOCAL_ZONE))
        result, requests = self.run_exe(RECORD, env={"TZ": LOCAL_ZONE})
        ended = datetime.datetime.now(zoneinfo.ZoneInfo(LOCAL_ZONE))
        self.assertOneBox(result, boxes.ACCEPTED)
        self.assertEqual((result.wait["title"], result.wait["text"]), (boxes.WAIT_TITLE, boxes.WAIT_TEXT))
        # The work runs on a worker while the wait window keeps answering.
        self.assertIsNotNone(result.longest_stall_ms, "the watcher never saw the wait window")
        self.assertLess(result.longest_stall_ms, 1000)
        self.assertEqual(len(requests), 1)
        request = requests[0]
        self.assertTrue(all(request["checks"].values()), request["checks"])
        fields = request["fields"]
        self.assertEqual(fields["P1"], "246810")
        # Converted to its network form, then "~Kupa" replaced; "&" and "=" kept.
        self.assertEqual(fields["P2"], r"\\FILESRV\D\דוחות\A&B=1\7")
        self.assertEqual(request["fields_hex"]["P2"][:18], "5C5C46494C45535256")  # \\FILESRV
        self.assertEqual(fields["P3"], r"C:\Ledgora\מסמכים")
        self.assertEqual(fields["P4"], wine_computer_name() + r"\SQLEXPRESS")
        self.assertEqual(fields["P5"], "55443")
        self.assertEqual(fields["P6"], "7")
        self.assertRegex(fields["P7"], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")
        # The run's local time, not UTC's, with its day and month in their places.
        sent = datetime.datetime.strptime(fields["P7"], "%Y-%m-%d %H:%M:%S")
        window = (started.replace(tzinfo=None) - datetime.timedelta(minutes=1),
                  ended.replace(tzinfo=None) + datetime.timedelta(minutes=1))
        self.assertTrue(window[0] <= sent <= window[1], "date sent %s, local time of the run %s to %s" % (
            fields["P7"], started.strftime("%Y-%m-%d %H:%M:%S"), ended.strftime("%Y-%m-%d %H:%M:%S")))
        self.assertEqual(fields["P8"], "2016 SP2 77")
        self.assertRegex(fields["RENCR"], r"^[0-9A-F]{20}$")
        self.assertEqual(request["envelope"]["identity"], fields["RENCR"])
        self.assertRegex(request["request_line"], r"^GET /iqor/NewWA\.dll\?QOR_URL=[0-9A-F$]+&QOR_ENCR=[0-9A-F]{20}"
                                                  r"&Snozel=(0|[1-9]\d{0,2}) HTTP/1\.1$")
        self.assertEqual(request["header_block"], HEADER_BLOCK)
        self.assertEqual(len(self.double.stored_rows()), 1)

        result, requests = self.run_exe(RECORD)
        self.assertOneBox(result, boxes.DUPLICATE)
        self.assertEqual(len(requests), 1)
        self.assertEqual(requests[0]["header_block"], HEADER_BLOCK)
        self.assertEqual(len(self.double.stored_rows()), 1)

    def test_values_as_read_without_converter_or_kupa(self):
        self.with_converter(False)
        values = dict(RECORD, Customer="13579", DatabaseInfo="localhost,1433", Version="2015a 1234")
        del values["Kupa"]
        result, requests = self.run_exe(values)
        self.assertOneBox(result, boxes.ACCEPTED)
        fields = requests[0]["fields"]
        self.assertEqual(fields["P2"], r"D:\דוחות\A&B=1\0")
        self.assertEqual(fields["P4"], wine_computer_name() + ",1433")
        self.assertEqual(fields["P6"], "0")
        self.assertEqual(fields["P8"], "2015a 1234")

    def test_values_at_the_edges_of_the_reader(self):
        rows = [
            # The value buffer holds 260 bytes, the terminating zero included.
            ("ID of 259 characters", dict(RECORD, ID="8" * 259), "P5", "8" * 259),
            # A DWORD is taken as its four bytes, up to the first zero byte.
            ("Customer DWORD without a zero byte", dict(RECORD, Customer=("dword", 0x34333231)), "P1", "1234"),
            ("Customer DWORD ending in zero bytes", dict(RECORD, Customer=("dword", 0x3635)), "P1", "56"),
        ]
        for name, values, field, expected in rows:
            with self.subTest(name):
                result, requests = self.run_exe(values)
                self.assertOneBox(result, boxes.ACCEPTED)
                self.assertEqual(len(requests), 1)
                self.assertEqual(requests[0]["fields"][field], expected)

    def test_address_over_2084_characters(self):
        # Both "~ID" become the 259-byte ID: a query of some 940 bytes, sealed
        # three characters a byte, makes an object of some 2900 characters.
        self.with_converter(False)
        identifier = "6" * 259
        result, requests = self.run_exe(dict(RECORD, RepDirectory="C:\\~ID~ID", ID=identifier))
        self.assertEqual(len(result.boxes), 2, result)
        bad_url, outcome = result.boxes
        self.assertEqual(bad_url["title"], boxes.DIAGNOSTIC_TITLE)
        self.assertEqual(bad_url["icon"], boxes.DIAGNOSTIC_ICON)
        self.assertTrue(bad_url["wait_visible"], "the Bad Url box comes while the run waits")
        address = re.fullmatch(r"Bad Url:http://127\.0\.0\.1:%d(/iqor/NewWA\.dll\?QOR_URL=([0-9A-F$]+)"
                               r"&QOR_ENCR=([0-9A-F]{20})&Snozel=(0|[1-9]\d{0,2}))" % SERVICE_PORT, bad_url["text"])
        self.assertIsNotNone(address, bad_url["text"][:200])
        self.assertGreater(len(address.group(1)), 2084)
        opened = wire.open_segment(wire.prefixed_form(address.group(2)), address.group(3).encode())
        fields = dict(wire.parse_query(opened)[0])
        self.assertEqual((fields["P2"], fields["P5"]), (b"C:\\" + 2 * identifier.encode(), identifier.encode()))
        self.assertEqual((outcome["title"], outcome["text"]), boxes.NO_REPLY)
        self.assertEqual(boxes.look(outcome), (boxes.NO_REPLY.icon, boxes.NO_REPLY.alignment))
        self.assertFalse(outcome["wait_visible"])
        self.assertEqual(requests, [])

    def test_reply_outcomes(self):
        cases = [
            ("no verdict", "no-verdict", boxes.FAULT),
            ("empty body", "empty", boxes.FAULT),
            ("garbage", "garbage", boxes.FAULT),
            ("several sealed runs", "several-runs", boxes.ACCEPTED),
            ("302 not followed", "redirect", boxes.DUPLICATE),
            ("404 body", "not-found", boxes.FAULT),
            ("500 body", "server-error", boxes.FAULT),
            ("close without response", "close", boxes.NO_REPLY),
            ("line of 8 MiB", "huge", boxes.FAULT),
            # Its part would open to "0": accepted, though the line never ended.
            ("line cut by a reset", "cut-reset", boxes.NO_REPLY),
        ]
        for number, (name, mode, expected) in enumerate(cases):
            with self.subTest(name):
                self.double.mode(mode)
                values = dict(RECORD, Customer=str(300000 + number))
                result, requests = self.run_exe(values)
                self.assertOneBox(result, expected)
                self.assertTrue(all(r["path"] == "/iqor/NewWA.dll" for r in requests), "redirect was followed")

    def test_password_dialog(self):
        self.double.mode("auth")
        result, requests = self.run_exe(dict(RECORD, Customer="424242"), user=USER, password=PASSWORD)
        self.assertEqual(len(result.auth_dialogs), 1, result)
        self.assertOneBox(result, boxes.ACCEPTED)
        # WinINet itself repeats a challenged request once without credentials;
        # the program's one retry after the dialog is the one that carries them.
        authorised = [r for r in requests if any(h[0].lower() == "authorization" for h in r["headers"])]
        self.assertEqual(len(authorised), 1, "sent exactly once more with the credentials")
        self.assertIs(requests[-1], authorised[0])
        self.assertLessEqual(len(requests), 3)

        result, requests = self.run_exe(dict(RECORD, Customer="434343"), cancel_auth=True)
        self.assertEqual(len(result.auth_dialogs), 1, result)
        self.assertOneBox(result, boxes.NO_REPLY)
        self.assertFalse(any(h[0].lower() == "authorization" for r in requests for h in r["headers"]))

    def test_misbehaving_servers_end_at_the_deadline_with_the_window_answering(self):
        # The short exe: 3 s connect and 4 s receive time-outs, so a 7 s deadline.
        # A trickle restarts the receive time-out with every byte; only the
        # deadline ends it (a byte every 2 s would take minutes). Timed from the
        # request's arrival to the box, as the deadline starts at the connection:
        # the start of the process and the identity, slow under emulation, are
        # not part of it.
        deadline_s, margin_s = 7, 4
        cases = [
            ("silent", "silent", False),
            ("trickled body", "trickle-body", False),
            ("trickled headers", "trickle-headers", False),
            # Only the worker, the timer and the deadline can wake the wait
            # then, as on a desk where nobody moves the mouse.
            ("trickled headers, no window message sent", "trickle-headers", True),
            # The read fails at the 4 s receive time-out, inside the deadline;
            # the whole runs that came would open to "0".
            ("line stalled before its end", "cut-stall", False),
        ]
        for number, (name, mode, quiet) in enumerate(cases):
            with self.subTest(name):
                self.double.mode(mode)
                shown = []
                result, requests = self.run_exe(dict(RECORD, Customer=str(530000 + number)), exe=self.short_exe,
                                                quiet=quiet,
                                                on_event=lambda e: e["event"] == "box" and shown.append(time.time()))
                self.assertOneBox(result, boxes.NO_REPLY)
                self.assertEqual(len(requests), 1, requests)
                elapsed = shown[0] - requests[0]["received_at"]
                self.assertLess(elapsed, deadline_s + margin_s, "the exchange outlasted its deadline")
                if mode == "cut-stall":
                    self.assertLess(elapsed, deadline_s, "ended by the deadline, not by the failed read")
                if quiet:
                    self.assertIsNone(result.wait, "the driver read the wait window")
                    self.assertIsNone(result.longest_stall_ms, "the driver watched the wait window")
                    continue
                self.assertIsNotNone(result.longest_stall_ms, "the watcher never saw the wait window")
                self.assertGreater(result.probes, 10, result)
                self.assertLess(result.longest_stall_ms, 1000, "the wait window stopped answering")

    def test_server_down_and_silent_server(self):
        self.double.mode("silent")
        started = time.monotonic()
        result, _ = self.run_exe(dict(RECORD, Customer="515151"), exe=self.short_exe)
        self.assertOneBox(result, boxes.NO_REPLY)
        self.assertLess(time.monotonic() - started, 40, "the receive time-out did not end the wait")

        self.double.stop()
        try:
            result, _ = self.run_exe(dict(RECORD, Customer="525252"))
            self.assertOneBox(result, boxes.NO_REPLY)
        finally:
            self.double.start()

    def test_requests_that_cannot_be_sealed_are_refused_and_not_sent(self):
        # Every "~ID" in the reports directory becomes the 259-byte ID.
        values = dict(RECORD, RepDirectory="C:\\" + "~ID" * 85, ID="9" * 259)
        result, requests = self.run_exe(values)
        self.assertOneBox(result, boxes.DATA_TOO_LONG)
        self.assertEqual(requests, [])

        self.bed.app_defaults("stagewell.exe", dll_overrides={"iphlpapi": ""})
        try:
            result, requests = self.run_exe(RECORD)
        finally:
            self.bed.app_defaults("stagewell.exe")
        titles = [(b["title"], b["text"]) for b in result.boxes]
        self.assertEqual(len(titles), 2, result)
        self.assertTrue(re.match(r"Unable to load .*\.dll", titles[0][1]), titles[0])
        self.assertEqual(result.boxes[0]["icon"], boxes.DIAGNOSTIC_ICON)
        self.assertTrue(result.boxes[0]["wait_visible"], "the library box comes while the run waits")
        self.assertEqual(titles[1], boxes.IDENTITY_UNKNOWN)
        self.assertEqual(boxes.look(result.boxes[1]), (boxes.IDENTITY_UNKNOWN.icon, boxes.IDENTITY_UNKNOWN.alignment))
        self.assertEqual(requests, [])

    def test_without_wininet_the_run_ends_with_no_reply(self):
        # WinINet is loaded at run time, so a system without it still starts the
        # program, and the exchange ends as no reply: no other box, nothing sent.
        self.bed.app_defaults("stagewell.exe", dll_overrides={"wininet": ""})
        try:
            result, requests = self.run_exe(dict(RECORD, Customer="545454"))
        finally:
            self.bed.app_defaults("stagewell.exe")
        self.assertOneBox(result, boxes.NO_REPLY)
        self.assertEqual(requests, [])

    def test_nothing_is_written(self):
        self.bed.reg_import(installation.reg_text(dict(RECORD, Customer="616161")))
        drive = installation.drive_c(self.bed)

        def snapshot():
            files = sorted(os.path.relpath(os.path.join(folder, name), drive)
                           for top in ("Ledgora", "Stagewell")
                           for folder, _, names in os.walk(os.path.join(drive, top)) for name in names)
            return self.bed.reg_export(installation.VENDOR_KEY), files

        before = snapshot()
        result = self.bed.drive(self.exe, timeout=90)
        self.assertOneBox(result, boxes.ACCEPTED)
        self.assertEqual(snapshot(), before)


if __name__ == "__main__":
    unittest.main()
