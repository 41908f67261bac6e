#!/usr/bin/env python3
"""Writes the help's page of the escape routes, escape_routes.htm.

Usage: generate_escape_routes_page.py CATALOGUES_TSV OVERRIDES_TSV WINDOWS_TSV
                                      ROUTES_TSV OUTDIR

From escape_routes.tsv it lists every route once, under its GROUP (the groups
in the order the table first names them): its number, the route, the registry
values that close it (key, value name, type and the data that closes it) with
the INDEX of each row of the recommended lock catalogue that names the value,
or what closes the route where no registry value does, and the sources. The
recommended lock catalogue is made from the three catalogue tables as the
configurator's library makes it: the built-in lock rows of catalogues.tsv,
those of recommended-overrides.tsv with their recommended value and STATUS,
then the rows of windows10-11.tsv.

The page is written as ASCII, other characters as character references, as
the catalogue pages are (generate_catalogue_pages.py).
"""
import os
import sys

# Run from the source tree by scripts/build-help: leave no __pycache__ there.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "src", "catalogue", "data"))
from catalogue_table import TableError, read_overrides, read_routes  # noqa: E402
from generate_catalogue_pages import (HIVES, PAGE_HEAD, description, escape,  # noqa: E402
                                      read_rows, write_ascii)

PAGE = "escape_routes.htm"
TITLE = "Escape routes"
# The row kinds that name a value: they write it or delete it.
VALUE_KINDS = {"REG_DWORD", "REG_DWHEX", "REG_SZ", "REG_BINARY", "DEL_SUBKEY"}
STATUS_ON = "aktiviert"


def fold(name):
    """A key or value name as the registry compares it: letters without
    regard to case (a letter whose capital is two letters stays as it is)."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


def place(subtree, value):
    """Where a value is: hive tag, the key's names and the value's name, each
    as the registry compares them; doubled or trailing backslashes name the
    same key."""
    tag, _, path = subtree.partition("\\")
    return (tag, tuple(fold(n) for n in path.split("\\") if n), fold(value))


def recommended_rows(catalogues, overrides, windows):
    """The rows of the recommended lock catalogue, each a dict of INDEX,
    SUBTREE, SUBKEY, KEYVALUE, DATATYPE, STATUS and TEXT, with BUILT_IN true
    for the built-in rows."""
    rows = []
    by_index = {}
    for row in read_rows(catalogues):
        entry = {"INDEX": row["INDEX"], "SUBTREE": row["SUBTREE"], "SUBKEY": row["SUBKEY"],
                 "KEYVALUE": row["LOCK_KEYVALUE"], "DATATYPE": row["DATATYPE"],
                 "STATUS": row["STATUS"], "TEXT": row["TEXT"], "BUILT_IN": True}
        rows.append(entry)
        by_index[row["INDEX"]] = entry
    for number, override in read_overrides(overrides):
        row = by_index.get(override["INDEX"])
        if row is None:
            raise TableError(f"{overrides}:{number}: INDEX {override['INDEX']} names no "
                             "built-in row")
        for column in ("SUBTREE", "SUBKEY", "DATATYPE"):
            if override[column] != row[column]:
                raise TableError(f"{overrides}:{number}: {column} {override[column]!r} is not "
                                 f"row {row['INDEX']}'s {row[column]!r}")
        row["KEYVALUE"] = override["LOCK_KEYVALUE"]
        row["STATUS"] = override["STATUS"]
        row["TEXT"] += "\n\n" + override["TEXT"]
    for row in read_rows(windows):
        rows.append({"INDEX": row["INDEX"], "SUBTREE": row["SUBTREE"], "SUBKEY": row["SUBKEY"],
                     "KEYVALUE": row["LOCK_KEYVALUE"], "DATATYPE": row["DATATYPE"],
                     "STATUS": row["STATUS"], "TEXT": row["TEXT"], "BUILT_IN": False})
    return rows


def rows_naming(rows, condition):
    """The rows that write or delete the condition's value."""
    wanted = place(condition.subtree, condition.value)
    return [row for row in rows
            if row["DATATYPE"] in VALUE_KINDS and place(row["SUBTREE"], row["SUBKEY"]) == wanted]


def groups_of(routes):
    """[(group, [routes])] in the order the table first names each group."""
    groups = {}
    for route in routes:
        groups.setdefault(route["GROUP"], []).append(route)
    return list(groups.items())


def switched_off(row):
    return row["STATUS"] != STATUS_ON


def row_reference(row):
    """A row's INDEX, leading to where the help shows it."""
    off = switched_off(row)
    css = "row off" if off else "row on"
    if off:
        target = f"#off-{row['INDEX']}"
    elif row["BUILT_IN"]:
        target = dict((tag, page) for tag, page, _, _ in HIVES)[
            row["SUBTREE"].split("\\", 1)[0]] + f"#row-{row['INDEX']}"
    else:
        target = None
    index = escape(row["INDEX"])
    html = (f'<a class="{css}" href="{target}">{index}</a>' if target
            else f'<span class="{css}">{index}</span>')
    if row["DATATYPE"] == "DEL_SUBKEY":
        html += " (deletes it)"
    if off:
        html += " (switched off)"
    return html


