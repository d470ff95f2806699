#!/usr/bin/env python3
"""Window-mode tests of quendro.exe under Wine, against the stand-in console.

    window.py group NAME --build DIR ...   run one group of cases in a copy
                                           of the end-to-end template prefix

quendro.exe is started without arguments; windriver.exe, another program of
the same prefix, finds the window "Quendro", reads its controls and presses
its buttons, check boxes, drive items, keys and menu commands by posting
messages. Every case copies quendro.exe into a fresh folder and compares the
whole log.txt (timestamps of the new block masked), the message boxes seen,
what the stand-in consoles received, the help requests and the opened files.
Screenshots of the idle and of a running window are left in
BUILD/window/shots/.
"""

import argparse
import json
import os
import re
import shutil
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

import e2e  # noqa: E402  (the expected log texts and console records)
import winetest  # noqa: E402
from e2e import (ABORT, BY_HAND, COMPLETED, CONTINUE, FAILED, IS, NORMAL, NOT_CONTROLLED, OLD_LOG,  # noqa: E402
                 OLD_LOG_RESAVED, PRESS, RUNNING, STARTED, STAMP_RE, Wine, block, left_open,
                 mask, normal_console, parse_console_record, read, started, wait_for,
                 windows_path)

# --- expected texts -------------------------------------------------------------

CLOSED = IS + "本ソフトが閉じられました。"
SELECT_DRIVES = "デフラグをかけるドライブを選択してください。"
DEFAULT_CAPTION = "エラー"  # Wine's own caption for a box given none
ABOUT_CAPTION = "バージョン情報"
ABOUT_TEXT = "Quendro\r\nVersion 1.00\r\n\r\nCopyright (C) 2026 Quendro Project\r\n"
HELP_FILE = "DAVIRAZ.OVA"
LINK_CAPTION = "指定した時刻に自動的に実行したい場合は、ここをクリック！"

# Control identifiers of the main window.
EXEC, CLOSE, SHOW_ERROR, ON_ERROR_STOP, SHUTDOWN, DRIVES = 101, 102, 103, 104, 105, 106
PANEL, LABEL, LINK, BEVEL = 107, 108, 109, 110
L1, EXIT1, HELP_TOPICS, ABOUT1 = 201, 202, 203, 204
SC_CLOSE = 0xF060
VK_RETURN, VK_ESCAPE, VK_F1 = 0x0D, 0x1B, 0x70

# id -> (left, top, width, height, caption); None: the caption is not compared
# (the bevel has none to show; the list box's window text is not a caption).
LAYOUT = {
    LABEL: (16, 16, 140, 12, "デフラグを実行するドライブ(&D):"),
    LINK: (20, 172, 144, 24, LINK_CAPTION),
    BEVEL: (0, 0, 309, 5, None),
    EXEC: (192, 32, 100, 25, "実行"),
    CLOSE: (192, 64, 100, 25, "閉じる(&C)"),
    SHOW_ERROR: (192, 104, 97, 17, "エラー表示(&V)"),
    ON_ERROR_STOP: (192, 124, 97, 17, "エラー時中止(&E)"),
    SHUTDOWN: (192, 144, 113, 17, "終了後電源断(&S)"),
    DRIVES: (16, 32, 153, 129, None),
    PANEL: (192, 176, 101, 21, "ウィンドウ モード"),
}
TAB_ORDER = [EXEC, CLOSE, SHOW_ERROR, ON_ERROR_STOP, SHUTDOWN, DRIVES]

# The menu bar as stored in the exe: (caption, [(caption, id) or None for a
# separator]).
MENU = [
    ("ファイル(&F)", [("ログファイル参照(&L)...", L1), None, ("終了(&X)", EXIT1)]),
    ("ヘルプ(&H)", [("トピックの検索(&F)", HELP_TOPICS), ("バージョン情報(&V)...", ABOUT1)]),
]

WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_THICKFRAME = 0x00010000, 0x00020000, 0x00040000
WS_SYSMENU, WS_CAPTION, WS_TABSTOP, WS_DISABLED = 0x00080000, 0x00C00000, 0x00010000, 0x08000000
WS_EX_CONTEXTHELP = 0x400
BS_TYPEMASK, BS_DEFPUSHBUTTON, BS_CHECKBOX, BS_AUTOCHECKBOX = 0xF, 1, 2, 3
LBS_SORT, LBS_OWNERDRAWFIXED, LBS_HASSTRINGS = 0x2, 0x10, 0x40

# --- the cases ------------------------------------------------------------------
# Keys of a row: console (drive -> stand-in behaviour); steps (what the driver
# does, in order); lines (the new block of log.txt) or no_log; old_log;
# consoles (what each console received, in start order); boxes ((caption,
# text, buttons) in order); hold_ms (how long each box stays open); ends
# ("self": the program ends without being closed at the end of the steps);
# sentinel (True: a window records end-session messages; shutdown: whether
# the power-off must come); winhelp (expected (command, data) requests);
# held_log (log.txt is held open with no sharing while the program runs);
# checks (extra checks by name).
#
# Steps: ("toggle", index) clicks a drive item's check box; ("space", index)
# selects it and presses Space; ("check", id); ("click", id); ("menu", id);
# ("key", vk, target); ("syscommand", sc); ("label",); ("wait_console",
# event, count); ("wait_boxes", count); ("wait_dismissed", count);
# ("wait_log",); ("wait_open",); ("sleep", s); ("dump", name); ("shot",
# name); ("alive", name); ("tabwalk", presses).

