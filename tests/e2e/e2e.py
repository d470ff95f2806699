#!/usr/bin/env python3
"""End-to-end tests of quendro.exe under Wine, against the stand-in console.

    e2e.py template --build DIR ...     make the template prefix
    e2e.py group NAME --build DIR ...   run one group of cases in a copy of it

A group runs in a prefix of its own (a clone of the template, removed when
the group passed), on a display of its own, so groups can run in parallel;
tests/winetest.py picks the way from the programs given (the i686 build
under wine32, the x86_64 build under wine64). Every case copies
quendro.exe into a fresh folder (log.txt lives beside it), runs it with the
case's arguments and stand-in behaviour, and compares the whole log.txt with
the expected bytes (only the timestamps of the new block are masked), the
message boxes seen, the exit code and what the stand-in console received.
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

import winetest  # noqa: E402
from winetest import read, wait_for, windows_path  # noqa: E402,F401  (window.py takes them from here)

# --- expected texts -------------------------------------------------------

SEP = "================================="
STAMP = "[####/##/## ##:##:##] "
RUN_START = "実行開始"
IS = "\u3000"  # every drive line's text begins with one ideographic space
STARTED = IS + "デフラグを開始しました。"
COMPLETED = IS + "デフラグを完了しました。"
RUNNING = IS + "ほかのデフラグが実行中のため実行できませんでした。"
NOT_STARTED = IS + "デフラグが実行できませんでした。"
NOT_CONTROLLED = IS + "デフラグを正しく制御できませんでした。"
BY_HAND = IS + "デフラグが終わる前に手動で閉じられたようです。"
FAILED = IS + "正しく実行できませんでした。"
NO_DRIVE = IS + "ドライブが存在しないかデフラグできません。"
CONTINUE = "エラーが発生しましたが続行します。"
ABORT = "エラーが発生したため処理を中止しました。"


def invalid(arg):
    return "引数が不正です。（" + arg + "）"


def block(lines):
    """The bytes one run adds to log.txt, with masked timestamps."""
    rows = [SEP, STAMP + RUN_START, SEP] + [STAMP + l for l in lines]
    return b"".join(r.encode("cp932") + b"\r\n" for r in rows) + b"\r\r\n"


# An earlier run's block as it lies on disk, for the cases that start with one.
OLD_LOG = ("=================================\r\n"
           "[2001/10/28 03:00:00] 実行開始\r\n"
           "=================================\r\n"
           "[2001/10/28 03:00:02] C:　デフラグを開始しました。\r\n"
           "[2001/10/28 03:41:17] C:　デフラグを完了しました。\r\n"
           "\r\r\n").encode("cp932")
# The same block once a later run has loaded and saved it: its end-of-run
# line has become two empty lines.
OLD_LOG_RESAVED = OLD_LOG[:-3] + b"\r\n\r\n"

# Where the new block begins in an expected file (older blocks carry real
# timestamps).
NEW_BLOCK_HEAD = (SEP + "\r\n" + STAMP + RUN_START).encode("cp932")

STAMP_RE = re.compile(rb"(?m)^\[(\d{4})/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d)\] ")


def mask(data):
    return STAMP_RE.sub(STAMP.encode("ascii"), data)


# What the stand-in records of one console's life, reduced to what the
# program did to it.
MSC = "C:\\windows\\system32\\dfrg.msc"
PRESS = ["posted defrag WM_SETFOCUS wp=1 lp=0",
         "posted defrag WM_KEYDOWN wp=32 lp=0",
         "posted defrag WM_KEYUP wp=32 lp=0",
         "clicked defrag"]
ESCAPE = ["posted box WM_KEYDOWN wp=27 lp=0",
          "posted box WM_KEYUP wp=27 lp=0"]
KEPT_EVENTS = ("start", "posted", "clicked", "WM_CLOSE", "closed by hand",
               "quit requested", "life over", "exit")


def started(drive):
    return "start argc=2 [%s] [%s]" % (MSC, drive)


def normal_console(drive, boxes=1):
    return [started(drive)] + PRESS + ESCAPE * boxes + ["WM_CLOSE", "exit"]


def left_open(drive):
    """A console the program found and left alone; the harness ends it."""
    return [started(drive), "quit requested", "exit"]


NORMAL = "normal run=1500"
# The automation's wait for a console to open, from the program's constants.
CONSOLE_WAIT_S = winetest.console_wait_s()
CLOSE_WAIT_S = (winetest.constant("src/run/DefragDrive.h", "kCloseTries")
                * winetest.constant("src/run/DefragDrive.h", "kCloseSleepMs") / 1000.0)
ERROR_CAPTION = "アプリケーション エラー"
# A console whose windows stay missing is given the whole start-up wait.
WHOLE_WAIT = dict(min_s=CONSOLE_WAIT_S, max_s=CONSOLE_WAIT_S + winetest.MARGIN_S)

# --- the cases --------------------------------------------------------------
# Keys of a row: args; console (drive -> stand-in behaviour); lines (the new
# block); consoles (per console, in start order, its reduced record); exit;
# boxes (caption, text, buttons; {log} is the Windows path of log.txt);
# old_log; expect_log (whole expected file, masked, default old + block);
# no_log; setup (pre-steps); min_s/max_s (run time of quendro.exe); files
# (name -> bytes put beside the exe); expect_files (the folder's names after).

CLI_ROWS = [
    dict(name="one_drive", args=["C:"], console={"C:": NORMAL},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")]),
    dict(name="two_drives", args=["C:", "D:"], console={"C:": NORMAL, "D:": NORMAL},
         lines=["C:" + STARTED, "C:" + COMPLETED, "D:" + STARTED, "D:" + COMPLETED],
         consoles=[normal_console("C:"), normal_console("D:")]),
    dict(name="lower_case_drive", args=["c:"], console={"C:": NORMAL},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")]),
    dict(name="drive_named_twice", args=["E:", "e:"], console={"E:": NORMAL},
         lines=["E:" + STARTED, "E:" + COMPLETED, "E:" + STARTED, "E:" + COMPLETED],
         consoles=[normal_console("E:"), normal_console("E:")]),
    dict(name="invalid_japanese_upper_cased", args=["（c）ヂαｂ"],
         lines=[invalid("（C）ヂΑＢ"), ABORT], consoles=[]),
    dict(name="cdrom_and_missing_with_e", args=["/E", "F:", "G:"],
         lines=["F:" + NO_DRIVE, CONTINUE, "G:" + NO_DRIVE, CONTINUE], consoles=[]),
    dict(name="invalid_backslash", args=["C:\\"], lines=[invalid("C:\\"), ABORT], consoles=[]),
    dict(name="invalid_bare_letter", args=["C"], lines=[invalid("C"), ABORT], consoles=[]),
    dict(name="invalid_digit", args=["1:"], lines=[invalid("1:"), ABORT], consoles=[]),
    dict(name="invalid_dash_switch", args=["-S"], lines=[invalid("-S"), ABORT], consoles=[]),
    dict(name="invalid_long_switch", args=["/SX"], lines=[invalid("/SX"), ABORT], consoles=[]),
    dict(name="invalid_unknown_switch", args=["/x"], lines=[invalid("/X"), ABORT], consoles=[]),
    dict(name="stop_at_first_failure", args=["G:", "C:"], console={"C:": NORMAL},
         lines=["G:" + NO_DRIVE, ABORT], consoles=[]),
    dict(name="switch_after_drives", args=["F:", "C:", "/e"], console={"C:": NORMAL},
         lines=["F:" + NO_DRIVE, CONTINUE, "C:" + STARTED, "C:" + COMPLETED],
         consoles=[normal_console("C:")]),
    dict(name="switches_only", args=["/E", "/e"], lines=[], consoles=[]),
    # The installers register the event source; the run is the same with it.
    dict(name="event_source_registered", args=["C:", "G:", "/E"], console={"C:": NORMAL},
         setup=["eventsource"],
         lines=["C:" + STARTED, "C:" + COMPLETED, "G:" + NO_DRIVE, CONTINUE],
         consoles=[normal_console("C:")]),
]

CONSOLE_START_ROWS = [
    dict(name="already_running", args=["C:"], console={"C:": NORMAL},
         setup=["console C:"],
         lines=["C:" + RUNNING, "C:" + FAILED, ABORT], consoles=[left_open("C:")],
         max_s=8),
    dict(name="never_opens", args=["C:"], console={"C:": "noopen"},
         lines=["C:" + NOT_STARTED, "C:" + FAILED, ABORT],
         consoles=[[started("C:"), "exit"]], min_s=CONSOLE_WAIT_S,
         max_s=CONSOLE_WAIT_S + winetest.MARGIN_S),
    dict(name="opens_late_within_wait", args=["C:"], console={"C:": NORMAL + " appear=10000"},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")],
         min_s=10.5),
] + [
    dict(name="window_%d_missing" % step, args=["C:", "D:"],
         console={"C:": "nowindow step=%d" % step, "D:": NORMAL},
         lines=["C:" + FAILED, ABORT], consoles=[left_open("C:")], **WHOLE_WAIT)
    for step in (2, 3, 4, 5, 6)
]

# Windows that are there but not where a search among direct children with
# exact captions would find them.
CONSOLE_SEARCH_ROWS = [
    dict(name="window_%d_wrong_caption" % step, args=["C:", "D:"],
         console={"C:": "badcaption step=%d" % step, "D:": NORMAL},
         lines=["C:" + FAILED, ABORT], consoles=[left_open("C:")], **WHOLE_WAIT)
    for step in (3, 4, 5, 6)
] + [
    dict(name="window_%d_a_grandchild" % step, args=["C:", "D:"],
         console={"C:": "nested step=%d" % step, "D:": NORMAL},
         lines=["C:" + FAILED, ABORT], consoles=[left_open("C:")], **WHOLE_WAIT)
    for step in (4, 5, 6)
] + [
    dict(name="buttons_grandchildren", args=["C:", "D:"], console={"C:": "nested step=7",
                                                                  "D:": NORMAL},
         lines=["C:" + NOT_CONTROLLED, "C:" + FAILED, ABORT], consoles=[left_open("C:")],
         **WHOLE_WAIT),
]

# A console found before its windows are all there is looked into again
# within the start-up wait; one that never completes them ends as above.
CONSOLE_TREE_ROWS = [
    dict(name="tree_late_within_wait", args=["C:"], console={"C:": NORMAL + " tree=6000"},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:")], min_s=6),
    dict(name="tree_never_complete", args=["C:", "D:"],
         console={"C:": NORMAL + " tree=60000", "D:": NORMAL},
         lines=["C:" + FAILED, ABORT], consoles=[left_open("C:")], **WHOLE_WAIT),
    dict(name="tree_late_without_button", args=["C:"],
         console={"C:": "nobutton button=report tree=3000"},
         lines=["C:" + NOT_CONTROLLED, "C:" + FAILED, ABORT], consoles=[left_open("C:")],
         **WHOLE_WAIT),
]

CONSOLE_CONTROL_ROWS = [
    dict(name="defragment_button_missing", args=["C:"], console={"C:": "nobutton button=defrag"},
         lines=["C:" + NOT_CONTROLLED, "C:" + FAILED, ABORT], consoles=[left_open("C:")],
         **WHOLE_WAIT),
    dict(name="report_button_missing", args=["C:"], console={"C:": "nobutton button=report"},
         lines=["C:" + NOT_CONTROLLED, "C:" + FAILED, ABORT], consoles=[left_open("C:")],
         **WHOLE_WAIT),
    dict(name="already_done_then_next_running", args=["C:", "D:", "/E"],
         console={"C:": "done", "D:": NORMAL},
         lines=["C:" + COMPLETED, "D:" + RUNNING, "D:" + FAILED, CONTINUE],
         consoles=[left_open("C:")], max_s=8),
    dict(name="closed_by_hand", args=["C:", "D:"], console={"C:": "closebyhand after=2500",
                                                          "D:": NORMAL},
         lines=["C:" + STARTED, "C:" + BY_HAND, "C:" + FAILED, ABORT],
         consoles=[[started("C:")] + PRESS + ["closed by hand", "exit"]]),
    dict(name="ignores_close_still_completes", args=["C:"],
         console={"C:": "ignoreclose run=1500 linger=40000"},
         lines=["C:" + STARTED, "C:" + COMPLETED],
         consoles=[[started("C:")] + PRESS + ESCAPE + ["WM_CLOSE", "quit requested", "exit"]],
         min_s=1.5 + 1 + CLOSE_WAIT_S, max_s=1.5 + 1 + CLOSE_WAIT_S + 5),
    dict(name="completion_box_three_times", args=["C:"], console={"C:": NORMAL + " boxes=3"},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:", boxes=3)]),
    dict(name="no_completion_box", args=["C:"], console={"C:": NORMAL + " boxes=0"},
         lines=["C:" + STARTED, "C:" + COMPLETED], consoles=[normal_console("C:", boxes=0)]),
]

LOGFILE_ROWS = [
    dict(name="second_run_appends", args=["G:"], old_log=OLD_LOG,
         expect_log=OLD_LOG_RESAVED + block(["G:" + NO_DRIVE, ABORT]), consoles=[]),
    dict(name="unreadable_log", args=["C:"], console={"C:": NORMAL}, old_log=OLD_LOG,
         setup=["hold share0"], exit=1, expect_log=OLD_LOG, consoles=[],
         boxes=[(ERROR_CAPTION, "EFileOpenError: ファイル {log} は開けません", ["OK"])]),
    dict(name="log_neither_replaced_nor_rewritten", args=["C:"], console={"C:": NORMAL},
         old_log=OLD_LOG, setup=["hold share0 console"], exit=1, expect_log=OLD_LOG,
         consoles=[normal_console("C:")],
         boxes=[(ERROR_CAPTION, "EFileCreateError: ファイル {log} を作成できません", ["OK"])]),
    dict(name="log_held_with_full_sharing", args=["G:"], old_log=OLD_LOG,
         setup=["hold shareall"],
         expect_log=OLD_LOG_RESAVED + block(["G:" + NO_DRIVE, ABORT]), consoles=[]),
    # Line ends of every kind, and no break after the last line.
    dict(name="mixed_line_ends", args=["/e"], old_log=b"one\ntwo\rthree\r\nfour",
         expect_log=b"one\r\ntwo\r\nthree\r\nfour\r\n" + block([]), consoles=[]),
    # A NUL byte ends the text.
    dict(name="nul_ends_the_text", args=["/e"], old_log=b"kept\r\nhalf\x00lost\r\nlost\r\n",
         expect_log=b"kept\r\nhalf\r\n" + block([]), consoles=[]),
    dict(name="empty_log", args=["/e"], old_log=b"", expect_log=block([]), consoles=[]),
    # An interrupted save's temporary file is removed; another file stays.
    dict(name="stale_temporary_file_removed", args=["/e"], old_log=OLD_LOG,
         files={"qlg1234.tmp": b"half a save", "notes.tmp": b"keep"},
         expect_log=OLD_LOG_RESAVED + block([]), expect_files=["log.txt", "notes.tmp", "quendro.exe"],
         consoles=[]),
]

# "/A" in a prefix whose fixed drives are C: and E: only (see PREFIX_SETTINGS):
# D: a CD-ROM, F: a CD-ROM, Z: a network drive.
ALL_DRIVES_ROWS = [
    dict(name="every_fixed_drive", args=["/A", "/E"], console={"C:": NORMAL, "E:": NORMAL},
         lines=["C:" + STARTED, "C:" + COMPLETED, "E:" + STARTED, "E:" + COMPLETED],
         consoles=[normal_console("C:"), normal_console("E:")]),
    dict(name="where_it_stands", args=["d:", "/a", "E:", "/E"], console={"C:": NORMAL, "E:": NORMAL},
         lines=["D:" + NO_DRIVE, CONTINUE, "C:" + STARTED, "C:" + COMPLETED, "E:" + STARTED,
                "E:" + COMPLETED, "E:" + STARTED, "E:" + COMPLETED],
         consoles=[normal_console("C:"), normal_console("E:"), normal_console("E:")]),
]

WRONG_SYSTEM_BOX = [("エラー", "Windows 2000 以外には対応しておりません。", ["OK"])]
WRONG_SYSTEM_ROWS = [
    dict(name="refused_with_arguments", args=["C:"], console={"C:": NORMAL}, no_log=True,
         boxes=WRONG_SYSTEM_BOX, consoles=[]),
    dict(name="refused_without_arguments", args=[], no_log=True, boxes=WRONG_SYSTEM_BOX,
         consoles=[]),
]

POWEROFF_ROWS = {
    "poweroff_success": [
        dict(name="after_success", args=["C:", "/S"], console={"C:": NORMAL},
             setup=["sentinel"], lines=["C:" + STARTED, "C:" + COMPLETED],
             consoles=[normal_console("C:")])],
    "poweroff_failure": [
        dict(name="after_failure", args=["G:", "/s", "C:"], console={"C:": NORMAL},
             setup=["sentinel"], lines=["G:" + NO_DRIVE, ABORT], consoles=[])],
    "poweroff_switches": [
        dict(name="switches_only", args=["/e", "/S"], setup=["sentinel"], lines=[],
             consoles=[])],
    # A save that fails ends the run before the power-off.
    "poweroff_failed_save": [
        dict(name="no_poweroff_after_failed_save", args=["C:", "/S"], console={"C:": NORMAL},
             old_log=OLD_LOG, setup=["sentinel", "hold share0 console"], exit=1,
             expect_log=OLD_LOG, shutdown=False, consoles=[normal_console("C:")],
             boxes=[(ERROR_CAPTION, "EFileCreateError: ファイル {log} を作成できません",
                     ["OK"])])],
}

GROUPS = {
    "cli": CLI_ROWS,
    "console_start": CONSOLE_START_ROWS,
    "console_control": CONSOLE_CONTROL_ROWS,
    "console_search": CONSOLE_SEARCH_ROWS,
    "console_tree": CONSOLE_TREE_ROWS,
    "logfile": LOGFILE_ROWS,
    "wrong_system": WRONG_SYSTEM_ROWS,
    "all_drives": ALL_DRIVES_ROWS,
}
GROUPS.update(POWEROFF_ROWS)

# The drives the prefix script promises: letter -> (GetDriveTypeA, label).
EXPECTED_DRIVES = {
    "C:": ("3", "QUENDRO_C"),
    "D:": ("3", "(none)"),
    "E:": ("3", "QUENDRO_E"),
    "F:": ("5", "QUENDRO_CD"),
    "G:": ("1", "-"),
}

# --- running Wine programs ------------------------------------------------------


class Wine:
    """Starts programs of the current prefix (WINEPREFIX, DISPLAY set)."""

    def __init__(self, opts):
        self.opts = opts

    def start(self, exe, args, out_base, env=None):
        return winetest.start(exe, args, out_base, env)

    def helper(self, args, out_base, env=None):
        return self.start(self.opts.helper, args, out_base, env)

    finish = staticmethod(winetest.end)


EVENT_DEBUG = "-all,fixme+advapi,trace+eventlog,warn+eventlog,err+eventlog"
EVENT_CALL_RE = re.compile(r"fixme:advapi:ReportEventA \([0-9A-F]+,0x([0-9a-f]{4}),0x[0-9a-f]{4},0x([0-9a-f]{8}),")
EVENT_TEXT_RE = re.compile(r':eventlog:ReportEventW L"((?:[^"\\]|\\.)*)"')
EVENT_KINDS = {"information": ("0004", "400003e8"), "warning": ("0002", "800003e9"),
               "error": ("0001", "c00003ea")}


def wine_string(escaped):
    """The text of Wine's debugstr_w form (escapes \\r, \\n, \\xxxx)."""
    return re.sub(r"\\(x[0-9a-f]{2}|[0-9a-f]{4}|.)", lambda m: {
        "r": "\r", "n": "\n", "t": "\t"}.get(m.group(1), chr(int(m.group(1).lstrip("x"), 16))
                                           if len(m.group(1)) > 1 else m.group(1)), escaped)


