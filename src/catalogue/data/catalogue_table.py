"""Reads the catalogue tables: catalogues.tsv, the one table that the built-in
catalogues and the help's pages about them are both made from; windows10-11.tsv,
the rows for Windows 10 and 11, in the same columns; recommended-overrides.tsv,
the locking values that the recommended lock catalogue gives built-in rows; and
escape_routes.tsv, the ways out of a locked-down account and the registry values
that close them.

Every table is UTF-8 with one row per line and tab-separated columns. Lines
starting with "#" are comments; the first other line is the header, which must
name the table's columns in order. In TEXT, "\u23ce" stands for a line break and
"\u21e5" for a tab.

- catalogues.tsv, windows10-11.tsv: COLUMNS.
- recommended-overrides.tsv: OVERRIDE_COLUMNS.
- escape_routes.tsv: ROUTE_COLUMNS; CLOSED_BY is read into conditions (see
  read_routes).
"""
from collections import namedtuple

COLUMNS = ["INDEX", "SUBTREE", "SUBKEY", "LOCK_KEYVALUE", "UNLOCK_KEYVALUE",
           "DATATYPE", "WINVER", "STATUS", "TEXT"]
OVERRIDE_COLUMNS = ["INDEX", "SUBTREE", "SUBKEY", "LOCK_KEYVALUE", "DATATYPE", "STATUS",
                    "TEXT"]
ROUTE_COLUMNS = ["NUMBER", "GROUP", "ROUTE", "CLOSED_BY", "NO_POLICY", "SOURCE"]

LINE_BREAK = "\u23ce"
TAB = "\u21e5"

# CLOSED_BY: conditions joined by this, all of them needed ...
CONDITION_SEPARATOR = " && "
# ... each SUBTREE|VALUE|DATATYPE|DATA, with further |DATA for other data that
# closes the route as well.
FIELD_SEPARATOR = "|"

# One registry value that a route needs; data is the list of KEYVALUE texts
# that count as closed.
Condition = namedtuple("Condition", ["subtree", "value", "data_type", "data"])


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


def read_table(path, columns):
    """(line number, row) for every row of a table of these columns, the row
    a dict by column name. The first column is a number; TEXT, where the table
    has it, comes with "\\n" for its line breaks and real tabs."""
    rows = []
    header_seen = False
    for number, fields in data_lines(path):
        if not header_seen:
            if fields != columns:
                raise TableError(f"{path}:{number}: the header must be " + " ".join(columns))
            header_seen = True
            continue
        if len(fields) != len(columns):
            raise TableError(f"{path}:{number}: {len(fields)} columns instead of {len(columns)}")
        row = dict(zip(columns, fields))
        key = columns[0]
        if not row[key].isdigit():
            raise TableError(f"{path}:{number}: {key} {row[key]!r} is not a number")
        if "TEXT" in row:
            row["TEXT"] = row["TEXT"].replace(LINE_BREAK, "\n").replace(TAB, "\t")
        rows.append((number, row))
    if not header_seen:
        raise TableError(f"{path}: no header line")
    return rows


def read_rows(path):
    """The rows of a catalogue table (catalogues.tsv, windows10-11.tsv)."""
    return read_table(path, COLUMNS)


def read_overrides(path):
    """The rows of recommended-overrides.tsv."""
    return read_table(path, OVERRIDE_COLUMNS)


def parse_conditions(text):
    """The conditions of a CLOSED_BY text; none for an empty one."""
    if not text:
        return []
    conditions = []
    for part in text.split(CONDITION_SEPARATOR):
        fields = part.split(FIELD_SEPARATOR)
        if len(fields) < 4 or not all(fields[:3]):
            raise ValueError(f"{part!r} is not SUBTREE|VALUE|DATATYPE|DATA[|DATA...]")
        if any(CONDITION_SEPARATOR.strip() in field for field in fields):
            raise ValueError(f"{part!r}: conditions are joined by {CONDITION_SEPARATOR!r}")
        conditions.append(Condition(fields[0], fields[1], fields[2], fields[3:]))
    return conditions


def read_routes(path):
    """The rows of escape_routes.tsv, each with CONDITIONS, the conditions of
    its CLOSED_BY. A route has conditions or says in NO_POLICY what closes it
    instead, never both."""
    rows = read_table(path, ROUTE_COLUMNS)
    for number, row in rows:
        try:
            row["CONDITIONS"] = parse_conditions(row["CLOSED_BY"])
        except ValueError as error:
            raise TableError(f"{path}:{number}: CLOSED_BY: {error}") from None
        if bool(row["CONDITIONS"]) == bool(row["NO_POLICY"]):
            raise TableError(f"{path}:{number}: give either CLOSED_BY or NO_POLICY")
    return rows
