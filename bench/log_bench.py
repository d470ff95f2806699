#!/usr/bin/env python3
"""One run's log cycle of quendro.exe (the x86_64 build, under wine64: the
emulated i686 exe would measure qemu) on a 64 MiB log.txt, against a flushed host copy (dd conv=fsync) and a minimal Win32
program doing the same file work (bench/MinimalLogSave.cpp); run by
scripts/bench-log.sh inside a Wine prefix (WINEPREFIX and DISPLAY set).

Each round, in a rotated order: quendro.exe /E beside the log and beside no
log, minimal_log_save.exe on the log and on an empty file, dd of the log.
The log is put back (and the disk synced) before each timed program. The
wineserver is persistent and warmed up first. A Wine program's cost is its
wall time minus that of its no-work run in the same round; ratios are of
the medians over the rounds, with their spread over the rounds.
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_log(path, size):
    """Blocks as earlier runs left them (cp932, CR LF, end-of-run lines read
    back as two empty lines), the newest ending in CR CR LF."""
    if os.path.exists(path) and os.path.getsize(path) >= size:
        return
    rnd = random.Random(size)
    sep = "================================="
    done = ["デフラグを完了しました。", "デフラグを開始しました。"]
    errors = ["ドライブが存在しないかデフラグできません。",
              "ほかのデフラグが実行中のため実行できませんでした。",
              "デフラグが実行できませんでした。", "正しく実行できませんでした。"]
    out, total, day = [], 0, 0
    while total < size:
        day += 1
        stamp = "[%04d/%02d/%02d %%02d:%%02d:%%02d] " % (2001 + day // 336, day // 28 % 12 + 1, day % 28 + 1)
        h, m, s = 3, 0, 0
        lines = [sep, stamp % (h, m, s) + "実行開始", sep]
        for drive in rnd.sample("CDEFGH", rnd.randint(1, 4)):
            m, s = rnd.randrange(60), rnd.randrange(60)
            if rnd.random() < 0.85:
                lines.append(stamp % (h, m, s) + drive + ":\u3000" + done[1])
                lines.append(stamp % (h + 1, m, s) + drive + ":\u3000" + done[0])
            else:
                lines.append(stamp % (h, m, s) + drive + ":\u3000" + rnd.choice(errors))
                lines.append(stamp % (h, m, s) + "エラーが発生しましたが続行します。")
        text = "".join(l + "\r\n" for l in lines + ["", ""]).encode("cp932")
        out.append(text)
        total += len(text)
    out[-1] = out[-1][:-4] + b"\r\r\n"
    with open(path + ".part", "wb") as f:
        f.write(b"".join(out))
    os.replace(path + ".part", path)


def timed(args, base, env=None):
    subprocess.call(["sync"])
    with open(base + ".out", "wb") as out, open(base + ".err", "wb") as err:
        start = time.perf_counter()
        rc = subprocess.call(args, stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=env)
        elapsed = time.perf_counter() - start
    if rc != 0:
        sys.exit("%s exited %d (see %s.err)" % (args, rc, base))
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", required=True)
    parser.add_argument("--quendro", required=True)
    parser.add_argument("--minimal", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--mib", type=int, default=64)
    opts = parser.parse_args()

    work = os.path.abspath(opts.work)
    seed = os.path.join(work, "seed-log.txt")
    make_log(seed, opts.mib << 20)
    seed_bytes = open(seed, "rb").read()
    app, empty_app, mini = (os.path.join(work, n) for n in ("app", "app-nolog", "minimal"))
    for d in (app, empty_app, mini):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
        shutil.copy2(opts.quendro, os.path.join(d, "quendro.exe"))
    shutil.copy2(opts.minimal, os.path.join(mini, "minimal_log_save.exe"))
    open(os.path.join(work, "standin-map.txt"), "w").close()
    env = dict(os.environ, QUENDRO_STANDIN_MAP=win(os.path.join(work, "standin-map.txt")),
               QUENDRO_STANDIN_RECORD=win(os.path.join(work, "standin-record.txt")))
    out = os.path.join(work, "out")

    def quendro(folder, with_log):
        log = os.path.join(folder, "log.txt")
        if with_log:
            shutil.copyfile(seed, log)
        elif os.path.exists(log):
            os.remove(log)
        t = timed(["wine", os.path.join(folder, "quendro.exe"), "/E"], out, env)
        saved = open(log, "rb").read()
        # The old lines kept; only the newest end-of-run line changes.
        if with_log and not (saved.startswith(seed_bytes[:-3]) and len(saved) > len(seed_bytes)):
            sys.exit("quendro.exe did not keep the log")
        return t

    def minimal(with_log):
        log = os.path.join(mini, "log.txt")
        if with_log:
            shutil.copyfile(seed, log)
        else:
            open(log, "wb").close()
        t = timed(["wine", os.path.join(mini, "minimal_log_save.exe"), win(log)], out)
        if os.path.getsize(log) != (len(seed_bytes) if with_log else 0):
            sys.exit("minimal_log_save.exe did not keep the file")
        return t

    def dd():
        copy = os.path.join(work, "dd-copy.txt")
        if os.path.exists(copy):
            os.remove(copy)
        t = timed(["dd", "if=" + seed, "of=" + copy, "bs=1M", "conv=fsync"], out)
        os.remove(copy)
        return t

    methods = {"quendro": lambda: quendro(app, True), "quendro-nolog": lambda: quendro(empty_app, False),
               "minimal": lambda: minimal(True), "minimal-empty": lambda: minimal(False), "dd": dd}
    subprocess.call(["wineserver", "-p"])
    for name in ("quendro-nolog", "minimal-empty", "quendro", "minimal"):
        methods[name]()  # warm-up, not counted
    times = {name: [] for name in methods}
    names = list(methods)
    for r in range(opts.rounds):
        for name in names[r % len(names):] + names[:r % len(names)]:
            times[name].append(methods[name]())
    subprocess.call(["wineserver", "-k"])

    q = [a - b for a, b in zip(times["quendro"], times["quendro-nolog"])]
    m = [a - b for a, b in zip(times["minimal"], times["minimal-empty"])]
    d = times["dd"]
    med = statistics.median
    print("%d MiB log.txt, median of %d rounds (min..max over rounds)" % (opts.mib, opts.rounds))
    for label, values in (("quendro.exe /E, minus no-log run", q), ("minimal Win32 save, minus empty", m),
                          ("host dd conv=fsync", d), ("quendro.exe /E no-log run", times["quendro-nolog"])):
        print("  %-34s %.3f s  (%.3f..%.3f)" % (label, med(values), min(values), max(values)))
    rq = [a / b for a, b in zip(q, d)]
    rm = [a / b for a, b in zip(q, m)]
    print("  quendro / host dd:     %.2fx  (per round %.2f..%.2f)" % (med(q) / med(d), min(rq), max(rq)))
    print("  quendro / minimal:     %.2fx  (per round %.2f..%.2f)" % (med(q) / med(m), min(rm), max(rm)))
    print("  minimal / host dd:     %.2fx" % (med(m) / med(d)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
