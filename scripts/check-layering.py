#!/usr/bin/env python3
"""Fails, naming the offending line, when a folder of the tree reaches above its own layer.

A layer is a folder of the tree, or a subfolder that holds libraries of its own ("Music/control");
a layer may use only the layers below it (the table LAYERS). CMake does not enforce that by
itself: targets resolve after configuring, and the source root is an include path of every
target. So this script reads what the units really use: every #include "folder/..." of a
layer's sources and headers (a subfolder that is a layer of its own is checked as that layer),
and every oxa_* library named in its CMakeLists.txt, found in the folder whose CMakeLists.txt
adds it. It also keeps the host's own headers (POSIX, X11, FFmpeg, SQLite, ICU) inside the
folders that wrap them.

The folders outside the layers have their own rules (OUTSIDE): the run-time components see
only the platform, a tool may use every layer but no test, and the tests and benchmarks of a
folder use that folder and what it may use. A header under a "detail/" folder belongs to the
folder that holds it: only files inside that folder may include it.

The layer diagram of docs/ARCHITECTURE.md is this table as --diagram prints it, between the
two marker lines DIAGRAM_BEGIN and DIAGRAM_END; the check fails when the two differ, so the
picture cannot drift from the rule.

The build runs this check before it compiles anything, so a wrong-way include fails the build.

Usage: check-layering.py [SOURCE_ROOT]
       check-layering.py --diagram    (prints the layer diagram the doc must hold)
"""
import argparse
import difflib
import os
import re
import sys

# The folders each folder may use directly; what those may use is allowed too.
LAYERS = {
    # The platform in five libraries, one mechanism each; everything below display is the headless
    # platform, which is all the layers up to the graphics use.
    "platform/core": [],
    "platform/files": ["platform/core"],
    "platform/objects": ["platform/files"],
    "platform/windows": ["platform/objects"],
    # The X server, the host's fonts and the controls that draw text.
    "platform/display": ["platform/windows"],
    "rtl": ["platform/windows"],
    # The windowing model stands on the runtime alone; the message window and the timers of
    # framework/ are built on it.
    "forms": ["rtl"],
    "framework": ["forms"],
    "tableengine": ["framework"],
    "tags": ["framework"],
    # The settings file and unit, below everything that reads the settings.
    "settings": ["framework"],
    "scan": ["tags", "settings"],
    "library": ["tableengine", "scan"],
    "OxaIPC": ["framework"],
    "playback": ["library", "OxaIPC"],
    "graphics": ["framework", "platform/display"],
    # The skinned views and their assets draw with the graphics alone; each library above them has
    # a folder of its own: the music list, the frame around it, the track info panel (whose text
    # is edited with the list's editor) and the scan panel.
    "views": ["graphics"],
    "views/list": ["views", "library"],
    "views/frame": ["views/list", "views"],
    "views/info": ["views/list", "views", "playback"],
    "views/scan": ["views", "playback"],
    # The compiled-in artwork; the program hands it to the views at start-up.
    "skin": ["platform/windows"],
    # The program, one library per subfolder: the rules without a window, the browser's rows,
    # the session-bus player interface, and the application shell over all of them.
    "Music/control": ["library", "OxaIPC", "forms"],
    "Music/lists": ["views/list", "library"],
    "Music/mpris": ["Music/control", "framework"],
    "Music/form": ["Music/control", "Music/lists", "Music/mpris", "views/frame", "views/info", "views/scan",
                   "views", "skin", "playback", "OxaIPC", "forms"],
    # The executable alone.
    "Music": ["Music/form"],
}

DIAGRAM_DOC = os.path.join("docs", "ARCHITECTURE.md")
DIAGRAM_BEGIN = "<!-- layer diagram: printed by scripts/check-layering.py --diagram -->"
DIAGRAM_END = "<!-- end of layer diagram -->"