def closing_data(data):
    shown = []
    for value in data:
        if value == "":
            shown.append('<span class="data empty">(empty)</span>')
        else:
            shown.append(f'<span class="data">{escape(value)}</span>')
    return " or ".join(shown)


def condition_cells(condition, rows):
    named = rows_naming(rows, condition)
    references = ", ".join(row_reference(row) for row in named) or '<span class="none">none</span>'
    return (f'<td class="value"><span class="key">{escape(condition.subtree)}</span><br>'
            f'<span class="name">{escape(condition.value)}</span></td>'
            f'<td class="type">{escape(condition.data_type)}</td>'
            f'<td class="closing">{closing_data(condition.data)}</td>'
            f'<td class="rows">{references}</td>')


def route_rows(route, rows):
    conditions = route["CONDITIONS"]
    span = f' rowspan="{len(conditions)}"' if len(conditions) > 1 else ""
    head = (f'<tr class="route" id="route-{route["NUMBER"]}">'
            f'<td class="number"{span}>{escape(route["NUMBER"])}</td>'
            f'<td class="route"{span}>{escape(route["ROUTE"])}</td>')
    tail = f'<td class="source"{span}>{escape(route["SOURCE"])}</td></tr>\n'
    if not conditions:
        return (head + '<td class="no-policy" colspan="4">No registry value closes it: '
                f'<span class="instead">{escape(route["NO_POLICY"])}</span></td>' + tail)
    out = [head + condition_cells(conditions[0], rows) + tail]
    for condition in conditions[1:]:
        out.append(f'<tr class="condition">{condition_cells(condition, rows)}</tr>\n')
    return "".join(out)


def introduction(routes, groups, rows, switched):
    with_values = sum(1 for r in routes if r["CONDITIONS"])
    windows_rows = sum(1 for r in rows if not r["BUILT_IN"])
    return (
        "<p>An <b>escape route</b> is a way out of the locked-down account: a key "
        "combination, a dialog, a link or a notification that leads from the station's "
        "application to Explorer, a browser, a command line, the settings or another "
        "account. This page lists the routes of Windows 10 and 11 that public sources "
        f"document: {len(routes)} routes in {len(groups)} groups, {with_values} of them "
        "closed by registry values. A route is closed when every value named beside it "
        "holds one of the data shown.</p>\n"
        "<p>The built-in catalogues were written for Windows XP to Windows 8 and close few "
        "of these routes: most of the values that close them came with later versions of "
        "Windows. The <b>recommended lock catalogue for Windows 10 and 11</b> closes most "
        "of them. "
        "It is the built-in lock catalogue, some of whose rows get locking values, "
        f"followed by {windows_rows} rows for Windows 10 and 11 (INDEX 9000 and up). "
        "Setup puts it into the installation folder as "
        "<b>catalogues\\lock-windows10-11.xml</b>; <code>quarnctl export windows10-11 "
        "FILE</code> writes the same file.</p>\n"
        "<h2>Using the recommended catalogue</h2>\n"
        "<ol>\n"
        "<li>In the configurator choose &quot;System&quot; &gt; &quot;Open *.xml "
        "File&quot; and choose <b>catalogues\\lock-windows10-11.xml</b> in the installation "
        "folder. The configurator makes it its quarn.xml and keeps the previous one as "
        'quarn.xml.bak (see <a href="quarn_xml.htm">quarn.xml and quarnctl</a>).</li>\n'
        "<li>Check &quot;Lock Down&quot; (uncheck it first if it is checked): the "
        'catalogue is applied as told on the page <a href="lock_down.htm">&quot;Lock '
        "Down&quot; and the lock catalogue</a>.</li>\n"
        "</ol>\n"
        "<p>Its rows for the machine (HKLM) hold for every account of the PC, administrators "
        "included, and some close ways that an administrator uses at the station too, such "
        "as &quot;Switch user&quot;. <b>&quot;System&quot; &gt; &quot;Restore the "
        "station&quot;</b> undoes what a lock changed, this catalogue's values included: "
        'see <a href="recovery.htm#restore">Getting a station back</a>, which also tells how '
        "to reach an administrator's logon.</p>\n"
        "<h2>Rows switched off</h2>\n"
        f"<p>{len(switched)} rows of the recommended catalogue that close a route are "
        "switched off (&quot;deaktiviert&quot;): many stations need the route open, or the "
        "row acts beyond the account. Their routes stay partly closed. Each row's German "
        "description says why and when to switch it on. To switch one on, write "
        "STATUS=&quot;aktiviert&quot; into its ROW in a copy of the catalogue and import "
        "the copy (see "
        '<a href="quarn_xml.htm">quarn.xml and quarnctl</a>).</p>\n')


