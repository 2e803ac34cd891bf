#!/usr/bin/python3
"""Times stagewell.exe under a warm Wine from launch to its final box on
screen (the box driver's clock), side by side with a baseline program that
shows the same box at once, and again with WMI disabled for the exe alone.
Prints medians and ratios. A benchmark, not a test: it asserts nothing.

  cmake --build build/mingw-x64 --target bench_whole_run
  PYTHONPATH=tools/harness bench/whole_run/whole_run.py --build build/mingw-x64 [--runs 15]

The service double listens on the port the build's exe sends to.
"""

import argparse
import os
import statistics

from stagewell_harness import installation
from stagewell_harness.double import ServiceDouble, service_port_of_build
from stagewell_harness.winebed import WineBed

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def box_times(bed, exe, runs, before_each=None):
    times = []
    for _ in range(runs):
        if before_each:
            before_each()
        result = bed.drive(exe, timeout=60, watch_wait=False)
        if len(result.boxes) != 1:
            raise RuntimeError("expected one box: %r" % (result.events,))
        times.append(result.boxes[0]["ms"])
    return times


def measure(bed, args):
    """(baseline, accepted run, WMI disabled) launch-to-box times in ms."""
    exe, baseline = bed.install("Bench", os.path.join(args.build, "src", "app", "stagewell.exe"),
                                os.path.join(args.build, "bench", "whole_run", "baseline_box.exe"))
    installation.place_product_exe(bed, r"C:\Ledgora\Ldg.exe")
    counter = iter(range(10**6))

    def new_subscriber():  # every run is a fresh record, so every run is accepted
        values = dict(installation.SAMPLE, Customer=str(100000 + next(counter)))
        bed.reg_import(installation.reg_text(values))

    bed.app_defaults("stagewell.exe")
    box_times(bed, exe, 2, new_subscriber)  # warm-up
    base = box_times(bed, baseline, args.runs)
    run = box_times(bed, exe, args.runs, new_subscriber)
    bed.app_defaults("stagewell.exe", dll_overrides={"wbemprox": ""})
    try:
        no_wmi = box_times(bed, exe, args.runs, new_subscriber)
    finally:
        bed.app_defaults("stagewell.exe")
    return base, run, no_wmi


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "mingw-x64"))
    parser.add_argument("--runs", type=int, default=15)
    args = parser.parse_args()
    os.environ.setdefault("STAGEWELL_BOX_DRIVER", os.path.join(args.build, "tests", "e2e", "box_driver.exe"))

    work = os.path.join(args.build, "whole-run-bench")
    port = service_port_of_build(args.build)
    with ServiceDouble(os.path.join(work, "service"), port), WineBed(os.path.join(work, "prefix")) as bed:
        base, run, no_wmi = measure(bed, args)

    def row(name, times):
        median = statistics.median(times)
        print("%-34s median %7.1f ms  (min %6.1f, max %6.1f)  %5.2fx baseline"
              % (name, median, min(times), max(times), median / statistics.median(base)))

    print("Launch to final box under warm Wine, %d runs each (registry import excluded):" % args.runs)
    row("baseline (box at once)", base)
    row("stagewell.exe, accepted run", run)
    row("stagewell.exe, WMI disabled", no_wmi)
    share = statistics.median(run) - statistics.median(no_wmi)
    print("WMI's share of the run: %.1f ms of %.1f ms" % (share, statistics.median(run)))


if __name__ == "__main__":
    main()