# Host headers and the folders allowed to include them (components/ and tools/ stand outside
# the layers: stand-ins for outside libraries, and programs built on every layer).
PLATFORM = {"platform/core", "platform/files", "platform/objects", "platform/windows", "platform/display"}
HOST_HEADERS = [
    (re.compile(r"^(unistd|fcntl|dlfcn|poll|pthread|signal|spawn|termios)\.h$|^sys/|^linux/"), PLATFORM),
    # The key names of X are plain constants the input tables of the windows share; the X libraries
    # themselves, and the font libraries, are the display's alone.
    (re.compile(r"^X11/(keysym|XF86keysym)\.h$"), {"platform/windows", "platform/display"}),
    (re.compile(r"^X11/(?!(keysym|XF86keysym)\.h$)"), {"platform/display"}),
    # The skin's compiler draws the artwork's text at build time.
    (re.compile(r"^(ft2build\.h|fontconfig/)"), {"platform/display", "skin"}),
    (re.compile(r"^(png|jpeglib)\.h$"), {"platform/windows"}),
    (re.compile(r"^lib(avcodec|avformat|avutil|swresample)/"), PLATFORM),
    (re.compile(r"^sqlite3\.h$"), {"tableengine"}),
    (re.compile(r"^taglib/"), {"tags"}),
    (re.compile(r"^unicode/"), PLATFORM | {"rtl"}),
]

PROJECT_FOLDERS = ({layer.split("/", 1)[0] for layer in LAYERS} |
                   {"components", "tools", "tests", "bench", "fuzz"})
EVERY_LAYER = set(LAYERS)


def layer_of(header):
    """The layer a project header belongs to: the deepest layer whose folder holds it
    ("Music/control" for "Music/control/X.h", "views" for "views/detail/X.h"), or None."""
    parts = header.split("/")[:-1]
    for end in range(len(parts), 0, -1):
        folder = "/".join(parts[:end])
        if folder in LAYERS:
            return folder
    return None

# What the tests and benchmarks of a folder use beyond that folder and its layers below, and why.
TEST_EXTRAS = {
    # The platform's tests are one binary over all five libraries.
    "platform": {"platform/display"},
    # The program's artwork, to draw the views as the program does; the tests of the views'
    # libraries in their sub-folders stay with the views' own.
    "views": {"skin", "tests/tags", "views/list", "views/frame", "views/info", "views/scan"},
    # The skin's tests draw it through the views and read it back with oxa-lib's sheet.
    "skin": {"views", "tools/oxa-lib-screen"},
    # The scan's results are checked in the library they fill.
    "scan": {"library"},
    # The player's tests load the run-time components.
    "playback": {"components"},
    "support": EVERY_LAYER,
    "tools": EVERY_LAYER | {"components", "tools", "tests/library", "tests/tags"},
    "components": {"components", "platform/windows"},
}


def outside_allowed(top, sub):
    """What a file under top/sub/ (a folder outside the layers) may include, as folder names or
    "tests/x"-style pairs; None when the folder has no rule."""
    if top == "components":
        return {"components/" + sub} | PLATFORM - {"platform/display"}
    if top == "tools":
        allowed = EVERY_LAYER | {"tools/" + sub, "tools/make-test-media"}
        # oxa-lib's screen commands share its command table, arguments and JSON writer.
        if sub == "oxa-lib-screen":
            allowed.add("tools/oxa-lib")
        return allowed
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
    """Every #include under the folder base, less its subfolders that are layers of their own:
    (the first folder below base, the file as shown, line number, line, "<" or '"', header)."""
    start = os.path.join(root, base)
    for directory, folders, files in os.walk(start):
        folders[:] = sorted(name for name in folders
                            if os.path.relpath(os.path.join(directory, name), root).replace(os.sep, "/")
                            not in LAYERS)
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
            used = layer_of(header) or top
            if used != folder and used not in allowed:
                problems.append(f"{shown}:{number}: {folder} must not include {used}/: {line.strip()}")
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
        layer = layer_of(header)
        if layer is not None:
            if layer in allowed:
                continue
            folder = layer
        else:
            folder = parts[0] if len(parts) == 2 else "/".join(parts[:2])
            if parts[0] in allowed or folder in allowed:
                continue
        where = top + ("/" + sub if sub else "")
        problems.append(f"{shown}:{number}: {where} must not include {folder}/: {line.strip()}")


