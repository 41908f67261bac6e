#!/usr/bin/python3
"""quarnctl export-gpo read by readers that are not ours: Samba's PReg parser
reads both Registry.pol files, Python's XML parser both Preferences files.
What they must find is worked out here from the catalogue's own columns,
with a conversion of the row kinds of this script's own, so a fault in the
writer or in the rule of what goes where shows as a difference.

    test_export_gpo_readers.py QUARNCTL

Runs with Debian's interpreter, the one python3-samba is built for."""
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

# The tests run from the source tree; leave no __pycache__ there.
sys.dont_write_bytecode = True

try:
    from samba.dcerpc import preg
    from samba.ndr import ndr_unpack
except ImportError as error:
    sys.exit(f"Samba's Python bindings are missing ({error}): scripts/setup installs python3-samba")

QUARNCTL = None  # set from the command line

REG_NONE, REG_SZ, REG_BINARY, REG_DWORD = 0, 1, 3, 4
VALUE_TYPES = {"REG_DWORD": REG_DWORD, "REG_DWHEX": REG_DWORD, "REG_SZ": REG_SZ,
               "REG_BINARY": REG_BINARY}
ROW_KINDS = set(VALUE_TYPES) | {"DEL_SUBKEY", "DEL_SUBTREE", "ADD_SUBTREE"}
POLICIES_KEYS = ("software\\policies", "software\\microsoft\\windows\\currentversion\\policies")
HIVES = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}
# Group Policy Preferences' class ids of the registry file and of its items.
REGISTRY_SETTINGS_CLSID = "{A3CCFC41-DFDB-43a5-8D26-0FE8B954DA51}"
REGISTRY_ITEM_CLSID = "{9CD4B2F4-923D-47f5-A062-E897DD1DAD50}"

# A catalogue of the cases the built-in one lacks: INDEX, STATUS, DATATYPE,
# SUBTREE, SUBKEY, KEYVALUE.
EDGE_ROWS = [
    # Registry.pol, machine part.
    (10, "aktiviert", "REG_DWORD", r"HKLM\Software\Policies\Quarn Test", "Negative", "-2"),
    (20, "aktiviert", "REG_DWORD", r"HKLM\SOFTWARE\POLICIES\Quarn Test", "Dollar", "$1F"),
    (30, "aktiviert", "REG_DWORD", r"HKLM\Software\Policies\Quarn Test", "Prefixed", "0x7FFFFFFF"),
    (40, "aktiviert", "REG_DWHEX", r"HKLM\Software\Policies\Quarn Test", "Hex", "DEADBEEF"),
    (50, "aktiviert", "REG_SZ", r"HKLM\Software\Policies\Quarn Test", "Text",
     "Grüße € ; \"x\" <&>"),
    (60, "aktiviert", "REG_SZ", r"HKLM\Software\Policies\Quarn Test", "Blank", ""),
    (70, "aktiviert", "REG_BINARY", r"HKLM\Software\Policies\Quarn Test", "Bytes", "00ff10"),
    (80, "aktiviert", "DEL_SUBKEY", r"HKLM\Software\Policies\Quarn Test", "Old", ""),
    (90, "aktiviert", "DEL_SUBTREE", r"HKLM\Software\Policies\Quarn Test\Gone", "ignored", ""),
    (100, "aktiviert", "ADD_SUBTREE", r"HKLM\Software\Policies\Quarn Test\Empty", "ignored", ""),
    (110, "aktiviert", "REG_DWORD",
     r"HKLM\Software\Microsoft\Windows\CurrentVersion\Policies\System", "Quarn", "1"),
    (120, "aktiviert", "REG_DWORD", "HKLM\\Software\\Policies\\Quarn Test\\", "Trailing", "2"),
    # Below a Policies key, but what a Registry.pol cannot say.
    (130, "aktiviert", "REG_SZ", r"HKLM\Software\Policies\Quarn Test", "", "default"),
    (140, "aktiviert", "REG_BINARY", r"HKLM\Software\Policies\Quarn Test", "NoBytes", ""),
    (150, "aktiviert", "REG_SZ", r"HKLM\Software\Policies\Quarn Test", "**del.Trap", "x"),
    (160, "aktiviert", "DEL_SUBKEY", r"HKLM\Software\Policies\Quarn Test", "", ""),
    (170, "aktiviert", "DEL_SUBTREE", r"HKLM\Software\Policies\Quarn Test\a;b", "", ""),
    # Outside the Policies keys.
    (180, "aktiviert", "REG_DWORD", r"HKLM\Software\PoliciesX\Quarn Test", "Lookalike", "3"),
    (190, "aktiviert", "REG_DWORD", r"HKLM\Software\Quarn Test", "Plain", "4"),
    # The user part.
    (200, "aktiviert", "REG_DWORD", r"HKCU\Software\Policies\Quarn Test", "User", "5"),
    (210, "aktiviert", "DEL_SUBTREE", r"HKCU\Software\Policies\Quarn Test\Gone", "", ""),
    (220, "aktiviert", "REG_SZ", r"HKCU\Control Panel\Quarn Test", "Text", "Grüße"),
    (230, "aktiviert", "REG_BINARY", r"HKCU\Control Panel\Quarn Test", "Bytes", "0A0b"),
    (240, "aktiviert", "DEL_SUBKEY", r"HKCU\Control Panel\Quarn Test", "Old", ""),
    (250, "aktiviert", "DEL_SUBTREE", r"HKCU\Software\Quarn Test\Gone", "", ""),
    (260, "aktiviert", "ADD_SUBTREE", r"HKCU\Software\Quarn Test\Made", "", ""),
    # Not exported: switched off, or refused by the applier.
    (270, "deaktiviert", "REG_DWORD", r"HKCU\Software\Policies\Quarn Test", "Off", "1"),
    (280, "Aktiviert", "REG_DWORD", r"HKCU\Software\Policies\Quarn Test", "Case", "1"),
    (290, "aktiviert", "REG_DWORD", r"hkcu\Software\Policies\Quarn Test", "Tag", "1"),
    (300, "aktiviert", "DEL_SUBTREE", r"HKCU\Software\Microsoft", "", ""),
    (310, "aktiviert", "REG_QWORD", r"HKCU\Software\Policies\Quarn Test", "Kind", "1"),
    (320, "aktiviert", "REG_DWORD", r"HKCU\Software\Policies\Quarn Test", "Twelve", "zwölf"),
    (330, "aktiviert", "REG_DWORD", r"HKCU\Software\Policies\Quarn Test", "Empty", ""),
]


