"""Cloned Windows 2000 test prefixes for the Python Wine harnesses.

The work is done by wineprefix.sh next to this file (see its "clone" and
"remove"); a harness that runs its cases in a copy of a template prefix does:

    sys.path.insert(0, os.path.join(ROOT, "scripts"))
    import wineprefix

    if wineprefix.clone(template, prefix, log_path):
        ...  # no usable template: fail the case (the reason is in log_path)
    rc = subprocess.call([wineprefix.SCRIPT, "run", prefix, "--", ...])
    return wineprefix.finish(prefix, rc)

finish() removes the prefix of a passed case (rc 0) and keeps a failed
one; QUENDRO_KEEP_PREFIXES=1 keeps every prefix.
"""

import os
import subprocess

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wineprefix.sh")


def clone(template, prefix, log_path):
    """Makes prefix a copy of template; returns the exit code (output in log_path, printed on failure)."""
    with open(log_path, "wb") as log:
        rc = subprocess.call(["sh", SCRIPT, "clone", template, prefix], stdout=log,
                             stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    if rc:
        with open(log_path, errors="replace") as log:
            print(log.read(), end="", flush=True)
    return rc


def finish(prefix, rc):
    """The case's exit code rc, after removing its prefix if it passed.

    A passed case that changed files its prefix shares with the template
    fails here (1): the template, and every copy of it, is then damaged.
    """
    if rc != 0:
        return rc
    return subprocess.call(["sh", SCRIPT, "remove", prefix], stdin=subprocess.DEVNULL)
