#!/usr/bin/env python3
"""Fails when a product source includes a header of a layer above its own.

Bottom to top: platform with the workers' interfaces (the platform's
hand-over window implements them), then access beside the worker frame,
inventory and cleanup, trace and uninstall, ui, and the programs (app,
bench). Folders on one level may include each other. The Win32 toolkit
(ui/toolkit/win32) is included from ui alone. The system's own headers
(<windows.h> and every other "<name.h>") are included by the platform, the
toolkit and the window program's entry alone: every other layer reaches
Windows through them. Tests
include anything.
"""
import os
import re
import sys

LEVELS = [  # (prefix, level); the longest matching prefix decides
    ("platform/", 0),
    ("workers/handover.h", 0),
    ("workers/", 1),
    ("access/", 1),
    ("inventory/", 2),
    ("cleanup/", 2),
    ("tracking/", 2),
    ("trace/", 3),
    ("uninstall/", 3),
    ("ui/", 4),
    ("app/", 5),
    ("bench/", 5),
]
UI_ONLY = "ui/toolkit/win32/"
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+\.h)>')
# The window program's entry (wWinMain, COM for the shell dialogs) is the one
# file outside them that is written against Windows itself.
SYSTEM_ALLOWED = ("platform/", "ui/toolkit/", "app/main.cpp")


def level(path):
    best = None
    for prefix, lvl in LEVELS:
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, lvl)
    return None if best is None else best[1]


def violations(root):
    found = []
    for top in sorted({p.split("/")[0] for p, _ in LEVELS}):
        for folder, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                source = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        system = SYSTEM_INCLUDE.match(line)
                        if system and not source.startswith(SYSTEM_ALLOWED):
                            found.append("%s:%d includes <%s> (a system header outside the platform and the toolkit)"
                                         % (source, number, system.group(1)))
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        header = match.group(1)
                        if not os.path.exists(os.path.join(root, header)):
                            continue  # a generated header or one beside the source
                        where = "%s:%d includes %s" % (source, number, header)
                        if level(header) is None:
                            found.append(where + " (a header of no layer)")
                        elif level(header) > level(source):
                            found.append(where + " (a layer above)")
                        elif header.startswith(UI_ONLY) and not source.startswith("ui/"):
                            found.append(where + " (the Win32 toolkit outside ui)")
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    found = violations(os.path.abspath(root))
    for line in found:
        print(line)
    print("%d include(s) against the layer order" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