def parse_events(err_text):
    """Per ReportEventA call of quendro.exe: (type, id, the start of its text)."""
    calls = EVENT_CALL_RE.findall(err_text)
    texts = [wine_string(t) for t in EVENT_TEXT_RE.findall(err_text)]
    return [(t, i, texts[n] if n < len(texts) else None) for n, (t, i) in enumerate(calls)]


def parse_console_record(path):
    """Per console (in start order): its kept events."""
    consoles = {}
    order = []
    for line in read(path, "r").splitlines():
        parts = line.split(" ", 3)
        if len(parts) < 4:
            continue
        _, pid, _, event = parts
        if pid not in consoles:
            consoles[pid] = []
            order.append(pid)
        if event.startswith(KEPT_EVENTS):
            consoles[pid].append(event)
    return [consoles[p] for p in order]


class Case:
    """One row run: its folders, helpers and results."""

    def __init__(self, wine, group, row):
        self.wine = wine
        self.row = row
        self.dir = os.path.join(wine.opts.build, "e2e", "cases", group, row["name"])
        self.app = os.path.join(self.dir, "app")
        self.log = os.path.join(self.app, "log.txt")
        self.record = os.path.join(self.dir, "console.txt")
        self.boxes_file = os.path.join(self.dir, "boxes.jsonl")
        self.helpers = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def prepare(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.app)
        shutil.copy2(self.wine.opts.quendro, os.path.join(self.app, "quendro.exe"))
        for name, data in self.row.get("files", {}).items():
            with open(os.path.join(self.app, name), "wb") as f:
                f.write(data)
        if self.row.get("old_log") is not None:
            with open(self.log, "wb") as f:
                f.write(self.row["old_log"])
        with open(self.path("map.txt"), "w") as f:
            for drive, behaviour in self.row.get("console", {}).items():
                f.write("%s %s\n" % (drive, behaviour))
        self.env = {"QUENDRO_STANDIN_MAP": self.path("map.txt"),
                    "QUENDRO_STANDIN_RECORD": self.record}

    def start_helper(self, name, args, ready_file, ready_text):
        proc = self.wine.helper(args, self.path(name), self.env)
        self.helpers.append((name, proc))
        if not wait_for(lambda: ready_text in read(ready_file, "r"), 60):
            raise AssertionError("%s did not come up: %s" % (name, read(self.path(name) + ".err", "r")[-2000:]))
        return proc

    def run(self):
        self.prepare()
        try:
            self.run_prepared()
        finally:
            self.cleanup()
        self.consoles = parse_console_record(self.record)
        self.boxes = [json.loads(l) for l in read(self.boxes_file, "r").splitlines() if l.strip()]
        self.boxes = [b for b in self.boxes if b.get("event") == "box"]

    def run_prepared(self):
        self.start_helper("watch", ["watch", self.boxes_file, self.path("watch.stop")],
                          self.boxes_file, '"ready"')
        for step in self.row.get("setup", []):
            words = step.split()
            if words[0] == "console":
                drive = words[1]
                proc = self.wine.start(self.wine.opts.standin, [MSC, drive], self.path("preconsole"),
                                       self.env)
                self.helpers.append(("preconsole", proc))
                if not wait_for(lambda: "window shown" in read(self.record, "r"), 60):
                    raise AssertionError("pre-started console did not open")
            elif words[0] == "hold":
                args = ["hold", self.log, words[1], self.path("hold.ready"), self.path("hold.stop")]
                if "console" in words:
                    args.append("console")
                    self.start_helper("hold", args, self.path("hold.ready"), "")
                else:
                    self.start_helper("hold", args, self.path("hold.ready"), "held")
            elif words[0] == "eventsource":
                key = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quendro"
                for value, kind, data in (("EventMessageFile", "REG_EXPAND_SZ", windows_path(self.app) + "\\quendro.exe"),
                                          ("TypesSupported", "REG_DWORD", "7")):
                    reg = self.wine.start("reg", ["add", key, "/v", value, "/t", kind, "/d", data, "/f"],
                                          self.path("reg-" + value), self.env)
                    if Wine.finish(reg, 60) != 0:
                        raise AssertionError("cannot register the event source")
            elif words[0] == "sentinel":
                self.start_helper("sentinel", ["sentinel", self.path("sentinel.txt"), self.log,
                                               self.path("sentinel.stop")],
                                  self.path("sentinel.txt"), "ready")
        self.t0 = time.time()
        # Wine's event log keeps nothing; its debug channels show each event.
        proc = self.wine.start(os.path.join(self.app, "quendro.exe"), self.row["args"],
                               self.path("quendro"), dict(self.env, WINEDEBUG=EVENT_DEBUG))
        self.exit = Wine.finish(proc, self.row.get("timeout", 120))
        self.t1 = time.time()
        self.hold_state = read(self.path("hold.ready"), "r")
        if "sentinel" in self.row.get("setup", []):
            # The shutdown broadcast can come a few seconds after the caller
            # ended; where none is expected, give it that time to come wrongly.
            wait_for(lambda: " endsession wp=" in read(self.path("sentinel.txt"), "r"),
                     40 if self.row.get("shutdown", True) else 8)
        self.log_bytes = read(self.log) if os.path.exists(self.log) else None
        self.app_files = sorted(os.listdir(self.app))

    def cleanup(self):
        for stop in ("watch.stop", "hold.stop", "sentinel.stop"):
            open(self.path(stop), "w").close()
        # Every console still open is ended, so that the next case does not
        # find it as "another defragmentation running".
        closer = self.wine.helper(["closeconsoles", self.path("closeconsoles.txt")],
                                  self.path("closeconsoles"), self.env)
        Wine.finish(closer, 30)
        for _, proc in self.helpers:
            Wine.finish(proc, 20)


