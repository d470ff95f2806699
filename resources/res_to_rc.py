#!/usr/bin/env python3
"""Turns a compiled resource file (.res) into a resource script that embeds
each resource's data unchanged, for windres to link.

GNU windres re-parses version resources it reads from a .res and refuses
blocks padded more than it expects, although Windows reads them; a script
line "ID TYPE FILE" with a numeric type makes it copy the bytes as they are.

    res_to_rc.py INPUT.res OUTPUT.rc
The data files are written beside OUTPUT.rc. Only numeric types and names
are handled (what our writer produces)."""
import os
import struct
import sys


def entries(data):
    offset = 0
    while offset + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, offset)
        if header < 32 or offset + header + size > len(data):
            raise SystemExit("res_to_rc: malformed resource header at %d" % offset)
        h = data[offset + 8:offset + header]
        marker, rtype, marker2, name = struct.unpack_from("<HHHH", h, 0)
        if marker != 0xFFFF or marker2 != 0xFFFF:
            raise SystemExit("res_to_rc: only numeric resource types and names are supported")
        language = struct.unpack_from("<H", h, 14)[0]
        if size:
            yield rtype, name, language, data[offset + header:offset + header + size]
        offset = (offset + header + size + 3) & ~3


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: res_to_rc.py INPUT.res OUTPUT.rc")
    source, target = sys.argv[1], sys.argv[2]
    with open(source, "rb") as f:
        data = f.read()
    folder = os.path.dirname(os.path.abspath(target))
    base = os.path.splitext(os.path.basename(target))[0]
    lines = ["// Generated from %s by res_to_rc.py." % os.path.basename(source)]
    for index, (rtype, name, language, payload) in enumerate(entries(data)):
        blob = "%s-%d.bin" % (base, index)
        with open(os.path.join(folder, blob), "wb") as f:
            f.write(payload)
        lines.append("LANGUAGE 0x%X, 0x%X" % (language & 0x3FF, language >> 10))
        lines.append('%d %d "%s"' % (name, rtype, os.path.join(folder, blob).replace("\\", "/")))
    with open(target, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
