#!/usr/bin/env python3
"""Writes the help's catalogue pages and its keyword index.

Usage: generate_catalogue_pages.py CATALOGUES_TSV KEYWORDS_TXT OUTDIR

From the table of the built-in catalogues (src/catalogue/data/catalogues.tsv)
it writes one page per hive, catalogue_hklm.htm and catalogue_hkcu.htm: every
row under the heading of its registry key, with value name, type, lock and
unlock value, Windows versions, STATUS and the German description. It also
writes quarn.hhk, the index: the keywords of KEYWORDS_TXT (one
"keyword<TAB>page" a line) and every value name of the catalogues.

Everything is written as ASCII: HTML Help reads pages, contents and index in
the ANSI code page, so other characters go out as character references.
"""
import os
import sys

# The reader of the catalogue table, shared with the build of the built-in rows.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "src", "catalogue", "data"))
from catalogue_table import TableError, data_lines, read_rows as read_table  # noqa: E402

HIVES = [
    # tag, page, title, what the tag means
    ("HKLM", "catalogue_hklm.htm", "Lock catalogue: machine settings (HKLM)",
     "Rows of this page are written below HKEY_LOCAL_MACHINE and so hold for "
     "every account of the PC, administrators included."),
    ("HKCU", "catalogue_hkcu.htm", "Lock catalogue: account settings (HKCU)",
     "Rows of this page are written into the locked-down account's own hive, "
     "HKEY_USERS\\&lt;SID of the account&gt;, not into the hive of the "
     "administrator who runs the configurator. They need the account found "
     "by the lock button and its hive loaded."),
]


def escape(text):
    """HTML text or attribute value, in ASCII."""
    out = []
    for char in text:
        if char == "&":
            out.append("&amp;")
        elif char == "<":
            out.append("&lt;")
        elif char == ">":
            out.append("&gt;")
        elif char == '"':
            out.append("&quot;")
        elif char == "'":
            out.append("&#39;")
        elif " " <= char <= "~":
            out.append(char)
        else:
            out.append("&#%d;" % ord(char))
    return "".join(out)


def read_rows(path):
    """The table's rows; only rows of the two hives the configurator applies."""
    rows = []
    for number, row in read_table(path):
        tag = row["SUBTREE"].split("\\", 1)[0]
        if "\\" not in row["SUBTREE"] or tag not in ("HKCU", "HKLM"):
            raise TableError(f"{path}:{number}: SUBTREE {row['SUBTREE']!r} does not begin "
                             "with HKCU\\ or HKLM\\, so the row is never applied")
        rows.append(row)
    return rows


def key_of(subtree):
    """The registry key a SUBTREE names: Windows compares key names without
    regard to case, and a trailing backslash names the same key."""
    return subtree.rstrip("\\").lower()


def group_by_key(rows):
    """[(heading, [rows])] in the order of each key's first row."""
    groups = {}
    for row in sorted(rows, key=lambda r: int(r["INDEX"])):
        key = key_of(row["SUBTREE"])
        if key not in groups:
            groups[key] = (row["SUBTREE"].rstrip("\\"), [])
        groups[key][1].append(row)
    return list(groups.values())


def cell(text, css="", empty_label="(empty)"):
    if text == "":
        return f'<td class="{(css + " empty").strip()}">{empty_label}</td>'
    return f'<td class="{css}">{escape(text)}</td>' if css else f"<td>{escape(text)}</td>"


def description(text):
    lines = text.split("\n")
    first, rest = lines[0], lines[1:]
    html = f"<strong>{escape(first)}</strong>"
    for line in rest:
        html += "<br>" + escape(line)
    return html


