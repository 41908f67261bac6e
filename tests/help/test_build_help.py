#!/usr/bin/env python3
"""scripts/build-help as `make dist` calls it: quietly, a quarn.chm holding
every page of the contents, the catalogue pages and the page of the escape
routes generated from the real tables, and no broken link; and on a failing
compiler, an error and no quarn.chm."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

# The tests run from the source tree; leave no __pycache__ there.
sys.dont_write_bytecode = True
from html.parser import HTMLParser

from help_pages import (BUILD_HELP, CATALOGUE_PAGES, GENERATOR, HELP, KEYWORDS, ROUTE_TABLES,
                        ROUTES_GENERATOR, ROUTES_PAGE, TABLE, ascii_problems)


def tool(name):
    # scripts/setup installs both (fp-utils, libchm-bin): missing is a fault.
    path = shutil.which(name)
    if path is None:
        raise AssertionError(f"{name} is not installed; scripts/setup installs it")
    return path


class Links(HTMLParser):
    """Targets of href, src and sitemap Local params; ids of the page."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.targets = []
        self.ids = set()
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        for name in ("href", "src"):
            if attrs.get(name):
                self.targets.append(attrs[name])
        if tag == "param" and (attrs.get("name") or "").lower() == "local":
            self.targets.append(attrs.get("value") or "")


def read(path):
    with open(path, encoding="ascii") as text:
        return text.read()


class BuildHelpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.out = os.path.join(cls.temp.name, "out")
        cls.build = subprocess.run([BUILD_HELP, cls.out], capture_output=True, text=True)
        cls.chm = os.path.join(cls.out, "quarn.chm")
        cls.extracted = os.path.join(cls.temp.name, "extracted")
        if cls.build.returncode == 0:
            subprocess.run([tool("extract_chmLib"), cls.chm, cls.extracted],
                           capture_output=True, check=True)

    @classmethod
    def tearDownClass(cls):
        cls.temp.cleanup()

    def setUp(self):
        self.assertEqual(self.build.returncode, 0, self.build.stdout + self.build.stderr)

    def inside(self, name):
        return os.path.join(self.extracted, name)

    def test_build_is_quiet(self):
        self.assertEqual(self.build.stdout + self.build.stderr, "")

    def test_the_file_names_its_title_and_start_page(self):
        with open(self.inside("#SYSTEM"), "rb") as system:
            data = system.read()
        self.assertIn(b"QUARN Help", data)
        self.assertIn(b"index.htm", data)
        self.assertTrue(os.path.isfile(self.inside("index.htm")))

    def test_every_page_is_in_the_contents_and_in_the_file(self):
        contents = Links(read(self.inside("quarn.hhc"))).targets
        missing = [page for page in contents if not os.path.isfile(self.inside(page))]
        self.assertEqual(missing, [], "pages of the contents missing from quarn.chm")
        pages = {name for name in os.listdir(HELP) if name.endswith(".htm")}
        pages |= set(CATALOGUE_PAGES.values()) | {ROUTES_PAGE}
        self.assertEqual(sorted(pages - set(contents)), [], "pages left out of the contents")

    def test_generated_pages_are_the_ones_made_from_the_tables(self):
        fresh = os.path.join(self.temp.name, "fresh")
        subprocess.run([sys.executable, GENERATOR, TABLE, KEYWORDS, fresh], check=True)
        subprocess.run([sys.executable, ROUTES_GENERATOR, *ROUTE_TABLES, fresh], check=True)
        for page in list(CATALOGUE_PAGES.values()) + ["quarn.hhk", ROUTES_PAGE]:
            with self.subTest(page):
                self.assertEqual(read(self.inside(page)), read(os.path.join(fresh, page)))

    def test_no_link_leads_nowhere(self):
        ids = {}
        for name in os.listdir(self.extracted):
            if name.endswith(".htm"):
                ids[name] = Links(read(self.inside(name))).ids
        broken = []
        for name in sorted(os.listdir(self.extracted)):
            if not name.endswith((".htm", ".hhc", ".hhk")):
                continue
            for target in Links(read(self.inside(name))).targets:
                if re.match(r"[a-z]+:", target):
                    continue  # an address outside the help
                page, _, anchor = target.partition("#")
                page = page or name
                if not os.path.isfile(self.inside(page)):
                    broken.append(f"{name}: {target}")
                elif anchor and anchor not in ids.get(page, set()):
                    broken.append(f"{name}: {target} (no such anchor)")
        self.assertEqual(broken, [])

    def test_everything_is_plain_ascii(self):
        readable = os.path.join(self.temp.name, "readable")
        os.makedirs(readable, exist_ok=True)
        for name in os.listdir(self.extracted):
            if not name.startswith(("#", "$", "_")):
                shutil.copy(self.inside(name), readable)
        self.assertEqual(ascii_problems(readable), [])


class BuildHelpFailureTest(unittest.TestCase):
    """A compiler that fails must fail the build, loudly, and leave no
    quarn.chm behind for `make dist` to pack."""

    def test_failing_compiler(self):
        cases = [
            ("broken link, status 0", "echo \"Warning: Found file gone.htm while scanning index.htm, "
             "but couldn't find it on disk\"\necho x > quarn.chm\nexit 0", "gone.htm"),
            ("crash", "echo 'EFOpenError: Unable to open file'\n: > quarn.chm\nexit 217", "EFOpenError"),
        ]
        for name, body, shown in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as temp:
                fake = os.path.join(temp, "bin")
                os.makedirs(fake)
                with open(os.path.join(fake, "chmcmd"), "w") as script:
                    script.write("#!/bin/sh\n" + body + "\n")
                os.chmod(os.path.join(fake, "chmcmd"), 0o755)
                out = os.path.join(temp, "out")
                os.makedirs(out)
                stale = os.path.join(out, "quarn.chm")
                with open(stale, "w") as old:
                    old.write("an earlier build")
                env = dict(os.environ, PATH=fake + os.pathsep + os.environ["PATH"])
                result = subprocess.run([BUILD_HELP, out], capture_output=True, text=True, env=env)
                self.assertNotEqual(result.returncode, 0)
                self.assertIn(shown, result.stderr)
                self.assertIn("build-help:", result.stderr)
                self.assertFalse(os.path.exists(stale), "a quarn.chm is left in OUTDIR")


if __name__ == "__main__":
    tool("chmcmd")
    unittest.main(verbosity=2)
