#!/usr/bin/python3
"""Stagewell's main job, shown end to end: the real stagewell.exe under Wine,
against the service double, with a sample installation record.

Runs the program twice on the same record: the first run is accepted, the
second is refused by the service as a duplicate. Prints what the service
received and stored and which box each run showed, and saves pictures of the
wait window and of each box.
"""

import argparse
import os
import subprocess
import tempfile

from stagewell_harness import boxes as expected_boxes, installation, tls
from stagewell_harness.double import ServiceDouble, port_of_host, service_port_of_build
from stagewell_harness.winebed import WineBed

FIELD_NAMES = [
    ("P1", "subscriber number"), ("P2", "reports directory"), ("P3", "documents directory"),
    ("P4", "database location"), ("P5", "installation ID"), ("P6", "Kupa"), ("P7", "date"),
    ("P8", "version"), ("RENCR", "machine identity"),
]
OUTCOME_NAMES = {
    expected_boxes.ACCEPTED: "accepted", expected_boxes.DUPLICATE: "duplicate",
    expected_boxes.FAULT: "fault", expected_boxes.NO_REPLY: "no reply",
    expected_boxes.CERTIFICATE_INVALID: "certificate not valid",
}


def crop(full_png, rect, out_png, margin=4):
    left, top, right, bottom = rect
    left, top = max(0, left - margin), max(0, top - margin)
    width, height = right - left + margin, bottom - top + margin
    subprocess.run(["convert", full_png, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage", out_png],
                   check=True)


class Camera:
    """Takes a picture of each window the driver reports, named by the caller."""

    def __init__(self, bed, out_dir):
        self.bed, self.out_dir = bed, out_dir
        self.names = {}
        self.saved = []

    def on_event(self, event):
        name = None
        if event["event"] == "wait":
            name = self.names.get("wait")
        elif event["event"] == "box":
            name = self.names.get("box")
        if not name:
            return
        with tempfile.NamedTemporaryFile(suffix=".png") as full:
            self.bed.screenshot(full.name)
            target = os.path.join(self.out_dir, name)
            crop(full.name, event["rect"], target)
            self.saved.append(target)


def describe_run(number, result):
    print("\nRun %s" % number)
    for box in result.boxes:
        outcome = OUTCOME_NAMES.get((box["title"], box["text"]), "other")
        print("  box shown: %s  [%s]  %s" % (outcome, box["title"], box["text"]))
    if not result.boxes:
        print("  no box was shown; the driver reported: %r" % (result.events,))


def describe_request(request):
    print("  the service received: %s" % request["request_line"][:110] + ("..." if len(request["request_line"]) > 110
                                                                           else ""))
    print("  headers: %s" % ", ".join("%s: %s" % (n, v) for n, v in request["headers"]))
    print("  opened query, field by field:")
    fields = request.get("fields", {})
    for key, meaning in FIELD_NAMES:
        print("    %-6s %-20s %s" % (key, meaning, fields.get(key, "(missing)")))
    failed = [name for name, ok in request.get("checks", {}).items() if not ok]
    print("  checks: %s" % ("all passed" if not failed else "FAILED " + ", ".join(failed)))
    print("  answer: %s (opened: %r), stored: %s" % (request["answer"]["status"], request["answer"].get("opened"),
                                                     request.get("stored")))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--work", required=True, help="folder for the Wine prefix and the service's files")
    parser.add_argument("--pictures", required=True, help="folder for the PNG files")
    parser.add_argument("--build", required=True, help="the CMake build folder of the exe (its service port)")
    parser.add_argument("--all-outcomes", action="store_true",
                        help="also show the fault and no-reply boxes (two more runs), and with --https-exe the "
                             "certificate box")
    parser.add_argument("--https-exe", help="an exe built for an https:// service on loopback")
    parser.add_argument("--https-host", help="the service setting that exe was built with")
    args = parser.parse_args()

    os.makedirs(args.pictures, exist_ok=True)
    port = service_port_of_build(args.build)
    display = os.environ.get("DISPLAY") or None
    print("Starting the service double on 127.0.0.1:%d and Wine (%s) ..."
          % (port, "display " + display if display else "a virtual display"))
    with ServiceDouble(os.path.join(args.work, "service"), port, delay_ms=1500) as double, \
            WineBed(os.path.join(args.work, "prefix"), display=display) as bed:
        show(args, bed, double)


def show(args, bed, double):
    bed.app_defaults("stagewell.exe")
    exe, = bed.install("Stagewell", args.exe)

    installation.remove_product_files(bed)
    installation.place_product_exe(bed, r"C:\Ledgora\Ldg.exe")
    bed.reg_import(installation.reg_text(installation.SAMPLE))
    print("\nSample installation record (HKLM\\SOFTWARE\\Quorvane\\Ledgora, 32-bit view):")
    for name, value in installation.SAMPLE.items():
        print("  %-22s %s" % (name, value))

    camera = Camera(bed, args.pictures)
    runs = [("accepted", "normal"), ("duplicate", "normal")]
    if args.all_outcomes:
        runs += [("fault", "no-verdict"), ("no-reply", "close")]
    for number, (name, mode) in enumerate(runs, 1):
        double.mode(mode)
        camera.names = {"box": "box-%s.png" % name, "wait": "wait-window.png" if number == 1 else None}
        before = len(double.records())
        result = bed.drive(exe, timeout=120, hold_ms=1500, on_event=camera.on_event)
        describe_run(number, result)
        for request in double.records()[before:]:
            describe_request(request)

    if args.all_outcomes and args.https_exe:
        show_certificate_box(args, bed, camera)

    rows = double.stored_rows()
    print("\nThe service's database holds %d record(s):" % len(rows))
    for row in rows:
        print("  subscriber %s, ID %s, identity %s" % (row[0], row[1], row[8]))
    print("\nPictures:")
    for path in camera.saved:
        print("  " + os.path.relpath(path, os.getcwd()))

def show_certificate_box(args, bed, camera):
    """The HTTPS exe against a double whose certificate comes from an authority
    the prefix does not trust: the exchange ends before anything is sent."""
    authority = tls.Authority(os.path.join(args.work, "certificates"), "untrusted-authority")
    certificate = authority.issue("service", "127.0.0.1", ["127.0.0.1"])
    exe, = bed.install("StagewellHttps", (args.https_exe, "stagewell.exe"))
    port = port_of_host(args.https_host)
    with ServiceDouble(os.path.join(args.work, "https-service"), port, tls=certificate) as secure:
        camera.names = {"box": "box-certificate.png"}
        result = bed.drive(exe, timeout=120, hold_ms=1500, on_event=camera.on_event)
        describe_run("over HTTPS, the certificate from an unknown authority", result)
        print("  the service received %d request(s)" % len(secure.records()))


if __name__ == "__main__":
    main()