PAGE_HEAD = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">
<title>{title}</title>
<link rel="stylesheet" type="text/css" href="quarn.css">
</head>
<body>
"""


def hive_page(title, meaning, rows, other_page, other_title):
    groups = group_by_key(rows)
    switched_off = sum(1 for r in rows if r["STATUS"] != "aktiviert")
    differing = sum(1 for r in rows if r["LOCK_KEYVALUE"] != r["UNLOCK_KEYVALUE"])
    out = [PAGE_HEAD.format(title=escape(title))]
    out.append(f"<h1>{escape(title)}</h1>\n")
    out.append(
        f"<p>Rows: {len(rows)}, in {len(groups)} keys, as the configurator carries them "
        "built in. "
        f"{meaning} The other rows are on the page "
        f'<a href="{other_page}">{escape(other_title)}</a>.</p>\n'
        "<p>Both built-in catalogues have these rows: checking &quot;Lock Down&quot; applies "
        "the lock value, unchecking it the unlock value. They agree in everything else. "
        f"Rows of this page whose lock value differs from the unlock value: {differing} "
        f"(marked in colour). Rows switched off (&quot;deaktiviert&quot;), which are never "
        f"applied: {switched_off}. A station's quarn.xml may differ from "
        'this list; <a href="quarn_xml.htm">quarnctl</a> shows its rows. How the rows are '
        'applied is told on the page <a href="lock_down.htm">&quot;Lock Down&quot; and the '
        "lock catalogue</a>.</p>\n"
        "<p>Columns: INDEX is the row's number; the value name is the row's SUBKEY (the "
        "registry value it writes or deletes); Windows is the row's WINVER, for information "
        "only: every switched-on row is applied on every Windows. The text below each row is "
        "the row's German description (TEXT).</p>\n")
    out.append('<h2>Keys</h2>\n<ul class="keys">\n')
    for number, (heading, members) in enumerate(groups, 1):
        out.append(f'<li><a href="#key-{number}">{escape(heading)}</a> ({len(members)})</li>\n')
    out.append("</ul>\n")
    for number, (heading, members) in enumerate(groups, 1):
        out.append(f'<h3 class="key" id="key-{number}">{escape(heading)}</h3>\n')
        out.append('<table class="catalogue">\n<tr><th>INDEX</th><th>Value name</th>'
                   "<th>Type</th><th>Lock value</th><th>Unlock value</th><th>Windows</th>"
                   "<th>STATUS</th></tr>\n")
        for row in members:
            differs = row["LOCK_KEYVALUE"] != row["UNLOCK_KEYVALUE"]
            status_css = "status on" if row["STATUS"] == "aktiviert" else "status off"
            out.append(f'<tr class="row{" differs" if differs else ""}" id="row-{row["INDEX"]}">'
                       f'<td class="index">{escape(row["INDEX"])}</td>'
                       + cell(row["SUBKEY"], "name", "(default value)")
                       + cell(row["DATATYPE"], "type")
                       + cell(row["LOCK_KEYVALUE"], "lock")
                       + cell(row["UNLOCK_KEYVALUE"], "unlock")
                       + cell(row["WINVER"], "winver")
                       + cell(row["STATUS"], status_css) + "</tr>\n")
            spelled = ""
            if row["SUBTREE"] != heading:
                spelled = ('<p class="spelled">The catalogue writes this key as '
                           f'&quot;{escape(row["SUBTREE"])}&quot;.</p>')
            out.append(f'<tr class="text"><td></td><td colspan="6">{spelled}'
                       f'{description(row["TEXT"])}</td></tr>\n')
        out.append("</table>\n")
    out.append("</body>\n</html>\n")
    return "".join(out)


def read_keywords(path):
    entries = []
    for number, parts in data_lines(path):
        if len(parts) != 2 or not parts[0] or not parts[1]:
            raise TableError(f"{path}:{number}: a line must be KEYWORD<TAB>PAGE")
        entries.append((parts[0], parts[1]))
    return entries


def catalogue_keywords(rows, page_of_tag, taken):
    """One index entry per row, named by its value name; a name that several
    keys use, or that the static keywords use already, also names the key."""
    users = {}
    for row in rows:
        users.setdefault(row["SUBKEY"], set()).add(key_of(row["SUBTREE"]))
    taken = {name.lower() for name in taken}
    entries = []
    for row in rows:
        name = row["SUBKEY"] or "(default value)"
        if len(users[row["SUBKEY"]]) > 1 or not row["SUBKEY"] or name.lower() in taken:
            name += " (" + row["SUBTREE"].rstrip("\\") + ")"
        page = page_of_tag[row["SUBTREE"].split("\\", 1)[0]]
        entries.append((name, f"{page}#row-{row['INDEX']}"))
    return entries


def index_file(entries):
    out = ['<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">\n<HTML>\n<HEAD>\n'
           '<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">\n'
           "</HEAD>\n<BODY>\n<UL>\n"]
    # The viewer lists the keywords in the file's order.
    for name, local in sorted(entries, key=lambda e: (e[0].lower(), e[0], e[1])):
        out.append('<LI> <OBJECT type="text/sitemap">\n'
                   f'\t<param name="Name" value="{escape(name)}">\n'
                   f'\t<param name="Local" value="{escape(local)}">\n'
                   "\t</OBJECT>\n")
    out.append("</UL>\n</BODY>\n</HTML>\n")
    return "".join(out)


def write_ascii(path, text):
    # A character that slipped past escape() is a fault of this script.
    with open(path, "w", encoding="ascii", newline="\n") as page:
        page.write(text)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    table, keywords, outdir = argv[1:]
    try:
        rows = read_rows(table)
        static_keywords = read_keywords(keywords)
    except (OSError, UnicodeDecodeError, TableError) as error:
        sys.stderr.write(f"generate_catalogue_pages.py: {error}\n")
        return 1
    os.makedirs(outdir, exist_ok=True)
    page_of_tag = {tag: page for tag, page, _, _ in HIVES}
    for position, (tag, page, title, meaning) in enumerate(HIVES):
        other = HIVES[1 - position]
        hive_rows = [r for r in rows if r["SUBTREE"].split("\\", 1)[0] == tag]
        write_ascii(os.path.join(outdir, page),
                    hive_page(title, meaning, hive_rows, other[1], other[2]))
    write_ascii(os.path.join(outdir, "quarn.hhk"),
                index_file(static_keywords + catalogue_keywords(
                    rows, page_of_tag, [name for name, _ in static_keywords])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
