#!/usr/bin/env python3
"""Packs the release from a finished cross build (scripts/release.sh runs it):

    release.py --build build/win32 --dist dist

writes DIST/quendro-V.zip, DIST/quendro-V-setup.exe, DIST/quendro-V.msi and
DIST/SHA256SUMS, V
being the stored Version of the main window's component QUENDRO in
resources/Main.dfm (read by the build's MakeVersionRes tool). Refuses to pack
when the help file is missing, when the about box names another version, when
the readme has a character outside code page 932, or when the installer's stub
or one of its plugins could not start on Windows 2000.
"""

import argparse
import glob
import hashlib
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import time
import uuid
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
README = "はじめにお読みください.txt"
LICENSE = "LICENSE.txt"
HELP_FILES = ["DAVIRAZ.OVA", "DAVIRAZ.CNT"]
# The zip's files in its order; both installers install the same.
PAYLOAD = ["quendro.exe"] + HELP_FILES + [README, LICENSE]
# Both installers' Start menu entries in the folder Quendro: name, program,
# arguments. INSTALLDIR and WINDOWS are folders, UNINSTALL the installer's own
# removal.
SHORTCUTS = [
    ("Quendro", ("INSTALLDIR", "quendro.exe"), ""),
    ("ログ ファイル", ("WINDOWS", "notepad.exe"), '"{INSTALLDIR}\\log.txt"'),
    ("ヘルプ", ("WINDOWS", "winhlp32.exe"), '"{INSTALLDIR}\\DAVIRAZ.OVA"'),
    ("アンインストール", "UNINSTALL", ""),
]
# The refusal of quendro.exe (src/app/Entry.cpp), in both installers.
WRONG_SYSTEM = "Windows 2000 以外には対応しておりません。"
NEWER_INSTALLED = "新しい版の Quendro がインストールされています。"
# The package's stable identity; each version's ProductCode is derived from it.
UPGRADE_CODE = "8E4C2D6A-51B7-4F0E-9C3A-2F6D8B1E7A45"
# quendro.exe's component: its removal finds the installed exe by it (Wine's
# msi does not restore INSTALLDIR on removal).
EXE_COMPONENT = "{D6A1E3F2-7B48-4C0D-9E25-1F8A3C6B4D70}"
# The package's own actions in InstallExecuteSequence, set after wixl (which
# places custom actions differently from build to build): the stored folder
# before the costs are final, the checks right after; on removal the jobs go
# first (their rollback before them); the folder's access list once the
# files are in place; the schedule last, once everything else is there. An
# upgrade removes the older version inside its own transaction (wixl puts
# RemoveExistingProducts at 1401 or 1502), so that a failure restores it,
# its jobs too.
RELEASE_SEQUENCE = {"UseStoredFolder": 990, "Prepare": 1010, "RemoveExistingProducts": 1502,
                    "RestoreSchedule": 1510, "RemoveSchedule": 1511,
                    "SecureFolder": 4010, "UndoAddSchedule": 6450, "AddSchedule": 6451}
# wixl writes Execute="rollback" as an immediate action: a DLL action run as
# LocalSystem in the script's rollback, its result ignored (1 + 64 + 256 +
# 1024 + 2048).
ROLLBACK_ACTIONS = {"RestoreSchedule": 3393, "UndoAddSchedule": 3393}
SECURE_PROPERTIES = ["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED", "SCHEDULE_TIME", "SCHEDULE_DAYS",
                     "SCHEDULE_ARGS", "SCHEDULE_INTERACTIVE", "QUENDRO_FOLDER", "QUENDRO_SCHEDULE"]
NSIS_PLUGINS = "/usr/share/nsis/Plugins/x86-unicode"
STUB_DLLS = {"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
             "ole32.dll", "shell32.dll", "user32.dll"}


class ReleaseError(Exception):
    pass


