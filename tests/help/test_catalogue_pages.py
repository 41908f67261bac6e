#!/usr/bin/env python3
"""The help's catalogue pages against the catalogue table: every row once,
under its key, with its values and description as the table has them, in
pure ASCII; and tables the generator must refuse."""
import os
import subprocess
import sys
import tempfile
import unittest

# The tests run from the source tree; leave no __pycache__ there.
sys.dont_write_bytecode = True

from help_pages import (CATALOGUE_PAGES, GENERATOR, KEYWORDS, TABLE, CataloguePage,
                        ascii_problems, registry_key, table_rows)

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "escaping.tsv")


def generate(table, outdir):
    return subprocess.run([sys.executable, GENERATOR, table, KEYWORDS, outdir],
                          capture_output=True, text=True)


def row_faults(table, outdir):
    """Every way the pages in outdir fail to show the table's rows."""
    faults = []
    shown = {}
    for tag, page in CATALOGUE_PAGES.items():
        with open(os.path.join(outdir, page), encoding="ascii") as text:
            parsed = CataloguePage(text.read())
        keys = [registry_key(h) for h in parsed.headings]
        faults += [f"{page}: key {k!r} has more than one heading"
                   for k in sorted(set(keys)) if keys.count(k) > 1]
        for row in parsed.rows:
            shown.setdefault(row["id"], []).append((tag, row))

    for expected in table_rows(table):
        index = expected["INDEX"]
        places = shown.pop(f"row-{index}", [])
        if len(places) != 1:
            faults.append(f"{index}: shown {len(places)} times")
            continue
        tag, row = places[0]
        if tag != expected["SUBTREE"].split("\\", 1)[0]:
            faults.append(f"{index}: on the {tag} page")
        if row["heading"] is None or registry_key(row["heading"]) != registry_key(expected["SUBTREE"]):
            faults.append(f"{index}: under heading {row['heading']!r}, not {expected['SUBTREE']!r}")
        elif row["heading"] != expected["SUBTREE"] and expected["SUBTREE"] not in row["spelled"]:
            faults.append(f"{index}: the catalogue's spelling {expected['SUBTREE']!r} is not shown")
        for css, column in [("index", "INDEX"), ("name", "SUBKEY"), ("type", "DATATYPE"),
                            ("lock", "LOCK_KEYVALUE"), ("unlock", "UNLOCK_KEYVALUE"),
                            ("winver", "WINVER"), ("status", "STATUS")]:
            if CataloguePage.value(row, css) != expected[column]:
                faults.append(f"{index}: {column} shows {CataloguePage.value(row, css)!r}, "
                              f"the table has {expected[column]!r}")
        if row["text"] != expected["TEXT"]:
            faults.append(f"{index}: description shows {row['text']!r}, the table has {expected['TEXT']!r}")
    faults += [f"{row_id}: shown but not in the table" for row_id in sorted(shown)]
    return faults


class CataloguePagesTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.addCleanup(self.temp.cleanup)
        self.out = self.temp.name

    def generated(self, table):
        result = generate(table, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_every_row_of_both_catalogues_once_under_its_key(self):
        self.generated(TABLE)
        self.assertGreater(len(table_rows(TABLE)), 300, "the real table was not read")
        self.assertEqual(row_faults(TABLE, self.out), [])
        self.assertEqual(ascii_problems(self.out), [])

    def test_fixture_rows_survive_escaping_and_grouping(self):
        self.generated(FIXTURE)
        self.assertEqual(row_faults(FIXTURE, self.out), [])
        self.assertEqual(ascii_problems(self.out), [])

    def test_fixture_markup_is_escaped_in_the_page_source(self):
        self.generated(FIXTURE)
        source = {}
        for tag, page in CATALOGUE_PAGES.items():
            with open(os.path.join(self.out, page), encoding="ascii") as text:
                source[tag] = text.read()
        cases = [
            # page, written as, must not appear as
            ("HKLM", "&lt;script&gt;x&lt;/script&gt;", "<script>"),
            ("HKLM", "&lt;b&gt;fett&lt;/b&gt;", "<b>fett"),
            ("HKLM", "Wert &quot;&#228;&quot;", 'Wert "'),
            ("HKLM", "Test &lt;a&amp;b&gt;", "<a&b>"),
            ("HKLM", "&#8222;zwei&#8220; mit &#223;<br>&#9;einger&#252;ckt", "\u23ce"),
            ("HKCU", ">&amp;amp;<", ">&amp;<"),
            ("HKCU", ">&amp;#228;<", ">&#228;<"),
            ("HKCU", "T&#196;ST", "\u00c4"),
            ("HKCU", "&#8364;", "&#128;"),
        ]
        for tag, written, not_as in cases:
            with self.subTest(written=written):
                self.assertIn(written, source[tag])
                self.assertNotIn(not_as, source[tag])

    def test_tables_that_cannot_be_shown_are_refused(self):
        header = "\t".join(["INDEX", "SUBTREE", "SUBKEY", "LOCK_KEYVALUE", "UNLOCK_KEYVALUE",
                            "DATATYPE", "WINVER", "STATUS", "TEXT"])
        good = "9000\tHKLM\\Software\\X\tV\t1\t0\tREG_DWORD\tW7\taktiviert\tText"
        cases = [
            ("header missing a column", header.replace("\tWINVER", "") + "\n" + good, ":1: the header must be"),
            ("row of eight columns", header + "\n" + good.replace("\tW7", ""), ":2: 8 columns instead of 9"),
            ("hive the applier does not know", header + "\n" + good.replace("HKLM", "HKEY_LOCAL_MACHINE"),
             ":2: SUBTREE 'HKEY_LOCAL_MACHINE\\\\Software\\\\X' does not begin with HKCU\\ or HKLM\\"),
            ("INDEX that is no number", header + "\n" + good.replace("9000", "90x0"), ":2: INDEX '90x0'"),
        ]
        for name, text, message in cases:
            with self.subTest(name):
                table = os.path.join(self.out, "bad.tsv")
                with open(table, "w", encoding="utf-8") as bad:
                    bad.write(text + "\n")
                pages = os.path.join(self.out, name.replace(" ", "_"))
                result = generate(table, pages)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(pages), "pages were written for a refused table")


if __name__ == "__main__":
    unittest.main(verbosity=2)
