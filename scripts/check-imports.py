#!/usr/bin/env python3
"""Fails when an exe imports a DLL or a function that Windows 2000 lacks.

Only kernel32, user32, gdi32, shell32, advapi32 and msvcrt may be imported, and
every imported name must be in the checked-in allowlist.
"""
import argparse
import re
import subprocess
import sys

ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"}


def imports(objdump, exe):
    out = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    result, dll = [], None
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            continue
        m = re.match(r"\s+[0-9a-f]+\s+[0-9a-f]+\s+(\S+)$", line)
        if dll and m and not line.strip().startswith("vma:"):
            result.append((dll, m.group(1)))
    return result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    ap.add_argument("--allow", required=True)
    ap.add_argument("--dll", action="append", default=[], help="a further DLL the file may import from")
    ap.add_argument("exe")
    a = ap.parse_args()
    allowed = set()
    with open(a.allow, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                allowed.add(tuple(line.lower().split(None, 1)) if " " in line else ("*", line.lower()))
    bad = []
    found = imports(a.objdump, a.exe)
    if not found:
        bad.append("no imports found: objdump output not understood")
    for dll, name in found:
        if dll not in ALLOWED_DLLS and dll not in a.dll:
            bad.append(f"{dll}!{name}: DLL not allowed")
        elif (dll, name.lower()) not in allowed:
            bad.append(f"{dll}!{name}: not in {a.allow}")
    for b in bad:
        print("import check:", b, file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