C, D, E = 0, 1, 2  # drive list indices of the template prefix's C:, D:, E:
LONG_RUN = "normal run=30000"
CHECK_C_AND_RUN = [("toggle", C), ("click", EXEC)]

LAYOUT_ROWS = [
    dict(name="layout_and_drives", steps=[("dump", "idle"), ("shot", "idle"), ("tabwalk", 7),
                                          ("dump", "after_tabs")],
         no_log=True, checks=["layout", "drives", "menu_resources", "tab_order"]),
    dict(name="nothing_checked_enter_escape",
         steps=[("click", EXEC), ("wait_boxes", 1), ("wait_dismissed", 1), ("sleep", 1),
                ("key", VK_RETURN, "focus"), ("wait_boxes", 2), ("wait_dismissed", 2),
                ("key", VK_ESCAPE, "focus"), ("sleep", 2), ("alive", "after_escape")],
         no_log=True,
         boxes=[(DEFAULT_CAPTION, SELECT_DRIVES, ["OK"], "warning")] * 2,
         checks=["alive_after_escape"]),
    dict(name="about_box", steps=[("menu", ABOUT1), ("wait_boxes", 1), ("wait_dismissed", 1)],
         no_log=True, boxes=[(ABOUT_CAPTION, ABOUT_TEXT, ["OK"], "information")]),
    dict(name="help_f1_and_link", winhelp=[(11, 0), (1, 14)],
         steps=[("key", VK_F1, "main"), ("sleep", 1.5), ("label",), ("sleep", 1.5)],
         no_log=True),
    dict(name="view_log", old_log=OLD_LOG, steps=[("menu", L1), ("wait_open",)],
         expect_log=OLD_LOG, checks=["opened_log"]),
    dict(name="close_button_idle", steps=[("click", CLOSE)], ends="self", no_log=True),
    dict(name="exit_menu_idle", steps=[("menu", EXIT1)], ends="self", no_log=True),
]

