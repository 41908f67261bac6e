#!/usr/bin/env python3
"""The help's page of the escape routes against the tables: every route once,
under its group, with the values that close it and the rows of the
recommended lock catalogue that write them, in pure ASCII; and tables the
generator must refuse."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

# The tests run from the source tree; leave no __pycache__ there.
sys.dont_write_bytecode = True

from help_pages import (ROUTE_TABLES, ROUTES_GENERATOR, ROUTES_PAGE, RoutesPage, ascii_problems,
                        table_rows)

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "routes")
FIXTURE_TABLES = [os.path.join(FIXTURES, name)
                  for name in ("catalogues.tsv", "overrides.tsv", "windows.tsv", "routes.tsv")]
# The row kinds that name a value, by writing or deleting it.
VALUE_KINDS = {"REG_DWORD", "REG_DWHEX", "REG_SZ", "REG_BINARY", "DEL_SUBKEY"}


def generate(tables, outdir):
    return subprocess.run([sys.executable, ROUTES_GENERATOR, *tables, outdir],
                          capture_output=True, text=True)


def recommended_rows(catalogues, overrides, windows):
    """The recommended lock catalogue's rows: the built-in lock rows, those
    with an override changed, then the rows for Windows 10 and 11."""
    built_in = [dict(row, KEYVALUE=row["LOCK_KEYVALUE"]) for row in table_rows(catalogues)]
    by_index = {row["INDEX"]: row for row in built_in}
    for override in table_rows(overrides):
        by_index[override["INDEX"]].update(KEYVALUE=override["LOCK_KEYVALUE"],
                                           STATUS=override["STATUS"])
    return built_in + [dict(row, KEYVALUE=row["LOCK_KEYVALUE"]) for row in table_rows(windows)]


def value_place(subtree, name):
    """Hive tag, key and value name as the registry tells them apart."""
    tag, _, path = subtree.partition("\\")
    return tag, tuple(part.lower() for part in path.split("\\") if part), name.lower()


def conditions(closed_by):
    """(key, value name, type, [closing data]) of a CLOSED_BY text."""
    if not closed_by:
        return []
    return [(fields[0], fields[1], fields[2], fields[3:])
            for fields in (part.split("|") for part in closed_by.split(" && "))]


def rows_naming(rows, key, name):
    wanted = value_place(key, name)
    return [row for row in rows
            if row["DATATYPE"] in VALUE_KINDS and value_place(row["SUBTREE"], row["SUBKEY"]) == wanted]


def shown_rows(condition):
    """(INDEX, marked switched off) of each row a condition names on the page;
    a row is marked in its colour and in words, or neither."""
    return [(row["index"], row["off"] if row["off"] == ("switched off" in row["after"]) else None)
            for row in condition["rows"]]


def route_faults(tables, outdir):
    """Every way the page in outdir fails to show the tables' routes."""
    with open(os.path.join(outdir, ROUTES_PAGE), encoding="ascii") as text:
        page = RoutesPage(text.read())
    routes = table_rows(tables[3])
    rows = recommended_rows(*tables[:3])
    faults = []

    groups = list(dict.fromkeys(route["GROUP"] for route in routes))
    if page.headings != groups:
        faults.append(f"group headings {page.headings}, the table's groups {groups}")

    shown = {}
    for route in page.routes:
        shown.setdefault(route["id"], []).append(route)
    switched_off = []
    for expected in routes:
        number = expected["NUMBER"]
        places = shown.pop(f"route-{number}", [])
        if len(places) != 1:
            faults.append(f"route {number}: shown {len(places)} times")
            continue
        route = places[0]
        for field, column in [("heading", "GROUP"), ("number", "NUMBER"), ("route", "ROUTE"),
                              ("source", "SOURCE")]:
            if route[field] != expected[column]:
                faults.append(f"route {number}: {field} {route[field]!r}, the table has "
                              f"{expected[column]!r}")
        wanted = conditions(expected["CLOSED_BY"])
        if not wanted and route["no_policy"] != expected["NO_POLICY"]:
            faults.append(f"route {number}: what closes it shows {route['no_policy']!r}, the "
                          f"table has {expected['NO_POLICY']!r}")
        if len(route["conditions"]) != len(wanted):
            faults.append(f"route {number}: {len(route['conditions'])} values, the table has "
                          f"{len(wanted)}")
            continue
        for condition, (key, name, data_type, data) in zip(route["conditions"], wanted):
            where = f"route {number}, {name}"
            if (condition["key"], condition["name"], condition["type"], condition["data"]) != (
                    key, name, data_type, data):
                faults.append(f"{where}: shows {condition}, the table has {key}|{name}|"
                              f"{data_type}|{data}")
            naming = rows_naming(rows, key, name)
            expected_rows = [(row["INDEX"], row["STATUS"] != "aktiviert") for row in naming]
            if shown_rows(condition) != expected_rows:
                faults.append(f"{where}: rows {shown_rows(condition)}, the tables have "
                              f"{expected_rows}")
            switched_off += [row["INDEX"] for row in naming if row["STATUS"] != "aktiviert"]
    faults += [f"{route_id}: shown but not in the table" for route_id in sorted(shown)]
    listed = sorted(set(switched_off), key=int)
    if page.switched_off != listed:
        faults.append(f"rows listed as switched off {page.switched_off}, the routes name {listed}")
    return faults


class EscapeRoutesPageTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.out = self.temp.name

    def generated(self, tables):
        result = generate(tables, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.out, ROUTES_PAGE), encoding="ascii") as text:
            return text.read()

    def test_every_route_of_the_table_once_with_its_values_and_rows(self):
        self.generated(ROUTE_TABLES)
        self.assertGreater(len(table_rows(ROUTE_TABLES[3])), 80, "the real table was not read")
        self.assertEqual(route_faults(ROUTE_TABLES, self.out), [])
        self.assertEqual(ascii_problems(self.out), [])

    def test_fixture_routes_survive_escaping_grouping_and_row_matching(self):
        source = self.generated(FIXTURE_TABLES)
        self.assertEqual(route_faults(FIXTURE_TABLES, self.out), [])
        self.assertEqual(ascii_problems(self.out), [])
        routes = {route["number"]: route for route in RoutesPage(source).routes}
        cases = [
            # route, value, rows shown (INDEX, marked switched off)
            ("1", "MAP", [("5010", True), ("9000", False)]),  # the override switches 5010 off
            ("2", "NoThing", [("5000", False)]),
            ("2", "Text <&>", [("9010", False)]),
            ("3", "Gone", [("5020", False)]),                 # it deletes the value
            ("3", "Missing", []),                             # only a key row, ADD_SUBTREE
        ]
        for number, name, rows in cases:
            with self.subTest(route=number, value=name):
                condition = next(c for c in routes[number]["conditions"] if c["name"] == name)
                self.assertEqual(shown_rows(condition), rows)
        self.assertEqual(routes["2"]["conditions"][1]["data"], ["a&b", ""])
        self.assertIn("&lt;b&gt;markup&lt;/b&gt; &#8594; out", source)
        self.assertNotIn("<b>markup", source)
        self.assertIn("Keyboard Filter &#8211; &#8222;Win+L&#8220; &amp; &lt;more&gt;", source)

    def test_tables_that_cannot_be_shown_are_refused(self):
        def changed(index, old, new):
            with open(FIXTURE_TABLES[index], encoding="utf-8") as table:
                text = table.read()
            self.assertIn(old, text)
            return text.replace(old, new)

        cases = [
            ("override of no built-in row", 1, "5010\tHKLM", "5015\tHKLM",
             "overrides.tsv:4: INDEX 5015 names no built-in row"),
            ("override of another value", 1, "\tNoThing\t1", "\tSomething\t1",
             "overrides.tsv:3: SUBKEY 'Something' is not row 5000's 'NoThing'"),
            ("condition without data", 3, "|MAP|REG_BINARY|00FF", "|MAP|REG_BINARY",
             "routes.tsv:5: CLOSED_BY"),
            ("route with neither values nor NO_POLICY", 3,
             "Keyboard Filter \u2013 \u201eWin+L\u201c & <more>", "",
             "routes.tsv:8: give either CLOSED_BY or NO_POLICY"),
            ("row of a hive the applier does not know", 2,
             "9010\tHKCU\\", "9010\tHKEY_CURRENT_USER\\", "windows.tsv:4: SUBTREE"),
        ]
        for name, index, old, new, message in cases:
            with self.subTest(name):
                folder = os.path.join(self.out, name.replace(" ", "_"))
                os.makedirs(folder)
                tables = []
                for position, table in enumerate(FIXTURE_TABLES):
                    copy = os.path.join(folder, os.path.basename(table))
                    if position == index:
                        with open(copy, "w", encoding="utf-8") as bad:
                            bad.write(changed(index, old, new))
                    else:
                        shutil.copy(table, copy)
                    tables.append(copy)
                pages = os.path.join(folder, "pages")
                result = generate(tables, pages)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(pages), "a page was written for a refused table")


if __name__ == "__main__":
    unittest.main(verbosity=2)