def check_imports_module():
    spec = importlib.util.spec_from_file_location("check_imports", os.path.join(ROOT, "scripts", "check-imports.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# --- the version -------------------------------------------------------------------


def stored_version(tool, description):
    run = subprocess.run([tool, description, "QUENDRO", "--version"], capture_output=True, text=True)
    if run.returncode != 0:
        raise ReleaseError("cannot read the stored Version: " + (run.stderr.strip() or "exit %d" % run.returncode))
    version = run.stdout.strip()
    # The names of the files and the installer's version quad need numbers.
    if not re.fullmatch(r"\d+(\.\d+){0,3}", version):
        raise ReleaseError("the stored Version %r is not a version number" % version)
    return version


def version_quad(version):
    """"1.00" -> "1.0.0.0" (the installer's VIProductVersion)."""
    parts = [str(int(p)) for p in version.split(".")]
    return ".".join(parts + ["0"] * (4 - len(parts)))


def about_versions(exe):
    """The versions the about box text of quendro.exe names."""
    return sorted(set(m.decode("ascii") for m in re.findall(rb"Quendro\r\nVersion ([0-9.]+)\r\n", exe)))


# --- the files -------------------------------------------------------------------


def windows_text(text, name):
    """TEXT as code page 932 with CR LF line ends; a character outside the code
    page is an error naming its line."""
    text = text.replace("\r\n", "\n")
    out = []
    for number, line in enumerate(text.split("\n"), 1):
        try:
            out.append(line.encode("cp932"))
        except UnicodeEncodeError as e:
            raise ReleaseError("%s:%d: %r is not in code page 932" % (name, number, line[e.start]))
    return b"\r\n".join(out)


def readme_bytes(source, version):
    with open(source, encoding="utf-8") as f:
        return windows_text(f.read().replace("@VERSION@", version), source)


def release_time():
    """The files' time in the zip: SOURCE_DATE_EPOCH, else the last commit's."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    run = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
    return int(run.stdout.strip()) if run.returncode == 0 and run.stdout.strip() else int(time.time())


class Cp932ZipInfo(zipfile.ZipInfo):
    """Names in code page 932 without the UTF-8 flag: the archivers of Japanese
    Windows 2000 read names that way."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits & ~0x800


def write_zip(path, files, stamp):
    when = time.localtime(stamp)[:6]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files:
            info = Cp932ZipInfo(name, date_time=when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes
            info.external_attr = 0x20  # archive
            z.writestr(info, data)


# --- the installer ---------------------------------------------------------------------


def untranslated(function, *args):
    """FUNCTION(*ARGS) with objdump's messages in English, as they are parsed."""
    saved = os.environ.get("LC_ALL")
    os.environ["LC_ALL"] = "C"
    try:
        return function(*args)
    finally:
        if saved is None:
            del os.environ["LC_ALL"]
        else:
            os.environ["LC_ALL"] = saved


def objdump_headers(objdump, path):
    return subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout


def pe_header(objdump, path):
    out = untranslated(objdump_headers, objdump, path)
    fields = dict(re.findall(r"(?m)^(\w+)\s+(\S+)", out))
    fmt = re.search(r"file format (\S+)", out)
    return fmt.group(1) if fmt else "", fields


def pe_faults(objdump, path, allowed, check_imports):
    """What would keep PATH from loading on Windows 2000: a newer subsystem or
    OS version, another machine, or an import not in the allowlist."""
    fmt, fields = pe_header(objdump, path)
    faults = []
    if fmt != "pei-i386":
        faults.append("format %s, not pei-i386" % fmt)
    for major, minor in (("MajorSubsystemVersion", "MinorSubsystemVersion"),
                         ("MajorOSystemVersion", "MinorOSystemVersion")):
        try:
            version = (int(fields[major]), int(fields[minor]))
        except (KeyError, ValueError):
            faults.append("no %s in objdump's output" % major)
            continue
        if version > (5, 0):
            faults.append("%s.%s is %d.%d, newer than Windows 2000's 5.0" % (major, minor, *version))
    if fields.get("Subsystem") != "00000002":
        faults.append("subsystem %s, not Windows GUI (2)" % fields.get("Subsystem"))
    found = untranslated(check_imports.imports, objdump, path)
    if not found:
        faults.append("no imports found: objdump output not understood")
    for dll, name in found:
        if dll not in STUB_DLLS:
            faults.append("%s!%s: DLL not allowed" % (dll, name))
        elif (dll, name.lower()) not in allowed:
            faults.append("%s!%s: not in the allowlist" % (dll, name))
    return faults


def read_allowlist(path):
    allowed = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].split()
            if line:
                allowed.add((line[0].lower(), line[1].lower()))
    return allowed


def packed_plugins(setup):
    """The plugin DLLs packed into the installer, as 7-Zip lists them."""
    out = subprocess.run(["7zz", "l", "-ba", "-slt", setup], check=True, capture_output=True, text=True).stdout
    names = re.findall(r"(?m)^Path = \$PLUGINSDIR[/\\](\S+\.dll)$", out)
    return sorted(names)


def check_installer(setup, objdump, allowlist, work):
    """Checks the stub and every packed plugin; returns what was checked."""
    check_imports = check_imports_module()
    allowed = read_allowlist(allowlist)
    faults = ["setup: " + f for f in pe_faults(objdump, setup, allowed, check_imports)]
    plugins = packed_plugins(setup)
    if not plugins:
        faults.append("setup: 7-Zip lists no plugins (expected nsDialogs, System, nsExec, setuphelp)")
    extract = os.path.join(work, "plugins")
    shutil.rmtree(extract, ignore_errors=True)
    subprocess.run(["7zz", "x", "-y", "-o" + extract, setup, "$PLUGINSDIR/*.dll"], check=True,
                   capture_output=True)
    for name in plugins:
        faults += ["%s: %s" % (name, f)
                   for f in pe_faults(objdump, os.path.join(extract, "$PLUGINSDIR", name), allowed, check_imports)]
    if faults:
        raise ReleaseError("the installer would not run on Windows 2000:\n  " + "\n  ".join(faults))
    return plugins


# --- the shared list, for both installers -------------------------------------------


def nsis_files():
    """files.nsh: the NSIS installer's file and shortcut macros."""
    def nsis(where):
        if where == "UNINSTALL":
            return "$INSTDIR\\uninst.exe"
        folder, name = where
        return ("$INSTDIR" if folder == "INSTALLDIR" else "$WINDIR") + "\\" + name
    lines = ["; Written by installer/release.py from PAYLOAD and SHORTCUTS.", "!macro InstallPayload"]
    lines += ['  File "${PAYLOAD}\\%s"' % name for name in PAYLOAD]
    lines += ["!macroend", "!macro DeletePayload"]
    lines += ['  Delete "$INSTDIR\\%s"' % name for name in PAYLOAD]
    lines += ["!macroend", "!macro CreateShortcuts", '  CreateDirectory "${SM_FOLDER}"']
    for name, target, args in SHORTCUTS:
        args = args.replace("{INSTALLDIR}", "$INSTDIR")
        icon = ' "%s" 0' % nsis(target) if target == ("INSTALLDIR", "quendro.exe") else ""
        lines.append('  CreateShortcut "${SM_FOLDER}\\%s.lnk" "%s" \'%s\'%s' % (name, nsis(target), args, icon))
    lines += ["!macroend", "!macro DeleteShortcuts"]
    lines += ['  Delete "${SM_FOLDER}\\%s.lnk"' % name for name, _, _ in SHORTCUTS]
    lines += ['  RMDir "${SM_FOLDER}"', "!macroend", ""]
    return "\n".join(lines)


def ascii_key(text, prefix):
    """An ASCII stand-in for TEXT in the WiX source (wixl garbles other text)."""
    return text if text.isascii() else "%s%s" % (prefix, hashlib.sha1(text.encode()).hexdigest()[:8].upper())


def short_name(name, index):
    """An 8.3 name for the short|long form of Windows Installer's names."""
    if name.isascii() and re.fullmatch(r"[\w]{1,8}(\.\w{1,3})?", name):
        return None
    ext = os.path.splitext(name)[1]
    return "QUEND~%d%s" % (index, ext.upper() if ext.isascii() else "")


def wix_files(payload_dir):
    """files.wxs and the texts to put in after wixl (Japanese ones, which it
    garbles): [(table, column, key column, key, text)]."""
    def wix(where):
        if where == "UNINSTALL":
            return "[SystemFolder]msiexec.exe"
        folder, name = where
        return ("[INSTALLDIR]" if folder == "INSTALLDIR" else "[WindowsFolder]") + name
    out = ['<?xml version="1.0" encoding="utf-8"?>', "<!-- Written by installer/release.py from PAYLOAD and SHORTCUTS. -->",
           '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>', '  <DirectoryRef Id="INSTALLDIR">']
    fixes, ids = [], []
    for index, name in enumerate(PAYLOAD, 1):
        key = "file%d" % index
        ids.append(key)
        out += ['    <Component Id="%s" Guid="%s">' % (key, EXE_COMPONENT.strip("{}") if name == "quendro.exe" else "*"),
                '      <File Id="%s" Name="%s" Source="%s" KeyPath="yes"/>' % (key, ascii_key(name, "F"), payload_dir + "/" + name),
                "    </Component>"]
        short = short_name(name, index)
        if short:
            fixes.append(("File", "FileName", "File", key, "%s|%s" % (short, name)))
    out += ["  </DirectoryRef>", '  <DirectoryRef Id="QuendroMenu">',
            '    <Component Id="StartMenu" Guid="5C2E8F47-0B3D-4A69-9E15-7D4A6C3B2E80">']
    ids.append("StartMenu")
    for index, (name, target, args) in enumerate(SHORTCUTS, 1):
        key = "shortcut%d" % index
        args = args.replace("{INSTALLDIR}\\", "[INSTALLDIR]")
        if target == "UNINSTALL":
            args = "/x [ProductCode]"
        out.append('      <Shortcut Id="%s" Name="%s" Target="%s" Arguments="%s" WorkingDirectory="INSTALLDIR"/>'
                   % (key, ascii_key(name, "S"), wix(target), args.replace('"', "&quot;")))
        if not name.isascii():
            fixes.append(("Shortcut", "Name", "Shortcut", key, "%s|%s" % (short_name(name, index), name)))
    out += ['      <RemoveFolder Id="QuendroMenu" On="uninstall"/>',
            '      <RegistryValue Root="HKLM" Key="SOFTWARE\\Quendro" Name="StartMenu" Type="integer" Value="1" '
            'KeyPath="yes"/>',
            "    </Component>", "  </DirectoryRef>", '  <ComponentGroup Id="Payload">']
    out += ['    <ComponentRef Id="%s"/>' % key for key in ids]
    out += ["  </ComponentGroup>", "</Fragment></Wix>", ""]
    # wixl writes an "expandable" value as REG_SZ; "#%" makes it REG_EXPAND_SZ.
    fixes += [("Registry", "Value", "Name", "EventMessageFile", "#%[INSTALLDIR]quendro.exe"),
              ("LaunchCondition", "Description", "Condition", "Installed OR VersionNT = 500", WRONG_SYSTEM),
              ("LaunchCondition", "Description", "Condition", "NOT WIX_DOWNGRADE_DETECTED", NEWER_INSTALLED)]
    return "\n".join(out), fixes


def product_code(version):
    """The same code for the same version, a new one for each version."""
    return str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), "Quendro " + version)).upper()


