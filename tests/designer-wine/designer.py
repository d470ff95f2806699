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

The backup of a sparse file of 2.2 GiB (15 to 20 s, 2.2 GB written) is a case
only when asked for at configure time:

    cmake -DQUENDRO_LARGE_TESTS=ON build/win32 &&
        ctest --test-dir build/win32 -R designer_backup_large_file
"""

import argparse
import fnmatch
import json
import os
import random
import re
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import winetest  # noqa: E402
from winetest import read, windows_path as win  # noqa: E402

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


def lower_ascii(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


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
        return winetest.wait_for(predicate, timeout, 0.05)

    def start(self, exe, args, name):
        return winetest.start(exe, args, self.path(name), cwd=self.dir)

    def run(self, exe, args, name):
        rc = winetest.end(self.start(exe, args, name), 60)
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


# --- the project backup -------------------------------------------------------------

PROJECT = "プロジェクト表"  # the project folder; its name ends in the byte 0x5C
EARLIER = b"an earlier copy\r\n"
BIG = 2200 << 20  # past 2 GiB and 2^31 - 1
# A project tree: path, attributes set through Wine, then the size of its random
# content, None for a folder or "->TARGET" for a folder symlink (0x410 to Wine).
TREE = [
    ("main.pas", 0, 1000), ("ソース表.pas", 0, 65520), ("ReadOnly.PAS", 0x01, 65521), ("hidden.pas", 0x02, 0),
    ("system.dfm", 0x04, 131040), (".dot.pas", 0, 7), ("notes.txt", 0x03, 300),
    ("ソ", 0, None), ("ソ/表", 0, None), ("ソ/表/三段", 0, None), ("ソ/表/三段/深い.pas", 0x01, 5000),
    ("ソ/表/三段/deep.txt", 0, 20), ("ソ/文書", 0, None), ("ソ/文書/only.txt", 0, 10),
    ("hidden_dir", 0x02, None), ("hidden_dir/a.pas", 0, 10), ("system_dir", 0x04, None),
    ("system_dir/a.pas", 0, 10), (".git", 0, None), (".git/a.pas", 0, 10), ("link", 0, "->ソ"),
]
# Capitals are lower-cased in the error; "ア" (trail byte 0x41) is not.
HELD = "Held表ア.PAS"
HELD_TREE = [(HELD, 0, 70000), ("later.dpr", 0, 10), ("sub", 0, None), ("sub/x.pas", 0, 10)]
# name, tree, description values, BackupPath ("": the project, "..": its
# parent), versions changed to in turn, files already in BackupPath\N
# {path: attributes}, the file held open without sharing
BACKUP_ROWS = [
    ("full", TREE, {"BackupFiles": "*.dfm;*.pas;*.dpr;*.res"}, "", ["1.01", "1.02"],
     {"Ver1.00/system.dfm": 0x07, "notes.pas": 0}, None),
    ("changed_only", TREE, {"BackupFiles": "*.pas; *.TXT", "SmartBackup": True}, "", ["1.01"], {}, None),
    ("backup_path_parent", TREE, {"BackupFiles": "*.*"}, "..", ["1.01", "1.02"], {}, None),
    ("held_open", HELD_TREE, {"BackupFiles": "*.dfm;*.pas;*.dpr"}, "", ["1.01"],
     {"Ver1.00/D.dfm": 0x07, "Ver1.00/" + HELD: 0x01}, HELD),
]
LARGE_ROW = ("large_file", [("big.bin", 0, BIG)], {"BackupFiles": "*.*", "AutoBackup": True}, "", ["1.01"], {},
             None)


def make_tree(root, tree):
    rnd = random.Random(root)
    for rel, _, size in tree:
        path = os.path.join(root, rel)
        if size is None:
            os.makedirs(path)
        elif isinstance(size, str):
            os.symlink(size[2:], path)
        else:
            with open(path, "wb") as f:
                if size <= 64 << 20:
                    f.write(rnd.randbytes(size))
                    continue
                # Sparse: data only around the places a 32-bit size or offset breaks.
                f.truncate(size)
                for at in (0, (1 << 31) - 40000, size - 40000):
                    f.seek(at)
                    f.write(rnd.randbytes(80000)[:size - at])


def content(path):
    """The bytes of a file, or of a large file its size and sampled blocks."""
    size = os.path.getsize(path)
    if size <= 64 << 20:
        return read(path)
    with open(path, "rb") as f:
        blocks = []
        for at in (0, 65520 * 3, (1 << 31) - 65520, 1 << 31, size // 2, size - 65520):
            f.seek(at)
            blocks.append(f.read(65520))
        return size, blocks


def entries(root):
    """Every path below ROOT, relative, with "/"; folder symlinks not entered."""
    found = []
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        found += [os.path.normpath(os.path.join(rel, n)) for n in dirs + files]
    return found


def matches(name, mask):
    return mask == "*.*" or fnmatch.fnmatchcase(lower_ascii(name), lower_ascii(mask))


def walk(root, masks, changed_only, attributes, skipped, rel="."):
    """The copies of the engine's walk, in its order: a folder's matching files
    mask by mask, then its sub-folders; hidden, system, dot-named and reparse
    folders are not entered, nor SKIPPED ones."""
    names = sorted(os.listdir(os.path.join(root, rel)))
    order = []
    for mask in masks.replace(" ", "").rstrip(";").split(";"):
        order += [os.path.normpath(os.path.join(rel, n)) for n in names
                  if not os.path.isdir(os.path.join(root, rel, n)) and matches(n, mask)
                  and (not changed_only or attributes[os.path.normpath(os.path.join(rel, n))] & 0x20)]
    for n in names:
        sub = os.path.normpath(os.path.join(rel, n))
        if os.path.isdir(os.path.join(root, sub)) and sub not in skipped and not attributes[sub] & 0x406 \
                and not n.startswith("."):
            order += walk(root, masks, changed_only, attributes, skipped, sub)
    return order


def remove_large_files(root):
    for folder, _, files in os.walk(root):
        for n in files:
            if os.path.getsize(os.path.join(folder, n)) > 64 << 20:
                os.remove(os.path.join(folder, n))


def folders_of(files):
    """Every folder that holds one of FILES, with its parents."""
    found = set()
    for p in files:
        p = os.path.dirname(p)
        while p:
            found.add(p)
            p = os.path.dirname(p)
    return found


# --- the cases ----------------------------------------------------------------------

VERSION_ROWS = [  # answer to "Version number changed", stored version and build
    ("yes_backs_up", 6, "1.01", 1),  # 3, +1 opened, 0 by the answer, +1 stored
    ("no_resets_build", 7, "1.01", 1),
    ("cancel_keeps_version", 2, "1.00", 5),
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
        for name, answer, version, build in VERSION_ROWS:
            with self.subTest(row=name):
                row = Row(name, [answer])
                before = description(row.dir)
                rc, _, err = row.designer("store", "D.dfm", "Version=1.01")
                self.assertEqual(row.boxes(), [("Version number changed", "Create backup of version 1.00?",
                                                [6, 7, 2])])
                self.assertEqual((rc, err), (0, ""))
                # Yes: the description as it was, in BackupPath\N\Ver1.00 (the only file of the default masks).
                backup = row.path(name, "Ver1.00")
                self.assertEqual({n: read(os.path.join(backup, n)) for n in os.listdir(backup)}
                                 if os.path.isdir(backup) else None, {"D.dfm": before} if answer == 6 else None)
                props = row.stored()
                self.assertEqual((props["Version"], props["Build"], props["Log.Strings"][0]),
                                 (version, build, STARTED))
                self.assertEqual(events(props["Log.Strings"][1:]),
                                 ["Backup successfull"] * (answer == 6) +
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

    def attributes(self, row, paths, name, set_to=None):
        """Wine's attributes of each host path, after setting SET_TO {path: attributes}."""
        set_to = set_to or {}
        rc, out = row.resread("--attrib", *[win(p) + ("=%X" % set_to[p] if p in set_to else "") for p in paths],
                              name=name)
        self.assertEqual(rc, 0, out)
        return {p: int(out[win(p)], 16) for p in paths}

    def check_backup(self, name, tree, props, backup_path, versions, earlier, held):
        row = Row(name, [6] * len(versions))
        project = row.path(PROJECT)
        os.makedirs(project)
        backup_root = os.path.normpath(os.path.join(project, backup_path))
        store = os.path.join(backup_root, PROJECT)  # BackupPath\N: the version folders
        # Always given: otherwise the registry default, stored by an earlier row, applies.
        props = dict({"SmartBackup": False}, **props)
        description(project, BackupPath=win(backup_root), **props)
        make_tree(project, tree)
        set_to = {os.path.join(project, rel): a for rel, a, _ in tree if a}
        for rel, a in earlier.items():
            os.makedirs(os.path.dirname(os.path.join(store, rel)), exist_ok=True)
            with open(os.path.join(store, rel), "wb") as f:
                f.write(EARLIER)
            set_to[os.path.join(store, rel)] = a
        smart = props["SmartBackup"]
        expected_events, boxes = ["Project started."], []
        for old, new in zip(["1.00"] + versions, versions):
            with self.subTest(version=old):
                # Earlier backups: BackupPath\N, or its version folders when that is the project.
                skipped = ({os.path.relpath(store, project)} if store != project else
                           {p for p in os.listdir(project) if re.fullmatch(r"Ver[\d.]+", p)})
                sources = [p for p in entries(project) if p.split(os.sep)[0] not in skipped]
                target = os.path.join(store, "Ver" + old)
                present = [p for p in entries(target) if os.path.isfile(os.path.join(target, p))]
                before = self.attributes(row, [os.path.join(project, p) for p in sources] +
                                         [os.path.join(target, p) for p in present], "attrib-" + old, set_to)
                set_to = None
                order = walk(project, props["BackupFiles"], smart, {p: before[os.path.join(project, p)]
                                                                     for p in sources}, skipped)
                copied = order[:order.index(held)] if held else order
                want = {p: content(os.path.join(target, p)) for p in present}
                want.update((p, content(os.path.join(project, p))) for p in copied)
                dfm = read(os.path.join(project, "D.dfm"))
                if held:
                    holder = row.start(OPTS.helper, ["hold", os.path.join(project, held), "share0",
                                                     row.path("hold.ready"), row.path("hold.stop")], "hold")
                    self.assertTrue(row.wait(lambda: b"held" in read(row.path("hold.ready"))))
                rc, _, err = row.designer("store", PROJECT + "\\D.dfm", "Version=" + new, name="designer-" + new)
                if held:
                    open(row.path("hold.stop"), "w").close()
                    holder.wait(30)
                if not props.get("AutoBackup"):
                    boxes.append(("Version number changed", "Create backup of version %s?" % old, [6, 7, 2]))
                if not held:
                    expected_events += ["Changed files backed up successfully" if smart else "Backup successfull",
                                        "Version " + new, "Versionresource written - build 1."]

                got = {p: content(os.path.join(target, p)) for p in entries(target)
                       if os.path.isfile(os.path.join(target, p))}
                self.assertEqual(sorted(got), sorted(want), "the files in the version folder")
                self.assertEqual([p for p in want if got[p] != want[p]], [], "copies whose bytes differ")
                self.assertEqual({p for p in entries(target) if os.path.isdir(os.path.join(target, p))},
                                 folders_of(want), "folders only where a file landed")
                after = self.attributes(row, list(before) + [os.path.join(target, p) for p in copied],
                                        "attrib-after-" + old)
                # Nothing but the archive bit (which Wine keeps) changes on the
                # sources, nor on earlier copies not copied over.
                kept = [p for p in before if p not in {os.path.join(target, c) for c in copied}]
                self.assertEqual({p: after[p] & ~0x20 for p in kept}, {p: before[p] & ~0x20 for p in kept})
                # New copies are plain, except that Wine lists dot-named files as hidden.
                self.assertEqual({p: after[os.path.join(target, p)] & 0x07 for p in copied},
                                 {p: 0x02 if os.path.basename(p).startswith(".") else 0 for p in copied})
                if held:
                    self.assertEqual((rc, err), (1, 'designer: %s\\D.dfm: Error occured during backup of "%s".\r'
                                                    'Backup may not be complete\n' % (PROJECT, lower_ascii(held))))
                    self.assertEqual(read(os.path.join(project, "D.dfm")), dfm, "description unchanged")
                    self.assertFalse(os.path.exists(os.path.join(project, "Version.res")))
                    break
                self.assertEqual((rc, err), (0, ""))
                self.assertEqual(events(row.stored(os.path.join(PROJECT, "D.dfm"))["Log.Strings"]),
                                 expected_events)
        self.assertEqual(row.boxes(), boxes)

    def test_backup_project_tree(self):
        for name, *row in BACKUP_ROWS:
            with self.subTest(row=name):
                self.check_backup(name, *row)

    def test_backup_large_file(self):
        # The gigabytes go, pass or fail; the records stay.
        self.addCleanup(remove_large_files, os.path.join(OPTS.work, LARGE_ROW[0]))
        self.check_backup(*LARGE_ROW)


