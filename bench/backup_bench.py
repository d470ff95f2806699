#!/usr/bin/env python3
"""The backup engine against Wine's xcopy, a minimal CopyFileA program and the
host's cp -r, each copying the same generated tree; run by
scripts/bench-backup.sh inside a Wine prefix (WINEPREFIX and DISPLAY set).

The tree: FILES files of 1 KiB to 8 MiB (log-uniform leaning small, about
1 GiB for 2,000 files) in folders up to three deep. Every round runs each
method once, in a rotated order, from a warm page cache and a persistent
wineserver; each copy is checked (file count and bytes) and removed, then the
disk is synced, before the next. Times are wall times of the whole program,
start-up included; ratios are of medians, and of the same round.
"""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import time

METHODS = ("engine", "xcopy", "minimal", "cp")


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_tree(root, count):
    """The tree, made once for each count; (relative paths, bytes)."""
    stamp = root + ".done"
    rnd = random.Random(count)
    sizes = [int(1024 * 8192 ** (rnd.random() ** 1.9)) for _ in range(count)]
    # Three levels: 8 folders of 6 of 4 sub-folders, some files higher up.
    paths = []
    for i in range(count):
        depth = i % 4
        parts = ["d%d" % (i % 8), "s%d" % (i // 8 % 6), "t%d" % (i // 48 % 4)][:depth]
        paths.append(os.path.join(*parts, "f%04d.dat" % i))
    if not os.path.exists(stamp):
        shutil.rmtree(root, ignore_errors=True)
        block = rnd.randbytes(8 << 20)
        for path, size in zip(paths, sizes):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            at = rnd.randrange(len(block) - size + 1)
            with open(os.path.join(root, path), "wb") as f:
                f.write(block[at:at + size])
        open(stamp, "w").close()
    return paths, sum(sizes)


def write_list(paths, list_file):
    """Relative Windows paths, each folder before its files."""
    seen, lines = set(), []
    for path in sorted(paths):
        parts = path.split(os.sep)
        for n in range(1, len(parts)):
            folder = "\\".join(parts[:n]) + "\\"
            if folder not in seen:
                seen.add(folder)
                lines.append(folder)
        lines.append("\\".join(parts))
    with open(list_file, "w") as f:
        f.write("\r\n".join(lines) + "\r\n")


def measure(root, target):
    count = size = 0
    for folder, _, files in os.walk(target):
        count += len(files)
        size += sum(os.path.getsize(os.path.join(folder, n)) for n in files)
    return count, size


def limit_file_size():
    # Wine's xcopy can write an endless prompt: no file of it may pass 64 MiB.
    resource.setrlimit(resource.RLIMIT_FSIZE, (64 << 20, 64 << 20))


def server_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run_method(method, opts, source, target, list_file, log):
    if method == "cp":
        command, preexec = ["cp", "-r", source, target], None
    elif method in opts.engines:
        command, preexec = ["wine", opts.engines[method], win(source), win(target)], None
    else:
        command = {"engine": ["wine", opts.backup_bench, win(source), win(target)],
                   "xcopy": ["wine", "C:\\windows\\system32\\xcopy.exe", win(source), win(target), "/S", "/H", "/I"],
                   "minimal": ["wine", opts.minimal_copy, win(list_file), win(source), win(target)]}[method]
        preexec = limit_file_size
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    server = server_seconds(opts.server)
    start = time.perf_counter()
    rc = subprocess.call(command, stdout=log, stderr=log, stdin=subprocess.DEVNULL, preexec_fn=preexec)
    seconds = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return rc, seconds, (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime +
                         server_seconds(opts.server) - server)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", required=True, type=os.path.abspath)
    parser.add_argument("--backup-bench", required=True, type=os.path.abspath)
    parser.add_argument("--minimal-copy", required=True, type=os.path.abspath)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--methods", default=",".join(METHODS))
    parser.add_argument("--engine", action="append", default=[], metavar="NAME=EXE",
                        help="another build of backup_bench.exe, timed as method NAME")
    opts = parser.parse_args()
    opts.engines = dict(e.split("=", 1) for e in opts.engine)
    methods = opts.methods.split(",") + list(opts.engines)
    source = os.path.join(opts.work, "tree-%d" % opts.files)
    paths, total = make_tree(source, opts.files)
    list_file = os.path.join(opts.work, "list.txt")
    write_list(paths, list_file)
    print("tree: %d files, %.1f MiB, in %s" % (len(paths), total / 2 ** 20, source), flush=True)
    # One server for the whole run, so that no method pays for its start.
    server = subprocess.Popen(["wineserver", "-p", "-f"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    opts.server = server.pid
    times = {m: [] for m in methods}
    cpu = {m: [] for m in methods}
    with open(os.path.join(opts.work, "bench.log"), "wb") as log:
        subprocess.call(["wine", opts.minimal_copy], stdout=log, stderr=log)  # warms the prefix up
        for m in methods:  # and the page cache
            target = os.path.join(opts.work, "copy-" + m)
            shutil.rmtree(target, ignore_errors=True)
        for r in range(opts.rounds):
            order = methods[r % len(methods):] + methods[:r % len(methods)]
            for m in order:
                target = os.path.join(opts.work, "copy-" + m)
                rc, seconds, cpu_seconds = run_method(m, opts, source, target, list_file, log)
                got = measure(source, target)
                shutil.rmtree(target, ignore_errors=True)
                os.sync()
                if rc != 0 or got != (len(paths), total):
                    print("%s failed: exit %d, %d files of %d bytes (see %s)" % (m, rc, got[0], got[1], log.name))
                    return 1
                times[m].append(seconds)
                cpu[m].append(cpu_seconds)
            print("round %d: %s" % (r + 1, "  ".join("%s %.2f s" % (m, times[m][-1]) for m in methods)), flush=True)
    server.terminate()
    print("\n%-8s %8s %8s %8s %8s %10s" % ("method", "median", "min", "max", "cpu", "MiB/s"))
    med = {m: statistics.median(times[m]) for m in methods}
    med_cpu = {m: statistics.median(cpu[m]) for m in methods}
    for m in methods:
        print("%-8s %7.2fs %7.2fs %7.2fs %7.2fs %10.0f" % (m, med[m], min(times[m]), max(times[m]), med_cpu[m],
                                                          total / 2 ** 20 / med[m]))
    print("(cpu: user and system time of the program and of the wineserver)\n")
    pairs = [("engine", "xcopy"), ("engine", "minimal"), ("engine", "cp"), ("xcopy", "minimal"), ("minimal", "cp")]
    for a, b in pairs + [(e, b) for e in opts.engines for b in ("engine", "minimal")]:
        if a in med and b in med:
            paired = sorted(x / y for x, y in zip(times[a], times[b]))
            print("%-7s / %-7s %5.2f  (same round: median %.2f, %.2f to %.2f; cpu %.2f)"
                  % (a, b, med[a] / med[b], statistics.median(paired), paired[0], paired[-1],
                     med_cpu[a] / med_cpu[b]))
    aims = [(b, limit) for b, limit in (("xcopy", 1.0), ("minimal", 1.3)) if "engine" in med and b in med]
    if aims:
        print("\naim on medians: " + ", ".join("engine/%s %.2f (at most %.2f: %s)" % (
            b, med["engine"] / med[b], limit, "met" if med["engine"] <= limit * med[b] else "NOT met")
            for b, limit in aims))
    return 0


if __name__ == "__main__":
    sys.exit(main())