class GroupTest(unittest.TestCase):
    opts = None
    group = None

    def test_rows(self):
        wine = Wine(self.opts)
        for row in GROUPS[self.group]:
            with self.subTest(case=row["name"]):
                case = Case(wine, self.group, row)
                start = time.time()
                case.run()
                print("  %-40s %5.1f s (quendro.exe %.1f s)" % (
                    row["name"], time.time() - start, case.t1 - case.t0), flush=True)
                self.check(case, row)

    def check(self, case, row):
        self.assertIsNotNone(case.exit, "quendro.exe did not end in time")
        self.assertEqual(case.exit, row.get("exit", 0), "exit code")

        logpath = windows_path(case.log)
        expected_boxes = [(c, t.format(log=logpath), b) for c, t, b in row.get("boxes", [])]
        seen_boxes = [(b["caption"], b["text"], b["buttons"]) for b in case.boxes]
        self.assertEqual(seen_boxes, expected_boxes, "message boxes")

        if row.get("no_log"):
            self.assertIsNone(case.log_bytes, "log.txt must not be written")
        else:
            self.assertIsNotNone(case.log_bytes, "log.txt missing")
            old = row.get("old_log") or b""
            expected = row.get("expect_log")
            if expected is None:
                expected = (OLD_LOG_RESAVED if old else b"") + block(row["lines"])
            if expected == old:
                self.assertEqual(case.log_bytes, old, "log.txt must be left as it was")
            else:
                # Earlier lines are kept byte for byte; only the new block's
                # timestamps are masked.
                kept = expected[:expected.rfind(NEW_BLOCK_HEAD)]
                self.assertEqual(case.log_bytes[:len(kept)], kept, "earlier lines")
                self.assertEqual(mask(case.log_bytes[len(kept):]).decode("cp932", "replace"),
                                 expected[len(kept):].decode("cp932", "replace"))
                self.assertEqual(case.log_bytes[:len(kept)] + mask(case.log_bytes[len(kept):]),
                                 expected, "log.txt bytes")
                self.check_stamps(case, case.log_bytes[len(kept):])
            self.assertEqual(case.app_files, row.get("expect_files", ["log.txt", "quendro.exe"]),
                             "no other file beside the exe")

        if "consoles" in row:
            self.assertEqual(case.consoles, row["consoles"], "what the consoles received")
        self.check_event(case, row)
        elapsed = case.t1 - case.t0
        if "min_s" in row:
            self.assertGreaterEqual(elapsed, row["min_s"], "run time")
        if "max_s" in row:
            # The margin above the program's own waits grows under emulation.
            floor = row.get("min_s", 0)
            self.assertLessEqual(elapsed, floor + (row["max_s"] - floor) * winetest.factor(),
                                 "run time")
        if any(step.startswith("hold") for step in row.get("setup", [])):
            self.assertTrue(case.hold_state.startswith("held"),
                            "the helper held log.txt: %r" % case.hold_state)
        if "sentinel" in row.get("setup", []):
            self.check_shutdown(case)

    def check_event(self, case, row):
        """One event per run: its kind, and its text the run's block (or the
        error's message when log.txt could not be read)."""
        events = parse_events(read(case.path("quendro") + ".err").decode("utf-8", "replace"))
        if row.get("no_log"):
            self.assertEqual(events, [], "no run, no event")
            return
        self.assertEqual(len(events), 1, "one event: %r" % events)
        new = b""
        if case.log_bytes != (row.get("old_log") or b""):
            head = case.log_bytes.rfind(b"] " + RUN_START.encode("cp932"))
            new = case.log_bytes[case.log_bytes.rfind((SEP + "\r\n").encode("cp932"), 0, head):]
        if row.get("exit", 0):
            kind = "error"
        elif (CONTINUE.encode("cp932") in new or ABORT.encode("cp932") in new):
            kind = "warning"
        else:
            kind = "information"
        self.assertEqual(events[0][:2], EVENT_KINDS[kind], "the event's type and message")
        text = events[0][2]
        self.assertIsNotNone(text, "the event's text")
        if new:
            # Wine shows the first 200 or so characters.
            self.assertTrue(new.decode("cp932").startswith(text), (text, new.decode("cp932")))
        elif any(s.startswith("hold") and "console" in s for s in row.get("setup", [])):
            self.assertTrue(text.startswith(SEP + "\r\n[") and RUN_START in text, text)  # the unsaved block
        else:
            self.assertIn(windows_path(case.log), text)

    def check_stamps(self, case, data):
        """The masked timestamps are the local times of the run, in order."""
        stamps = []
        for m in STAMP_RE.finditer(data):
            y, mo, d, h, mi, s = (int(x) for x in m.groups())
            stamps.append(time.mktime((y, mo, d, h, mi, s, 0, 0, -1)))
        self.assertTrue(stamps, "no timestamps")
        self.assertEqual(stamps, sorted(stamps), "timestamps in order")
        self.assertGreaterEqual(stamps[0], int(case.t0) - 1)
        self.assertLessEqual(stamps[-1], case.t1 + 1)

    def check_shutdown(self, case):
        notes = [n.split(" ", 1) for n in read(case.path("sentinel.txt"), "r").splitlines()]
        events = [e for _, e in notes]
        self.assertIn("ready", events, "the sentinel ran")
        if not case.row.get("shutdown", True):
            self.assertNotIn("queryendsession", events, "no shutdown")
            return
        self.assertIn("queryendsession", events, "the shutdown reached the sentinel")
        self.assertTrue(any(e.startswith("endsession wp=1") for e in events),
                        "the session ended: %r" % events)
        # At the first shutdown message the log already held the whole run.
        self.assertEqual(read(case.path("sentinel.txt.log")), case.log_bytes,
                         "log.txt was saved before the shutdown began")
        query_time = int(notes[events.index("queryendsession")][0]) / 1000
        self.assertGreaterEqual(query_time, case.t0, "the shutdown came after the run began")


