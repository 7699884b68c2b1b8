#!/usr/bin/env python3
"""Checks that the libraries depend on each other one way, as README and
DESIGN say, and that the sources keep to what their CMake files link:

- the link graph of src/**/CMakeLists.txt has no cycle, and every link goes
  to the same layer or a lower one;
- every #include "folder/..." of a library's sources names a library it
  links (directly or through others);
- a library that does not link Qt includes no Qt header, and one that links
  no more than QtCore includes only QtCore headers;
- tessel-cli (given as the second argument) loads neither Qt Widgets nor Qt Gui.
"""
import os
import re
import subprocess
import sys

# The documented layers, highest first. A library may use its own layer and
# those below it.
LAYERS = [
    ["desktop", "handheld"],
    ["widgets", "sites_dialogs", "files_dialogs"],
    ["files"],
    ["sites"],
    ["ftp", "platform_gui"],
    ["socket", "platform_qt"],
    ["platform"],
]
RANK = {name: rank for rank, names in enumerate(LAYERS) for name in names}
QT_CORE_HEADERS = "/usr/include/x86_64-linux-gnu/qt6/QtCore"


def read_libraries(src):
    """name -> (folder, [sources], [links])"""
    libraries = {}
    for folder, _, files in os.walk(src):
        if "CMakeLists.txt" not in files:
            continue
        text = open(os.path.join(folder, "CMakeLists.txt")).read()
        for match in re.finditer(r"tessel_library\((\w+)\s+SOURCES([^)]*)\)", text):
            name, sources = match.group(1), match.group(2).split()
            links = []
            for link in re.finditer(r"target_link_libraries\(%s\s+PUBLIC([^)]*)\)" % name, text):
                links += link.group(1).split()
            libraries[name] = (folder, sources, links)
    return libraries


def reachable(libraries, name):
    seen, stack = set(), [name]
    while stack:
        for link in libraries[stack.pop()][2]:
            if link not in seen:
                seen.add(link)
                if link in libraries:
                    stack.append(link)
    return seen


def main():
    src, cli = sys.argv[1], sys.argv[2]
    libraries = read_libraries(src)
    folder_of = {os.path.relpath(info[0], src): name for name, info in libraries.items()}
    faults = []

    for name, (folder, sources, links) in sorted(libraries.items()):
        if name not in RANK:
            faults.append(f"{name}: not in the documented layers")
            continue
        for link in links:
            if link in libraries and RANK.get(link, -1) < RANK[name]:
                faults.append(f"{name} links {link}, a higher layer")
        uses = reachable(libraries, name)
        if name in uses:
            faults.append(f"{name}: the libraries link in a cycle")
        qt = {u for u in uses if u.startswith("Qt6::")}
        for source in sources:
            path = os.path.join(folder, source)
            if not os.path.isfile(path):
                continue
            for line_number, line in enumerate(open(path, encoding="utf-8"), 1):
                where = f"{os.path.relpath(path, src)}:{line_number}"
                local = re.match(r'\s*#include "([\w/]+)/\w+\.h"', line)
                if local:
                    target = folder_of.get(local.group(1))
                    if target is None:
                        faults.append(f"{where}: includes from {local.group(1)}, which is no library")
                    elif target != name and target not in uses:
                        faults.append(f"{where}: {name} includes from {target} without linking it")
                header = re.match(r"\s*#include <(Q\w+)>", line)
                if header:
                    if not qt:
                        faults.append(f"{where}: {name} links no Qt but includes <{header.group(1)}>")
                    elif qt == {"Qt6::Core"} and not os.path.exists(
                        os.path.join(QT_CORE_HEADERS, header.group(1))
                    ):
                        faults.append(f"{where}: {name} links only QtCore but includes <{header.group(1)}>")

    loaded = subprocess.run(["ldd", cli], capture_output=True, text=True, check=True).stdout
    for module in ("libQt6Widgets", "libQt6Gui"):
        if module in loaded:
            faults.append(f"{os.path.basename(cli)} loads {module}")

    for fault in faults:
        print(fault)
    print(f"{len(libraries)} libraries checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
