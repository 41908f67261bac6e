#!/usr/bin/env python3
"""Turns catalogues.tsv into the C++ table of the built-in catalogue rows.

Usage: generate_builtin_rows.py catalogues.tsv builtin_rows.cpp

The table's form is described in catalogue_table.py. Line breaks of TEXT
become CR LF. The catalogue text is code page 1252, so every character must
exist there.
"""
import sys

from catalogue_table import COLUMNS, TableError, read_rows


def fail(path, number, message):
    sys.exit(f"{path}:{number}: {message}")


def literal(data: bytes) -> str:
    out = ['"']
    for byte in data:
        if byte == 0x5C:
            out.append("\\\\")
        elif byte == 0x22:
            out.append('\\"')
        elif 0x20 <= byte < 0x7F:
            out.append(chr(byte))
        else:
            out.append("\\%03o" % byte)
    out.append('"')
    return "".join(out)


def cp1252(path, number, what, text):
    """Catalogue text in code page 1252. Ends the program when a character
    has no place there."""
    try:
        return text.encode("cp1252")
    except UnicodeEncodeError as error:
        fail(path, number, f"{what}: {text[error.start:error.end]!r} is not in code page 1252")


def cp1252_fields(path, number, row, columns):
    """The row's columns as catalogue text, the line breaks of TEXT as CR LF."""
    return [cp1252(path, number, column,
                   row[column].replace("\n", "\r\n") if column == "TEXT" else row[column])
            for column in columns]


def main():
    source, target = sys.argv[1], sys.argv[2]
    rows = []
    try:
        table = read_rows(source)
    except (OSError, UnicodeDecodeError, TableError) as error:
        sys.exit(str(error))
    for number, row in table:
        encoded = cp1252_fields(source, number, row, COLUMNS)
        index = int(row["INDEX"])
        if rows and index <= rows[-1][0]:
            fail(source, number, f"INDEX {index} is not above {rows[-1][0]}")
        rows.append((index, encoded[1:]))

    with open(target, "w", encoding="ascii", newline="\n") as out:
        out.write("// Generated from catalogues.tsv by generate_builtin_rows.py; do not edit.\n\n")
        out.write('#include "catalogue/builtin_catalogues.h"\n\nnamespace quarn {\nnamespace {\n\n')
        out.write(f"constexpr BuiltInRow kRows[{len(rows)}] = {{\n")
        for index, values in rows:
            out.write(f"    {{{index}, " + ", ".join(literal(v) for v in values) + "},\n")
        out.write("};\n\n}  // namespace\n\n")
        out.write("std::span<const BuiltInRow> BuiltInRows() { return kRows; }\n\n}  // namespace quarn\n")


if __name__ == "__main__":
    main()