# --- the catalogue's rows -------------------------------------------------------

def read_catalogue(path):
    """The rows of a catalogue file as dictionaries of their columns. The
    file is code page 1252 without saying so in its declaration."""
    with open(path, "rb") as file:
        text = file.read().decode("cp1252")
    root = ET.fromstring(re.sub(r"^<\?xml[^>]*\?>", "", text))
    return [dict(row.attrib) for row in root.find("ROWDATA")]


def write_catalogue(template, rows, path):
    """A catalogue file of the rows in the form of template (a catalogue
    quarnctl wrote)."""
    with open(template, "rb") as file:
        text = file.read().decode("cp1252")
    start, end = text.index("<ROWDATA>") + len("<ROWDATA>"), text.index("</ROWDATA>")

    def attribute(value):
        return (value.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;")
                .replace(">", "&gt;"))

    lines = []
    for index, status, kind, subtree, subkey, key_value in rows:
        columns = {"INDEX": str(index), "SUBTREE": subtree, "SUBKEY": subkey,
                   "KEYVALUE": key_value, "DATATYPE": kind, "WINVER": "W10/W11",
                   "STATUS": status, "TEXT": f"Testzeile {index}."}
        lines.append("<ROW" + "".join(f' {name}="{attribute(value)}"'
                                      for name, value in columns.items()) + "/>")
    with open(path, "wb") as file:
        file.write((text[:start] + "".join(lines) + text[end:]).encode("cp1252"))


def walk_order(catalogue):
    """The INDEX of each row in the order a pass applies them, as quarnctl
    show lists them."""
    lines = run(QUARNCTL, "show", catalogue).stdout.splitlines()
    # A heading, a line per row, and the count of rows.
    if not re.fullmatch(r"\d+ rows", lines[-1]) or int(lines[-1].split()[0]) != len(lines) - 2:
        raise AssertionError(f"quarnctl show ends with {lines[-1]!r}")
    return [line.split()[0] for line in lines[1:-1]]


def dword(text):
    """A REG_DWORD row's KEYVALUE as the number it writes: decimal with an
    optional sign, or hexadecimal after $ or 0x; None when it is neither."""
    match = re.fullmatch(r"([+-]?)(?:(\$|0[xX])([0-9A-Fa-f]+)|([0-9]+))", text)
    if not match:
        return None
    sign, prefix, hex_digits, decimal = match.groups()
    magnitude = int(hex_digits, 16) if prefix else int(decimal)
    limit = 0xFFFFFFFF if prefix else 0x80000000 if sign == "-" else 0x7FFFFFFF
    if magnitude > limit:
        return None
    return (-magnitude if sign == "-" else magnitude) & 0xFFFFFFFF