# --- commands -------------------------------------------------------------------------


def main():
    global OPTS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("case", choices=[n[5:] for n in dir(DesignerTest) if n.startswith("test_")])
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    for name in ("work", "template", "designer", "helper", "resread", "quendro", "main-dfm"):
        parser.add_argument("--" + name, required=True, type=os.path.abspath)
    OPTS = parser.parse_args()
    try:
        winetest.use_way(OPTS.designer, OPTS.helper, OPTS.resread, OPTS.quendro, quiet=OPTS.inside)
    except winetest.WayUnavailable as e:
        print("cannot run: %s" % e, flush=True)
        return 1
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
    if winetest.clone(OPTS.template, prefix, os.path.join(OPTS.work, "clone.log")):
        return 1
    if OPTS.case != "new_in_fresh_prefix":
        # The one-time notice belongs to the fresh-prefix case; the prefix is not running yet.
        with open(os.path.join(prefix, "user.reg"), "a") as reg:
            reg.write('\n[Software\\\\ZOZEDIZ\\\\DAVEDARE\\\\2.0\\\\Project Version] %d\n"Warning"="1"\n'
                      % time.time())
    rc = winetest.run(prefix, [sys.executable, os.path.abspath(__file__)] + args)
    print("case %s: %.1f s" % (OPTS.case, time.time() - start))
    return winetest.finish(prefix, rc)


if __name__ == "__main__":
    sys.exit(main())
