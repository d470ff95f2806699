#!/usr/bin/env python3
"""Tests of the release in dist/ (scripts/release.sh): the zip and the
installer's checks on the build machine, and the installer under Wine.

    ./scripts/release.sh
    ctest --test-dir build/win32 -L release -j4 --output-on-failure

Each ctest test is one case; a Wine case runs in its own clone of the
end-to-end template prefix (fixture e2e_prefix), with the stand-in at.exe in
its system32, and leaves its files in build/win32/tests/release-wine/CASE/
(each row a folder: the batch files that ran the installer, every program's
output, the box watcher's record). A case skips (exit 77) when dist/ holds no
release of the current build, and fails instead with QUENDRO_RELEASE_REQUIRED
set, as scripts/test-all.sh sets it after building the release.
"""

import argparse
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "installer"))

import e2e  # noqa: E402  (the expected log texts and console records)
import release  # noqa: E402
import winetest  # noqa: E402
from winetest import read, wait_for, windows_path as win  # noqa: E402

OPTS = None
SKIP = 77

DEFAULT_DIR = "C:\\Program Files\\Quendro"
# Trail bytes 0x5C ("ソ", "表") and a blank: a path that code page 932 and
# quoting get wrong first.
JAPANESE_DIR = "C:\\ソフト\\Quendro 表"
HELP_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\Help"
UNINST_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quendro"
EVENT_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quendro"
START_MENU = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Quendro"
# Wine's msi resolves ProgramMenuFolder to the user's folder even with
# ALLUSERS=1 (measured, Wine 8); Windows 2000 takes All Users' folder.
MSI_START_MENU = "C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Quendro"
AT_EXE = "C:\\windows\\system32\\at.exe"
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
WRONG_SYSTEM_VERSIONS = ["win98", "nt40", "winxp", "win7"]


# --- the release under test ----------------------------------------------------------


class Release:
    """The version and the artifacts in dist/, or why they are not usable."""

    def __init__(self):
        tool = os.path.join(OPTS.build, "host", "MakeVersionRes")
        self.version = release.stored_version(tool, os.path.join(ROOT, "resources", "Main.dfm"))
        self.zip = os.path.join(OPTS.dist, "quendro-%s.zip" % self.version)
        self.setup = os.path.join(OPTS.dist, "quendro-%s-setup.exe" % self.version)
        self.msi = os.path.join(OPTS.dist, "quendro-%s.msi" % self.version)
        self.sums = os.path.join(OPTS.dist, "SHA256SUMS")

    def unusable(self):
        missing = [p for p in (self.zip, self.setup, self.msi, self.sums) if not os.path.isfile(p)]
        if missing:
            return "no release of version %s in %s (missing %s)" % (
                self.version, OPTS.dist, ", ".join(map(os.path.basename, missing)))
        files = self.files()
        stale = [n for n in ["quendro.exe"] + release.HELP_FILES if files.get(n) != read(os.path.join(OPTS.build, n))]
        if stale:
            return "the release in %s holds another %s than %s" % (OPTS.dist, ", ".join(stale), OPTS.build)
        return None

    def files(self):
        """{name: bytes} of the zip, names decoded as code page 932."""
        with zipfile.ZipFile(self.zip) as z:
            return {zip_name(i): z.read(i) for i in z.infolist()}


def zip_name(info):
    # Without the UTF-8 flag Python decodes a name as code page 437.
    return info.filename if info.flag_bits & 0x800 else info.filename.encode("cp437").decode("cp932")


# --- running Wine programs -----------------------------------------------------------


def host_path(windows):
    """The prefix's file for a C: path."""
    assert windows[:3].upper() == "C:\\", windows
    return os.path.join(OPTS.prefix, "drive_c", *windows[3:].split("\\"))