def switched_off_section(switched, routes_of_row):
    out = ['<table class="switched-off">\n<tr><th>INDEX</th><th>Routes</th>'
           "<th>Value name</th><th>Value</th><th>Description</th></tr>\n"]
    for row in switched:
        routes = ", ".join(f'<a href="#route-{n}">{escape(n)}</a>'
                           for n in routes_of_row[row["INDEX"]])
        out.append(f'<tr class="off" id="off-{row["INDEX"]}"><td class="index">'
                   f'{escape(row["INDEX"])}</td><td class="routes">{routes}</td>'
                   f'<td class="name">{escape(row["SUBKEY"])}</td>'
                   f'<td class="lock">{escape(row["KEYVALUE"])}</td>'
                   f'<td class="text">{description(row["TEXT"])}</td></tr>\n')
    out.append("</table>\n")
    return "".join(out)


def audit_section():
    return (
        "<h2>Auditing a catalogue or a station</h2>\n"
        "<p><code>quarnctl audit FILE</code> lists these routes for a catalogue file, "
        "grouped as here, each as closed, partly closed (a row switched off, or a value "
        "that does not close it) or open, with the INDEX of the rows it found. "
        "<code>quarnctl audit --station</code>, run as an administrator, reads the same "
        "values in the registry as it is now: the hive of the locked-down account and "
        "HKEY_LOCAL_MACHINE, so values that a Group Policy, another tool or a hand changed "
        "since the last pass show. With <code>--html PAGE</code> either command also "
        "writes its report as one page. The exit status is 0 when every route that a "
        "registry value can close is closed, 1 otherwise, 2 on errors.</p>\n"
        "<pre>C:\\Program Files\\QUARN&gt;quarnctl audit quarn.xml --html audit.htm\n"
        "C:\\Program Files\\QUARN&gt;quarnctl audit --station</pre>\n"
        "<p class=\"note\">Some routes have no registry value that closes them (marked "
        "below), and some values only hold for programs that Explorer starts. What no "
        "registry value closes, Windows closes with its own means: AppLocker or Windows "
        "Defender Application Control (WDAC) rules keep the account from starting a "
        "program at all; the Keyboard Filter of the Enterprise and IoT editions blocks key "
        "combinations; Assigned Access gives the account one application and nothing "
        "else.</p>\n")


def page(routes, rows):
    groups = groups_of(routes)
    routes_of_row = {}
    for route in routes:
        for condition in route["CONDITIONS"]:
            for row in rows_naming(rows, condition):
                numbers = routes_of_row.setdefault(row["INDEX"], [])
                if route["NUMBER"] not in numbers:
                    numbers.append(route["NUMBER"])
    switched = [r for r in rows if r["INDEX"] in routes_of_row and switched_off(r)]
    out = [PAGE_HEAD.format(title=escape(TITLE)), f"<h1>{escape(TITLE)}</h1>\n"]
    out.append(introduction(routes, groups, rows, switched))
    out.append(switched_off_section(switched, routes_of_row))
    out.append(audit_section())
    out.append("<h2>The routes</h2>\n"
               "<p>Columns: No. is the route's number, as <code>quarnctl audit</code> "
               "gives it; the registry value is its key (HKCU: the locked-down account's "
               "hive, HKLM: the machine's) and its name; the route is closed when the value "
               "has the type and one of the data shown. Rows are the INDEX of the rows of "
               "the recommended catalogue that write the value: rows below 9000 are "
               "built-in rows, which lead to their catalogue page (it shows the built-in "
               "values; the recommended catalogue gives some of them others); rows from "
               "9000 up are the rows for Windows 10 and 11. Sources are the tags of the "
               "public sources that document the route.</p>\n")
    out.append('<ul class="groups">\n')
    for number, (group, members) in enumerate(groups, 1):
        out.append(f'<li><a href="#group-{number}">{escape(group)}</a> ({len(members)})</li>\n')
    out.append("</ul>\n")
    for number, (group, members) in enumerate(groups, 1):
        out.append(f'<h3 class="group" id="group-{number}">{escape(group)}</h3>\n')
        out.append('<table class="routes">\n<tr><th>No.</th><th>Route</th>'
                   "<th>Registry value</th><th>Type</th><th>Closed with</th><th>Rows</th>"
                   "<th>Sources</th></tr>\n")
        for route in members:
            out.append(route_rows(route, rows))
        out.append("</table>\n")
    out.append('<p class="seealso">See also: <a href="lock_down.htm">&quot;Lock Down&quot; '
               'and the lock catalogue</a>, <a href="quarn_xml.htm">quarn.xml and '
               'quarnctl</a>, <a href="recovery.htm">Getting a station back</a>.</p>\n')
    out.append("</body>\n</html>\n")
    return "".join(out)


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    catalogues, overrides, windows, routes_table, outdir = argv[1:]
    try:
        rows = recommended_rows(catalogues, overrides, windows)
        routes = [row for _, row in read_routes(routes_table)]
    except (OSError, UnicodeDecodeError, TableError) as error:
        sys.stderr.write(f"generate_escape_routes_page.py: {error}\n")
        return 1
    os.makedirs(outdir, exist_ok=True)
    write_ascii(os.path.join(outdir, PAGE), page(routes, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
