#!/usr/bin/env python3
"""Wine end-to-end tests of designer.exe and of the values stored in quendro.exe.

    cmake --build build/win32 -j2
    ctest --test-dir build/win32 -R designer -j4 --output-on-failure

Each ctest test is one case in its own copy of the end-to-end template prefix
(fixture e2e_prefix) on a display of its own. Every row of a case leaves its
files in build/win32/tests/designer-wine/CASE/ROW: boxes.jsonl (the watcher's
record), each program's .out/.err, the descriptions. Any box a row does not
expect fails it. The exact command line of a case is in that folder's
CTestTestfile.cmake.
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

WINEPREFIX_SH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wineprefix.sh")
OPTS = None

NOTICE = ("Warning", "Please note: The backup-feature has been changed.\rBackups will now include "
          "subfolders under ProjectPath\rand the BackupPath is now the backup-root.\r\r"
          "Please see the helpfile for more info.", [1])
STARTED = "2001/09/24 13:04:31: Project started."
# Stored property -> version string the component fills from it.
VERSION_KEYS = {"Comment": "Comments", "Company": "CompanyName", "Copyright": "LegalCopyright",
                "Description": "FileDescription", "Productname": "ProductName",
                "ProductVersion": "ProductVersion", "OriginalName": "OriginalFilename",
                "Trademarks": "LegalTrademarks", "SpecialBuild": "SpecialBuild", "PrivateBuild": "PrivateBuild"}
TRANSLATIONS = {"lanUS_English": "0409", "lanJapanese": "0411", "csMultilingual": "04E4"}


def win(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def lower_ascii(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


# --- the stored description, read and written without the component ------------

STR = r"(?:'(?:[^']|'')*'|#\d+)+"


def unquote(text):
    return "".join(chr(int(m.group(2))) if m.group(2) else m.group(1).replace("''", "'")
                   for m in re.finditer(r"'((?:[^']|'')*)'|#(\d+)", text))


def parse_dfm(data):
    """{object: {property: value}} of the designer's layout: one property a
    line, list items one a line."""
    objs, props, items = {}, None, None
    for line in data.decode("cp932").splitlines():
        if items is not None:
            m = re.fullmatch(r"\s*(%s)(\)?)" % STR, line)
            items.append(unquote(m.group(1)))
            items = None if m.group(2) else items
        elif re.fullmatch(r"\s*object \w+: \w+", line):
            props = objs.setdefault(line.split()[1][:-1], {})
        elif line.strip() != "end":
            key, value = re.fullmatch(r"\s*([\w.]+) = (.*)", line).groups()
            if value == "(":
                items = props[key] = []
            else:
                props[key] = (unquote(value) if re.fullmatch(STR, value) else
                              int(value) if re.fullmatch(r"-?\d+", value) else value)
    return objs


def description(folder, **changes):
    """Writes FOLDER/D.dfm (code page 932) whose paths are FOLDER; its bytes."""
    props = {"Build": 3, "Log.Strings": [STARTED], "Version": "1.00", "AutoBackup": False,
             "BackupPath": win(folder), "ProjectPath": win(folder)}
    props.update(changes)

    def fmt(v):
        if isinstance(v, bool):
            return str(v)
        if isinstance(v, list):
            return "(" + "".join("\r\n      " + fmt(line) for line in v) + ")"
        return str(v) if isinstance(v, int) else "'" + v.replace("'", "''") + "'"
    rows = ["object Form1: TForm1", "  object QUENDRO: TProject"]
    rows += ["    %s = %s" % kv for kv in ((k, fmt(v)) for k, v in props.items())] + ["  end", "end", ""]
    data = "\r\n".join(rows).encode("cp932")
    with open(os.path.join(folder, "D.dfm"), "wb") as f:
        f.write(data)
    return data


def version_strings(props, name):
    """The string table the component makes of a component's stored values."""
    table = {"str." + VERSION_KEYS[k]: v for k, v in props.items()
             if k in VERSION_KEYS and v and not v.startswith("<")}
    table.update({"str.InternalName": name.replace("_", " "),
                  "str.FileVersion": "%s.%d" % (props["Version"], props.get("Build", 0))})
    return table