class Row:
    """One row's folder and the programs it runs in the prefix."""

    def __init__(self, name):
        self.dir = os.path.join(OPTS.work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.watcher = None

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def start(self, args, name, env=None):
        return winetest.start(args[0], args[1:], self.path(name), env, cwd=self.dir)

    def run(self, args, name, env=None, timeout=90):
        return winetest.end(self.start(args, name, env), timeout)

    def command(self, line, name, env=None):
        """Runs LINE as a batch file does (cmd passes it on as typed, quotes and
        all); the exit code of its program."""
        with open(self.path(name + ".bat"), "wb") as f:
            f.write(("@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n" % line).encode("cp932"))
        return self.run(["cmd", "/c", win(self.path(name + ".bat"))], name, env)

    def msiexec(self, args, name, env=None):
        """Runs msiexec ARGS with a verbose log (NAME.log, code page 932); its
        whole exit code (Wine's own keeps only the low byte of 1603)."""
        with open(self.path(name + ".bat"), "wb") as f:
            f.write(('@echo off\r\nmsiexec %s /l*v "%s"\r\necho %%errorlevel%%> "%s"\r\n'
                     % (args, win(self.path(name + ".log")), win(self.path(name + ".rc")))).encode("cp932"))
        self.run(["cmd", "/c", win(self.path(name + ".bat"))], name, env)
        return int(read(self.path(name + ".rc")).decode().strip())

    def msi_log(self, name):
        return read(self.path(name + ".log")).decode("cp932", "replace")

    def install(self, options="", env=None, name="install", setup=None, silent=True):
        return self.command('"%s"%s %s' % (win(setup or OPTS.setup), " /S" if silent else "", options), name, env)

    def through_pages(self, options, env):
        """Runs the installer with its wizard's pages pressed through; the
        exit code and the pages seen."""
        out = self.path("pages.jsonl")
        driver = self.start([OPTS.wizard, out, self.path("wizard.stop")], "wizard")
        assert wait_for(lambda: b'"ready"' in read(out), 60), "the wizard driver did not start"
        rc = self.install(options, env, silent=False)
        open(self.path("wizard.stop"), "w").close()
        driver.wait(30)
        return rc, [json.loads(l) for l in read(out).decode().splitlines() if '"page"' in l]

    def reg_query(self, key, value=None, name="reg"):
        """(exit code, {value name: (type, data)}) of reg query."""
        rc = self.run(["reg", "query", key] + (["/v", value] if value else []), name)
        values = {}
        for line in read(self.path(name + ".out")).decode("cp932", "replace").splitlines():
            m = re.match(r"^    (.+?)    (REG_\w+)    (.*)$", line)
            if m:
                values[m.group(1)] = (m.group(2), m.group(3))
        return rc, values

    def watch(self, answers=()):
        self.boxes_file = self.path("boxes.jsonl")
        args = ["watch", self.boxes_file, self.path("watch.stop")] + ([",".join(map(str, answers))] if answers else [])
        self.watcher = self.start([OPTS.helper] + args, "watch")
        assert wait_for(lambda: b'"ready"' in read(self.boxes_file), 60), "the box watcher did not start"

    def seen(self):
        # A line being written while the watcher runs is read next time.
        lines = read(self.boxes_file).decode("utf-8", "replace").split("\n")[:-1]
        events = [json.loads(l) for l in lines if l.strip()]
        assert not [e for e in events if e["event"] == "error"], "an answer the box did not offer: %r" % events
        return [e for e in events if e["event"] == "box"]

    def stop_watching(self):
        """The boxes seen, once the watcher has ended."""
        open(self.path("watch.stop"), "w").close()
        self.watcher.wait(30)
        return self.seen()

    def settle(self, timeout=60):
        """Waits until every program of the prefix has ended (an uninstaller
        goes on from its copy in Temp after the started one returned)."""
        try:
            subprocess.run(["wineserver", "-w"], timeout=timeout, stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            subprocess.run(["wineserver", "-k"], stdin=subprocess.DEVNULL)
            raise AssertionError("programs of the prefix still running after %d s" % timeout)


# --- what an installation leaves -------------------------------------------------------


def shortcuts(folder, product_code=None):
    """Start Menu shortcut -> (target, arguments); the package's removal
    shortcut runs msiexec."""
    links = {
        "Quendro.lnk": (folder + "\\quendro.exe", ""),
        "ログ ファイル.lnk": ("C:\\windows\\notepad.exe", '"%s\\log.txt"' % folder),
        "ヘルプ.lnk": ("C:\\windows\\winhlp32.exe", '"%s\\DAVIRAZ.OVA"' % folder),
        "アンインストール.lnk": (folder + "\\uninst.exe", ""),
    }
    if product_code:
        links["アンインストール.lnk"] = ("C:\\windows\\system32\\msiexec.exe", "/x {%s}" % product_code)
    return links


def start_menu(msi):
    return MSI_START_MENU % os.environ.get("USER", "root") if msi else START_MENU


def read_link(data):
    """(target path, arguments) of a shell link (.lnk): the local path of its
    link information and the arguments of its string data."""
    flags = int.from_bytes(data[20:24], "little")
    at = 76
    if flags & 0x01:  # an item ID list
        at += 2 + int.from_bytes(data[at:at + 2], "little")
    target = None
    if flags & 0x02:  # link information
        info = data[at:at + int.from_bytes(data[at:at + 4], "little")]
        header, info_flags = int.from_bytes(info[4:8], "little"), int.from_bytes(info[8:12], "little")

        def field(offset):
            return int.from_bytes(info[offset:offset + 4], "little")

        def ansi(offset):
            return info[offset:info.index(b"\0", offset)].decode("cp932")

        def wide(offset):
            end = offset
            while info[end:end + 2] != b"\0\0":
                end += 2
            return info[offset:end].decode("utf-16-le")
        if info_flags & 1:
            if header >= 0x24 and field(28):
                target = wide(field(28)) + wide(field(32))
            else:
                target = ansi(field(16)) + ansi(field(24))
        at += len(info)
    strings = []
    unicode = flags & 0x80
    for bit in (0x04, 0x08, 0x10, 0x20, 0x40):  # name, relative path, working folder, arguments, icon
        if flags & bit:
            count = int.from_bytes(data[at:at + 2], "little")
            size = count * (2 if unicode else 1)
            raw = data[at + 2:at + 2 + size]
            strings.append((bit, raw.decode("utf-16-le") if unicode else raw.decode("cp932")))
            at += 2 + size
    # Wine counts the terminating zero of a string.
    return target, dict(strings).get(0x20, "").rstrip("\0")


def uninst_key(msi_version=None):
    """The Add/Remove Programs key of setup.exe, or of the package of a version."""
    if msi_version:
        return UNINST_KEY.rsplit("\\", 1)[0] + "\\{%s}" % release.product_code(msi_version)
    return UNINST_KEY


class InstallChecks(unittest.TestCase):
    """Checks shared by the cases that install."""

    def check_main_job(self, row, folder):
        """The main job, from the installed exe, against the stand-in console; its log.txt."""
        with open(row.path("map.txt"), "w") as f:
            f.write("C: %s\n" % e2e.NORMAL)
        env = {"QUENDRO_STANDIN_MAP": row.path("map.txt"), "QUENDRO_STANDIN_RECORD": row.path("console.txt")}
        row.watch()
        rc = row.run([folder + "\\quendro.exe", "C:", "/E"], "quendro", env)
        row.run([OPTS.helper, "closeconsoles", row.path("closeconsoles.txt")], "closeconsoles", env)
        self.assertEqual(row.stop_watching(), [], "message boxes")
        self.assertEqual(rc, 0, "quendro.exe exit code")
        log = read(host_path(folder + "\\log.txt"))
        self.assertEqual(e2e.mask(log), e2e.block(["C:" + e2e.STARTED, "C:" + e2e.COMPLETED]),
                         "log.txt beside the installed exe")
        self.assertEqual(e2e.parse_console_record(row.path("console.txt")), [e2e.normal_console("C:")])
        return log

    def check_installed(self, row, folder, rel, msi=False):
        files = rel.files()
        expected = sorted(files) + ([] if msi else ["uninst.exe"])
        self.assertEqual(sorted(os.listdir(host_path(folder))), sorted(expected), "installed files")
        for name, data in files.items():
            self.assertEqual(read(host_path(folder + "\\" + name)), data, name + " as in the zip")
        if msi:
            self.check_registered(row, folder, rel, msi)
            return
        self.check_registered(row, folder, rel, msi)
        # The uninstaller is written at install time from the same stub.
        faults = release.pe_faults("i686-w64-mingw32-objdump", host_path(folder + "\\uninst.exe"),
                                   release.read_allowlist(os.path.join(ROOT, "installer", "stub-imports.txt")),
                                   release.check_imports_module())
        self.assertEqual(faults, [], "the uninstaller would not run on Windows 2000")

    def check_registered(self, row, folder, rel, msi):
        rc, values = row.reg_query(HELP_KEY, "DAVIRAZ.OVA", "reg-help")
        self.assertEqual((rc, values.get("DAVIRAZ.OVA")), (0, ("REG_SZ", folder)), "help file registration")
        rc, values = row.reg_query(EVENT_KEY, None, "reg-event")
        self.assertEqual((rc, values), (0, {"EventMessageFile": ("REG_EXPAND_SZ", folder + "\\quendro.exe"),
                                            "TypesSupported": ("REG_DWORD", "0x7")}), "the event source")
        code = release.product_code(rel.version) if msi else None
        rc, values = row.reg_query(uninst_key(msi and rel.version), None, "reg-uninstall")
        self.assertEqual(rc, 0, "the Add/Remove Programs entry")
        if msi:
            # Windows Installer writes the package's entry itself.
            self.assertEqual({k: values.get(k) for k in ("DisplayName", "DisplayVersion", "Publisher",
                                                           "UninstallString", "InstallLocation")},
                             {"DisplayName": ("REG_SZ", "Quendro " + rel.version),
                              "DisplayVersion": ("REG_SZ", release.msi_version(rel.version)),
                              "Publisher": ("REG_SZ", "Quendro Project"),
                              "UninstallString": ("REG_EXPAND_SZ", "MsiExec.exe /X{%s}" % code),
                              "InstallLocation": ("REG_SZ", folder)})
        else:
            self.assertEqual({k: values.get(k) for k in ("DisplayName", "DisplayVersion", "Publisher",
                                                           "UninstallString", "InstallLocation", "DisplayIcon")},
                             {"DisplayName": ("REG_SZ", "Quendro " + rel.version),
                              "DisplayVersion": ("REG_SZ", rel.version),
                              "Publisher": ("REG_SZ", "Quendro Project"),
                              "UninstallString": ("REG_SZ", '"%s\\uninst.exe"' % folder),
                              "InstallLocation": ("REG_SZ", folder),
                              "DisplayIcon": ("REG_SZ", folder + "\\quendro.exe,0")})

        links = shortcuts(folder, code)
        menu = start_menu(msi)
        self.assertEqual(sorted(os.listdir(host_path(menu))), sorted(links), "Start Menu shortcuts")
        for name, (target, arguments) in links.items():
            found = read_link(read(host_path(menu + "\\" + name)))
            self.assertEqual((found[0].lower(), found[1]), (target.lower(), arguments), name)

    def check_uninstalled(self, row, folder, kept, version=None):
        """Everything installed is gone; KEPT {name: bytes} is what stays."""
        self.assertEqual(sorted(os.listdir(host_path(folder))) if os.path.isdir(host_path(folder)) else None,
                         sorted(kept) if kept else None, "what is left of " + folder)
        for name, data in kept.items():
            self.assertEqual(read(host_path(folder + "\\" + name)), data, name + " kept as it was")
        self.assertFalse(os.path.exists(host_path(start_menu(version))), "Start Menu folder removed")
        rc, values = row.reg_query(HELP_KEY, "DAVIRAZ.OVA", "reg-help-after")
        self.assertNotEqual(rc, 0, "help file registration removed: %r" % values)
        rc, values = row.reg_query(uninst_key(version), None, "reg-uninstall-after")
        self.assertNotEqual(rc, 0, "Add/Remove Programs entry removed: %r" % values)
        rc, values = row.reg_query(EVENT_KEY, None, "reg-event-after")
        self.assertNotEqual(rc, 0, "event source removed: %r" % values)


# --- the cases -------------------------------------------------------------------------------

# Silent install options -> the at command line recorded, the exit code, and
# whether the files are installed. Times are written HH:MM (a leading 0 is
# not octal), days in at's order, blanks between arguments made single.
SCHEDULE_ROWS = [
    dict(name="weekly", options='/AT=8:09 /EVERY=su,m,Th /ARGS="c:  D: /e"', folder=DEFAULT_DIR,
         at='08:09 /interactive /every:M,Th,Su "\\"%s\\quendro.exe\\" c: D: /e"'),
    dict(name="every_day_not_interactive", options='/AT=23:59 /EVERY=M,T,W,Th,F,S,Su /ARGS="E: C: /s /E" '
         '/INTERACTIVE=0 /D=' + JAPANESE_DIR, folder=JAPANESE_DIR,
         at='23:59 /every:M,T,W,Th,F,S,Su "\\"%s\\quendro.exe\\" E: C: /s /E"'),
    # Every fixed drive, for machines whose drives differ.
    dict(name="every_fixed_drive", options='/AT=03:00 /ARGS="/a  /E"', folder=DEFAULT_DIR,
         at='03:00 /interactive /every:Su "\\"%s\\quendro.exe\\" /a /E"'),
    dict(name="defaults_of_the_page", options="/AT=00:00", folder=DEFAULT_DIR,
         at='00:00 /interactive /every:Su "\\"%s\\quendro.exe\\" C: /E"'),
    # Not silent: the page shows the preset values and the installer takes
    # them from its controls.
    dict(name="through_the_pages", wizard=True, options='/AT=8:09 /EVERY=su,m,Th /ARGS="c:  D: /e" /INTERACTIVE=0 '
         '/D=C:\\ページ表', folder="C:\\ページ表", at='08:09 /every:M,Th,Su "\\"%s\\quendro.exe\\" c: D: /e"',
         edits=["8:09", "c:  D: /e"], checked=["at コマンドで定期実行を登録する(&A)", "月", "木", "日"]),
    dict(name="no_schedule", options="", folder=DEFAULT_DIR, at=None),
    dict(name="at_fails", options="/AT=03:00", folder=DEFAULT_DIR, at_exit=1, exit=3,
         at='03:00 /interactive /every:Su "\\"%s\\quendro.exe\\" C: /E"'),
] + [
    dict(name="refused_" + name, options=options + " /D=C:\\refused\\" + name, folder="C:\\refused\\" + name,
         at=None, exit=2, installed=False)
    for name, options in [("hour_24", "/AT=24:00"), ("one_digit_minute", "/AT=7:5"), ("minute_60", "/AT=12:60"),
                          ("no_time", "/AT="), ("unknown_day", "/AT=03:00 /EVERY=Mo"),
                          ("no_day", '/AT=03:00 /EVERY=""'), ("unknown_switch", '/AT=03:00 /ARGS="C: /X"'),
                          ("drive_with_backslash", '/AT=03:00 /ARGS="C:\\"'),
                          ("no_drive", '/AT=03:00 /ARGS="/E /S"'), ("slash_ax", '/AT=03:00 /ARGS="/AX /E"'),
                          ("a_slash", '/AT=03:00 /ARGS="A/ /E"')]
] + [
    # The installer's own /S and /D= inside /ARGS: refused, wizard or not.
    dict(name="args_with_installer_s", options='/AT=03:00 /ARGS="C: /S /E" /D=C:\\refused\\args_s', silent=False,
         folder="C:\\refused\\args_s", at=None, exit=2, installed=False),
    dict(name="args_with_installer_d", options='/AT=03:00 /ARGS="C: /D=C:\\refused\\args_d"',
         folder="C:\\refused\\args_d", at=None, exit=2, installed=False),
    # The form that works: quendro.exe reads its switches without case.
    dict(name="args_lower_s", options='/AT=03:00 /ARGS="C: /s /e"', folder=DEFAULT_DIR,
         at='03:00 /interactive /every:Su "\\"%s\\quendro.exe\\" C: /s /e"'),
]

# The package's schedule properties -> the at command line recorded (None: at
# must not run), as setup.exe's rows above; a bad value installs nothing and
# the log names the property.
MSI_SCHEDULE_ROWS = [
    dict(name="weekly", props='SCHEDULE_TIME=8:09 SCHEDULE_DAYS=su,m,Th SCHEDULE_ARGS="c:  D: /e"',
         at='08:09 /interactive /every:M,Th,Su "\\"%s\\quendro.exe\\" c: D: /e"'),
    dict(name="every_fixed_drive", props='SCHEDULE_TIME=03:00 SCHEDULE_ARGS="/A /e"',
         at='03:00 /interactive /every:Su "\\"%s\\quendro.exe\\" /A /e"'),
    dict(name="defaults", props="SCHEDULE_TIME=00:00", at='00:00 /interactive /every:Su "\\"%s\\quendro.exe\\" C: /E"'),
    dict(name="japanese_folder", props='SCHEDULE_TIME=23:59 SCHEDULE_DAYS=M,T,W,Th,F,S,Su SCHEDULE_ARGS="E: C: /S /E" '
         'INSTALLDIR="%s"' % JAPANESE_DIR, folder=JAPANESE_DIR,
         at='23:59 /interactive /every:M,T,W,Th,F,S,Su "\\"%s\\quendro.exe\\" E: C: /S /E"'),
    dict(name="no_schedule", props="", at=None),
    dict(name="not_interactive", props="SCHEDULE_TIME=03:00 SCHEDULE_INTERACTIVE=0",
         at='03:00 /every:Su "\\"%s\\quendro.exe\\" C: /E"'),
] + [
    dict(name="refused_" + name, props=props, at=None, refused=refused)
    for name, props, refused in [
        ("hour_24", "SCHEDULE_TIME=24:00", "SCHEDULE_TIME: 時刻 24:00 は使えません。"),
        ("one_digit_minute", "SCHEDULE_TIME=7:5", "SCHEDULE_TIME: 時刻 7:5 は使えません。"),
        ("minute_60", "SCHEDULE_TIME=12:60", "SCHEDULE_TIME: 時刻 12:60 は使えません。"),
        ("unknown_day", "SCHEDULE_TIME=03:00 SCHEDULE_DAYS=Mo", "SCHEDULE_DAYS: 曜日 Mo は使えません"),
        ("empty_day", "SCHEDULE_TIME=03:00 SCHEDULE_DAYS=M,,T", "SCHEDULE_DAYS: 曜日  は使えません"),
        ("unknown_switch", 'SCHEDULE_TIME=03:00 SCHEDULE_ARGS="C: /X"', "SCHEDULE_ARGS: /X はドライブ"),
        ("drive_with_backslash", 'SCHEDULE_TIME=03:00 SCHEDULE_ARGS="C:\\"', "SCHEDULE_ARGS: C:\\ はドライブ"),
        ("no_drive", 'SCHEDULE_TIME=03:00 SCHEDULE_ARGS="/E /S"', "SCHEDULE_ARGS: デフラグするドライブを指定"),
        ("slash_ax", 'SCHEDULE_TIME=03:00 SCHEDULE_ARGS="/AX /E"', "SCHEDULE_ARGS: /AX はドライブ"),
        ("days_without_time", "SCHEDULE_DAYS=M", "SCHEDULE_TIME とともに指定してください"),
        ("interactive_2", "SCHEDULE_TIME=03:00 SCHEDULE_INTERACTIVE=2", "SCHEDULE_INTERACTIVE: 2 は使えません"),
    ]
]
# Other jobs, which a removal must leave: another installation's, and
# programs that name this installation's exe in their arguments.
OTHER_COMMANDS = ['"C:\\Other\\quendro.exe" C: /E',
                  'cmd.exe /c copy "%s\\quendro.exe" D:\\bak\\' % DEFAULT_DIR,
                  '"C:\\Tools\\watch.exe" /kill %s\\quendro.exe' % DEFAULT_DIR]
OTHER_JOB = "".join("%d\tSu\t03:00\t%s\n" % (i, c) for i, c in enumerate(OTHER_COMMANDS, 1))

UNINSTALL_ROWS = [
    dict(name="log_deleted", answer=IDYES, kept=False),
    dict(name="log_kept", answer=IDNO, kept=True),
]


class HostTest(unittest.TestCase):
    """The artifacts and the release's checks, on the build machine."""

    def test_package(self):
        rel = OPTS.release
        with zipfile.ZipFile(rel.zip) as z:
            infos = z.infolist()
        self.assertEqual([zip_name(i) for i in infos], release.PAYLOAD, "the zip's listing, in order")
        for info in infos:
            self.assertEqual(info.flag_bits & 0x800, 0, "names in code page 932, not UTF-8")
            self.assertEqual(info.compress_type, zipfile.ZIP_DEFLATED)
            self.assertEqual(info.create_system, 0, "MS-DOS attributes")
        # The other files are those of the build (or the case would have been skipped).
        files = rel.files()

        for name, encoding in ((release.README, "cp932"), (release.LICENSE, "ascii")):
            data = files[name]
            text = data.decode(encoding)  # strict: every byte sequence valid
            self.assertTrue(data.endswith(b"\r\n"), name + " ends with CR LF")
            self.assertEqual(re.findall(rb"\r(?!\n)|(?<!\r)\n", data), [], name + ": only CR LF line ends")
            self.assertNotIn("@", text, name + ": no placeholder left")
        readme = files[release.README].decode("cp932")
        for needed in ("Quendro %s" % rel.version, "quendro-%s-setup.exe" % rel.version, DEFAULT_DIR,
                       "log.txt", "Administrators、SYSTEM    フル コントロール", '/ARGS="C: D: /e /s"',
                       "SCHEDULE_INTERACTIVE=0", "Copyright (C) 2026 Quendro Project"):
            self.assertIn(needed, readme)
        with open(os.path.join(ROOT, "LICENSE"), encoding="ascii") as f:
            self.assertEqual(files[release.LICENSE], f.read().replace("\n", "\r\n").encode("ascii"))
        self.assertIn(b"MIT License\r\n\r\nCopyright (C) 2026 Quendro Project\r\n", files[release.LICENSE])

        sums = read(rel.sums).decode("ascii").splitlines()
        self.assertEqual([l.split("  ", 1)[1] for l in sums],
                         [os.path.basename(rel.zip), os.path.basename(rel.setup), os.path.basename(rel.msi)],
                         "SHA256SUMS names")
        for line in sums:
            digest, name = line.split("  ", 1)
            self.assertEqual(hashlib.sha256(read(os.path.join(OPTS.dist, name))).hexdigest(), digest, name)

    def test_stub_check(self):
        """The release's check of the installer finds what would stop it on
        Windows 2000, in a copy of the real installer with one header field or
        the allowlist changed."""
        rel = OPTS.release
        allowlist = os.path.join(ROOT, "installer", "stub-imports.txt")
        allowed = release.read_allowlist(allowlist)
        data = read(rel.setup)
        pe = int.from_bytes(data[0x3C:0x40], "little")
        optional = pe + 24
        rows = [
            ("as built", {}, allowed, []),
            ("subsystem 6.0", {optional + 48: 6}, allowed, ["MajorSubsystemVersion.MinorSubsystemVersion is 6.0"]),
            ("OS version 5.1", {optional + 40: 5, optional + 42: 1}, allowed, ["MajorOSystemVersion.MinorOSystemVersion is 5.1"]),
            ("console subsystem", {optional + 68: 3}, allowed, ["subsystem 00000003"]),
            ("an import not allowed", {}, allowed - {("kernel32.dll", "getversionexw")},
             ["kernel32.dll!GetVersionExW: not in the allowlist"]),
        ]
        check_imports = release.check_imports_module()
        os.makedirs(OPTS.work, exist_ok=True)
        for name, patch, allow, expected in rows:
            with self.subTest(row=name):
                copy = bytearray(data)
                for offset, value in patch.items():
                    copy[offset:offset + 2] = value.to_bytes(2, "little")
                path = os.path.join(OPTS.work, "setup.exe")
                with open(path, "wb") as f:
                    f.write(copy)
                faults = release.pe_faults("i686-w64-mingw32-objdump", path, allow, check_imports)
                self.assertEqual([e for e in expected if not any(f.startswith(e) for f in faults)], [],
                                 "faults found: %r" % faults)
                self.assertEqual(len(faults), len(expected), "faults found: %r" % faults)
        self.assertEqual(release.packed_plugins(rel.setup), ["System.dll", "nsDialogs.dll", "nsExec.dll", "setuphelp.dll"],
                         "the plugins the installer packs, all checked")


def msi_table(path, table):
    """A table of the package as rows of text (msiinfo export, UTF-8)."""
    out = subprocess.run(["msiinfo", "export", path, table], check=True, capture_output=True).stdout.decode("utf-8")
    return [line.split("\t") for line in out.split("\r\n")[3:] if line]


def msi_summary(path, work):
    """The package's summary information {property id: value}, read from its
    compound file's stream as Windows Installer reads it."""
    shutil.rmtree(work, ignore_errors=True)
    subprocess.run(["7zz", "e", "-tCompound", "-y", "-o" + work, path, "[5]SummaryInformation"], check=True,
                   capture_output=True)
    data = read(os.path.join(work, "[5]SummaryInformation"))
    section = int.from_bytes(data[44:48], "little")
    count = int.from_bytes(data[section + 4:section + 8], "little")
    props = {}
    for i in range(count):
        at = section + 8 + 8 * i
        pid, offset = int.from_bytes(data[at:at + 4], "little"), int.from_bytes(data[at + 4:at + 8], "little")
        value = data[section + offset:]
        kind = int.from_bytes(value[:4], "little")
        if kind == 2:  # VT_I2
            props[pid] = int.from_bytes(value[4:6], "little", signed=True)
        elif kind == 3:  # VT_I4
            props[pid] = int.from_bytes(value[4:8], "little", signed=True)
        elif kind == 30:  # VT_LPSTR, in the summary's code page
            props[pid] = value[8:8 + int.from_bytes(value[4:8], "little")].rstrip(b"\0").decode("cp932")
    return props


class MsiHostTest(unittest.TestCase):
    def test_msi_tables(self):
        """The package's tables and summary, as Windows 2000's Installer 1.1
        and Group Policy read them."""
        rel = OPTS.release
        path = rel.msi
        props = dict(msi_table(path, "Property"))
        code = release.product_code(rel.version)
        self.assertEqual({k: props.get(k) for k in ("ProductLanguage", "ALLUSERS", "ProductVersion", "ProductCode",
                                                      "UpgradeCode", "ProductName", "Manufacturer")},
                         {"ProductLanguage": "1041", "ALLUSERS": "1", "ProductVersion": release.msi_version(rel.version),
                          "ProductCode": "{%s}" % code, "UpgradeCode": "{%s}" % release.UPGRADE_CODE,
                          "ProductName": "Quendro " + rel.version, "Manufacturer": "Quendro Project"})
        self.assertNotEqual(code, release.product_code("0.90"), "each version its own ProductCode")
        # Properties of a per-machine install reach the server only when secure.
        self.assertTrue({"SCHEDULE_TIME", "SCHEDULE_DAYS", "SCHEDULE_ARGS"} <=
                        set(props["SecureCustomProperties"].split(";")), props["SecureCustomProperties"])
        self.assertIn(["Installed OR VersionNT = 500", release.WRONG_SYSTEM], msi_table(path, "LaunchCondition"))
        version = release.msi_version(rel.version)
        self.assertEqual(sorted((r[1], r[2], r[6]) for r in msi_table(path, "Upgrade")),
                         [("", version, "WIX_UPGRADE_DETECTED"), (version, "", "WIX_DOWNGRADE_DETECTED")],
                         "earlier versions are removed (major upgrade), a later one refuses")
        self.assertIn("RemoveExistingProducts", dict((r[0], r) for r in msi_table(path, "InstallExecuteSequence")))
        self.assertEqual(sorted((r[0], r[1], r[2], r[3]) for r in msi_table(path, "CustomAction")),
                         [("AddSchedule", "3073", "QuendroActions", "AddSchedule"),
                          ("Prepare", "2049", "QuendroActions", "Prepare"),
                          ("RemoveSchedule", "3073", "QuendroActions", "RemoveSchedule"),
                          ("RestoreSchedule", "3393", "QuendroActions", "RestoreSchedule"),
                          ("SecureFolder", "3073", "QuendroActions", "SecureFolder"),
                          ("UndoAddSchedule", "3393", "QuendroActions", "UndoAddSchedule"),
                          ("UseStoredFolder", "2099", "INSTALLDIR", "[QUENDRO_FOLDER]")],
                         "the DLL's entries; deferred and rollback ones run as LocalSystem")
        sequence = {r[0]: (r[1], int(r[2])) for r in msi_table(path, "InstallExecuteSequence")}
        at = {name: number for name, (_, number) in sequence.items()}
        self.assertLess(at["CostFinalize"], at["Prepare"])
        self.assertLess(at["Prepare"], at["InstallValidate"], "the properties checked first")
        self.assertTrue(at["AppSearch"] < at["UseStoredFolder"] < at["CostFinalize"], "the stored folder, in time")
        self.assertTrue(at["InstallInitialize"] < at["RestoreSchedule"] < at["RemoveSchedule"] < at["RemoveFiles"],
                        "on removal the jobs go first, their rollback before them")
        self.assertTrue(at["InstallInitialize"] < at["RemoveExistingProducts"] < at["InstallFiles"],
                        "an upgrade removes the older one inside its own transaction")
        self.assertTrue(at["InstallFiles"] < at["SecureFolder"] < at["UndoAddSchedule"] < at["AddSchedule"]
                        < at["InstallFinalize"], "the schedule after the files, its rollback before it")
        self.assertEqual(max(n for n in at.values() if n < at["InstallFinalize"]), at["AddSchedule"], "the last step")
        for name in ("AddSchedule", "UndoAddSchedule", "RemoveSchedule", "RestoreSchedule", "SecureFolder"):
            self.assertEqual(sequence[name][0], name, "run when Prepare set its data")
        self.assertTrue({"SCHEDULE_INTERACTIVE", "QUENDRO_FOLDER", "QUENDRO_SCHEDULE"} <=
                        set(props["SecureCustomProperties"].split(";")))
        self.assertEqual(props.get("SCHEDULE_INTERACTIVE"), "1")
        self.assertEqual(sorted(tuple(r) for r in msi_table(path, "RegLocator")),
                         [("StoredFolder", "2", "SOFTWARE\\Quendro", "InstallDir", "2"),
                          ("StoredSchedule", "2", "SOFTWARE\\Quendro", "Schedule", "2")])
        names = {r[0]: r[2].split("|")[-1] for r in msi_table(path, "File")}
        self.assertEqual(sorted(names.values()), sorted(release.PAYLOAD), "the files of the zip and setup.exe")
        self.assertEqual(sorted(r[2].split("|")[-1] + ".lnk" for r in msi_table(path, "Shortcut")),
                         sorted(shortcuts("X")), "setup.exe's Start Menu entries")
        registry = {(r[2], r[3]): r[4] for r in msi_table(path, "Registry")}
        self.assertEqual(registry[(EVENT_KEY.split("\\", 1)[1], "EventMessageFile")], "#%[INSTALLDIR]quendro.exe")
        self.assertEqual(registry[(EVENT_KEY.split("\\", 1)[1], "TypesSupported")], "#7")
        out = subprocess.run(["msiinfo", "export", path, "_ForceCodepage"], check=True, capture_output=True).stdout
        self.assertEqual(out.replace(b"\0", b"").split(), [b"932", b"_ForceCodepage"], "the tables' code page")
        summary = msi_summary(path, os.path.join(OPTS.work, "summary"))
        self.assertEqual((summary.get(1), summary.get(7), summary.get(14)), (932, "Intel;1041", 110),
                         "summary code page, template, InstallerVersion")
        self.assertEqual(summary.get(15, 0) & 0x8, 0, "per machine: no per-user bit in the word count")
        # The same version builds the same ProductCode.
        work = os.path.join(OPTS.work, "again")
        os.makedirs(os.path.join(work, "payload"))
        for name, data in rel.files().items():
            with open(os.path.join(work, "payload", name), "wb") as f:
                f.write(data)
        actions = os.path.join(work, "actions.dll")
        with open(actions, "wb") as f:
            subprocess.run(["msiinfo", "extract", path, "Binary.QuendroActions"], check=True, stdout=f)
        again = os.path.join(work, "again.msi")
        release.build_msi(again, rel.version, os.path.join(work, "payload"), actions, work)
        self.assertEqual(dict(msi_table(again, "Property"))["ProductCode"], "{%s}" % code)
        for table in ("InstallExecuteSequence", "CustomAction"):
            self.assertEqual(sorted(msi_table(again, table)), sorted(msi_table(path, table)),
                             table + " the same in the next build")


class WineTest(InstallChecks):
    """The installer in the Windows 2000 prefix."""

    def test_install_run_uninstall(self):
        rel = OPTS.release
        for folder, options in ((DEFAULT_DIR, ""), (JAPANESE_DIR, "/D=" + JAPANESE_DIR)):
            with self.subTest(folder=folder):
                row = Row("default" if folder == DEFAULT_DIR else "japanese")
                with open(row.path("jobs.txt"), "w", encoding="utf-8") as f:
                    f.write(OTHER_JOB)
                env = {"QUENDRO_AT_RECORD": row.path("at.txt"), "QUENDRO_AT_JOBS": row.path("jobs.txt")}
                start = time.time()
                # Wine's trace of the call that sets the access list (Wine
                # answers success but keeps its own list: what Windows 2000
                # does with it is proven natively from the same bytes).
                self.assertEqual(row.install("/AT=03:00 " + options, dict(env, WINEDEBUG="trace+advapi")), 0,
                                 "silent install exit code")
                print("  silent install: %.1f s" % (time.time() - start), flush=True)
                self.assertRegex(read(row.path("install.err")).decode("ascii", "replace"),
                                 re.escape("trace:advapi:SetNamedSecurityInfoA %s 1 -2147483643 "
                                           % debugstr_a(folder.encode("cp932"))) + "[0-9A-F]{8} 00000000 [0-9A-F]{8} 00000000",
                                 "the folder given an owner and a protected DACL (0x80000005), no group or SACL")
                self.check_installed(row, folder, rel)
                jobs = lambda: [l.split("\t")[3] for l in read(row.path("jobs.txt")).decode("utf-8").splitlines()]  # noqa: E731
                self.assertEqual(jobs(), OTHER_COMMANDS + ['"%s\\quendro.exe" C: /E' % folder])

                log = self.check_main_job(row, folder)

                self.assertEqual(row.run([folder + "\\uninst.exe", "/S"], "uninstall", env), 0, "uninstaller exit code")
                row.settle()
                self.check_uninstalled(row, folder, {"log.txt": log})
                self.assertEqual(jobs(), OTHER_COMMANDS, "the uninstaller removes its own job only")

    def test_schedule(self):
        for spec in SCHEDULE_ROWS:
            with self.subTest(row=spec["name"]):
                row = Row(spec["name"])
                env = {"QUENDRO_AT_RECORD": row.path("at.txt"), "QUENDRO_AT_EXIT": str(spec.get("at_exit", 0))}
                if spec.get("wizard"):
                    rc, pages = row.through_pages(spec["options"], env)
                    shown = [p for p in pages if "実行する曜日(&W) と時刻 (24 時間制):" in p["statics"]]
                    self.assertEqual([(p["edits"], p["checked"]) for p in shown], [(spec["edits"], spec["checked"])],
                                     "the scheduled-run page, once, with the preset values")
                else:
                    rc = row.install(spec["options"], env, silent=spec.get("silent", True))
                self.assertEqual(rc, spec.get("exit", 0), "installer exit code")
                recorded = read(row.path("at.txt")).decode("utf-8").splitlines()
                if spec["at"] is None:
                    self.assertEqual(recorded, [], "at must not run")
                else:
                    self.assertEqual(recorded, ['"%s" %s' % (AT_EXE, spec["at"] % spec["folder"])], "at's command line")
                    # What at takes as the task's command: its last argument.
                    self.assertEqual(split_command_line(recorded[0])[-1].split('"')[1],
                                     spec["folder"] + "\\quendro.exe", "the task's program, quoted")
                # Rows install over each other; a refused one has a folder of its own.
                installed = os.path.exists(host_path(spec["folder"] + "\\quendro.exe"))
                self.assertEqual(installed, spec.get("installed", True), "files installed")
        with self.subTest(row="args_with_installer_d_in_the_wizard"):
            # Not silent, the refusal is a box.
            row = Row("args_with_installer_d_in_the_wizard")
            row.watch([IDOK])
            rc = row.install('/AT=03:00 /ARGS="C: /E /D=C:\\refused\\wizard_d"', silent=False)
            boxes = row.stop_watching()
            self.assertEqual(rc, 2, "installer exit code")
            self.assertEqual(len(boxes), 1, "one box: %r" % boxes)
            self.assertIn("/S や /D= は書けません", boxes[0]["text"])
            self.assertFalse(os.path.exists(host_path("C:\\refused\\wizard_d")), "nothing installed")

    def test_uninstall_asks(self):
        old_log = e2e.OLD_LOG
        for spec in UNINSTALL_ROWS:
            with self.subTest(row=spec["name"]):
                row = Row(spec["name"])
                self.assertEqual(row.install(), 0, "silent install exit code")
                with open(host_path(DEFAULT_DIR + "\\log.txt"), "wb") as f:
                    f.write(old_log)
                # The uninstaller's window first (its uninstall button, ID 1),
                # then the question.
                row.watch([IDOK, spec["answer"]])
                self.assertEqual(row.run([DEFAULT_DIR + "\\uninst.exe"], "uninstall"), 0)
                asked = lambda: [b for b in row.seen() if b["ids"] == [IDYES, IDNO]]  # noqa: E731
                self.assertTrue(wait_for(asked, 60), "no question about log.txt: %r" % row.seen())
                time.sleep(1)  # the watcher presses the answer after recording the box
                boxes = row.stop_watching()
                row.settle()
                question = asked()[0]["text"]
                self.assertIn(DEFAULT_DIR + "\\log.txt", question)
                self.assertIn("削除しますか", question)
                self.assertEqual(len(boxes), 2, "the uninstaller's window and one question: %r" % boxes)
                self.check_uninstalled(row, DEFAULT_DIR, {"log.txt": old_log} if spec["kept"] else {})

    def test_wrong_system(self):
        rel = OPTS.release
        for version in WRONG_SYSTEM_VERSIONS:
            with self.subTest(version=version):
                row = Row(version)
                row.watch()
                quendro_rc = row.run([os.path.join(OPTS.bin, "quendro-%s.exe" % version)], "quendro")
                setup_rc = row.run([os.path.join(OPTS.bin, "setup-%s.exe" % version)], "setup")
                boxes = row.stop_watching()
                self.assertEqual(quendro_rc, 0, "quendro.exe's exit code on a wrong system")
                self.assertEqual(setup_rc, 2, "the installer's exit code on a wrong system")
                self.assertEqual(len(boxes), 2, "one box from each: %r" % boxes)
                self.assertTrue(boxes[0]["text"], "quendro.exe's refusal")
                self.assertEqual((boxes[1]["text"], boxes[1]["buttons"]), (boxes[0]["text"], boxes[0]["buttons"]),
                                 "the installer refuses with quendro.exe's wording")
                self.assertFalse(os.path.exists(host_path(DEFAULT_DIR)), "nothing installed")
                refusal = boxes[0]["text"]
        with self.subTest(version="winxp, silent"):
            row = Row("winxp_silent")
            self.assertEqual(row.install(setup=os.path.join(OPTS.bin, "setup-winxp.exe")), 0)
            self.assertTrue(os.path.exists(host_path(DEFAULT_DIR + "\\quendro.exe")), "/S installs anyway")
            self.assertEqual(row.run([DEFAULT_DIR + "\\uninst.exe", "/S"], "uninstall"), 0)
            row.settle()
        with self.subTest(version="win2k"):
            # Windows 2000 gets the wizard; cancelling it asks once more.
            row = Row("win2k")
            row.watch([IDCANCEL, IDYES])
            rc = row.run([rel.setup], "setup")
            boxes = row.stop_watching()
            self.assertEqual(rc, 1, "exit code of a cancelled installer")
            self.assertNotIn(refusal, [b["text"] for b in boxes])
            self.assertEqual(len(boxes), 2, "the wizard and the cancel question: %r" % boxes)
            self.assertIn(IDCANCEL, boxes[0]["ids"])


class MsiWineTest(InstallChecks):
    """The Windows Installer package under Wine's own msiexec."""

    def at_env(self, row, jobs=""):
        with open(row.path("jobs.txt"), "w", encoding="utf-8") as f:
            f.write(jobs)
        return {"QUENDRO_AT_RECORD": row.path("at.txt"), "QUENDRO_AT_JOBS": row.path("jobs.txt")}

    def jobs(self, row):
        return [l.split("\t")[3] for l in read(row.path("jobs.txt")).decode("utf-8").splitlines()]

    def test_msi_install(self):
        rel = OPTS.release
        msi = win(OPTS.msi)
        row = Row("install")
        env = self.at_env(row, OTHER_JOB)
        start = time.time()
        self.assertEqual(row.msiexec('/i "%s" /qn SCHEDULE_TIME=3:00' % msi, "install", env), 0, row.msi_log("install"))
        print("  msiexec /i /qn: %.1f s" % (time.time() - start), flush=True)
        self.check_installed(row, DEFAULT_DIR, rel, msi=True)
        command = '"%s\\quendro.exe" C: /E' % DEFAULT_DIR
        self.assertEqual(read(row.path("at.txt")).decode("utf-8").splitlines(),
                         ['"%s" 03:00 /interactive /every:Su "%s"' % (AT_EXE, command.replace('"', '\\"'))])
        self.assertEqual(self.jobs(row), OTHER_COMMANDS + [command])
        self.assertIn("アクセス許可を設定します: %s: 0" % DEFAULT_DIR, row.msi_log("install"),
                      "the folder's access list set (Wine reads back its own default)")

        log = self.check_main_job(row, DEFAULT_DIR)

        start = time.time()
        self.assertEqual(row.msiexec('/x "%s" /qn' % msi, "remove", env), 0, row.msi_log("remove"))
        print("  msiexec /x /qn: %.1f s" % (time.time() - start), flush=True)
        self.check_uninstalled(row, DEFAULT_DIR, {"log.txt": log}, rel.version)
        self.assertEqual(self.jobs(row), OTHER_COMMANDS, "only this installation's job deleted")
        self.assertEqual(read(row.path("at.txt")).decode("utf-8").splitlines()[1:],
                         ['"%s"' % AT_EXE, '"%s" 4 /delete' % AT_EXE], "listed, then deleted by its ID")

    def test_msi_schedule(self):
        msi = win(OPTS.msi)
        for spec in MSI_SCHEDULE_ROWS:
            with self.subTest(row=spec["name"]):
                row = Row(spec["name"])
                folder = spec.get("folder", DEFAULT_DIR)
                env = self.at_env(row)
                rc = row.msiexec('/i "%s" /qn %s' % (msi, spec["props"]), "install", env)
                recorded = read(row.path("at.txt")).decode("utf-8").splitlines()
                if spec.get("refused"):
                    self.assertEqual(rc, 1603, "exit code of a refused install")
                    self.assertIn(spec["refused"], row.msi_log("install"), "the message, in the log")
                    self.assertFalse(os.path.exists(host_path(DEFAULT_DIR)), "nothing installed")
                    rc, values = row.reg_query(EVENT_KEY, None, "reg-event")
                    self.assertNotEqual(rc, 0, "no event source: %r" % values)
                    self.assertEqual(recorded, [], "at must not run")
                    continue
                self.assertEqual(rc, 0, row.msi_log("install"))
                if spec["at"] is None:
                    self.assertEqual(recorded, [], "at must not run")
                else:
                    self.assertEqual(recorded, ['"%s" %s' % (AT_EXE, spec["at"] % folder)], "at's command line")
                    self.assertEqual(split_command_line(recorded[0])[-1].split('"')[1], folder + "\\quendro.exe")
                self.assertEqual(row.msiexec('/x "%s" /qn' % msi, "remove", env), 0, row.msi_log("remove"))
                self.assertEqual(self.jobs(row), [], "the job removed with the product")
                self.assertFalse(os.path.exists(host_path(folder)), "removed")

    def test_msi_upgrade(self):
        """A failed install leaves no job; a package of a lower version in a
        folder of its own, then this one: one product, the later, in that
        folder."""
        rel = OPTS.release
        row = Row("upgrade")
        payload = row.path("payload")
        os.makedirs(payload)
        for name, data in rel.files().items():
            with open(os.path.join(payload, name), "wb") as f:
                f.write(data)
        actions = row.path("actions.dll")
        with open(actions, "wb") as f:
            subprocess.run(["msiinfo", "extract", OPTS.msi, "Binary.QuendroActions"], check=True, stdout=f)
        # This version with a step that fails after the schedule was added
        # (FAIL_INSTALL=1), or after the jobs were deleted on removal
        # (FAIL_REMOVE=1).
        failing = row.path("failing.msi")
        fail_steps = [["-q", "INSERT INTO `Property` (`Property`, `Value`) "
                             "VALUES ('FailingExe', 'C:\\windows\\system32\\cmd.exe')"]]
        for action, condition, after in (("FailAfterSchedule", "FAIL_INSTALL", "AddSchedule"),
                                         ("FailAfterRemoval", "FAIL_REMOVE", "RemoveSchedule")):
            fail_steps += [["-q", "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
                                  "VALUES ('%s', 1074, 'FailingExe', '/c exit 1')" % action],
                           ["-q", "INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) "
                                  "VALUES ('%s', '%s', %d)" % (action, condition, release.RELEASE_SEQUENCE[after] + 1)]]
        release.build_msi(failing, rel.version, payload, actions, row.dir, fail_steps)
        env = self.at_env(row, OTHER_JOB)
        # Windows Installer answers 1603; Wine's msiexec 1627 (measured).
        self.assertIn(row.msiexec('/i "%s" /qn SCHEDULE_TIME=02:00 FAIL_INSTALL=1' % win(failing), "failed", env),
                      (1603, 1627),
                      row.msi_log("failed"))
        added = '"%s" 02:00 /interactive /every:Su "\\"%s\\quendro.exe\\" C: /E"' % (AT_EXE, DEFAULT_DIR)
        self.assertEqual(read(row.path("at.txt")).decode("utf-8").splitlines(),
                         [added, '"%s"' % AT_EXE, '"%s" 4 /delete' % AT_EXE], "added, then removed by the rollback")
        self.assertEqual(self.jobs(row), OTHER_COMMANDS, "no job left by the failed install")
        self.assertFalse(os.path.exists(host_path(DEFAULT_DIR + "\\quendro.exe")), "nothing installed")

        folder = "C:\\Tools\\Quendro"
        older = row.path("quendro-0.90.msi")
        release.build_msi(older, "0.90", payload, actions, row.dir)
        self.assertEqual(row.msiexec('/i "%s" /qn SCHEDULE_TIME=01:00 INSTALLDIR=%s\\' % (win(older), folder), "old", env),
                         0, row.msi_log("old"))
        rc, values = row.reg_query(uninst_key("0.90"), "DisplayVersion", "reg-old")
        self.assertEqual((rc, values.get("DisplayVersion")), (0, ("REG_SZ", "0.90.0")), "the older one installed")
        self.assertEqual(len(self.jobs(row)), len(OTHER_COMMANDS) + 1)
        self.assertEqual(row.msiexec('/i "%s" /qn' % win(OPTS.msi), "new", env), 0, row.msi_log("new"))
        rc, values = row.reg_query(uninst_key("0.90"), None, "reg-old-after")
        self.assertNotEqual(rc, 0, "the older entry removed: %r" % values)
        self.check_installed(row, folder, rel, msi=True)
        self.assertFalse(os.path.exists(host_path(DEFAULT_DIR)), "not moved to the default folder")
        self.assertEqual(self.jobs(row), OTHER_COMMANDS, "the older installation's job went with it")
        self.assertEqual(row.msiexec('/x "%s" /qn' % win(OPTS.msi), "remove", env), 0, row.msi_log("remove"))
        self.check_uninstalled(row, folder, {}, rel.version)

        # A removal that fails after deleting the job adds it again.
        self.assertEqual(row.msiexec('/i "%s" /qn SCHEDULE_TIME=04:00' % win(failing), "scheduled", env), 0,
                         row.msi_log("scheduled"))
        ours = '"%s\\quendro.exe" C: /E' % DEFAULT_DIR
        self.assertEqual(self.jobs(row), OTHER_COMMANDS + [ours])
        self.assertIn(row.msiexec('/x "%s" /qn FAIL_REMOVE=1' % win(failing), "failed-remove", env), (1603, 1627),
                      row.msi_log("failed-remove"))
        self.assertRegex(row.msi_log("failed-remove"), r"at \d+ /delete: 0", "the job was deleted first")
        self.assertEqual(self.jobs(row), OTHER_COMMANDS + [ours], "the deleted job added again")
        self.assertEqual(row.msiexec('/x "%s" /qn' % win(failing), "remove-failing", env), 0,
                         row.msi_log("remove-failing"))
        self.assertEqual(self.jobs(row), OTHER_COMMANDS)

    def test_msi_wrong_system(self):
        # Silent: refused, nothing installed. Wine's msiexec neither shows nor
        # logs a launch condition's text at /qn (measured); with a basic UI
        # it shows the text in a box.
        row = Row("winxp_silent")
        self.assertEqual(row.msiexec('/i "%s" /qn' % win(OPTS.msi), "install"), 1603, row.msi_log("install"))
        self.assertIn("LaunchConditions。 戻り値 0。", row.msi_log("install"), "the launch condition failed")
        self.assertFalse(os.path.exists(host_path(DEFAULT_DIR)), "nothing installed")
        row = Row("winxp_basic_ui")
        row.watch([IDOK])
        rc = row.msiexec('/i "%s" /qb' % win(OPTS.msi), "install")
        boxes = row.stop_watching()
        self.assertEqual(rc, 1603)
        self.assertEqual([b["text"] for b in boxes], [release.WRONG_SYSTEM], "quendro.exe's wording in a box")
        self.assertFalse(os.path.exists(host_path(DEFAULT_DIR)), "nothing installed")


def debugstr_a(data):
    """DATA as Wine's debugstr_a writes it in a trace."""
    escapes = {0x0A: "\\n", 0x0D: "\\r", 0x09: "\\t", 0x22: '\\"', 0x5C: "\\\\"}
    return '"%s"' % "".join(escapes.get(b, chr(b) if 32 <= b <= 126 else "\\x%02x" % b) for b in data)


def split_command_line(line):
    """The arguments a Windows program's C runtime makes of LINE."""
    args, i, n = [], 0, len(line)
    while i < n:
        while i < n and line[i] in " \t":
            i += 1
        if i >= n:
            break
        arg, quoted = "", False
        while i < n and (quoted or line[i] not in " \t"):
            slashes = 0
            while i < n and line[i] == "\\":
                slashes += 1
                i += 1
            if i < n and line[i] == '"':
                arg += "\\" * (slashes // 2)
                if slashes % 2:
                    arg += '"'
                else:
                    quoted = not quoted
                i += 1
            else:
                arg += "\\" * slashes
                if i < n and (quoted or line[i] not in " \t"):
                    arg += line[i]
                    i += 1
        args.append(arg)
    return args


# --- commands -------------------------------------------------------------------------------

CASES = {"package": HostTest, "stub_check": HostTest, "install_run_uninstall": WineTest,
         "schedule": WineTest, "uninstall_asks": WineTest, "wrong_system": WineTest, "msi_tables": MsiHostTest,
         "msi_install": MsiWineTest, "msi_schedule": MsiWineTest, "msi_upgrade": MsiWineTest,
         "msi_wrong_system": MsiWineTest}


def run_suite(case):
    suite = unittest.defaultTestLoader.loadTestsFromName("test_" + case, CASES[case])
    return 0 if unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite).wasSuccessful() else 1


def prepare_prefix(prefix):
    """The case's prefix: a clone of the template with the stand-in at.exe."""
    rc = winetest.clone(OPTS.template, prefix, os.path.join(OPTS.work, "clone.log"))
    if rc:
        return rc
    shutil.copy2(OPTS.atstub, os.path.join(prefix, "drive_c", "windows", "system32", "at.exe"))
    if OPTS.case == "msi_wrong_system":
        with open(os.path.join(prefix, "user.reg"), "a") as reg:
            reg.write('\n[Software\\\\Wine\\\\AppDefaults\\\\msiexec.exe] %d\n"Version"="winxp"\n' % time.time())
    if OPTS.case == "wrong_system":
        with open(os.path.join(prefix, "user.reg"), "a") as reg:
            for version in WRONG_SYSTEM_VERSIONS:
                for exe in ("quendro-%s.exe" % version, "setup-%s.exe" % version):
                    reg.write('\n[Software\\\\Wine\\\\AppDefaults\\\\%s] %d\n"Version"="%s"\n'
                              % (exe, time.time(), version))
    return 0


def main():
    global OPTS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    for name in ("work", "build", "dist", "template", "helper", "atstub", "wizard"):
        parser.add_argument("--" + name, required=True, type=os.path.abspath)
    for name in ("setup", "msi", "bin", "prefix"):
        parser.add_argument("--" + name, type=os.path.abspath, help=argparse.SUPPRESS)
    OPTS = parser.parse_args()
    OPTS.release = Release()
    if CASES[OPTS.case] in (WineTest, MsiWineTest):
        # The installer's stubs are i686 programs: only the shipped32 way runs them.
        try:
            winetest.use_way(OPTS.helper, OPTS.atstub, OPTS.wizard, quiet=OPTS.inside)
        except winetest.WayUnavailable as e:
            print("cannot run: %s" % e, flush=True)
            return 1
    if OPTS.inside:
        return run_suite(OPTS.case)

    why = OPTS.release.unusable()
    if why:
        print("release tests: %s; run ./scripts/release.sh" % why)
        return 1 if os.environ.get("QUENDRO_RELEASE_REQUIRED") else SKIP
    shutil.rmtree(OPTS.work, ignore_errors=True)
    os.makedirs(OPTS.work)
    if CASES[OPTS.case] in (HostTest, MsiHostTest):
        return run_suite(OPTS.case)

    start = time.time()
    # The case's own copies: a rebuild or a new release during the run must
    # not change them under it.
    bin_dir = os.path.join(OPTS.work, "bin")
    os.makedirs(bin_dir)
    setup = os.path.join(bin_dir, os.path.basename(OPTS.release.setup))
    shutil.copy2(OPTS.release.setup, setup)
    msi = os.path.join(bin_dir, os.path.basename(OPTS.release.msi))
    shutil.copy2(OPTS.release.msi, msi)
    copies = {}
    for name in ("helper", "wizard"):
        copies[name] = os.path.join(bin_dir, os.path.basename(getattr(OPTS, name)))
        shutil.copy2(getattr(OPTS, name), copies[name])
    for version in WRONG_SYSTEM_VERSIONS if OPTS.case == "wrong_system" else []:
        shutil.copy2(setup, os.path.join(bin_dir, "setup-%s.exe" % version))
        with open(os.path.join(bin_dir, "quendro-%s.exe" % version), "wb") as f:
            f.write(OPTS.release.files()["quendro.exe"])
    prefix = os.path.join(OPTS.work, "prefix")
    rc = prepare_prefix(prefix)
    if rc:
        return rc
    args = [OPTS.case, "--inside", "--setup", setup, "--msi", msi, "--bin", bin_dir, "--prefix", prefix]
    for name in ("work", "build", "dist", "template", "atstub"):
        args += ["--" + name, getattr(OPTS, name)]
    for name, path in copies.items():
        args += ["--" + name, path]
    rc = winetest.run(prefix, [sys.executable, os.path.abspath(__file__)] + args)
    print("case %s: %.1f s" % (OPTS.case, time.time() - start))
    return winetest.finish(prefix, rc)


if __name__ == "__main__":
    sys.exit(main())
