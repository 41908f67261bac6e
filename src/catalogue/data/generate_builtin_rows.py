#!/usr/bin/env python3
"""Turns catalogues.tsv into the C++ table of the built-in catalogue rows.

Usage: generate_builtin_rows.py catalogues.tsv builtin_rows.cpp

The table is UTF-8 with one row per line and nine tab-separated columns:
INDEX, SUBTREE, SUBKEY, LOCK_KEYVALUE, UNLOCK_KEYVALUE, DATATYPE, WINVER,
STATUS, TEXT. Lines starting with "#" are comments; the first other line is
the header. In TEXT, "⏎" stands for a line break (CR LF) and "⇥" for a tab.
The catalogue text is code page 1252, so every character must exist there.
"""
import sys

COLUMNS = ["INDEX", "SUBTREE", "SUBKEY", "LOCK_KEYVALUE", "UNLOCK_KEYVALUE",
           "DATATYPE", "WINVER", "STATUS", "TEXT"]


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


def main():
    source, target = sys.argv[1], sys.argv[2]
    rows = []
    header_seen = False
    with open(source, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                continue
            fields = line.split("\t")
            if not header_seen:
                if fields != COLUMNS:
                    fail(source, number, "the header must be " + " ".join(COLUMNS))
                header_seen = True
                continue
            if len(fields) != len(COLUMNS):
                fail(source, number, f"{len(fields)} columns instead of {len(COLUMNS)}")
            fields[8] = fields[8].replace("⏎", "\r\n").replace("⇥", "\t")
            encoded = []
            for column, value in zip(COLUMNS, fields):
                try:
                    encoded.append(value.encode("cp1252"))
                except UnicodeEncodeError as error:
                    fail(source, number, f"{column}: {value[error.start:error.end]!r} is not in code page 1252")
            try:
                index = int(fields[0])
            except ValueError:
                fail(source, number, f"INDEX {fields[0]!r} is not a number")
            if rows and index <= rows[-1][0]:
                fail(source, number, f"INDEX {index} is not above {rows[-1][0]}")
            rows.append((index, encoded[1:]))

    with open(target, "w", encoding="ascii", newline="\n") as out:
        out.write("// Generated from catalogues.tsv by generate_builtin_rows.py; do not edit.\n\n")
        out.write('#include "builtin_catalogues.h"\n\nnamespace quarn {\nnamespace {\n\n')
        out.write(f"constexpr BuiltInRow kRows[{len(rows)}] = {{\n")
        for index, values in rows:
            out.write(f"    {{{index}, " + ", ".join(literal(v) for v in values) + "},\n")
        out.write("};\n\n}  // namespace\n\n")
        out.write("std::span<const BuiltInRow> BuiltInRows() { return kRows; }\n\n}  // namespace quarn\n")


if __name__ == "__main__":
    main()
