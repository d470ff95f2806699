#!/usr/bin/env python3
"""The help file under Wine, read by Wine's own help viewer (winhlp32).

    help_wine.py group --build DIR ...    runs the cases in a copy of the
                                          end-to-end template prefix

quendro.exe is started without arguments from a folder holding DAVIRAZ.OVA
and DAVIRAZ.CNT (the viewer finds the file through the current folder);
helpdriver.exe presses F1 and clicks the link label with real input and
reads the viewer's window. Every page the viewer shows is compared with what
the tests' structural reader (hlpdump) finds in the same file. Screenshots
are left in BUILD/help-wine/shots/.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

import e2e  # noqa: E402  (the template prefix's place)
import winetest  # noqa: E402
from winetest import read, wait_for  # noqa: E402

IDNO = 7
NOT_FOUND = "見つかりません"
WINE_VIEWER_CAPTION = "Wine ヘルプ"


def lines(text):
    """The page's paragraphs. The viewer's rich edit control ends them with
    CR and reports a line break within one as a blank; the reader's dump ends
    them with LF and marks a line break with VT."""
    return [re.sub(r"[ \x0b]+", " ", p).strip() for p in re.split(r"\r\n|\r|\n", text) if p.strip()]


def context_hash(context_id):
    h = 0
    for c in context_id:
        x = 0
        if "A" <= c <= "Z":
            x = ord(c) - ord("A") + 17
        elif "a" <= c <= "z":
            x = ord(c) - ord("a") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        elif c == "0":
            x = 10
        elif c == ".":
            x = 12
        elif c == "_":
            x = 13
        h = (h * 43 + x) & 0xFFFFFFFF
    return h


class Case:
    def __init__(self, opts, name, with_help):
        self.opts = opts
        self.dir = os.path.join(opts.build, "help-wine", "cases", name)
        self.app = os.path.join(self.dir, "app")
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.app)
        shutil.copy2(opts.quendro, self.app)
        if with_help:
            for name in ("DAVIRAZ.OVA", "DAVIRAZ.CNT"):
                shutil.copy2(os.path.join(opts.help_dir, name), self.app)
        self.procs = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, exe, args, name, cwd=None):
        proc = winetest.start(exe, args, self.path(name), cwd=cwd or self.dir)
        self.procs.append(proc)
        return proc

    def driver(self, *args, timeout=60, cwd=None):
        """Runs one driver command; returns its exit code and its records."""
        out = self.path("driver-%s-%d.jsonl" % (args[0], len(self.procs)))
        proc = self.start(self.opts.driver, [args[0], out] + [str(a) for a in args[1:]], "driver-" + args[0], cwd)
        rc = winetest.end(proc, timeout)
        records = [json.loads(l) for l in read(out, "r").splitlines() if l.strip()]
        return rc, records

    def watch(self):
        # Every box is answered "No": a viewer that misses the file must not
        # go on to its file dialog.
        args = ["watch", self.path("boxes.jsonl"), self.path("watch.stop"), ",".join([str(IDNO)] * 20)]
        self.start(self.opts.helper, args, "watch")
        if not wait_for(lambda: '"ready"' in read(self.path("boxes.jsonl"), "r"), 60):
            raise AssertionError("the box watcher did not come up")

    def boxes(self):
        return [json.loads(l) for l in read(self.path("boxes.jsonl"), "r").splitlines()
                if l.strip() and json.loads(l).get("event") == "box"]

    def quendro(self):
        self.app_proc = self.start(os.path.join(self.app, "quendro.exe"), [], "quendro", cwd=self.app)
        rc, found = self.driver("find", 60000)
        if rc != 0:
            raise AssertionError("no window Quendro: %r" % found)

    def shot(self, name):
        shots = os.path.join(self.opts.build, "help-wine", "shots")
        os.makedirs(shots, exist_ok=True)
        return winetest.screenshot(os.path.join(shots, name + ".png"), self.path("shot-%s.log" % name))

    def finish(self):
        self.driver("close")
        code = winetest.end(self.app_proc, 30) if hasattr(self, "app_proc") else None
        open(self.path("watch.stop"), "w").close()
        for p in self.procs:
            winetest.end(p, 20)
        # Nothing of this case (a viewer in particular) may answer the next
        # case's help requests.
        subprocess.call("wineserver -k; wineserver -w", shell=True, stdin=subprocess.DEVNULL,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return code


class HelpTest(unittest.TestCase):
    opts = None
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        dump = subprocess.run([cls.opts.dump, os.path.join(cls.opts.help_dir, "DAVIRAZ.OVA")],
                              capture_output=True, check=True)
        cls.file = json.loads(dump.stdout.decode("utf-8"))
        cnt = read(os.path.join(cls.opts.help_dir, "DAVIRAZ.CNT")).decode("cp932")
        cls.ids = [l.split("=", 1)[1] for l in cnt.split("\r\n") if "=" in l]

    def topic(self, hash_=None, number=None):
        for t in self.file["topics"]:
            if (hash_ is not None and hash_ in t["hashes"]) or (number is not None and number in t["numbers"]):
                return t
        self.fail("no topic %r %r in the file" % (hash_, number))

    def expect_page(self, view, topic, what, opened_by_viewer=True):
        self.assertTrue(view["found"], "%s: the viewer showed no page: %r" % (what, view))
        if opened_by_viewer:
            self.assertIn(self.file["title"], view["caption"], what + ": the viewer's caption names the file's title")
        else:
            # Started by WinHelpA, Wine's viewer keeps the caption it had
            # before it was handed the file.
            self.assertTrue(view["caption"] == WINE_VIEWER_CAPTION or self.file["title"] in view["caption"],
                            what + ": caption " + view["caption"])
        self.assertEqual(lines(view["text"]), lines(topic["text"]), what + ": the page as the reader decodes it")

    def test_f1_and_link_label_open_the_help(self):
        start = time.time()
        case = Case(self.opts, "f1_and_label", True)
        try:
            case.watch()
            case.quendro()
            rc, _ = case.driver("f1")
            self.assertEqual(rc, 0, "F1 reached quendro.exe's window")
            contents = self.file["topics"][self.file["contents"]]
            rc, views = case.driver("viewer", 30000, contents["title"].encode("utf-8").hex())
            self.expect_page(views[-1], contents, "F1 (HELP_FINDER)", False)
            rc, _ = case.driver("arrange")
            self.assertEqual(rc, 0)
            case.shot("help_contents")

            topic14 = self.topic(number=14)
            rc, clicked = case.driver("label")
            self.assertEqual(rc, 0, "the click reached quendro.exe's window: %r" % clicked)
            rc, views = case.driver("viewer", 30000, topic14["title"].encode("utf-8").hex())
            self.expect_page(views[-1], topic14, "link label (HELP_CONTEXT 14)", False)
            self.assertIn('"C:\\Program Files\\Quendro\\quendro.exe" C: D: /E /S', views[-1]["text"])
            case.shot("help_topic14")
        finally:
            code = case.finish()
        self.assertEqual(case.boxes(), [], "no message box (a missing file would show one)")
        self.assertEqual(code, 0, "quendro.exe ended normally")
        print("  f1_and_label %.1f s" % (time.time() - start), flush=True)

    def test_every_topic_opens_by_its_context_id(self):
        start = time.time()
        case = Case(self.opts, "by_context_id", True)
        self.assertEqual(len(self.ids), len(self.file["topics"]), "the contents tab lists every topic")
        try:
            case.watch()
            # The viewer resolves "-i ID" through |CONTEXT, like a jump.
            rc, views = case.driver("byid", "DAVIRAZ.OVA", *self.ids, timeout=240, cwd=case.app)
        finally:
            case.finish()
        self.assertEqual([v["id"] for v in views], self.ids)
        for v in views:
            with self.subTest(id=v["id"]):
                self.expect_page(v["view"], self.topic(hash_=context_hash(v["id"])), "winhlp32 -i " + v["id"])
        self.assertEqual(case.boxes(), [])
        print("  by_context_id %.1f s" % (time.time() - start), flush=True)

    def test_missing_help_file_shows_the_viewers_box(self):
        """Without the file the viewer asks whether to look for it; the test
        sees that box, so a help file that is not found cannot pass."""
        start = time.time()
        case = Case(self.opts, "missing_file", False)
        try:
            case.watch()
            case.quendro()
            rc, _ = case.driver("f1")
            self.assertEqual(rc, 0)
            self.assertTrue(wait_for(lambda: '"event":"box"' in read(case.path("boxes.jsonl"), "r"), 30),
                            "no box for the missing file")
            # Answered "No": WinHelpA returns and the window is usable again.
            rc, alive = case.driver("find", 10000)
            self.assertEqual(rc, 0, "quendro.exe's window is still there after the box")
        finally:
            code = case.finish()
        boxes = case.boxes()
        self.assertEqual(len(boxes), 1, boxes)
        self.assertIn("DAVIRAZ.OVA", boxes[0]["text"])
        self.assertIn(NOT_FOUND, boxes[0]["text"])
        self.assertEqual(code, 0)
        print("  missing_file %.1f s" % (time.time() - start), flush=True)


def cmd_group(opts):
    work = os.path.join(opts.build, "help-wine")
    os.makedirs(work, exist_ok=True)
    prefix = os.path.join(work, "prefix")
    rc = winetest.clone(e2e.template_dir(opts), prefix, os.path.join(work, "clone.log"))
    if rc:
        return rc
    inner = [sys.executable, os.path.abspath(__file__), "inside"] + opts.passthrough
    return winetest.finish(prefix, winetest.run(prefix, inner))


def cmd_inside(opts):
    HelpTest.opts = opts
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(HelpTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["group", "inside"])
    for name in ("build", "quendro", "help-dir", "helper", "driver", "dump"):
        parser.add_argument("--" + name, required=True)
    opts = parser.parse_args()
    for name in ("build", "quendro", "help_dir", "helper", "driver", "dump"):
        setattr(opts, name, os.path.abspath(getattr(opts, name)))
    opts.passthrough = ["--build", opts.build, "--quendro", opts.quendro, "--help-dir", opts.help_dir,
                        "--helper", opts.helper, "--driver", opts.driver, "--dump", opts.dump]
    try:
        winetest.use_way(opts.quendro, opts.helper, opts.driver, quiet=opts.command == "inside")
    except winetest.WayUnavailable as e:
        print("cannot run: %s" % e, flush=True)
        return 1
    return cmd_group(opts) if opts.command == "group" else cmd_inside(opts)


if __name__ == "__main__":
    sys.exit(main())
