#!/usr/bin/env python3
"""Turns the tables for Windows 10 and 11 into C++: the rows of
windows10-11.tsv, the recommended lock values of recommended-overrides.tsv and
the escape routes of escape_routes.tsv.

Usage: generate_windows_tables.py windows10-11.tsv recommended-overrides.tsv
           escape_routes.tsv windows_tables.cpp

The tables' form is described in catalogue_table.py. Catalogue text is code
page 1252, as in the built-in rows; the routes' texts are UTF-8.
"""
import sys

from catalogue_table import (COLUMNS, OVERRIDE_COLUMNS, TableError, read_overrides, read_routes,
                             read_rows)
from generate_builtin_rows import cp1252, cp1252_fields, fail, literal


def ascending(path, rows, column):
    """The rows, after checking that column rises from row to row."""
    previous = None
    for number, row in rows:
        value = int(row[column])
        if previous is not None and value <= previous:
            fail(path, number, f"{column} {value} is not above {previous}")
        previous = value
    return rows


def utf8(text):
    return literal(text.encode("utf-8"))


def main():
    windows_path, overrides_path, routes_path, target = sys.argv[1:5]
    try:
        windows = ascending(windows_path, read_rows(windows_path), "INDEX")
        overrides = ascending(overrides_path, read_overrides(overrides_path), "INDEX")
        routes = ascending(routes_path, read_routes(routes_path), "NUMBER")
    except (OSError, UnicodeDecodeError, TableError) as error:
        sys.exit(str(error))

    out = ["// Generated from windows10-11.tsv, recommended-overrides.tsv and escape_routes.tsv",
           "// by generate_windows_tables.py; do not edit.", "",
           '#include "catalogue/windows_tables.h"', "", "namespace quarn {", "namespace {", ""]

    out.append(f"constexpr BuiltInRow kWindowsRows[{len(windows)}] = {{")
    for number, row in windows:
        values = cp1252_fields(windows_path, number, row, COLUMNS)[1:]
        out.append(f"    {{{row['INDEX']}, " + ", ".join(literal(v) for v in values) + "},")
    out += ["};", ""]

    out.append(f"constexpr RecommendedOverride kOverrides[{len(overrides)}] = {{")
    for number, row in overrides:
        values = cp1252_fields(overrides_path, number, row, OVERRIDE_COLUMNS)[1:]
        out.append(f"    {{{row['INDEX']}, " + ", ".join(literal(v) for v in values) + "},")
    out += ["};", ""]

    conditions = []  # (subtree, value, data type, name of its data array)
    for number, row in routes:
        for condition in row["CONDITIONS"]:
            name = f"kData{len(conditions)}"
            data = [literal(cp1252(routes_path, number, "CLOSED_BY", d)) for d in condition.data]
            out.append(f"constexpr const char* {name}[{len(data)}] = {{{', '.join(data)}}};")
            subtree, value, data_type = (cp1252(routes_path, number, "CLOSED_BY", text)
                                         for text in condition[:3])
            conditions.append((subtree, value, data_type, name))
    out += ["", f"constexpr RouteCondition kConditions[{len(conditions)}] = {{"]
    for subtree, value, data_type, name in conditions:
        out.append(f"    {{{literal(subtree)}, {literal(value)}, {literal(data_type)}, {name}}},")
    out += ["};", ""]

    out.append(f"constexpr EscapeRoute kRoutes[{len(routes)}] = {{")
    first = 0
    for number, row in routes:
        count = len(row["CONDITIONS"])
        closed_by = f"{{kConditions + {first}, {count}}}" if count else "{}"
        first += count
        out.append(f"    {{{row['NUMBER']}, {utf8(row['GROUP'])}, {utf8(row['ROUTE'])}, {closed_by}, "
                   f"{utf8(row['NO_POLICY'])}, {utf8(row['SOURCE'])}}},")
    out += ["};", "", "}  // namespace", "",
            "std::span<const BuiltInRow> Windows1011Rows() { return kWindowsRows; }",
            "std::span<const RecommendedOverride> RecommendedOverrides() { return kOverrides; }",
            "std::span<const EscapeRoute> EscapeRoutes() { return kRoutes; }", "",
            "}  // namespace quarn", ""]

    with open(target, "w", encoding="ascii", newline="\n") as file:
        file.write("\n".join(out))


if __name__ == "__main__":
    main()
