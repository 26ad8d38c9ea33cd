#!/usr/bin/env python3
"""Fails, naming the offending line, when a folder of the tree reaches above its own layer.

Every folder is one static library; a folder may use only the folders below it (the table
LAYERS). CMake does not enforce that by itself: targets resolve after configuring, and the
source root is an include path of every target. So this script reads what the units really
use: every #include "folder/..." of a folder's sources and headers, and every oxa_* library
named in its CMakeLists.txt. It also keeps the host's own headers (POSIX, X11, FFmpeg, SQLite,
ICU) inside the folders that wrap them.

The folders outside the layers have their own rules (OUTSIDE): the run-time components see
only the platform, a tool may use every layer but no test, and the tests and benchmarks of a
folder use that folder and what it may use. A header under a "detail/" folder belongs to the
folder that holds it: only files inside that folder may include it.

The build runs this check before it compiles anything, so a wrong-way include fails the build.

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
EVERY_LAYER = set(LAYERS)

# What the tests and benchmarks of a folder use beyond that folder and its layers below, and why.
TEST_EXTRAS = {
    # The program's artwork, to draw the views as the program does.
    "views": {"skin", "tests/tags"},
    # The skin's tests draw it through the views and read it back with oxa-lib's sheet.
    "skin": {"views", "tools/oxa-lib"},
    # The scan's results are checked in the library they fill.
    "scan": {"library"},
    # The player's tests load the run-time components.
    "playback": {"components"},
    "support": EVERY_LAYER,
    "tools": EVERY_LAYER | {"components", "tools", "tests/library", "tests/tags"},
    "components": {"components", "platform"},
}


def outside_allowed(top, sub):
    """What a file under top/sub/ (a folder outside the layers) may include, as folder names or
    "tests/x"-style pairs; None when the folder has no rule."""
    if top == "components":
        return {"platform", "components/" + sub}
    if top == "tools":
        return EVERY_LAYER | {"tools/" + sub, "tools/make-test-media"}
    if top == "fuzz":
        return EVERY_LAYER | {"fuzz"}
    if top in ("tests", "bench"):
        allowed = {"tests/support", "bench/support", "tools/make-test-media", top + "/" + sub}
        if sub in LAYERS:
            allowed |= {sub} | allowed_below(sub)
        for extra in TEST_EXTRAS.get(sub, set()):
            allowed |= {extra} | (allowed_below(extra) if extra in LAYERS else set())
        return allowed
    return None


def detail_owner(header):
    """The folder a detail/ header belongs to ("platform/display" for
    "platform/display/detail/X.h"), or None for a public header."""
    parts = header.split("/")
    if "detail" not in parts[:-1]:
        return None
    return "/".join(parts[:parts.index("detail")])


def check_detail(shown, number, line, header, problems):
    owner = detail_owner(header)
    if owner is not None and not shown.startswith(owner + "/"):
        problems.append(f"{shown}:{number}: only {owner}/ may include its detail header: {line.strip()}")
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


def includes(root, base):
    """Every #include under the folder base: (the first folder below base, the file as shown,
    line number, line, "<" or '"', header)."""
    start = os.path.join(root, base)
    for directory, _, files in os.walk(start):
        relative = os.path.relpath(directory, start)
        sub = "" if relative == "." else relative.split(os.sep, 1)[0]
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(directory, name)
            shown = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    match = INCLUDE.match(line)
                    if match:
                        yield sub, shown, number, line, match.group(1), match.group(2)


def check_sources(root, folder, allowed, problems):
    for _, shown, number, line, kind, header in includes(root, folder):
        top = header.split("/", 1)[0]
        if kind == '"':
            check_detail(shown, number, line, header, problems)
        if kind == '"' and "/" in header and top in PROJECT_FOLDERS:
            if top != folder and top not in allowed:
                problems.append(f"{shown}:{number}: {folder} must not include {top}/: {line.strip()}")
        for pattern, owners in HOST_HEADERS:
            if pattern.search(header) and folder not in owners:
                problems.append(f"{shown}:{number}: only {', '.join(sorted(owners))} may include "
                                f"<{header}>: {line.strip()}")


def check_outside(root, top, problems):
    """The includes of the folders outside the layers, each subfolder by its rule."""
    for sub, shown, number, line, kind, header in includes(root, top):
        allowed = outside_allowed(top, sub)
        if allowed is None or kind != '"':
            continue
        check_detail(shown, number, line, header, problems)
        parts = header.split("/")
        if len(parts) < 2 or parts[0] not in PROJECT_FOLDERS:
            continue
        folder = parts[0] if parts[0] in LAYERS or len(parts) == 2 else "/".join(parts[:2])
        if parts[0] in allowed or folder in allowed:
            continue
        where = top + ("/" + sub if sub else "")
        problems.append(f"{shown}:{number}: {where} must not include {folder}/: {line.strip()}")


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
    for top in ("components", "tools", "tests", "bench", "fuzz"):
        if os.path.isdir(os.path.join(root, top)):
            check_outside(root, top, problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