RUN_ROWS = [
    dict(name="one_drive_after_old_log", old_log=OLD_LOG, console={"C:": NORMAL},
         steps=CHECK_C_AND_RUN + [("wait_log",), ("dump", "after")],
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")],
         checks=["exec_enabled_after"]),
    # An error leaving the button's handler is reported and the window stays
    # usable (the i686 program would end if the error passed through the
    # message dispatch).
    dict(name="unreadable_log_reported_window_stays", old_log=OLD_LOG, console={"C:": NORMAL},
         held_log=True,
         steps=CHECK_C_AND_RUN + [("wait_dismissed", 1), ("sleep", 1), ("alive", "after_error"),
                                  ("dump", "after")],
         expect_log=OLD_LOG, consoles=[],
         boxes=[("Quendro", "ファイル {log} は開けません.", ["OK"], "error")],
         checks=["alive_after_error", "exec_enabled_after"]),
    dict(name="two_drives_by_space", console={"C:": NORMAL, "D:": NORMAL},
         steps=[("space", C), ("space", D), ("click", EXEC), ("wait_log",)],
         lines=["C:" + STARTED, "C:" + COMPLETED, "D:" + STARTED, "D:" + COMPLETED],
         consoles=[normal_console("C:"), normal_console("D:")]),
    dict(name="toggled_twice_is_unchecked", console={"C:": NORMAL, "E:": NORMAL},
         steps=[("toggle", C), ("toggle", C), ("toggle", E), ("click", EXEC), ("wait_log",)],
         lines=["E:" + STARTED, "E:" + COMPLETED], consoles=[normal_console("E:")]),
    dict(name="stop_on_error_first_fails", sentinel=True, shutdown=False,
         console={"C:": "nobutton button=defrag", "D:": NORMAL},
         steps=[("check", ON_ERROR_STOP), ("check", SHUTDOWN), ("toggle", C), ("toggle", D),
                ("click", EXEC), ("wait_log",)],
         lines=["C:" + NOT_CONTROLLED], consoles=[left_open("C:")]),
    dict(name="last_fails_goes_on_stays_on", sentinel=True, shutdown=False,
         console={"C:": NORMAL, "E:": "nobutton button=defrag"},
         steps=[("check", SHUTDOWN), ("toggle", C), ("toggle", E), ("click", EXEC), ("wait_log",)],
         lines=["C:" + STARTED, "C:" + COMPLETED, "E:" + NOT_CONTROLLED, CONTINUE],
         consoles=[normal_console("C:"), left_open("E:")]),
    dict(name="shown_error_then_next_running", console={"C:": "nobutton button=report",
                                                       "D:": NORMAL},
         steps=[("check", SHOW_ERROR), ("toggle", C), ("toggle", D), ("click", EXEC),
                ("wait_log",)],
         lines=["C:" + NOT_CONTROLLED, CONTINUE, "D:" + RUNNING, CONTINUE],
         consoles=[left_open("C:")],
         boxes=[(DEFAULT_CAPTION, "C:" + NOT_CONTROLLED, ["OK"], "warning"),
                (DEFAULT_CAPTION, "D:" + RUNNING, ["OK"], "warning")]),
    # A scheduled run fires during the window run, finds the console busy and
    # saves first: the window run's save keeps that block before its own.
    dict(name="command_line_run_saves_during_window_run", console={"C:": "normal run=12000"},
         steps=CHECK_C_AND_RUN + [("wait_console", "window shown", 1), ("cli", "C:"), ("wait_runs", 2)],
         during=["C:" + RUNNING, "C:" + FAILED, ABORT],
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")]),
]

PRESSED_LEFT_OPEN = [started("C:")] + PRESS + ["quit requested", "exit"]

CLOSING_ROWS = [
    dict(name="close_button_goes_on_to_next", sentinel=True, shutdown=False,
         console={"C:": LONG_RUN, "D:": NORMAL},
         steps=[("check", SHUTDOWN)] + [("toggle", C), ("toggle", D), ("click", EXEC),
                                        ("wait_console", "clicked defrag", 1), ("sleep", 1),
                                        ("click", CLOSE)],
         ends="self", lines=["C:" + STARTED, "C:" + CLOSED, CONTINUE, "D:" + RUNNING, CONTINUE],
         consoles=[PRESSED_LEFT_OPEN], max_after_close_s=8),
    dict(name="close_on_last_drive_no_poweroff", sentinel=True, shutdown=False,
         console={"C:": LONG_RUN},
         steps=[("check", SHUTDOWN)] + CHECK_C_AND_RUN + [("wait_console", "clicked defrag", 1),
                                                         ("sleep", 1), ("click", CLOSE)],
         ends="self", lines=["C:" + STARTED, "C:" + CLOSED, CONTINUE],
         consoles=[PRESSED_LEFT_OPEN], max_after_close_s=8),
    dict(name="exit_menu_stop_on_error_shown", console={"C:": LONG_RUN, "D:": NORMAL},
         steps=[("check", SHOW_ERROR), ("check", ON_ERROR_STOP), ("toggle", C), ("toggle", D),
                ("click", EXEC), ("wait_console", "clicked defrag", 1), ("sleep", 1),
                ("menu", EXIT1)],
         ends="self", lines=["C:" + STARTED, "C:" + CLOSED], consoles=[PRESSED_LEFT_OPEN],
         boxes=[(DEFAULT_CAPTION, "C:" + CLOSED, ["OK"], "warning")], max_after_close_s=8),
    dict(name="title_bar_close_run_finishes", console={"C:": "normal run=3000", "D:": NORMAL},
         steps=[("toggle", C), ("toggle", D), ("click", EXEC), ("wait_console", "clicked defrag", 1),
                ("syscommand", SC_CLOSE), ("sleep", 1.5), ("alive", "after_close")],
         ends="self", lines=["C:" + STARTED, "C:" + COMPLETED, "D:" + STARTED, "D:" + COMPLETED],
         consoles=[normal_console("C:"), normal_console("D:")], checks=["alive_after_close"]),
]

DURING_ROWS = [
    dict(name="about_box_holds_run", console={"C:": NORMAL}, hold_ms=6000,
         steps=CHECK_C_AND_RUN + [("wait_console", "clicked defrag", 1), ("menu", ABOUT1),
                                  ("wait_dismissed", 1), ("wait_log",)],
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")],
         boxes=[(ABOUT_CAPTION, ABOUT_TEXT, ["OK"], "information")],
         checks=["held_by_box"]),
    dict(name="error_box_holds_run", console={"C:": "closebyhand after=1000", "D:": NORMAL},
         hold_ms=5000,
         steps=[("check", SHOW_ERROR), ("toggle", C), ("toggle", D), ("click", EXEC),
                ("wait_dismissed", 1), ("wait_log",)],
         lines=["C:" + STARTED, "C:" + BY_HAND, CONTINUE, "D:" + STARTED, "D:" + COMPLETED],
         consoles=[[started("C:")] + PRESS + ["closed by hand", "exit"], normal_console("D:")],
         boxes=[(DEFAULT_CAPTION, "C:" + BY_HAND, ["OK"], "warning")],
         checks=["held_by_error_box"]),
    dict(name="drive_unchecked_during_run", console={"C:": "normal run=4000", "E:": NORMAL},
         steps=[("toggle", C), ("toggle", E), ("click", EXEC), ("wait_console", "clicked defrag", 1),
                ("toggle", E), ("sleep", 0.5), ("dump", "running", "quick"), ("moveconsole",), ("sleep", 0.5),
                ("shot", "running"),
                ("wait_log",), ("dump", "after")],
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")],
         checks=["exec_disabled_running", "exec_enabled_after"]),
    dict(name="view_log_during_run", old_log=OLD_LOG, console={"C:": "normal run=4000"},
         steps=CHECK_C_AND_RUN + [("wait_console", "clicked defrag", 1), ("menu", L1),
                                  ("wait_open",), ("wait_log",)],
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")],
         checks=["opened_log", "log_unchanged_when_opened"]),
]

POWEROFF_ROWS = [
    dict(name="middle_fails_last_succeeds", sentinel=True, shutdown=True,
         console={"C:": NORMAL, "D:": "closebyhand after=1000", "E:": NORMAL},
         steps=[("check", SHUTDOWN), ("toggle", C), ("toggle", D), ("toggle", E), ("click", EXEC),
                ("wait_log",)],
         ends="shutdown",
         lines=["C:" + STARTED, "C:" + COMPLETED, "D:" + STARTED, "D:" + BY_HAND, CONTINUE,
                "E:" + STARTED, "E:" + COMPLETED],
         consoles=[normal_console("C:"), [started("D:")] + PRESS + ["closed by hand", "exit"],
                   normal_console("E:")]),
]

GROUPS = {
    "layout": LAYOUT_ROWS,
    "runs": RUN_ROWS,
    "closing": CLOSING_ROWS,
    "during": DURING_ROWS,
    "poweroff": POWEROFF_ROWS,
}

# --- running a case -------------------------------------------------------------


def read_jsonl(path):
    out = []
    for line in read(path, "r").splitlines():
        line = line.strip()
        if line:
            out.append(json.loads(line))
    return out


def cp932(hexdigits):
    return bytes.fromhex(hexdigits)


def console_events(path):
    """(epoch s, drive, event) of every line the stand-ins recorded."""
    events = []
    for line in read(path, "r").splitlines():
        parts = line.split(" ", 3)
        if len(parts) == 4:
            events.append((int(parts[0]) / 1000, parts[2], parts[3]))
    return events


def log_stamps(data):
    """(epoch s, line) of every timestamped line of data."""
    out = []
    for line in data.split(b"\r\n"):
        m = STAMP_RE.match(line)
        if m:
            y, mo, d, h, mi, s = (int(x) for x in m.groups())
            out.append((time.mktime((y, mo, d, h, mi, s, 0, 0, -1)), line[m.end():].decode("cp932")))
    return out


class WindowCase:
    def __init__(self, wine, group, row):
        self.wine = wine
        self.row = row
        self.dir = os.path.join(wine.opts.build, "window", "cases", group, row["name"])
        self.app = os.path.join(self.dir, "app")
        self.exe = os.path.join(self.app, "quendro.exe")
        self.log = os.path.join(self.app, "log.txt")
        self.record = self.path("console.txt")
        self.helpers = []
        self.dumps = {}
        self.alive = {}
        self.tabs = None
        self.log_at_open = None
        self.proc = None

    def path(self, name):
        return os.path.join(self.dir, name)

    def prepare(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.app)
        shutil.copy2(self.wine.opts.quendro, self.exe)
        if self.row.get("old_log") is not None:
            with open(self.log, "wb") as f:
                f.write(self.row["old_log"])
        with open(self.path("map.txt"), "w") as f:
            for drive, behaviour in self.row.get("console", {}).items():
                # A console's run lasts long enough for the driver's steps
                # during it, whose programs start slower under emulation.
                behaviour = re.sub(r"\brun=(\d+)",
                                   lambda m: "run=%d" % (int(m.group(1)) * winetest.factor()), behaviour)
                f.write("%s %s\n" % (drive, behaviour))
        self.env = {"QUENDRO_STANDIN_MAP": self.path("map.txt"),
                    "QUENDRO_STANDIN_RECORD": self.record,
                    "QUENDRO_OPEN_RECORD": self.path("opened.txt")}

    def driver(self, *args, timeout=40, may_fail=False):
        name = "driver-%s" % args[0]
        proc = self.wine.start(self.wine.opts.driver, [str(a) for a in args], self.path(name), self.env)
        rc = Wine.finish(proc, timeout)
        if rc != 0 and not may_fail:
            raise AssertionError("windriver %s failed (%r): %s" % (
                " ".join(str(a) for a in args), rc, read(self.path(name) + ".err", "r")[-2000:]))

    def driver_json(self, *args, may_fail=False):
        out = self.path("driver-%s-%d.json" % (args[0], time.time() * 1000))
        self.driver(args[0], out, *args[1:], may_fail=may_fail)
        return read_jsonl(out)[-1]

    def start_helper(self, exe, name, args, ready_file, ready_text):
        proc = self.wine.start(exe, args, self.path(name), self.env)
        self.helpers.append((name, proc))
        if not wait_for(lambda: ready_text in read(ready_file, "r"), 60):
            raise AssertionError("%s did not come up: %s" % (name, read(self.path(name) + ".err", "r")[-2000:]))

    def run(self):
        self.prepare()
        try:
            self.run_prepared()
        finally:
            self.cleanup()
        self.consoles = parse_console_record(self.record)
        self.events = console_events(self.record)
        boxes = read_jsonl(self.path("boxes.jsonl"))
        self.boxes = [b for b in boxes if b.get("event") == "box"]
        self.dismissed = [b for b in boxes if b.get("event") == "dismissed"]
        self.help = [h for h in read_jsonl(self.path("winhelp.jsonl")) if "command" in h]
        self.opened = read(self.path("opened.txt"), "r").splitlines()

    def run_prepared(self):
        opts = self.wine.opts
        self.start_helper(opts.driver, "watch", ["watch", self.path("boxes.jsonl"), self.path("watch.stop"),
                                                 str(self.row.get("hold_ms", 0))],
                          self.path("boxes.jsonl"), '"ready"')
        if "winhelp" in self.row:
            self.start_helper(opts.driver, "winhelp", ["winhelp", self.path("winhelp.jsonl"),
                                                       self.path("winhelp.stop")],
                              self.path("winhelp.jsonl"), '"ready"')
        if self.row.get("held_log"):
            self.start_helper(opts.helper, "hold", ["hold", self.log, "share0", self.path("hold.ready"),
                                                    self.path("hold.stop")],
                              self.path("hold.ready"), "held")
        if self.row.get("sentinel"):
            self.start_helper(opts.helper, "sentinel", ["sentinel", self.path("sentinel.txt"), self.log,
                                                        self.path("sentinel.stop")],
                              self.path("sentinel.txt"), "ready")
        self.t0 = time.time()
        self.proc = self.wine.start(self.exe, [], self.path("quendro"), self.env)
        found = self.driver_json("find", 60000)
        if not found.get("found"):
            raise AssertionError("no window Quendro")
        self.hwnd = found["hwnd"]
        self.t_close = None
        for step in self.row["steps"]:
            self.step(step)
        if self.row.get("ends") == "shutdown":
            # The shutdown broadcast can come a few seconds after the save.
            wait_for(lambda: " endsession wp=" in read(self.path("sentinel.txt"), "r"), 40)
            self.exit = Wine.finish(self.proc, 30)
        elif self.row.get("ends") == "self":
            self.exit = Wine.finish(self.proc, 60)
        else:
            if self.row.get("sentinel"):
                # A power-off would come within seconds of the save.
                time.sleep(4)
            self.exit_before_close = self.proc.poll()
            if self.exit_before_close is None:
                self.driver("syscommand", SC_CLOSE, may_fail=True)
            self.exit = Wine.finish(self.proc, 30)
        self.t1 = time.time()
        self.log_bytes = read(self.log) if os.path.exists(self.log) else None
        self.log_mtime = os.path.getmtime(self.log) if os.path.exists(self.log) else None
        self.app_files = sorted(os.listdir(self.app))

    def step(self, step):
        kind, args = step[0], step[1:]
        if kind in ("toggle", "space", "click", "menu", "syscommand"):
            if kind in ("click", "menu", "syscommand") and args[0] in (CLOSE, EXIT1, SC_CLOSE):
                self.t_close = time.time()
            self.driver(kind, *args)
        elif kind == "check":
            self.driver("check", args[0], 1)
        elif kind == "key":
            self.driver("key", *args)
        elif kind == "label":
            left, top, width, height, _ = LAYOUT[LINK]
            self.driver("label", width // 2, height // 2)
        elif kind == "moveconsole":
            self.driver("moveconsole", 4, 4, 280, 260)
        elif kind == "wait_console":
            event, count = args
            if not wait_for(lambda: read(self.record, "r").count(event) >= count, 60):
                raise AssertionError("the console never recorded %r" % event)
        elif kind in ("wait_boxes", "wait_dismissed"):
            word = '"box"' if kind == "wait_boxes" else '"dismissed"'
            if not wait_for(lambda: read(self.path("boxes.jsonl"), "r").count(word) >= args[0], 60):
                raise AssertionError("%s %d: %s" % (kind, args[0], read(self.path("boxes.jsonl"), "r")))
        elif kind == "wait_log":
            # The run is over once log.txt is saved (or replaced).
            before = self.row.get("old_log")
            if not wait_for(lambda: os.path.exists(self.log) and read(self.log) != before
                            and read(self.log).endswith(b"\r\r\n"), 120):
                raise AssertionError("the run never saved log.txt")
            time.sleep(0.5)
        elif kind == "cli":
            # quendro.exe with arguments, beside the window's, to its end.
            proc = self.wine.start(self.exe, list(args), self.path("cli"), self.env)
            if Wine.finish(proc, 60) != 0:
                raise AssertionError("the command-line run failed")
        elif kind == "wait_runs":
            # That many runs saved, the last one whole.
            head = ("] " + e2e.RUN_START).encode("cp932")
            if not wait_for(lambda: read(self.log).count(head) >= args[0] and read(self.log).endswith(b"\r\r\n"),
                            120):
                raise AssertionError("log.txt never held %d runs: %r" % (args[0], read(self.log)[-300:]))
            time.sleep(0.5)
        elif kind == "wait_open":
            if not wait_for(lambda: os.path.exists(self.path("opened.txt")), 30):
                raise AssertionError("nothing was opened")
            self.log_at_open = read(self.log)
        elif kind == "sleep":
            time.sleep(args[0])
        elif kind == "dump":
            self.dumps[args[0]] = self.driver_json("dump", *args[1:])
        elif kind == "shot":
            self.screenshot(args[0])
        elif kind == "alive":
            self.alive[args[0]] = (self.proc.poll() is None, self.driver_json("find", 0, may_fail=True).get("found"))
        elif kind == "tabwalk":
            self.tabs = []
            for _ in range(args[0]):
                self.driver("key", 9, "focus")
                time.sleep(0.3)
                self.tabs.append(self.driver_json("dump")["focus"])
        else:
            raise ValueError(kind)

    def screenshot(self, name):
        shots = os.path.join(self.wine.opts.build, "window", "shots")
        os.makedirs(shots, exist_ok=True)
        winetest.screenshot(os.path.join(shots, name + ".png"), self.path("shot-%s.log" % name))

    def cleanup(self):
        for stop in ("watch.stop", "winhelp.stop", "sentinel.stop", "hold.stop"):
            open(self.path(stop), "w").close()
        if self.proc is not None and self.proc.poll() is None:
            Wine.finish(self.proc, 1)
        closer = self.wine.helper(["closeconsoles", self.path("closeconsoles.txt")],
                                  self.path("closeconsoles"), self.env)
        Wine.finish(closer, 30)
        for _, proc in self.helpers:
            Wine.finish(proc, 20)


# --- the checks -----------------------------------------------------------------


class GroupTest(unittest.TestCase):
    opts = None
    group = None
    maxDiff = None

    def test_rows(self):
        wine = Wine(self.opts)
        for row in GROUPS[self.group]:
            with self.subTest(case=row["name"]):
                case = WindowCase(wine, self.group, row)
                start = time.time()
                case.run()
                print("  %-40s %5.1f s" % (row["name"], time.time() - start), flush=True)
                self.check(case, row)

    def check(self, case, row):
        if "sentinel" in row:
            self.check_shutdown(case, row["shutdown"])
        self.assertIsNotNone(case.exit, "quendro.exe did not end in time")
        if row.get("ends") != "shutdown":
            self.assertEqual(case.exit, 0, "exit code")
        if row.get("ends") is None:
            self.assertIsNone(case.exit_before_close, "the program ended before it was closed")

        # Under Wine the watcher reads a box's whole text, trailing CR LF
        # included, so texts are compared exactly.
        logpath = windows_path(case.log)
        wanted = [(c, t.format(log=logpath), b) for c, t, b, _ in row.get("boxes", [])]
        seen = [(b["caption"], b["text"], b["buttons"]) for b in case.boxes]
        self.assertEqual(seen, wanted, "message boxes")
        for b, (_, text, _) in zip(case.boxes, wanted):
            self.assertEqual(cp932(b["text_cp932"]), text.encode("cp932"), "code page 932 text")
        # The icon handle of another process's box cannot be matched with
        # the system's icons under Wine: the icon is recorded, not compared.
        self.assertEqual(len({b["pid"] for b in case.boxes}), min(len(case.boxes), 1),
                         "every box comes from quendro.exe")

        self.check_log(case, row)
        if "consoles" in row:
            self.assertEqual(case.consoles, row["consoles"], "what the consoles received")
        elif row.get("no_log"):
            self.assertEqual(case.consoles, [], "no console was started")
        if "winhelp" in row:
            self.check_help(case, row["winhelp"])
        if "max_after_close_s" in row:
            self.assertLessEqual(case.t1 - case.t_close, row["max_after_close_s"] * winetest.factor(),
                                 "the program ends soon after the close")
        for name in row.get("checks", []):
            with self.subTest(check=name):
                getattr(self, "check_" + name)(case)

    def check_log(self, case, row):
        if row.get("no_log"):
            self.assertIsNone(case.log_bytes, "log.txt must not be written")
            self.assertEqual(case.app_files, ["quendro.exe"], "no file beside the exe")
            return
        self.assertIsNotNone(case.log_bytes, "log.txt missing")
        if "expect_log" in row:
            self.assertEqual(case.log_bytes, row["expect_log"], "log.txt")
            return
        kept = OLD_LOG_RESAVED if row.get("old_log") else b""
        # The block of a run that saved while this one went on comes first.
        during = e2e.resaved(block(row["during"])) if "during" in row else b""
        expected = kept + during + block(row["lines"])
        self.assertEqual(case.log_bytes[:len(kept)], kept, "earlier blocks")
        self.assertEqual(mask(case.log_bytes[len(kept):]).decode("cp932", "replace"),
                         expected[len(kept):].decode("cp932", "replace"))
        self.assertEqual(mask(case.log_bytes), mask(expected), "log.txt bytes")
        stamps = [t for t, _ in log_stamps(case.log_bytes[len(kept) + len(during):])]
        self.assertEqual(stamps, sorted(stamps), "timestamps in order")
        self.assertGreaterEqual(stamps[0], int(case.t0) - 1)
        self.assertLessEqual(stamps[-1], case.t1 + 1)
        self.assertEqual(case.app_files, ["log.txt", "quendro.exe"], "no other file beside the exe")
        if row.get("ends") == "self":
            # The program ended after the save, not before it.
            self.assertGreaterEqual(case.t1 + 0.5, case.log_mtime, "ended after the save")

    def check_shutdown(self, case, wanted):
        events = [n.split(" ", 1)[1] for n in read(case.path("sentinel.txt"), "r").splitlines()]
        if not wanted:
            self.assertNotIn("queryendsession", events, "no power-off")
            return
        self.assertIn("queryendsession", events, "the power-off reached the sentinel")
        self.assertTrue(any(e.startswith("endsession wp=1") for e in events), events)
        self.assertEqual(read(case.path("sentinel.txt.log")), case.log_bytes,
                         "log.txt was saved before the power-off began")

    def check_help(self, case, wanted):
        asked = [(h["command"], h["data"]) for h in case.help if h["command"] != 2]
        self.assertEqual(asked, wanted, "help requests (HELP_QUIT left out)")
        for h in case.help:
            self.assertEqual(h["magic"], 0xA1DE505)
            self.assertEqual(cp932(h["file_cp932"]), HELP_FILE.encode("cp932"), "help file")
            self.assertEqual(h["owner"], case.hwnd, "the main window asks")

    # --- extra checks named by rows

    def check_layout(self, case):
        d = case.dumps["idle"]
        self.assertEqual(d["class"], "TfrmMain")
        self.assertEqual(cp932(d["caption_cp932"]), b"Quendro")
        self.assertEqual(d["window"][:2], [294, 279], "window position")
        self.assertEqual(d["client"][2:], [309, 208], "client size")
        style = d["style"] & 0xFFFFFFFF
        self.assertEqual(style & WS_CAPTION, WS_CAPTION)
        self.assertTrue(style & WS_SYSMENU and style & WS_MINIMIZEBOX, hex(style))
        self.assertFalse(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), "no maximize, no resizing: " + hex(style))
        self.assertFalse(d["exstyle"] & WS_EX_CONTEXTHELP, "no help button")
        self.assertTrue(d["has_menu"])
        self.assertTrue(d["exec_enabled"])
        self.assertEqual(d["checks"], {"103": 0, "104": 0, "105": 0}, "options unchecked at start")
        controls = {c["id"]: c for c in d["controls"]}
        for cid, (left, top, width, height, caption) in LAYOUT.items():
            with self.subTest(control=cid):
                self.assertIn(cid, controls, "control %d" % cid)
                c = controls[cid]
                self.assertTrue(c["parent_is_main"])
                self.assertEqual(c["rect"], [left, top, width, height], "rectangle of %d" % cid)
                if caption is not None:
                    self.assertEqual(cp932(c["text_cp932"]), caption.encode("cp932"),
                                     "caption of %d: %r" % (cid, c["text"]))
                if cid in (EXEC, CLOSE, SHOW_ERROR, ON_ERROR_STOP, SHUTDOWN):
                    self.assertEqual(c["class"].lower(), "button")
        self.assertEqual(sorted(controls), sorted(LAYOUT), "no other controls")
        kinds = {cid: controls[cid]["style"] & BS_TYPEMASK for cid in (EXEC, CLOSE, SHOW_ERROR,
                                                                      ON_ERROR_STOP, SHUTDOWN)}
        self.assertEqual(kinds[EXEC], BS_DEFPUSHBUTTON, "the default button")
        self.assertNotEqual(kinds[CLOSE], BS_DEFPUSHBUTTON)
        for cid in (SHOW_ERROR, ON_ERROR_STOP, SHUTDOWN):
            self.assertIn(kinds[cid], (BS_CHECKBOX, BS_AUTOCHECKBOX), "check box %d" % cid)
        lst = controls[DRIVES]
        self.assertEqual(lst["class"].lower(), "listbox")
        self.assertEqual(lst["style"] & (LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS),
                         LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, "owner-drawn, unsorted, with texts")
        self.assertEqual(d["item_height"], 12)
        self.assertEqual(d["defid"], EXEC | (0x534B << 16), "Enter presses btnExec")

    def check_drives(self, case):
        d = case.dumps["idle"]
        # Z: is Wine's view of the host's /; its label is asked independently.
        out = case.path("drives.txt")
        proc = case.wine.helper(["drives", out], case.path("drives"))
        self.assertEqual(Wine.finish(proc, 60), 0)
        z = [l.split(" ", 2) for l in read(out, "r").splitlines() if l.startswith("Z:")][0]
        self.assertEqual(z[1], "3", "Z: is a fixed drive")
        zlabel = "" if z[2] == "(none)" else z[2]
        expected = ["C: (QUENDRO_C)", "D: ()", "E: (QUENDRO_E)", "Z: (%s)" % zlabel]
        self.assertEqual([cp932(i["text_cp932"]) for i in d["items"]],
                         [e.encode("cp932") for e in expected], "the drive list")

    def check_menu_resources(self, case):
        out = case.path("menu.json")
        case.driver("menures", case.exe, out)
        res = read_jsonl(out)[-1]
        self.assertIsNotNone(res["menu"], "MENU resource 200")
        seen = []
        for top in res["menu"]:
            items = []
            for item in top.get("items", []):
                if item["separator"]:
                    items.append(None)
                    continue
                text = cp932(item["text_cp932"])
                # A shortcut may be shown after a tab; only F1 may be.
                caption, _, shown = text.partition(b"\t")
                if shown:
                    self.assertEqual(shown, b"F1")
                    self.assertEqual(item["id"], HELP_TOPICS)
                items.append((caption, item["id"]))
            seen.append((cp932(top["text_cp932"]), items))
        wanted = [(t.encode("cp932"), [None if i is None else (i[0].encode("cp932"), i[1]) for i in items])
                  for t, items in MENU]
        self.assertEqual(seen, wanted, "the menu bar")
        FVIRTKEY = 1
        accel = [(a["virt"] & FVIRTKEY, a["key"], a["cmd"]) for a in res["accelerators"] or []]
        self.assertIn((FVIRTKEY, VK_F1, HELP_TOPICS), accel, "F1 runs the topic search")

    def check_tab_order(self, case):
        tabs = case.tabs
        self.assertEqual(set(tabs), set(TAB_ORDER), "Tab visits every tab stop: %r" % tabs)
        for a, b in zip(tabs, tabs[1:]):
            self.assertEqual(b, TAB_ORDER[(TAB_ORDER.index(a) + 1) % len(TAB_ORDER)], "tab order %r" % tabs)

    def check_alive_after_error(self, case):
        self.assertEqual(case.alive["after_error"], (True, True), "the window stays after the error")

    def check_alive_after_escape(self, case):
        self.assertEqual(case.alive["after_escape"], (True, True), "Escape leaves the window open")

    def check_alive_after_close(self, case):
        self.assertEqual(case.alive["after_close"], (True, True),
                         "the window stays while the run goes on")
        # The run went on after the close: the next drive came after it.
        d_start = [t for t, drive, e in case.events if drive == "D:" and e.startswith("start")]
        self.assertTrue(d_start and d_start[0] > case.t_close, "D: was run after the close")

    def check_exec_enabled_after(self, case):
        self.assertTrue(case.dumps["after"]["exec_enabled"], "btnExec enabled after the run")

    def check_exec_disabled_running(self, case):
        running = case.dumps["running"]
        done = [t for t, _, e in case.events if e == "WM_CLOSE"]
        self.assertLess(int(running["t"]) / 1000, done[0], "read while the drive was running")
        self.assertFalse(running["exec_enabled"], "btnExec disabled during the run")

    def check_opened_log(self, case):
        self.assertEqual(len(case.opened), 1, case.opened)
        cmdline = case.opened[0].split(" ", 3)[3]
        self.assertTrue(cmdline.endswith('"%s"' % windows_path(case.log)), cmdline)

    def check_log_unchanged_when_opened(self, case):
        self.assertEqual(case.log_at_open, OLD_LOG, "the file as last saved")
        opened_at = int(case.opened[0].split(" ")[0]) / 1000
        done = [t for t, drive, e in case.events if e == "WM_CLOSE"]
        self.assertLess(opened_at, done[0], "opened while the drive was running")

    def check_held_by_box(self, case):
        dismissed = case.dismissed[0]
        self.assertTrue(dismissed["open_until_then"], "the box stayed open")
        until = int(dismissed["t"]) / 1000
        box_at = int(case.boxes[0]["t"]) / 1000
        # The console finished while the box was up; its report becomes
        # available only once its completion box gets the Escape, which the
        # held run cannot send before the dismissal.
        over = [t for t, _, e in case.events if e == "defragmentation over"]
        self.assertTrue(over and over[0] < until - 2, "the console was done while the box was up")
        enabled = [t for t, _, e in case.events if e == "report enabled"]
        self.assertTrue(enabled and enabled[0] >= until, "the report came only after the dismissal")
        # Nothing reached the console while the box was open...
        after = [(t, e) for t, _, e in case.events if box_at < t and e.startswith(("posted box", "WM_CLOSE"))]
        self.assertTrue(after and all(t >= until for t, _ in after), after)
        # ...and the completion line is stamped after the dismissal.
        done = [t for t, line in log_stamps(case.log_bytes) if line == "C:" + COMPLETED]
        self.assertGreaterEqual(done[0], int(until))

    def check_held_by_error_box(self, case):
        until = int(case.dismissed[0]["t"]) / 1000
        self.assertTrue(case.dismissed[0]["open_until_then"], "the box stayed open")
        d_start = [t for t, drive, e in case.events if drive == "D:" and e.startswith("start")]
        self.assertTrue(d_start and d_start[0] >= until, "D: started only after the dismissal")
        stamps = log_stamps(case.log_bytes)
        failed = [t for t, line in stamps if line == "C:" + BY_HAND][0]
        self.assertGreaterEqual(failed, int(until), "the failure line carries the dismissal time")


# --- commands -------------------------------------------------------------------


def cmd_group(opts):
    prefix = os.path.join(opts.build, "window", "prefix-" + opts.name)
    logs = os.path.join(opts.build, "window", "logs")
    os.makedirs(logs, exist_ok=True)
    rc = winetest.clone(e2e.template_dir(opts), prefix, os.path.join(logs, opts.name + "-clone.log"))
    if rc:
        return rc
    inner = [sys.executable, os.path.abspath(__file__), "inside", opts.name] + opts.passthrough
    return winetest.finish(prefix, winetest.run(prefix, inner))


def cmd_inside(opts):
    GroupTest.opts = opts
    GroupTest.group = opts.name
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(GroupTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["group", "inside"])
    parser.add_argument("name", choices=sorted(GROUPS))
    for name in ("build", "quendro", "standin", "helper", "driver"):
        parser.add_argument("--" + name, required=True)
    opts = parser.parse_args()
    opts.build = os.path.abspath(opts.build)
    opts.passthrough = ["--build", opts.build, "--quendro", opts.quendro, "--standin", opts.standin,
                        "--helper", opts.helper, "--driver", opts.driver]
    try:
        winetest.use_way(opts.quendro, opts.standin, opts.helper, opts.driver,
                         quiet=opts.command == "inside")
    except winetest.WayUnavailable as e:
        print("cannot run: %s" % e, flush=True)
        return 1
    if opts.command == "group":
        return cmd_group(opts)
    return cmd_inside(opts)


if __name__ == "__main__":
    sys.exit(main())
