#!/usr/bin/env python3
"""Start-up cost of quendro.exe in the two ways of the Wine tests: the
shipped i686 exe under wine32 (through qemu-i386 where the machine needs it)
against the x86_64 build under wine64, the baseline of the same run.

    bench/startup_bench.py [--rounds N]     (after ./scripts/build.sh win32 win64
                                             and the e2e template of each build)

Each way runs in a copy of its build's test template with a persistent
wineserver, warmed up by two runs; a run is `quendro.exe /E` (switches only:
the log is read, a header and the end line are written, no console starts),
timed as a whole from the host. Reported: median (min..max) per way, and the
ratio of the medians.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tests"))

import winetest  # noqa: E402


def inside(exe, rounds, out):
    """In the prefix: the wall times of `quendro.exe /E`, one per line in out."""
    app = os.path.join(os.path.dirname(out), "app")
    shutil.rmtree(app, ignore_errors=True)
    os.makedirs(app)
    shutil.copy2(exe, app)
    subprocess.call(["wineserver", "-p"])
    times = []
    for i in range(rounds + 2):
        start = time.perf_counter()
        rc = winetest.end(winetest.start(os.path.join(app, "quendro.exe"), ["/E"],
                                         os.path.join(app, "run"), cwd=app), 120)
        if rc != 0:
            sys.exit("quendro.exe /E exited %r" % rc)
        if i >= 2:
            times.append(time.perf_counter() - start)
    subprocess.call(["wineserver", "-k"])
    with open(out, "w") as f:
        f.write("\n".join("%.4f" % t for t in times))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--inside", nargs=2, metavar=("EXE", "OUT"), help=argparse.SUPPRESS)
    opts = parser.parse_args()
    if opts.inside:
        winetest.use_way(opts.inside[0], quiet=True)
        return inside(opts.inside[0], opts.rounds, opts.inside[1])
    work = os.path.join(ROOT, "build", "bench-startup")
    results = {}
    for build in ("win64", "win32"):
        exe = os.path.join(ROOT, "build", build, "quendro.exe")
        way = winetest.use_way(exe)
        folder = os.path.join(work, way.name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        prefix = os.path.join(folder, "prefix")
        if winetest.clone(os.path.join(ROOT, "build", build, "e2e", "template"), prefix,
                          os.path.join(folder, "clone.log")):
            return 1
        out = os.path.join(folder, "times.txt")
        rc = winetest.run(prefix, [sys.executable, os.path.abspath(__file__), "--rounds", str(opts.rounds),
                                   "--inside", exe, out])
        if rc:
            return rc
        winetest.finish(prefix, rc)
        results[way.name] = ([float(t) for t in open(out).read().split()], way.description)
    med = statistics.median
    for name, (times, description) in results.items():
        print("%-9s %.3f s (%.3f..%.3f), %d runs: %s" % (name, med(times), min(times), max(times),
                                                          len(times), description))
    print("shipped32 / native64: %.2fx" % (med(results["shipped32"][0]) / med(results["native64"][0])))
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
