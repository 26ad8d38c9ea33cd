#!/usr/bin/env python3
"""Fails, naming the offending line, when a folder of the tree reaches above its own layer.

Every folder is one static library; a folder may use only the folders below it (the table
LAYERS). CMake does not enforce that by itself: targets resolve after configuring, and the
source root is an include path of every target. So this script reads what the units really
use: every #include "folder/..." of a folder's sources and headers, and every oxa_* library
named in its CMakeLists.txt. It also keeps the host's own headers (POSIX, X11, FFmpeg, SQLite,
ICU) inside the folders that wrap them.

Usage: check-layering.py [SOURCE_ROOT]
"""
import os
import re
import sys

# The folders each folder may use directly; what those may use is allowed too.
LAYERS = {
    "platform": [],
    "rtl": ["platform"],
    # The windowing model stands on the runtime alone; the message window and the timers of
    # framework/ are built on it.
    "forms": ["rtl"],
    "framework": ["forms"],
    "tableengine": ["framework"],
    "tags": ["framework"],
    "scan": ["tags"],
    "library": ["tableengine", "scan"],
    "OxaIPC": ["framework"],
    "playback": ["library", "OxaIPC"],
    "graphics": ["framework"],
    "views": ["graphics", "playback"],
    # The compiled-in artwork; the program hands it to the views at start-up.
    "skin": ["platform"],
    "Music": ["views", "skin"],
}

# Host headers and the folders allowed to include them (components/ and tools/ stand outside
# the layers: stand-ins for outside libraries, and programs built on every layer).
HOST_HEADERS = [
    (re.compile(r"^(unistd|fcntl|dlfcn|poll|pthread|signal|spawn|termios)\.h$|^sys/|^X11/|^linux/"),
     {"platform"}),
    (re.compile(r"^lib(avcodec|avformat|avutil|swresample)/"), {"platform"}),
    (re.compile(r"^sqlite3\.h$"), {"tableengine"}),
    (re.compile(r"^taglib/"), {"tags"}),
    (re.compile(r"^unicode/"), {"platform", "rtl"}),
]

PROJECT_FOLDERS = set(LAYERS) | {"components", "tools", "tests", "bench", "fuzz", "skin"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
LINKED = re.compile(r"\boxa_([a-z0-9]+)\b")
NOT_LIBRARIES = {"add_library", "add_test", "add_bench", "add_fuzz", "warnings"}


def allowed_below(folder):
    seen = set()
    pending = list(LAYERS[folder])
    while pending:
        below = pending.pop()
        if below not in seen:
            seen.add(below)
            pending.extend(LAYERS[below])
    return seen


def check_sources(root, folder, allowed, problems):
    for directory, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(directory, name)
            shown = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    kind, header = match.groups()
                    top = header.split("/", 1)[0]
                    if kind == '"' and "/" in header and top in PROJECT_FOLDERS:
                        if top != folder and top not in allowed:
                            problems.append(f"{shown}:{number}: {folder} must not include {top}/: {line.strip()}")
                    for pattern, owners in HOST_HEADERS:
                        if pattern.search(header) and folder not in owners:
                            problems.append(f"{shown}:{number}: only {', '.join(sorted(owners))} may include "
                                            f"<{header}>: {line.strip()}")


def check_links(root, folder, allowed, problems):
    path = os.path.join(root, folder, "CMakeLists.txt")
    if not os.path.exists(path):
        return
    by_target = {name.lower(): name for name in LAYERS}
    with open(path, encoding="utf-8") as lists:
        for number, line in enumerate(lists, 1):
            code = line.split("#", 1)[0]
            for target in LINKED.findall(code):
                used = by_target.get(target)
                if target in NOT_LIBRARIES or used is None or used == folder:
                    continue
                if used not in allowed:
                    problems.append(f"{folder}/CMakeLists.txt:{number}: {folder} must not link oxa_{target}: "
                                    f"{line.strip()}")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = []
    for folder in LAYERS:
        if os.path.isdir(os.path.join(root, folder)):
            allowed = allowed_below(folder)
            check_sources(root, folder, allowed, problems)
            check_links(root, folder, allowed, problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