def msi_version(version):
    """"1.00" -> "1.0.0": Windows Installer compares the first three fields."""
    return ".".join(version_quad(version).split(".")[:3])


def build_msi(path, version, payload, actions, work, extra_steps=()):
    """Writes the package with wixl, then sets the tables' code page to 932,
    puts the Japanese texts in and the summary's template to Intel;1041."""
    files, fixes = wix_files(os.path.relpath(payload, work))
    with open(os.path.join(work, "files.wxs"), "w", encoding="utf-8") as f:
        f.write(files)
    code = product_code(version)
    # wixl finds sources only by names relative to the sources' folder.
    shutil.copy2(os.path.join(HERE, "quendro.wxs"), work)
    shutil.copy2(actions, os.path.join(work, "msiaction.dll"))
    run = subprocess.run(["wixl", "-a", "x86", "-o", path, "-D", "Version=" + version,
                          "-D", "MsiVersion=" + msi_version(version), "-D", "ProductCode=" + code,
                          "-D", "Actions=msiaction.dll", "-D", "ExeComponent=" + EXE_COMPONENT,
                          "quendro.wxs", "files.wxs"],
                         cwd=work, capture_output=True, text=True)
    if run.returncode != 0 or not os.path.isfile(path):
        raise ReleaseError("wixl failed (exit %d): %s" % (run.returncode, (run.stderr or run.stdout).strip()[-2000:]))
    with open(os.path.join(work, "_ForceCodepage.idt"), "wb") as f:
        f.write(b"\r\n\r\n932\t_ForceCodepage\r\n")
    steps = [["-i", os.path.join(work, "_ForceCodepage.idt")]]
    for table, column, key_column, key, text in fixes:
        text.encode("cp932")
        steps.append(["-q", "UPDATE `%s` SET `%s` = '%s' WHERE `%s` = '%s'" % (table, column, text, key_column, key)])
    steps.append(["-q", "UPDATE `Property` SET `Value` = '%s' WHERE `Property` = 'SecureCustomProperties'"
                  % ";".join(SECURE_PROPERTIES)])
    for action, kind in sorted(ROLLBACK_ACTIONS.items()):
        steps.append(["-q", "UPDATE `CustomAction` SET `Type` = %d WHERE `Action` = '%s'" % (kind, action)])
    for action, number in sorted(RELEASE_SEQUENCE.items()):
        steps.append(["-q", "UPDATE `InstallExecuteSequence` SET `Sequence` = %d WHERE `Action` = '%s'"
                      % (number, action)])
    steps += [list(s) for s in extra_steps]
    steps.append(["-s", "Quendro " + version, "Quendro Project", "Intel;1041", "{%s}" % str(uuid.uuid4()).upper()])
    for step in steps:
        run = subprocess.run(["msibuild", path] + step, capture_output=True, text=True)
        if run.returncode != 0:
            raise ReleaseError("msibuild %s failed (exit %d): %s" % (step[0], run.returncode, run.stderr.strip()))
    return code



