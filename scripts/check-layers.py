#!/usr/bin/env python3
"""Checks that every source file includes only from the folders its layer may use.

The allowed edges are read from the table under "## Allowed includes" in
docs/design.md: one row per folder, the first cell the folder, the second the
folders it may include from, each in backticks (`*`: any folder; none: nothing).

A file belongs to the longest table folder its path starts with (ui/qt/x.cpp is
in ui/qt); tools/cli/x.cpp is in tools when only tools is listed. A quoted
include is found as a compiler finds it: first in the including file's folder
("qt/x.h" in ui/x.cpp is ui/qt/x.h when that file exists; "../x.h" always
counts from there), then from the source root. The file found belongs to the
longest table folder its path starts with; a file may always include its own
folder's files. Angle-bracket includes and quoted includes found in no table
folder (generated headers) are not the project's layers and are skipped.

Usage: check-layers.py [SOURCE_ROOT]   (default: the folder above this script)
Exit status: 0 all includes allowed, 1 a forbidden include or a source file
outside every table folder, 2 the table is missing or names an unknown folder.
"""

import os
import posixpath
import re
import sys

TABLE_HEADING = "## Allowed includes"
SOURCE_SUFFIXES = (".h", ".hh", ".hpp", ".inl", ".c", ".cc", ".cpp", ".cxx", ".mm", ".rc",
                   ".h.in")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
TICKED = re.compile(r"`([^`]*)`")


class TableError(Exception):
    pass


def read_table(design_path):
    """Returns {folder: set of folders it may include from, or None for any}."""
    try:
        with open(design_path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as error:
        raise TableError(f"cannot read {design_path}: {error.strerror}")
    try:
        start = lines.index(TABLE_HEADING) + 1
    except ValueError:
        raise TableError(f'{design_path}: no heading "{TABLE_HEADING}"')

    rows = []
    for number, line in enumerate(lines[start:], start + 1):
        if line.startswith("#"):
            break
        if not line.startswith("|"):
            if rows:
                break
            continue
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) < 2 or set(cells[0]) <= set("-: "):
            continue  # the separator row
        folder = TICKED.findall(cells[0])
        if not folder:
            continue  # the header row
        rows.append((number, folder[0].strip("/"), [t.strip("/") for t in TICKED.findall(cells[1])]))
    if not rows:
        raise TableError(f'{design_path}: no table under "{TABLE_HEADING}"')

    table = {}
    for number, folder, allowed in rows:
        if folder in table:
            raise TableError(f"{design_path}:{number}: folder {folder} listed twice")
        table[folder] = None if "*" in allowed else set(allowed)
    for number, folder, allowed in rows:
        for target in allowed:
            if target != "*" and target not in table:
                raise TableError(
                    f"{design_path}:{number}: {folder} may include from {target}, "
                    "which has no row of its own")
    return table


def folder_of(path, table):
    """The longest table folder that the root-relative path lies in, or None."""
    best = None
    for folder in table:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def resolve(root, path, included):
    """The root-relative path of the file that a quoted include in PATH names."""
    beside = posixpath.normpath(posixpath.join(posixpath.dirname(path), included))
    if included.startswith(("./", "../")) or os.path.isfile(os.path.join(root, beside)):
        return beside
    return posixpath.normpath(included)


def source_files(root):
    """Root-relative paths of the source files, outside build and hidden folders."""
    for directory, subdirectories, files in os.walk(root):
        subdirectories[:] = sorted(
            d for d in subdirectories
            if not d.startswith(".") and not d.startswith("build")
            and not os.path.exists(os.path.join(directory, d, "CMakeCache.txt")))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                path = os.path.relpath(os.path.join(directory, name), root)
                yield path.replace(os.sep, "/")


def check(root, table):
    """Yields one message per forbidden include or unplaced source file."""
    for path in source_files(root):
        layer = folder_of(path, table)
        if layer is None:
            if "/" in path:
                yield f"{path}: in no folder of the allowed-includes table"
            continue
        allowed = table[layer]
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = folder_of(resolve(root, path, match.group(1)), table)
                if target is None or target == layer:
                    continue
                if allowed is not None and target not in allowed:
                    yield (f'{path}:{number}: {layer} may not include from {target} '
                           f'("{match.group(1)}"; allowed edges: docs/design.md, '
                           f'"{TABLE_HEADING}")')


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    root = os.path.abspath(root)
    try:
        table = read_table(os.path.join(root, "docs", "design.md"))
    except TableError as error:
        print(f"check-layers: {error}", file=sys.stderr)
        return 2
    problems = list(check(root, table))
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"check-layers: {len(problems)} include(s) against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