def value_data(kind, key_value):
    """The bytes a value row writes, or None when KEYVALUE does not convert."""
    if kind == "REG_SZ":
        return (key_value + "\0").encode("utf-16-le")
    if kind == "REG_BINARY":
        if not re.fullmatch(r"(?:[0-9A-Fa-f]{2})*", key_value):
            raise AssertionError(f"this script converts no malformed REG_BINARY {key_value!r}")
        return bytes.fromhex(key_value)
    number = dword(key_value) if kind == "REG_DWORD" else (
        int(key_value, 16) if re.fullmatch(r"[0-9A-Fa-f]{1,8}", key_value) else None)
    return None if number is None else number.to_bytes(4, "little")


class Change:
    """What one switched-on row does: its hive, key (without outer
    backslashes), value name, kind and data."""

    def __init__(self, row):
        self.index = row["INDEX"]
        self.tag, slash, path = row["SUBTREE"].partition("\\")
        self.has_hive = slash != "" and self.tag in HIVES
        self.key = path.strip("\\")
        self.kind = row["DATATYPE"]
        self.whole_key = self.kind in ("DEL_SUBTREE", "ADD_SUBTREE")
        self.name = "" if self.whole_key else row["SUBKEY"]
        self.data = value_data(self.kind, row["KEYVALUE"]) if self.kind in VALUE_TYPES else b""

    def refused_because(self):
        if not self.has_hive:
            return "hive"
        if self.kind == "DEL_SUBTREE" and len([p for p in self.key.split("\\") if p]) < 3:
            return "too broad"
        if self.kind not in ROW_KINDS:
            return "kind"
        if self.kind in VALUE_TYPES and self.data is None:
            return "value"
        return None

    def below_policies(self):
        key = self.key.lower()
        return any(key == p or key.startswith(p + "\\") for p in POLICIES_KEYS)

    def pol_record(self):
        """The record Group Policy's registry file gives this change as
        (key, value name, type, data), or None when the form cannot say it."""
        if self.kind in VALUE_TYPES:
            if not self.name or not self.data or self.name.startswith("**"):
                return None
            return (self.key, self.name, VALUE_TYPES[self.kind], self.data)
        if self.kind == "DEL_SUBKEY":
            return (self.key, "**del." + self.name, REG_SZ, " \0".encode("utf-16-le")) \
                if self.name else None
        if self.kind == "DEL_SUBTREE":
            parent, _, leaf = self.key.rpartition("\\")
            return None if ";" in leaf else (parent, "**DeleteKeys", REG_SZ,
                                             (leaf + "\0").encode("utf-16-le"))
        return (self.key, "", REG_NONE, b"")  # ADD_SUBTREE: only the key

    def preference(self):
        """The Properties of the Preferences item: action, hive, key, name,
        type, value, and whether the item is taken back with the policy."""
        deletes = self.kind in ("DEL_SUBKEY", "DEL_SUBTREE")
        value_type, value = "", ""
        if self.kind in VALUE_TYPES:
            value_type = "REG_DWORD" if self.kind == "REG_DWHEX" else self.kind
            if self.kind == "REG_SZ":
                value = self.data[:-2].decode("utf-16-le")
            elif self.kind == "REG_BINARY":
                value = self.data.hex().upper()
            else:
                value = f"{int.from_bytes(self.data, 'little'):08X}"
        properties = {"action": "D" if deletes else "U", "hive": HIVES[self.tag],
                      "key": self.key, "name": self.name, "value": value}
        if not deletes:
            properties["type"] = value_type  # a deletion's item names no type of the row's
        return properties, not deletes


def expected_export(catalogue):
    """The Registry.pol records of each part, the Preferences items of each
    part and the INDEX of the rows left out, in walk order."""
    rows = {row["INDEX"]: row for row in read_catalogue(catalogue)}
    expected = {"Machine": ([], []), "User": ([], []), "left out": []}
    for index in walk_order(catalogue):
        row = rows[index]
        change = Change(row) if row["STATUS"] == "aktiviert" else None
        if change is None or change.refused_because():
            expected["left out"].append(index)
            continue
        records, items = expected["Machine" if change.tag == "HKLM" else "User"]
        record = change.pol_record() if change.below_policies() else None
        if record:
            records.append(record)
        else:
            items.append((index, change.preference()))
    return expected


# --- what the readers find -----------------------------------------------------

def samba_records(path):
    """A Registry.pol as Samba reads it, each record as (key, value name,
    type, data bytes)."""
    with open(path, "rb") as file:
        parsed = ndr_unpack(preg.file, file.read())
    if parsed.header.signature != "PReg" or parsed.header.version != 1:
        raise AssertionError(f"{path}: header {parsed.header.signature!r} {parsed.header.version}")
    records = []
    for entry in parsed.entries:
        records.append((entry.keyname, entry.valuename, entry.type,
                        samba_data(entry.type, entry.data, entry.size)))
    return records