ADDED = re.compile(r"\boxa_add_library\(\s*oxa_([a-z0-9]+)\b")


def library_layers(root):
    """The layer of every oxa_* library: the layer whose own CMakeLists.txt adds it
    ("musiccontrol" -> "Music/control", "musiclistview" -> "views/list"). A layer without a
    CMakeLists.txt is taken to add the library named after it ("oxaipc" -> "OxaIPC")."""
    by_library = {layer.lower().replace("/", ""): layer for layer in LAYERS}
    for layer in LAYERS:
        path = os.path.join(root, layer, "CMakeLists.txt")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as lists:
                for line in lists:
                    for library in ADDED.findall(line.split("#", 1)[0]):
                        by_library[library] = layer
    return by_library


def check_links(root, folder, allowed, by_library, problems):
    path = os.path.join(root, folder, "CMakeLists.txt")
    if not os.path.exists(path):
        return
    with open(path, encoding="utf-8") as lists:
        for number, line in enumerate(lists, 1):
            code = line.split("#", 1)[0]
            for target in LINKED.findall(code):
                used = by_library.get(target)
                if target in NOT_LIBRARIES or used is None or used == folder:
                    continue
                if used not in allowed:
                    problems.append(f"{folder}/CMakeLists.txt:{number}: {folder} must not link oxa_{target}: "
                                    f"{line.strip()}")


def diagram():
    """The layers bottom-up, one line each: a layer and the layers it uses directly."""
    return "".join(f"{layer}: {', '.join(uses)}\n" if uses else f"{layer}\n"
                   for layer, uses in LAYERS.items())


def check_diagram(root, problems):
    """The doc's diagram, between its two marker lines, is what diagram() prints, in a code block."""
    path = os.path.join(root, DIAGRAM_DOC)
    if not os.path.exists(path):
        return
    with open(path, encoding="utf-8") as doc:
        lines = doc.readlines()
    marks = [number for number, line in enumerate(lines) if line.strip() in (DIAGRAM_BEGIN, DIAGRAM_END)]
    if (len(marks) != 2 or lines[marks[0]].strip() != DIAGRAM_BEGIN or
            lines[marks[1]].strip() != DIAGRAM_END):
        problems.append(f"{DIAGRAM_DOC}: the layer diagram must stand once between the lines "
                        f"{DIAGRAM_BEGIN} and {DIAGRAM_END}")
        return
    shown = lines[marks[0] + 1:marks[1]]
    wanted = ["```\n"] + diagram().splitlines(keepends=True) + ["```\n"]
    if shown != wanted:
        first = next((index for index, (have, want) in enumerate(zip(shown, wanted)) if have != want),
                     min(len(shown), len(wanted)))
        difference = "".join(difflib.unified_diff(shown, wanted, f"{DIAGRAM_DOC} (as written)",
                                                  "LAYERS (check-layering.py --diagram)"))
        problems.append(f"{DIAGRAM_DOC}:{marks[0] + 2 + first}: the layer diagram differs from the table "
                        f"LAYERS; put the output of scripts/check-layering.py --diagram between the markers, "
                        f"in a ``` block:\n{difference.rstrip()}")


def main():
    parser = argparse.ArgumentParser(description="Checks that every layer uses only the layers below it.")
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."),
                        help="the source root (default: this script's tree)")
    parser.add_argument("--diagram", action="store_true", help="print the layer diagram and stop")
    arguments = parser.parse_args()
    if arguments.diagram:
        sys.stdout.write(diagram())
        return 0
    root = arguments.root
    problems = []
    by_library = library_layers(root)
    for folder in LAYERS:
        if os.path.isdir(os.path.join(root, folder)):
            allowed = allowed_below(folder)
            check_sources(root, folder, allowed, problems)
            check_links(root, folder, allowed, by_library, problems)
    for top in ("components", "tools", "tests", "bench", "fuzz"):
        if os.path.isdir(os.path.join(root, top)):
            check_outside(root, top, problems)
    check_diagram(root, problems)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