def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 16), b""):
            h.update(block)
    return h.hexdigest()


# --- the release -------------------------------------------------------------------------


def release(opts):
    build = os.path.abspath(opts.build)
    missing = [n for n in ["quendro.exe"] + HELP_FILES if not os.path.isfile(os.path.join(build, n))]
    if missing:
        raise ReleaseError("%s missing in %s: the cross build puts the help file beside quendro.exe "
                           "(tools/helpc from help/); build it first" % (", ".join(missing), build))

    version = stored_version(os.path.join(build, "host", "MakeVersionRes"),
                             os.path.join(ROOT, "resources", "Main.dfm"))
    with open(os.path.join(build, "quendro.exe"), "rb") as f:
        exe = f.read()
    about = about_versions(exe)
    if about != [version]:
        raise ReleaseError("the about box of quendro.exe names version %s, the stored Version is %s "
                           "(src/ui/Main.cpp, resources/Main.dfm)" % (", ".join(about) or "none", version))

    work = os.path.join(build, "release")
    payload = os.path.join(work, "payload")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(payload)
    contents = {"quendro.exe": exe}
    for name in HELP_FILES:
        with open(os.path.join(build, name), "rb") as f:
            contents[name] = f.read()
    contents[README] = readme_bytes(os.path.join(HERE, "readme.txt"), version)
    with open(os.path.join(ROOT, "LICENSE"), encoding="utf-8") as f:
        contents[LICENSE] = windows_text(f.read(), "LICENSE")
    for name in PAYLOAD:
        with open(os.path.join(payload, name), "wb") as f:
            f.write(contents[name])

    dist = os.path.abspath(opts.dist)
    os.makedirs(dist, exist_ok=True)
    for old in glob.glob(os.path.join(dist, "quendro-*")) + glob.glob(os.path.join(dist, "SHA256SUMS")):
        os.remove(old)
    zip_name = "quendro-%s.zip" % version
    setup_name = "quendro-%s-setup.exe" % version
    write_zip(os.path.join(dist, zip_name), [(n, contents[n]) for n in PAYLOAD], release_time())

    setup = os.path.join(dist, setup_name)
    helper = os.path.join(build, "installer", "setuphelp.dll")
    if not os.path.isfile(helper):
        raise ReleaseError("%s missing: the cross build makes setup.exe's helper" % helper)
    with open(os.path.join(work, "files.nsh"), "w", encoding="utf-8") as f:
        f.write(nsis_files())
    with open(os.path.join(work, "makensis.log"), "wb") as log:
        rc = subprocess.call(["makensis", "-V2", "-WX", "-INPUTCHARSET", "UTF8", "-DVERSION=" + version,
                              "-DVERSION_QUAD=" + version_quad(version), "-DPAYLOAD=" + payload,
                              "-DFILES=" + os.path.join(work, "files.nsh"), "-DHELPER=" + helper,
                              "-DOUTFILE=" + setup, os.path.join(HERE, "quendro.nsi")],
                             stdout=log, stderr=subprocess.STDOUT)
    if rc != 0:
        with open(os.path.join(work, "makensis.log"), encoding="utf-8", errors="replace") as log:
            raise ReleaseError("makensis failed (exit %d):\n%s" % (rc, log.read()[-3000:]))
    try:
        plugins = check_installer(setup, opts.objdump, os.path.join(HERE, "stub-imports.txt"), work)
    except ReleaseError:
        os.remove(setup)
        raise

    msi_name = "quendro-%s.msi" % version
    actions = os.path.join(build, "installer", "msiaction.dll")
    if not os.path.isfile(actions):
        raise ReleaseError("%s missing: the cross build makes the package's custom actions" % actions)
    build_msi(os.path.join(dist, msi_name), version, payload, actions, work)

    with open(os.path.join(dist, "SHA256SUMS"), "w", newline="\n") as f:
        for name in (zip_name, setup_name, msi_name):
            f.write("%s  %s\n" % (sha256(os.path.join(dist, name)), name))
    for name in (zip_name, setup_name, msi_name, "SHA256SUMS"):
        print("%-28s %9d bytes" % (os.path.join(os.path.basename(dist), name),
                                   os.path.getsize(os.path.join(dist, name))))
    print("installer stub and plugins (%s) checked for Windows 2000" % ", ".join(plugins))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", required=True, help="the cross build folder (build/win32)")
    parser.add_argument("--dist", required=True, help="where the release goes (dist)")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    opts = parser.parse_args()
    try:
        release(opts)
    except ReleaseError as e:
        print("release: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
