#!/usr/bin/env python3
"""scripts/check-layers.py on small trees of its own, each with a table in
docs/design.md: what it lets through, and that an include against the table
fails with the file, the line and the forbidden edge.

Usage: layer_check_test.py PATH_TO_CHECK_LAYERS_PY
"""

import contextlib
import importlib.util
import io
import os
import sys
import tempfile
import unittest

TABLE = """# Design

## Allowed includes

| folder | may include from |
|---|---|
| `platform/` | nothing |
| `ui/` | `platform/` |
| `ui/qt/` | `ui/`, `platform/` |
| `ui/win32/` | `ui/`, `platform/` |
| `tools/` | `platform/` |
| `tests/` | `*` |

## Next section

| `platform/` | `ui/` |
"""

# Sources that keep to TABLE: own folder, lower layers, a generated header,
# angle brackets, "../", a header beside the file, a subfolder of tools, tests
# including anything.
CLEAN = {
    "docs/design.md": TABLE,
    "platform/text.h": "#pragma once\n#include <string>\n",
    "platform/text.cpp": '#include "platform/text.h"\n',
    "ui/dialog.cpp": '#include "ui/dialog.h"\n#include "platform/text.h"\n'
                     '#include "quilmarr_version.h"\n#include <ui/qt/x.h>\n',
    "ui/qt/window.h": "#pragma once\n",
    "ui/qt/window.cpp": '#include "ui/qt/window.h"\n  #  include "ui/dialog.h"\n'
                        '#include "window.h"\n',
    "ui/win32/window.cpp": '#include "ui/win32/window.h"\n#include "../dialog.h"\n',
    "tools/cli/loop.cpp": '#include "tools/cli/loop.h"\n#include "platform/text.h"\n',
    "tests/ui/all_test.cpp": '#include "ui/qt/window.h"\n#include "ui/win32/window.h"\n'
                             '#include "tools/cli/loop.h"\n',
    # Build folders are not sources.
    "build/default/ui/moc_window.cpp": '#include "ui/qt/window.h"\n',
    "out/ui/moc_window.cpp": '#include "ui/qt/window.h"\n',
    "out/CMakeCache.txt": "",
}

# Includes against TABLE, each with the message naming file, line and edge.
FORBIDDEN = [
    ({"platform/text.cpp": '#include <vector>\n#include "ui/dialog.h"\n'},
     'platform/text.cpp:3: platform may not include from ui ("ui/dialog.h"'),
    ({"platform/text.cpp": '#include "../ui/dialog.h"\n'},
     "platform/text.cpp:2: platform may not include from ui"),
    ({"tools/cli/loop.cpp": '#include "../../ui/qt/window.h"\n'},
     "tools/cli/loop.cpp:3: tools may not include from ui/qt"),
    # Found beside the including file before the source root, as a compiler does.
    ({"ui/dialog.cpp": '#include "qt/window.h"\n'},
     'ui/dialog.cpp:5: ui may not include from ui/qt ("qt/window.h"'),
    ({"ui/qt/window.cpp": '#include "ui/win32/window.h"\n'},
     "ui/qt/window.cpp:4: ui/qt may not include from ui/win32"),
    ({"ui/win32/window.h": '#include "ui/qt/window.h"\n'},
     "ui/win32/window.h:1: ui/win32 may not include from ui/qt"),
    ({"tools/cli/loop.h": '#include "ui/dialog.h"\n'},
     "tools/cli/loop.h:1: tools may not include from ui"),
    ({"tools/cli/loop.cpp": '#include "ui/qt/window.h"\n'},
     "tools/cli/loop.cpp:3: tools may not include from ui/qt"),
]


def load_checker(path):
    spec = importlib.util.spec_from_file_location("check_layers", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


class LayerCheck(unittest.TestCase):
    checker = None

    def run_on(self, changes):
        """Runs the checker on CLEAN with CHANGES (path: text appended, or None:
        replaced by nothing); returns (status, messages)."""
        with tempfile.TemporaryDirectory(prefix="quilmarr-layers.") as root:
            files = dict(CLEAN)
            for path, text in changes.items():
                files[path] = text if path == "docs/design.md" else files.get(path, "") + text
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                    f.write(text)
            errors = io.StringIO()
            with contextlib.redirect_stderr(errors):
                status = self.checker.main(["check-layers.py", root])
            return status, errors.getvalue()

    def assert_fails(self, changes, *messages, status=1):
        actual, output = self.run_on(changes)
        self.assertEqual(actual, status, output)
        for message in messages:
            self.assertIn(message, output)

    def test_a_tree_that_keeps_to_the_table_passes(self):
        self.assertEqual(self.run_on({}), (0, ""))

    def test_an_include_against_the_table_fails_naming_file_line_and_edge(self):
        for changes, message in FORBIDDEN:
            with self.subTest(message):
                self.assert_fails(changes, message)

    def test_a_source_file_in_a_folder_without_a_row_fails(self):
        self.assert_fails({"session/queue.cpp": '#include "platform/text.h"\n'},
                          "session/queue.cpp: in no folder of the allowed-includes table")

    def test_a_broken_table_is_refused(self):
        self.assert_fails({"docs/design.md": TABLE.replace(
            "| `tools/` | `platform/` |", "| `tools/` | `platform/`, `sesion/` |")},
            "tools may include from sesion, which has no row", status=2)
        self.assert_fails({"docs/design.md": "# Design\n"},
                          'no heading "## Allowed includes"', status=2)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: layer_check_test.py PATH_TO_CHECK_LAYERS_PY")
    LayerCheck.checker = load_checker(sys.argv.pop())
    unittest.main(verbosity=2)
