#!/usr/bin/env python3
"""Fails when a source of a widget-free library includes a Qt Gui or Widgets
header (or any other display module's) by any spelling.

Linking is checked by cmake/LayerCheck.cmake, but that is not enough: Qt Core
puts Qt's include root on the path, so `#include <QtWidgets/QWidget>` or
`#include <QtGui/QImage>` compiles in a Core-only library and only fails, if
at all, when linking. This reads the include lines themselves.

Usage: check-core-includes.py QT_INCLUDE_ROOT SOURCE...
"""
import os
import re
import sys

# Modules a headless library may use; every other Qt module is a display one.
ALLOWED_MODULES = {"QtCore", "QtSql", "QtConcurrent", "QtNetwork", "QtXml", "QtDBus"}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')


def module_headers(root):
    """Maps each header name to the set of Qt modules that ship it."""
    owners = {}
    for module in os.listdir(root):
        path = os.path.join(root, module)
        if not module.startswith("Qt") or not os.path.isdir(path):
            continue
        for header in os.listdir(path):
            owners.setdefault(header, set()).add(module)
    return owners


def forbidden_reason(name, owners):
    parts = name.replace("\\", "/").split("/")
    if len(parts) > 1 and parts[0].startswith("Qt"):
        if parts[0] not in ALLOWED_MODULES:
            return "module " + parts[0]
        return None
    modules = owners.get(parts[-1])
    if len(parts) == 1 and modules and not modules & ALLOWED_MODULES:
        return "module " + ", ".join(sorted(modules))
    return None


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    owners = module_headers(argv[1])
    if "QtCore" not in {m for ms in owners.values() for m in ms}:
        print("no Qt headers under " + argv[1], file=sys.stderr)
        return 2
    faults = 0
    for source in argv[2:]:
        with open(source, encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                match = INCLUDE.match(line)
                reason = match and forbidden_reason(match.group(1), owners)
                if reason:
                    print(f"{source}:{number}: includes {match.group(1)} ({reason})")
                    faults += 1
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
