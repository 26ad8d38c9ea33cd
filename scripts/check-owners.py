#!/usr/bin/env python3
"""Fails, naming the line, when a resource is let go by hand outside the types that own it.

Handles, mapped ranges, descriptors and Xlib images each have one owner type (THandleOwner,
TMappedView, TFileDescriptor, the pixel memory of a surface, TXImage); everything else holds them through those, so
no early return or thrown exception can leak one. This looks for the calls that let go of them
(CloseHandle, munmap, close, XDestroyImage) in the program's folders; the tests, benchmarks and fuzzers call
the layer's API directly on purpose and are not looked at.

Usage: check-owners.py [SOURCE_ROOT]
"""
import os
import re
import sys

# The calls, and the files allowed to make them: the owners, and the layer's implementation of
# the call itself.
RELEASES = [
    (re.compile(r"(?<![\w:])CloseHandle\s*\("),
     {"platform/core/Handles.cpp",  # THandleOwner, and the call itself
      "platform/core/Handles.h",  # its declaration
      "platform/files/FindFiles.cpp"}),  # FindClose: a find handle is a kernel handle
    (re.compile(r"\bmunmap\s*\("),
     {"platform/objects/detail/MappedView.h",  # TMappedView
      "platform/objects/FileMappings.cpp",  # UnmapViewOfFile itself
      "platform/windows/Surface.cpp"}),  # TPixelMemory, a surface's pixels
    (re.compile(r"\bXDestroyImage\s*\("),
     {"platform/display/detail/XImageOwner.h"}),  # TXImage and TXImageOver
    (re.compile(r"(?<![\w.>])::close\s*\(|(?<![\w.>:])close\s*\(\s*(fd|file|descriptor)\b"),
     {"platform/files/FileDescriptor.cpp",  # TFileDescriptor
      "components/wmvcore/MetadataEditor.cpp"}),  # TOwnedFile: the component links no layer
]

SKIPPED = {"tests", "bench", "fuzz", "build", ".git", "docs", "scripts"}
COMMENT = re.compile(r"^\s*//")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = []
    for top in sorted(os.listdir(root)):
        if top in SKIPPED or top.startswith(".") or not os.path.isdir(os.path.join(root, top)):
            continue
        for directory, folders, files in os.walk(os.path.join(root, top)):
            folders[:] = [f for f in folders if not f.startswith(".")]
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(directory, name)
                shown = os.path.relpath(path, root).replace(os.sep, "/")
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        if COMMENT.match(line):
                            continue
                        for pattern, owners in RELEASES:
                            if pattern.search(line) and shown not in owners:
                                problems.append(f"{shown}:{number}: let go through its owner type: {line.strip()}")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
