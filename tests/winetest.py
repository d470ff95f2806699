"""The one harness of the Wine tests: ways, prefixes, programs and time limits.

A Wine test runs in one of two ways, chosen by the programs it runs:

    native64   the x86_64 build (build/win64) under wine64, at native speed;
    shipped32  the shipped i686 programs (build/win32) under wine32, whose
               loader the kernel runs itself or, where it cannot start i386
               programs, qemu-i386 through binfmt_misc (scripts/i386-emulation.sh).

A harness calls use_way(program, ...) once with the programs it runs: that
checks that the way can run here (failing with the reason if not), and sets
the environment every Wine program of the test inherits: the loader ("wine"
and "wineboot" on PATH), WINEARCH for new prefixes, the Japanese locale. Then:

    rc = clone(template, prefix, log)        # a copy of a prefix, in a second
    rc = run(prefix, [sys.executable, __file__, "inside", ...])
    return finish(prefix, rc)                # removed if passed, kept if failed

and inside, start(exe, args, out_base) / end(proc, timeout) for each program.
Time limits are the program's own waits (constant() reads them from its
sources) plus a margin that factor() scales under emulation.

The same as a command, for tests written in shell:

    winetest.py run-in-clone TEMPLATE PREFIX --out BASE -- PROGRAM.exe [ARGS...]
    eval "$(winetest.py env PROGRAM.exe)"    # the way's environment, in shell
    winetest.py describe PROGRAM.exe         # how the way runs here, one line
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PREFIX_SCRIPT = os.path.join(ROOT, "scripts", "wineprefix.sh")
EMULATION_SCRIPT = os.path.join(ROOT, "scripts", "i386-emulation.sh")


class WayUnavailable(Exception):
    """The way a test needs cannot run on this machine."""


class Way:
    def __init__(self, name, machine, winearch, loader, build):
        self.name = name
        self.machine = machine      # PE machine type of its programs
        self.winearch = winearch    # WINEARCH of its prefixes
        self.loader = loader        # Wine's loader for its programs
        self.build = build          # the build folder of its programs
        self.emulated = False
        self.description = ""

    def shim_dir(self):
        return os.path.join(ROOT, "build", "wine-ways", self.name)


WAYS = {
    "native64": Way("native64", 0x8664, "win64", "/usr/lib/wine/wine64", "win64"),
    "shipped32": Way("shipped32", 0x014C, "win32", "/usr/lib/wine/wine", "win32"),
}
_current = None

# Time limits: the margin above a program's own waits, and its factor under
# emulation (measured: a 32-bit program starts in about 0.3 s warm under
# qemu-i386 against 0.07 s natively; code that computes runs about 3x
# slower, code that waits hardly slower).
MARGIN_S = 3.0
EMULATION_FACTOR = 3.0


def pe_machine(path):
    """The machine type in a PE image's header."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ" or len(head) < 64:
        raise ValueError("%s is not a Windows program" % path)
    pe = struct.unpack_from("<I", head, 60)[0]
    if head[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s has no PE header" % path)
    return struct.unpack_from("<H", head, pe + 4)[0]


def way_for(*programs):
    """The way that runs these programs; they must all be of one build."""
    machines = {pe_machine(p) for p in programs}
    ways = [w for w in WAYS.values() if w.machine in machines]
    if len(machines) != 1 or len(ways) != 1:
        raise WayUnavailable("programs of different or unknown builds: %s" % ", ".join(programs))
    return ways[0]


def _write_shim(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path) as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    tmp = "%s.%d" % (path, os.getpid())
    with open(tmp, "w") as f:
        f.write(text)
    os.chmod(tmp, 0o755)
    os.replace(tmp, path)


def _check(way):
    """Fills in how the way runs here, or raises WayUnavailable."""
    if not os.access(way.loader, os.X_OK):
        raise WayUnavailable("%s needs %s (scripts/setup.sh installs it)" % (way.name, way.loader))
    if way.name != "shipped32":
        way.description = "x86_64 programs under wine64"
        return
    # Cached for the test's child processes.
    status = os.environ.get("QUENDRO_I386_STATUS")
    if not status:
        status = subprocess.run(["sh", EMULATION_SCRIPT, "status"], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, text=True).stdout.strip()
    if status == "native":
        way.description = "i686 programs under wine32, run by the kernel"
    elif status.startswith("emulated"):
        way.emulated = True
        way.description = "i686 programs under wine32, %s" % status
    else:
        raise WayUnavailable("shipped32: this machine cannot start i386 programs and no "
                             "emulation is registered (status %r); run scripts/setup.sh" % status)
    os.environ["QUENDRO_I386_STATUS"] = status


def use_way(*programs, quiet=False):
    """Chooses the way for these programs and sets this process's environment."""
    global _current
    way = way_for(*programs)
    _check(way)
    shims = way.shim_dir()
    env = "WINELOADER=%s " % way.loader if way.name == "native64" else ""
    # Debian's own "wine" and "wineboot" take the i386 loader whenever wine32
    # is installed.
    _write_shim(os.path.join(shims, "wine"), "#!/bin/sh\n%sexec %s \"$@\"\n" % (env, way.loader))
    _write_shim(os.path.join(shims, "wineboot"), "#!/bin/sh\nexec wine wineboot.exe \"$@\"\n")
    path = os.environ.get("PATH", "/usr/bin:/bin").split(os.pathsep)
    path = [p for p in path if not p.startswith(os.path.join(ROOT, "build", "wine-ways"))]
    os.environ["PATH"] = os.pathsep.join([shims] + path)
    os.environ["WINEARCH"] = way.winearch
    os.environ["QUENDRO_WINE_WAY"] = way.name
    os.environ["LANG"] = os.environ["LC_ALL"] = "ja_JP.UTF-8"
    os.environ.setdefault("WINEDEBUG", "-all")
    _current = way
    if not quiet:
        print("way: %s (%s)" % (way.name, way.description), flush=True)
    return way


def current():
    if _current is None:
        raise RuntimeError("use_way() was not called")
    return _current


# --- time limits ------------------------------------------------------------


def factor():
    """How much longer than natively the margin of a time limit is here."""
    return EMULATION_FACTOR if current().emulated else 1.0


def constant(relpath, name):
    """An integer constant of the program's sources ("constexpr unsigned NAME = 1500;")."""
    with open(os.path.join(ROOT, relpath), encoding="utf-8") as f:
        m = re.search(r"\b%s\s*=\s*(\d+)\s*;" % re.escape(name), f.read())
    if not m:
        raise LookupError("%s not found in %s" % (name, relpath))
    return int(m.group(1))


def console_wait_s():
    """How long the defragmenter automation waits for the console to open."""
    tries = constant("src/run/DefragDrive.h", "kStartTries")
    return tries * constant("src/run/DefragDrive.h", "kStartSleepMs") / 1000.0


# --- files and paths -------------------------------------------------------------


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read(path, mode="rb"):
    try:
        with open(path, mode) as f:
            return f.read()
    except FileNotFoundError:
        return b"" if "b" in mode else ""


def wait_for(predicate, timeout, step=0.1):
    end = time.time() + timeout
    while time.time() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def sh(args, log):
    """Runs a host command with its output in log; its exit code."""
    with open(log, "wb") as out:
        return subprocess.call(args, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)


# --- prefixes ---------------------------------------------------------------------


def _arch_of(prefix):
    head = read(os.path.join(prefix, "system.reg"), "r")[:4096]
    m = re.search(r"^#arch=(\w+)", head, re.M)
    return m.group(1) if m else None


def create(prefix, standin, log):
    """Makes a fresh Windows 2000 prefix of the current way; its exit code."""
    current()
    os.makedirs(os.path.dirname(os.path.abspath(prefix)), exist_ok=True)
    rc = sh(["sh", PREFIX_SCRIPT, "create", prefix, standin], log)
    if rc == 0 and _arch_of(prefix) != current().winearch:
        with open(log, "a") as f:
            f.write("the new prefix is %s, not %s\n" % (_arch_of(prefix), current().winearch))
        rc = 1
    if rc:
        print(read(log, "r")[-4000:], end="", flush=True)
    return rc


def clone(template, prefix, log):
    """Makes prefix a copy of template; its exit code (the reason printed on failure)."""
    arch = _arch_of(template)
    if arch is not None and arch != current().winearch:
        print("the template %s is a %s prefix; the way %s needs %s: make it again"
              % (template, arch, current().name, current().winearch), flush=True)
        return 2
    rc = sh(["sh", PREFIX_SCRIPT, "clone", template, prefix], log)
    if rc:
        print(read(log, "r"), end="", flush=True)
        print("cannot copy the template prefix; was its test (e2e_prefix_template) run?", flush=True)
    return rc


def run(prefix, argv, out=None):
    """Runs argv (a host command, or a .exe under Wine) on a display of its own in prefix."""
    args = ["sh", PREFIX_SCRIPT, "run", prefix]
    if out:
        args += ["--out", out]
    return subprocess.call(args + ["--"] + list(argv), stdin=subprocess.DEVNULL)


def finish(prefix, rc):
    """rc, after removing prefix if it passed (a passed case that changed the
    files it shares with its template fails here)."""
    if rc != 0:
        return rc
    return subprocess.call(["sh", PREFIX_SCRIPT, "remove", prefix], stdin=subprocess.DEVNULL)


def fresh_copy(paths, folder):
    """Copies of the programs under test, so that a rebuild during the run
    does not change them under it; their new paths."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    copies = []
    for p in paths:
        copy = os.path.join(folder, os.path.basename(p))
        shutil.copy2(p, copy)
        copies.append(copy)
    return copies


# --- programs ---------------------------------------------------------------------


def start(exe, args, out_base, env=None, cwd=None):
    """Starts a Windows program of the current prefix (WINEPREFIX and DISPLAY
    set); its output goes to out_base.out and .err, as Wine's background
    processes keep inherited pipes open."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    with open(out_base + ".out", "wb") as out, open(out_base + ".err", "wb") as err:
        return subprocess.Popen(["wine", exe] + list(args), stdout=out, stderr=err,
                                stdin=subprocess.DEVNULL, env=full_env,
                                cwd=cwd or os.path.dirname(out_base))


def end(proc, timeout):
    """The program's exit code, or None after killing it when it did not end in time."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None


def screenshot(target, log):
    """Saves the prefix's virtual desktop (the top left 800x600 of the
    current display) to target."""
    with open(log, "wb") as out:
        subprocess.call(["import", "-window", "root", "-crop", "800x600+0+0", "+repage", target],
                        stdout=out, stderr=out, stdin=subprocess.DEVNULL)
    return target


# --- command line -----------------------------------------------------------------


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["run-in-clone", "env", "describe"])
    parser.add_argument("places", nargs="*", help="TEMPLATE PREFIX (run-in-clone)")
    parser.add_argument("--out", help="where the program's output goes (run-in-clone)")
    opts, rest = parser.parse_known_args()
    if rest[:1] == ["--"]:
        rest = rest[1:]
    program = rest[0] if rest else (opts.places[0] if opts.command != "run-in-clone" and opts.places else None)
    if not program:
        parser.error("no program")
    try:
        way = use_way(program, quiet=opts.command != "run-in-clone")
    except WayUnavailable as e:
        if opts.command == "describe":
            print("cannot run here: %s" % e)
            return 0
        print("cannot run: %s" % e, file=sys.stderr, flush=True)
        return 1
    if opts.command == "describe":
        print(way.description)
        return 0
    if opts.command == "env":
        for name in ("PATH", "WINEARCH", "QUENDRO_WINE_WAY", "QUENDRO_I386_STATUS", "LANG", "LC_ALL",
                     "WINEDEBUG"):
            if name in os.environ:
                print("export %s='%s'" % (name, os.environ[name].replace("'", "'\\''")))
        print("QUENDRO_WAY_DESCRIPTION='%s (%s)'" % (way.name, way.description))
        return 0
    if len(opts.places) != 2 or not opts.out:
        parser.error("run-in-clone TEMPLATE PREFIX --out BASE -- PROGRAM [ARGS...]")
    template, prefix = opts.places
    os.makedirs(os.path.dirname(os.path.abspath(opts.out)), exist_ok=True)
    rc = clone(template, prefix, opts.out + "-clone.log")
    if rc:
        return rc
    rc = run(prefix, rest, opts.out)
    # The programs report in code page 932.
    sys.stdout.write(read(opts.out + ".out").decode("cp932", "replace"))
    print("exit code %d" % rc, flush=True)
    return finish(prefix, rc)


if __name__ == "__main__":
    sys.exit(main())
