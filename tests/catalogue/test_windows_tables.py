#!/usr/bin/env python3
"""The tables for Windows 10 and 11 as tables: numbering, vocabulary, code
page and the form of the descriptions; and tables the reader and the
generator must refuse. What the rows do to the registry is the C++ test's
(windows_tables_test.cpp)."""
import os
import subprocess
import sys
import tempfile
import unittest

# The tests run from the source tree; leave no __pycache__ there.
sys.dont_write_bytecode = True

DATA = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                     "..", "..", "src", "catalogue", "data"))
sys.path.insert(0, DATA)
from catalogue_table import (COLUMNS, OVERRIDE_COLUMNS, ROUTE_COLUMNS, TableError,  # noqa: E402
                             read_overrides, read_routes, read_rows)

WINDOWS = os.path.join(DATA, "windows10-11.tsv")
OVERRIDES = os.path.join(DATA, "recommended-overrides.tsv")
ROUTES = os.path.join(DATA, "escape_routes.tsv")
GENERATOR = os.path.join(DATA, "generate_windows_tables.py")

STATUS = {"aktiviert", "deaktiviert"}
WINVER = {"W10/W11", "W11"}
GROUPS = {"Accessibility", "Logon and Ctrl+Alt+Del", "Shell and Start", "Touch and notifications",
          "Browser", "Programs and dialogs", "Devices and storage", "Search and Store"}


def not_cp1252(row, columns):
    faults = []
    for column in columns:
        try:
            row[column].encode("cp1252")
        except UnicodeEncodeError as error:
            faults.append(f"{column}: {row[column][error.start:error.end]!r} is not in code page 1252")
    return faults


def text_faults(row):
    """How a row's TEXT departs from the catalogue's form: a title line, the
    key, "type = value name", the meanings, and what a reader must know."""
    paragraphs = row["TEXT"].split("\n\n")
    faults = []
    if len(paragraphs) < 4 or "\n" in paragraphs[0] or not paragraphs[0].endswith("."):
        faults.append("no title line of its own before the key")
    elif paragraphs[1] != row["SUBTREE"]:
        faults.append(f"names the key {paragraphs[1]!r}, not {row['SUBTREE']!r}")
    elif paragraphs[2] != f"{row['DATATYPE']} = {row['SUBKEY']}":
        faults.append(f"names {paragraphs[2]!r} instead of the row's type and value name")
    if row["SUBTREE"].startswith("HKLM\\") and "Administratoren" not in row["TEXT"]:
        faults.append("a machine row that does not say it holds for administrators too")
    if row["STATUS"] == "deaktiviert" and "inschalten" not in row["TEXT"]:
        faults.append("switched off without saying when to switch it on")
    return faults


class WindowsRowsTest(unittest.TestCase):
    def test_rows_are_numbered_from_9000_in_steps_of_10(self):
        indexes = [int(row["INDEX"]) for _, row in read_rows(WINDOWS)]
        self.assertGreater(len(indexes), 0)
        self.assertEqual(indexes, list(range(9000, 9000 + 10 * len(indexes), 10)))

    def test_rows_speak_the_catalogue_vocabulary_in_code_page_1252(self):
        faults = []
        for number, row in read_rows(WINDOWS):
            where = f"{row['INDEX']} (line {number})"
            faults += [f"{where}: {fault}" for fault in not_cp1252(row, COLUMNS)]
            if row["STATUS"] not in STATUS:
                faults.append(f"{where}: STATUS {row['STATUS']!r}")
            if row["WINVER"] not in WINVER:
                faults.append(f"{where}: WINVER {row['WINVER']!r}")
            faults += [f"{where}: {fault}" for fault in text_faults(row)]
        self.assertEqual(faults, [])

    def test_overrides_speak_the_catalogue_vocabulary_in_code_page_1252(self):
        faults = []
        for number, row in read_overrides(OVERRIDES):
            faults += [f"line {number}: {fault}" for fault in not_cp1252(row, OVERRIDE_COLUMNS)]
            if row["STATUS"] not in STATUS:
                faults.append(f"line {number}: STATUS {row['STATUS']!r}")
        self.assertEqual(faults, [])


class EscapeRoutesTest(unittest.TestCase):
    def test_routes_are_numbered_1_to_85_in_the_help_groups(self):
        routes = [row for _, row in read_routes(ROUTES)]
        self.assertEqual([int(row["NUMBER"]) for row in routes], list(range(1, 86)))
        self.assertEqual([r["NUMBER"] for r in routes if r["GROUP"] not in GROUPS], [])
        self.assertEqual([r["NUMBER"] for r in routes if not (r["ROUTE"] and r["SOURCE"])], [])


class RefusedTablesTest(unittest.TestCase):
    """Tables that would turn into rows or routes other than the ones meant."""

    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)

    def write(self, name, columns, *lines):
        path = os.path.join(self.temp.name, name)
        with open(path, "w", encoding="utf-8") as table:
            table.write("# a fixture\n" + "\t".join(columns) + "\n")
            table.write("".join(line + "\n" for line in lines))
        return path

    def route(self, closed_by, no_policy=""):
        return "\t".join(["1", "Browser", "a route", closed_by, no_policy, "EDGE"])

    def test_the_reader_refuses_routes_it_cannot_take_as_meant(self):
        cases = {
            "a condition without data": self.route("HKCU\\Software\\X|Name|REG_DWORD"),
            "a condition without a type": self.route("HKCU\\Software\\X|Name||1"),
            "conditions joined without blanks": self.route(
                "HKCU\\Software\\X|A|REG_DWORD|1&&HKCU\\Software\\X|B|REG_DWORD|1"),
            "values and something else besides": self.route(
                "HKCU\\Software\\X|Name|REG_DWORD|1", "AppLocker"),
            "neither values nor something else": self.route(""),
            "a column too few": "1\tBrowser\ta route\t\tAppLocker",
            "a number that is none": "one\tBrowser\ta route\t\tAppLocker\tKMB",
        }
        for name, line in cases.items():
            with self.subTest(name):
                with self.assertRaises(TableError):
                    read_routes(self.write("routes.tsv", ROUTE_COLUMNS, line))
        with self.assertRaises(TableError):
            read_routes(self.write("routes.tsv", COLUMNS, self.route("", "AppLocker")))

    def test_the_generator_refuses_what_the_build_cannot_write(self):
        row = ["9000", "HKCU\\Software\\X", "Name", "1", "0", "REG_DWORD", "W10/W11", "aktiviert"]
        good = "\t".join(row + ["Titel."])
        routes = self.write("routes.tsv", ROUTE_COLUMNS, self.route("", "AppLocker"))
        overrides = self.write("overrides.tsv", OVERRIDE_COLUMNS)
        cases = {
            "text outside code page 1252": [good, "\t".join(["9010"] + row[1:] + ["Pfeil \u2192"])],
            "an INDEX that does not rise": [good, good],
        }
        for name, lines in cases.items():
            with self.subTest(name):
                windows = self.write("windows.tsv", COLUMNS, *lines)
                result = subprocess.run(
                    [sys.executable, "-B", GENERATOR, windows, overrides, routes,
                     os.path.join(self.temp.name, "out.cpp")],
                    capture_output=True, text=True)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn("windows.tsv:", result.stderr)
        windows = self.write("windows.tsv", COLUMNS, good)
        result = subprocess.run([sys.executable, "-B", GENERATOR, windows, overrides, routes,
                                 os.path.join(self.temp.name, "out.cpp")],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
