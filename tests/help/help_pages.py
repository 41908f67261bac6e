"""What the help tests share: where things are, the catalogue tables read
plainly, and readers of the generated catalogue pages and of the page of the
escape routes."""
import os
from html.parser import HTMLParser

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
HELP = os.path.join(ROOT, "help")
DATA = os.path.join(ROOT, "src", "catalogue", "data")
TABLE = os.path.join(DATA, "catalogues.tsv")
# The tables of the page of the escape routes, in the order its generator
# takes them.
ROUTE_TABLES = [TABLE, os.path.join(DATA, "recommended-overrides.tsv"),
                os.path.join(DATA, "windows10-11.tsv"), os.path.join(DATA, "escape_routes.tsv")]
GENERATOR = os.path.join(HELP, "generate_catalogue_pages.py")
ROUTES_GENERATOR = os.path.join(HELP, "generate_escape_routes_page.py")
ROUTES_PAGE = "escape_routes.htm"
KEYWORDS = os.path.join(HELP, "keywords.txt")
BUILD_HELP = os.path.join(ROOT, "scripts", "build-help")
CATALOGUE_PAGES = {"HKLM": "catalogue_hklm.htm", "HKCU": "catalogue_hkcu.htm"}


def table_rows(path):
    """The table's rows as dicts of the header's columns; TEXT as the reader
    of the help should see it, with its line breaks and tabs."""
    rows = []
    header = None
    with open(path, encoding="utf-8") as table:
        for line in table:
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            if header is None:
                header = line.split("\t")
                continue
            row = dict(zip(header, line.split("\t")))
            if "TEXT" in row:
                row["TEXT"] = row["TEXT"].replace("\u23ce", "\n").replace("\u21e5", "\t")
            rows.append(row)
    return rows


def registry_key(subtree):
    """Keys compare as Windows compares them: case ignored, a trailing
    backslash names the same key."""
    return subtree.rstrip("\\").lower()


class CataloguePage(HTMLParser):
    """The rows of a catalogue page, each with the key heading it stands
    under, its cells and its description, as a browser would show them."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.headings = []   # heading texts in page order
        self.rows = []       # dicts: id, heading, cells {class: text}, text, spelled
        self._heading = None
        self._row = None
        self._cell = None
        self._in_description = False
        self._in_spelled = False
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        classes = (attrs.get("class") or "").split()
        if tag == "h3" and "key" in classes:
            self._heading = ""
        elif tag == "tr" and "row" in classes:
            self._row = {"id": attrs.get("id"), "heading": self.headings[-1] if self.headings else None,
                         "cells": [], "text": "", "spelled": ""}
            self.rows.append(self._row)
        elif tag == "tr" and "text" in classes:
            self._in_description = True
        elif tag == "td" and self._row is not None and not self._in_description:
            self._cell = {"classes": classes, "text": ""}
            self._row["cells"].append(self._cell)
        elif tag == "p" and "spelled" in classes and self._in_description:
            self._in_spelled = True
        elif tag == "br" and self._in_description:
            self.rows[-1]["text"] += "\n"

    def handle_endtag(self, tag):
        if tag == "h3" and self._heading is not None:
            self.headings.append(self._heading)
            self._heading = None
        elif tag == "td":
            self._cell = None
        elif tag == "p":
            self._in_spelled = False
        elif tag == "tr":
            self._row = None
            self._in_description = False

    def handle_data(self, data):
        if self._heading is not None:
            self._heading += data
        elif self._cell is not None:
            self._cell["text"] += data
        elif self._in_spelled:
            self.rows[-1]["spelled"] += data
        elif self._in_description:
            self.rows[-1]["text"] += data

    @staticmethod
    def value(row, css):
        """The text of the row's cell of that class; "" for a cell marked empty."""
        for cell in row["cells"]:
            if css in cell["classes"]:
                return "" if "empty" in cell["classes"] else cell["text"]
        raise KeyError(f"{row['id']} has no cell of class {css}")


def ascii_problems(directory):
    """Files of the directory that are not plain ASCII, with the first bad byte."""
    problems = []
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as file:
            data = file.read()
        bad = next((i for i, byte in enumerate(data) if byte > 0x7E or (byte < 0x20 and byte not in b"\t\r\n")), None)
        if bad is not None:
            problems.append(f"{name}: byte 0x{data[bad]:02X} at offset {bad}")
    return problems


class RoutesPage(HTMLParser):
    """The page of the escape routes as a browser shows it: the group
    headings in page order; each route with the heading it stands under, its
    cells, and its conditions (key, value name, type, closing data, and the
    rows named, each INDEX with whether it is marked switched off); and the
    INDEX of each row of the list of rows switched off."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.headings = []
        self.routes = []      # dicts: id, heading, number, route, source, no_policy, conditions
        self.switched_off = []
        self._heading = None
        self._in_routes = False
        self._field = None    # (dict, key) that text goes to
        self._cell = None
        self._row = None      # the last row named in a rows cell
        self.feed(text)
        self.close()

    def _route(self):
        return self.routes[-1]

    def _condition(self):
        return self._route()["conditions"][-1]

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        classes = (attrs.get("class") or "").split()
        if tag == "h3" and "group" in classes:
            self._heading = ""
        elif tag == "table":
            self._in_routes = "routes" in classes
        elif tag == "tr" and "off" in classes:
            self.switched_off.append((attrs.get("id") or "").removeprefix("off-"))
        elif not self._in_routes:
            return
        elif tag == "tr" and "route" in classes:
            self.routes.append({"id": attrs.get("id"),
                                "heading": self.headings[-1] if self.headings else None,
                                "number": "", "route": "", "source": "", "no_policy": None,
                                "conditions": []})
        elif tag == "td":
            self._cell = classes
            self._row = None
            if "value" in classes:
                self._route()["conditions"].append({"key": "", "name": "", "type": "", "data": [],
                                                    "rows": []})
            elif "no-policy" in classes:
                self._route()["no_policy"] = ""
            for css in ("number", "route", "source"):
                if css in classes:
                    self._field = (self._route(), css)
            if "type" in classes:
                self._field = (self._condition(), "type")
        elif tag == "span" and ("key" in classes or "name" in classes):
            self._field = (self._condition(), "key" if "key" in classes else "name")
        elif tag == "span" and "data" in classes:
            self._condition()["data"].append("")
            self._field = None if "empty" in classes else (self._condition()["data"], -1)
        elif tag == "span" and "instead" in classes:
            self._field = (self._route(), "no_policy")
        elif tag in ("a", "span") and "row" in classes:
            self._row = {"index": "", "off": "off" in classes, "after": ""}
            self._condition()["rows"].append(self._row)
            self._field = (self._row, "index")

    def handle_endtag(self, tag):
        if tag == "h3" and self._heading is not None:
            self.headings.append(self._heading)
            self._heading = None
        elif tag == "table":
            self._in_routes = False
        elif tag == "td":
            self._cell = None
            self._field = None
            self._row = None
        elif tag in ("span", "a") and self._cell is not None:
            # What follows a row's INDEX in its cell says more of that row.
            self._field = (self._row, "after") if self._row is not None else None

    def handle_data(self, data):
        if self._heading is not None:
            self._heading += data
        elif self._field is not None:
            target, key = self._field
            target[key] += data