def samba_data(value_type, data, size):
    """Samba's reading of a record's data (a text, a number or a list of
    bytes, by its type) as the bytes of the file, checked against the size
    the record declares."""
    if value_type == REG_SZ:
        raw = (data + "\0").encode("utf-16-le")
    elif value_type == REG_DWORD:
        raw = data.to_bytes(4, "little")
    elif value_type in (REG_BINARY, REG_NONE):
        raw = bytes(data or b"")
    else:
        raise AssertionError(f"a record of type {value_type}, which no row writes")
    if len(raw) != size:
        raise AssertionError(f"data of {len(raw)} bytes where the record declares {size}")
    return raw


def preference_items(path):
    """A Preferences Registry.xml, each item as (INDEX it names, its
    Properties, whether it is taken back with the policy)."""
    root = ET.parse(path).getroot()
    if root.tag != "RegistrySettings" or root.get("clsid") != REGISTRY_SETTINGS_CLSID:
        raise AssertionError(f"{path}: root {root.tag} {root.attrib}")
    items = []
    for item in root:
        if item.tag != "Registry" or item.get("clsid") != REGISTRY_ITEM_CLSID:
            raise AssertionError(f"{path}: item {item.tag} {item.attrib}")
        properties = item.findall("Properties")
        if len(properties) != 1:
            raise AssertionError(f"{path}: item {item.attrib} has {len(properties)} Properties")
        found = {name: properties[0].get(name) for name in ("action", "hive", "key", "name",
                                                           "value")}
        if found["action"] != "D":
            found["type"] = properties[0].get("type")
        index = (item.get("desc") or "").removeprefix("QUARN INDEX ")
        items.append((index, (found, item.get("removePolicy") == "1")))
    return items


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True, encoding="utf-8")
    if result.returncode != 0:
        raise AssertionError(f"{command} ended with {result.returncode}: {result.stderr}")
    return result


class ExportGpoReadersTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.addCleanup(self.work.cleanup)
        self.lock = os.path.join(self.work.name, "lock.xml")
        run(QUARNCTL, "export", "lock", self.lock)

    def export(self, catalogue):
        folder = os.path.join(self.work.name, "gpo")
        result = run(QUARNCTL, "export-gpo", catalogue, folder)
        left_out = re.findall(r"^left out: INDEX (\S+):", result.stderr, re.MULTILINE)
        return folder, left_out

    def assert_readers_find(self, catalogue):
        expected = expected_export(catalogue)
        folder, left_out = self.export(catalogue)
        self.assertEqual(left_out, expected["left out"])
        with open(os.path.join(folder, "README.txt"), encoding="utf-8", newline="") as file:
            readme = file.read()
        for part in ("Machine", "User"):
            records, items = expected[part]
            with self.subTest(part=part, file="Registry.pol"):
                pol = os.path.join(folder, part, "Registry.pol")
                self.assertEqual(samba_records(pol) if records else os.path.exists(pol),
                                 records or False)
                self.assertRegex(readme, rf"{part}\\Registry\.pol +{len(records)} records\r\n")
            with self.subTest(part=part, file="Registry.xml"):
                xml = os.path.join(folder, part, "Preferences", "Registry", "Registry.xml")
                self.assertEqual(preference_items(xml) if items else os.path.exists(xml),
                                 items or False)
                name = rf"{part}\\Preferences\\Registry\\Registry\.xml"
                self.assertRegex(readme, rf"{name} +{len(items)} items\r\n")
        return expected

    def test_the_lock_catalogue_as_samba_and_an_xml_parser_read_it(self):
        expected = self.assert_readers_find(self.lock)
        # Both parts of both forms are there to be read.
        for part in ("Machine", "User"):
            self.assertTrue(all(expected[part]), part)

    def test_the_rows_the_lock_catalogue_lacks(self):
        catalogue = os.path.join(self.work.name, "edges.xml")
        write_catalogue(self.lock, EDGE_ROWS, catalogue)
        expected = self.assert_readers_find(catalogue)
        # The table's cases each land where they are meant to.
        where = {}
        for part in ("Machine", "User"):
            where.update({index: part + " Preferences" for index, _ in expected[part][1]})
        self.assertEqual(sorted(int(i) for i in where if where[i] == "Machine Preferences"),
                         [130, 140, 150, 160, 170, 180, 190])
        self.assertEqual(sorted(int(i) for i in where if where[i] == "User Preferences"),
                         [220, 230, 240, 250, 260])
        self.assertEqual(sorted(int(i) for i in expected["left out"]),
                         [270, 280, 290, 300, 310, 320, 330])


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    QUARNCTL = sys.argv.pop(1)
    unittest.main()
