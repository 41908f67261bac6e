"""Reads catalogues.tsv, the one table that the built-in catalogues and the
help's pages about them are both made from.

The table is UTF-8 with one row per line and nine tab-separated columns:
INDEX, SUBTREE, SUBKEY, LOCK_KEYVALUE, UNLOCK_KEYVALUE, DATATYPE, WINVER,
STATUS, TEXT. Lines starting with "#" are comments; the first other line is
the header. In TEXT, "\u23ce" stands for a line break and "\u21e5" for a tab.
"""

COLUMNS = ["INDEX", "SUBTREE", "SUBKEY", "LOCK_KEYVALUE", "UNLOCK_KEYVALUE",
           "DATATYPE", "WINVER", "STATUS", "TEXT"]

LINE_BREAK = "\u23ce"
TAB = "\u21e5"


class TableError(Exception):
    """A table that cannot be read as meant; the message names file and line."""


def data_lines(path):
    """(line number, tab-separated fields) of every line of a UTF-8 file that
    is neither blank nor a "#" comment."""
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\r\n")
            if line.startswith("#") or not line.strip():
                continue
            yield number, line.split("\t")


def read_rows(path):
    """(line number, row) for every row, the row a dict by column name, TEXT
    with "\\n" for its line breaks and real tabs."""
    rows = []
    header_seen = False
    for number, fields in data_lines(path):
        if not header_seen:
            if fields != COLUMNS:
                raise TableError(f"{path}:{number}: the header must be " + " ".join(COLUMNS))
            header_seen = True
            continue
        if len(fields) != len(COLUMNS):
            raise TableError(f"{path}:{number}: {len(fields)} columns instead of {len(COLUMNS)}")
        row = dict(zip(COLUMNS, fields))
        if not row["INDEX"].isdigit():
            raise TableError(f"{path}:{number}: INDEX {row['INDEX']!r} is not a number")
        row["TEXT"] = row["TEXT"].replace(LINE_BREAK, "\n").replace(TAB, "\t")
        rows.append((number, row))
    if not header_seen:
        raise TableError(f"{path}: no header line")
    return rows