def resaved(data):
    """log.txt as the next save writes it back: the newest end-of-run line
    becomes two empty lines."""
    return data[:-3] + b"\r\n\r\n" if data.endswith(b"\r\r\n") else data


class OverlapTest(unittest.TestCase):
    """Two real quendro.exe at once: every run's block reaches log.txt whole,
    in the order of the saves, and no temporary file stays."""
    opts = None

    def setUp(self):
        self.wine = Wine(self.opts)

    def case(self, name, row):
        case = Case(self.wine, "overlap", dict(row, name=name))
        case.prepare()
        case.start_helper("watch", ["watch", case.boxes_file, case.path("watch.stop")],
                          case.boxes_file, '"ready"')
        return case

    def quendro(self, case, tag, args):
        return self.wine.start(os.path.join(case.app, "quendro.exe"), args, case.path(tag), case.env)

    def check_folder(self, case):
        self.assertEqual(sorted(os.listdir(case.app)), ["log.txt", "quendro.exe"],
                         "no temporary file beside log.txt")
        boxes = [json.loads(l) for l in read(case.boxes_file, "r").splitlines() if l.strip()]
        self.assertEqual([b for b in boxes if b.get("event") == "box"], [], "message boxes")

    def test_busy_console_run_keeps_its_block(self):
        """A run that finds the console busy saves while the first one goes on."""
        # The second run starts, under emulation slower, while the first defragments.
        case = self.case("busy_console", {"console": {"C:": "normal run=%d" % (12000 * winetest.factor())}})
        try:
            first = self.quendro(case, "first", ["C:"])
            self.assertTrue(wait_for(lambda: "window shown" in read(case.record, "r"), 60),
                            "the first run's console did not open")
            second = self.quendro(case, "second", ["C:"])
            second_exit = Wine.finish(second, 60)
            second_log = read(case.log)
            first_exit = Wine.finish(first, 120)
        finally:
            case.cleanup()
        self.assertEqual((first_exit, second_exit), (0, 0), "exit codes")
        busy = block(["C:" + RUNNING, "C:" + FAILED, ABORT])
        done = block(["C:" + STARTED, "C:" + COMPLETED])
        self.assertEqual(mask(second_log), busy, "the second run saved first")
        got = mask(read(case.log))
        heads = got.count(NEW_BLOCK_HEAD)
        print("  busy_console: %d block(s) of 2 in log.txt" % heads, flush=True)
        self.assertEqual(got.decode("cp932", "replace"), (resaved(busy) + done).decode("cp932"))
        self.check_folder(case)

    def test_simultaneous_saves_of_a_large_log(self):
        """Rounds of two runs saving a 32 MiB log.txt at the same time."""
        line = "[2001/10/28 03:00:02] C:\u3000デフラグを開始しました。\r\n".encode("cp932")
        old = resaved(OLD_LOG) * 2 + line * (32 * 1024 * 1024 // len(line))
        case = self.case("large_log", {"old_log": old})
        rows = {"G:": block(["G:" + NO_DRIVE, CONTINUE]), "F:": block(["F:" + NO_DRIVE, CONTINUE])}
        rounds = []  # per round: exit codes, blocks lost, earlier lines kept, files beside the exe
        begun = time.time()
        try:
            before = old
            for r in range(4):
                start = time.time()
                procs = [self.quendro(case, "round%d-%s" % (r, d[0]), ["/e", d]) for d in rows]
                exits = [Wine.finish(p, 300) for p in procs]
                took = time.time() - start
                now = read(case.log)
                kept = resaved(before)
                tail = mask(now[len(kept):])
                whole = tail in (resaved(rows["G:"]) + rows["F:"], resaved(rows["F:"]) + rows["G:"])
                lost = sum(1 for b in rows.values() if resaved(b) not in tail and b not in tail)
                rounds.append((exits, lost, now[:len(kept)] == kept, whole, sorted(os.listdir(case.app)), took))
                print("  large_log round %d: %.1f s, exits %s, %d block(s) of 2 lost, files %s" % (
                    r, took, exits, lost, rounds[-1][4]), flush=True)
                before = now
        finally:
            case.cleanup()
        print("  large_log: %.1f s in all" % (time.time() - begun), flush=True)
        for r, (exits, lost, kept, whole, names, _) in enumerate(rounds):
            with self.subTest(round=r):
                self.assertEqual(exits, [0, 0], "exit codes")
                self.assertTrue(kept, "earlier lines kept byte for byte")
                self.assertEqual(lost, 0, "blocks lost")
                self.assertTrue(whole, "both blocks, whole, one after the other")
                self.assertEqual(names, ["log.txt", "quendro.exe"], "no temporary file left")
        self.check_folder(case)


class PrefixTest(unittest.TestCase):
    opts = None

    def test_drives(self):
        wine = Wine(self.opts)
        work = os.path.join(self.opts.build, "e2e", "cases", "prefix")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        out = os.path.join(work, "drives.txt")
        proc = wine.helper(["drives", out], os.path.join(work, "drives"))
        self.assertEqual(Wine.finish(proc, 60), 0)
        seen = {}
        for line in read(out, "r").splitlines():
            letter, kind, label = line.split(" ", 2)
            seen[letter] = (kind, label)
        for letter, expected in EXPECTED_DRIVES.items():
            with self.subTest(drive=letter):
                self.assertEqual(seen.get(letter), expected)
        self.assertEqual(seen.get("Z:", ("?",))[0], "3", "Z: is a fixed drive")

    def test_associations(self):
        """dfrg.msc opens the stand-in console with the drive, .txt the recorder."""
        wine = Wine(self.opts)
        work = os.path.join(self.opts.build, "e2e", "cases", "prefix-open")
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        text = os.path.join(work, "some log.txt")
        open(text, "w").close()
        env = {"QUENDRO_OPEN_RECORD": os.path.join(work, "open.txt"),
               "QUENDRO_STANDIN_RECORD": os.path.join(work, "console.txt"),
               "QUENDRO_STANDIN_MAP": os.path.join(work, "map.txt")}
        with open(env["QUENDRO_STANDIN_MAP"], "w") as f:
            f.write("E: noopen\n")
        for args in (["shellopen", text], ["shellopen", "dfrg.msc", "E:"]):
            proc = wine.helper(args, os.path.join(work, args[1].replace(" ", "_")), env)
            self.assertEqual(Wine.finish(proc, 60), 0, args)
        self.assertTrue(wait_for(lambda: "exit" in read(env["QUENDRO_STANDIN_RECORD"], "r"), 30))
        self.assertEqual(parse_console_record(env["QUENDRO_STANDIN_RECORD"]),
                         [[started("E:"), "exit"]])
        self.assertTrue(wait_for(lambda: read(env["QUENDRO_OPEN_RECORD"], "r"), 30))
        opened = read(env["QUENDRO_OPEN_RECORD"], "r").split(" ", 3)[3].strip()
        self.assertTrue(opened.endswith('"%s"' % windows_path(text)), opened)


# --- commands -------------------------------------------------------------------


def template_dir(opts):
    return os.path.join(opts.build, "e2e", "template")


def cmd_template(opts):
    os.makedirs(os.path.join(opts.build, "e2e"), exist_ok=True)
    start = time.time()
    rc = winetest.create(template_dir(opts), opts.standin, os.path.join(opts.build, "e2e", "template.log"))
    print("template prefix created in %.1f s (exit %d)" % (time.time() - start, rc))
    return rc


# Registry values a group's prefix gets on top of the template's.
PREFIX_SETTINGS = {
    # Windows XP for quendro.exe only.
    "wrong_system": [("HKCU\\Software\\Wine\\AppDefaults\\quendro.exe", "Version", "winxp")],
    # Fixed drives C: and E: only.
    "all_drives": [("HKLM\\Software\\Wine\\Drives", "d:", "cdrom"),
                   ("HKLM\\Software\\Wine\\Drives", "z:", "network")],
}


def cmd_group(opts):
    prefix = os.path.join(opts.build, "e2e", "prefix-" + opts.name)
    logs = os.path.join(opts.build, "e2e", "logs")
    os.makedirs(logs, exist_ok=True)
    opts.quendro, opts.helper = winetest.fresh_copy([opts.quendro, opts.helper],
                                                    os.path.join(opts.build, "e2e", "bin-" + opts.name))
    opts.passthrough = ["--build", opts.build, "--quendro", opts.quendro,
                        "--standin", opts.standin, "--helper", opts.helper]
    start = time.time()
    rc = winetest.clone(template_dir(opts), prefix, os.path.join(logs, opts.name + "-clone.log"))
    if rc:
        return rc
    for n, (key, value, data) in enumerate(PREFIX_SETTINGS.get(opts.name, [])):
        out = os.path.join(logs, "%s-reg%d" % (opts.name, n))
        rc = winetest.sh(["sh", winetest.PREFIX_SCRIPT, "run", prefix, "--out", out, "--", "reg.exe", "add",
                          key, "/v", value, "/t", "REG_SZ", "/d", data, "/f"], out + ".log")
        if rc:
            return rc
    print("prefix ready in %.1f s" % (time.time() - start), flush=True)
    inner = [sys.executable, os.path.abspath(__file__), "inside", opts.name] + opts.passthrough
    return winetest.finish(prefix, winetest.run(prefix, inner))


def cmd_inside(opts):
    if opts.name in ("prefix", "overlap"):
        test = PrefixTest if opts.name == "prefix" else OverlapTest
        test.opts = opts
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(test)
    else:
        GroupTest.opts = opts
        GroupTest.group = opts.name
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(GroupTest)
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["template", "group", "inside"])
    parser.add_argument("name", nargs="?")
    parser.add_argument("--build", required=True)
    parser.add_argument("--quendro", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--helper", required=True)
    opts = parser.parse_args()
    opts.build = os.path.abspath(opts.build)
    opts.passthrough = ["--build", opts.build, "--quendro", opts.quendro,
                        "--standin", opts.standin, "--helper", opts.helper]
    try:
        winetest.use_way(opts.quendro, opts.standin, opts.helper, quiet=opts.command == "inside")
    except winetest.WayUnavailable as e:
        print("cannot run: %s" % e, flush=True)
        return 1
    if opts.command == "template":
        return cmd_template(opts)
    if opts.name not in GROUPS and opts.name not in ("prefix", "overlap"):
        parser.error("unknown group %r" % opts.name)
    if opts.command == "group":
        return cmd_group(opts)
    return cmd_inside(opts)


if __name__ == "__main__":
    sys.exit(main())