def fixed(version):
    n = [int(p) for p in version.split(".")] + [0] * 4
    return "%08X.%08X" % (n[0] << 16 | n[1], n[2] << 16 | n[3])


def events(log):
    return [line.split(": ", 1)[1] for line in log]


# --- running Wine programs --------------------------------------------------------


class Row:
    """One row's folder, its box watcher (pressing ANSWERS) and its programs."""

    def __init__(self, name, answers=()):
        self.dir = os.path.join(OPTS.work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.boxes_file = self.path("boxes.jsonl")
        answer_arg = [",".join(map(str, answers))] if answers else []
        self.watcher = self.start(OPTS.helper, ["watch", self.boxes_file, self.path("watch.stop")] + answer_arg,
                                  "watch")
        assert self.wait(lambda: b'"ready"' in read(self.boxes_file)), "the box watcher did not start"

    def path(self, *names):
        return os.path.join(self.dir, *names)

    @staticmethod
    def wait(predicate, timeout=30):
        end = time.time() + timeout
        while not predicate() and time.time() < end:
            time.sleep(0.05)
        return predicate()

    def start(self, exe, args, name):
        # Output to files: Wine's background processes keep inherited pipes open.
        with open(self.path(name + ".out"), "wb") as out, open(self.path(name + ".err"), "wb") as err:
            return subprocess.Popen(["wine", exe] + list(args), stdout=out, stderr=err,
                                    stdin=subprocess.DEVNULL, cwd=self.dir)

    def run(self, exe, args, name):
        proc = self.start(exe, args, name)
        try:
            rc = proc.wait(60)
        except subprocess.TimeoutExpired:
            proc.kill()
            rc = None
        return rc, read(self.path(name + ".out")), read(self.path(name + ".err"))

    def designer(self, *args, name="designer"):
        rc, out, err = self.run(OPTS.designer, args, name)
        return rc, out.decode("cp932").replace("\r\n", "\n"), err.decode("cp932").replace("\r\n", "\n")

    def resread(self, *args, name="resread"):
        rc, out, _ = self.run(OPTS.resread, args, name)
        return rc, dict(l.split("=", 1) for l in out.decode("utf-8").splitlines() if "=" in l)

    def stored(self, name="D.dfm"):
        return parse_dfm(read(self.path(name)))["QUENDRO"]

    def boxes(self):
        """Stops the watcher: each box seen as (caption, text, control ids)."""
        open(self.path("watch.stop"), "w").close()
        self.watcher.wait(30)
        seen = [json.loads(l) for l in read(self.boxes_file).decode().splitlines() if l.strip()]
        assert not [e for e in seen if e["event"] == "error"], "an answer the box did not offer: %r" % seen
        return [(e["caption"], e["text"], e["ids"]) for e in seen if e["event"] == "box"]


# --- the cases ----------------------------------------------------------------------

VERSION_ROWS = [  # answer to "Version number changed", exit, stored version and build
    ("yes_backup_unavailable", 6, 1, None, None),
    ("no_resets_build", 7, 0, "1.01", 1),  # 3, +1 opened, 0 by No, +1 stored
    ("cancel_keeps_version", 2, 0, "1.00", 5),
]
# A missing folder is offered for creation; "ソ" and "表" end in byte 0x5C.
PATH_ROWS = [
    ("backup_created", "BackupPath", "Backup ソ表\\Sub", 6),
    ("backup_refused", "BackupPath", "Nowhere", 7),
    ("project_created", "ProjectPath", "出力ソ", 6),
]
HELD_ROWS = [
    ("full_sharing", "shareall", "the description could not be replaced; it is unchanged"),
    ("no_sharing", "share0", "cannot open the description (error 32)"),
]
USAGE_ROWS = [  # arguments (D.dfm exists), exit, start of stdout, start of stderr
    ([], 2, "usage: designer new FILE.dfm COMPONENT", ""),
    (["frobnicate", "D.dfm"], 2, "", "designer: unknown command\n"),
    (["new", "D.dfm"], 2, "", "designer: no component name given\n"),
    (["store", "D.dfm", "Build"], 2, "", "designer: not an assignment: Build\n"),
    (["new", "D.dfm", "QUENDRO"], 1, "", "designer: D.dfm: the file already exists\n"),
    (["store", "D.dfm", "Colour=1"], 1, "", 'designer: D.dfm: TProject has no property "Colour"\n'),
    (["store", "D.dfm", "Build=x"], 1, "", 'designer: D.dfm: "x" is not an integer for Build\n'),
]
TIMESTAMP_ROWS = [  # regional settings of the user
    ("prefix_format", {}),
    ("user_format", {"sShortDate": "dd.MM.yy", "sTimeFormat": "HH 'h' mm 'm' ss"}),
]


class DesignerTest(unittest.TestCase):
    maxDiff = None

    def check_res(self, row, folder, expected):
        rc, res = row.resread(win(os.path.join(folder, "Version.res")))
        self.assertEqual(rc, 0, res)
        self.assertEqual({k: res.get(k) for k in expected}, expected)
        return res

    def test_new_in_fresh_prefix(self):
        row = Row("new")
        self.assertEqual(row.designer("new", "Main.dfm", "QUENDRO"), (0, "stored Main.dfm\n", ""))
        _, reg, _ = row.run("reg", ["query", "HKCU\\Software\\ZOZEDIZ\\DAVEDARE\\2.0\\Project Version"], "reg")
        values = dict(re.findall(r"(?m)^\s+(\S+)\s+REG_SZ\s+(.*?)\r?$", reg.decode("cp932")))
        props = row.stored("Main.dfm")
        self.assertEqual(values, {
            "Warning": "1", "Company": "<Name of your company>", "Language": "8", "CharSet": "7",
            "SmartBackup": "0", "BackupPath": props["BackupPath"],
            "Copyrights": (b"Copyrights \xa9 Quendro Project, %d" % time.localtime().tm_year).decode("cp932")})
        self.assertEqual(props["ProjectPath"], lower_ascii(win(row.dir)))
        self.assertEqual(lower_ascii(props["BackupPath"]), lower_ascii(win(row.dir)))
        self.assertEqual((props["Build"], props["Version"]), (1, "0.01"))
        self.assertEqual(events(props["Log.Strings"]), ["Project started.", "Versionresource written - build 1."])
        res = self.check_res(row, row.dir, {"str.FileVersion": "0.01.1", "fileversion": "00000001.00010000",
                                            "str.InternalName": "QUENDRO", "flags": "2",
                                            "translation": "0409 04E4"})
        self.assertEqual({k: v for k, v in res.items() if k.startswith("str.")}, version_strings(props, "QUENDRO"))

        rc, _, err = row.designer("store", "Main.dfm", name="store")
        self.assertEqual((rc, err), (0, ""))
        again = row.stored("Main.dfm")
        self.assertEqual((again["Build"], again["Log.Strings"][:2]), (3, props["Log.Strings"]))
        self.assertEqual(events(again["Log.Strings"][2:]), ["Versionresource written - build 3."])
        self.check_res(row, row.dir, {"str.FileVersion": "0.01.3"})
        self.assertEqual(row.boxes(), [NOTICE], "the notice once, at the first run only")

    def test_log_timestamps_match_regional_format(self):
        for name, settings in TIMESTAMP_ROWS:
            with self.subTest(row=name):
                row = Row(name)
                for value, data in settings.items():
                    rc, _, _ = row.run("reg", ["add", "HKCU\\Control Panel\\International", "/v", value, "/d",
                                               data, "/f"], "reg-" + value)
                    self.assertEqual(rc, 0)
                t0 = time.time()
                self.assertEqual(row.designer("new", "D.dfm", "QUENDRO")[0], 0)
                t1 = time.time()
                # Every second the run can have seen, as the system formats it.
                seconds = [time.localtime(t)[:6] for t in range(int(t0) - 1, int(t1) + 2)]
                rc, out, _ = row.run(OPTS.resread, ["--now"] + [str(n) for s in seconds for n in s], "now")
                formatted = re.findall(r"(?m)^now=(.*?)\r?$", out.decode("utf-8"))
                self.assertEqual((rc, len(formatted)), (0, len(seconds)))
                log = row.stored()["Log.Strings"]
                self.assertEqual(events(log), ["Project started.", "Versionresource written - build 1."])
                for line in log:
                    self.assertIn(line.split(": ", 1)[0], formatted, line)
                self.assertEqual(row.boxes(), [])

    def test_version_change(self):
        for name, answer, code, version, build in VERSION_ROWS:
            with self.subTest(row=name):
                row = Row(name, [answer])
                before = description(row.dir)
                rc, _, err = row.designer("store", "D.dfm", "Version=1.01")
                self.assertEqual(row.boxes(), [("Version number changed", "Create backup of version 1.00?",
                                                [6, 7, 2])])
                self.assertEqual(rc, code, err)
                if code:
                    self.assertEqual(err, "designer: D.dfm: Backup is not available in this version\n")
                    self.assertEqual(read(row.path("D.dfm")), before, "description unchanged")
                    self.assertFalse(os.path.exists(row.path("Version.res")))
                    continue
                props = row.stored()
                self.assertEqual((props["Version"], props["Build"], props["Log.Strings"][0]),
                                 (version, build, STARTED))
                self.assertEqual(events(props["Log.Strings"][1:]),
                                 ["Version " + version, "Versionresource written - build %d." % build])
                self.check_res(row, row.dir, {"str.FileVersion": "%s.%d" % (version, build)})

    def test_missing_paths_ask_create_path(self):
        for name, prop, folder, answer in PATH_ROWS:
            with self.subTest(row=name):
                row = Row(name, [answer])
                target = win(row.dir) + "\\" + folder
                description(row.dir, **{prop: target})
                rc, _, err = row.designer("store", "D.dfm")
                text = 'Path "%s" does not exist.\rCreate it?' % lower_ascii(target)
                self.assertEqual(row.boxes(), [("Create path", text, [6, 7])])
                self.assertEqual((rc, err), (0, ""))
                host_folder = row.path(*folder.split("\\"))
                self.assertEqual(os.path.isdir(host_folder), answer == 6, host_folder)
                self.assertEqual(row.stored()[prop], lower_ascii(target if answer == 6 else win(row.dir)))
                if prop == "ProjectPath":
                    self.check_res(row, host_folder, {"str.FileVersion": "1.00.5"})

    def test_held_description_left_intact(self):
        for name, share, message in HELD_ROWS:
            with self.subTest(row=name):
                row = Row(name)
                before = description(row.dir)
                holder = row.start(OPTS.helper, ["hold", row.path("D.dfm"), share, row.path("hold.ready"),
                                                 row.path("hold.stop")], "hold")
                held = row.wait(lambda: b"held" in read(row.path("hold.ready")))
                rc, _, err = row.designer("store", "D.dfm")
                open(row.path("hold.stop"), "w").close()
                holder.wait(30)
                self.assertTrue(held, read(row.path("hold.ready")))
                self.assertEqual((rc, err), (1, "designer: D.dfm: %s\n" % message))
                self.assertEqual(read(row.path("D.dfm")), before, "description unchanged")
                self.assertEqual([f for f in os.listdir(row.dir) if f.lower().endswith(".tmp")], [])
                self.assertEqual(row.boxes(), [])

    def test_usage(self):
        row = Row("usage")
        for i, (args, code, out_start, err_start) in enumerate(USAGE_ROWS):
            with self.subTest(args=args):
                before = description(row.dir)
                rc, out, err = row.designer(*args, name="designer-%d" % i)
                self.assertEqual(rc, code, err)
                self.assertTrue(out.startswith(out_start) and err.startswith(err_start), (out, err))
                self.assertEqual(read(row.path("D.dfm")), before, "description unchanged")
                self.assertFalse(os.path.exists(row.path("Version.res")), "nothing stored")
        self.assertEqual(row.boxes(), [])

    def test_quendro_exe_holds_stored_values(self):
        row = Row("quendro")
        props = parse_dfm(read(OPTS.main_dfm))["QUENDRO"]
        rc, descr = row.resread("--descr", win(OPTS.quendro), win(OPTS.main_dfm), name="descr")
        self.assertEqual((rc, descr.pop("bytes", None)), (0, "same"))
        expected = {}
        for key, value in props.items():
            if isinstance(value, list):
                expected.update(("%s[%d]" % (key, i), line) for i, line in enumerate(value))
            else:
                expected[key] = str(value)
        self.assertEqual(descr, expected)
        rc, res = row.resread(win(OPTS.quendro), name="version")
        self.assertEqual({k: v for k, v in res.items() if k.startswith("str.")}, version_strings(props, "QUENDRO"))
        self.assertEqual((rc, res["fileversion"], res["productversion"], res["flags"], res["filetype"]),
                         (0, fixed("%s.%d" % (props["Version"], props["Build"])), fixed(props["ProductVersion"]),
                          "0", "1"))
        self.assertEqual(res["translation"], TRANSLATIONS[props["Language"]] + " " + TRANSLATIONS[props["Charset"]])
        self.assertEqual(row.boxes(), [])


# --- commands -------------------------------------------------------------------------


def main():
    global OPTS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=[n[5:] for n in dir(DesignerTest) if n.startswith("test_")])
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    for name in ("work", "template", "designer", "helper", "resread", "quendro", "main-dfm"):
        parser.add_argument("--" + name, required=True, type=os.path.abspath)
    OPTS = parser.parse_args()
    if OPTS.inside:
        suite = unittest.defaultTestLoader.loadTestsFromName("test_" + OPTS.case, DesignerTest)
        return 0 if unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite).wasSuccessful() else 1
    start = time.time()
    shutil.rmtree(OPTS.work, ignore_errors=True)
    args = [OPTS.case, "--inside", "--work", OPTS.work, "--template", OPTS.template, "--main-dfm", OPTS.main_dfm]
    # The case's own copy of the programs: a rebuild during the run must not change them.
    for name in ("designer", "helper", "resread", "quendro"):
        copy = os.path.join(OPTS.work, "bin", os.path.basename(getattr(OPTS, name)))
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copy2(getattr(OPTS, name), copy)
        args += ["--" + name, copy]
    prefix = os.path.join(OPTS.work, "prefix")
    with open(os.path.join(OPTS.work, "clone.log"), "wb") as log:
        if subprocess.call(["sh", WINEPREFIX_SH, "clone", OPTS.template, prefix], stdout=log, stderr=log):
            print("cannot copy the template prefix %s; was e2e_prefix_template run?" % OPTS.template)
            return 1
    if OPTS.case != "new_in_fresh_prefix":
        # The one-time notice belongs to the fresh-prefix case; the prefix is not running yet.
        with open(os.path.join(prefix, "user.reg"), "a") as reg:
            reg.write('\n[Software\\\\ZOZEDIZ\\\\DAVEDARE\\\\2.0\\\\Project Version] %d\n"Warning"="1"\n'
                      % time.time())
    rc = subprocess.call(["sh", WINEPREFIX_SH, "run", prefix, "--", sys.executable, os.path.abspath(__file__)]
                         + args, stdin=subprocess.DEVNULL)
    print("case %s: %.1f s" % (OPTS.case, time.time() - start))
    return rc


if __name__ == "__main__":
    sys.exit(main())
