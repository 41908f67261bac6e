"""What the help tests share: where things are, the catalogue table read
plainly, and a reader of the generated catalogue pages."""
import os
from html.parser import HTMLParser

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
HELP = os.path.join(ROOT, "help")
TABLE = os.path.join(ROOT, "src", "catalogue", "data", "catalogues.tsv")
GENERATOR = os.path.join(HELP, "generate_catalogue_pages.py")
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
