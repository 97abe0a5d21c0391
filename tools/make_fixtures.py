#!/usr/bin/env python3
"""Writes the workbook fixtures of tests/fixtures with nothing but Python's zipfile module.

The files are checked in; run this again only to change them:
    python3 tools/make_fixtures.py
Output is deterministic (fixed timestamps, fixed order), so unchanged fixtures stay byte-identical.

Two styles of producer are written here, both unlike the LibreOffice-saved sample catalogue:
- "strict": Strict OOXML namespaces with an x: prefix, the workbook part at wb/book.xml, absolute
  relationship targets, no r attributes on rows or cells, shuffled sheetIds and part names,
  inline strings for some text and rich-text shared strings with phonetic runs for the rest,
  _xHHHH_ escapes in text and in tab names.
- "plain": Transitional namespaces as the default namespace, relative targets, r attributes,
  shared strings; the base of the reader cases and of the hostile files.
"""

import os
import struct
import zipfile
import zlib
from datetime import date
from xml.sax.saxutils import escape, quoteattr

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fixtures")
STAMP = (2026, 12, 8, 14, 43, 0)

TRANSITIONAL_MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
TRANSITIONAL_REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
STRICT_MAIN = "http://purl.oclc.org/ooxml/spreadsheetml/main"
STRICT_REL = "http://purl.oclc.org/ooxml/officeDocument/relationships"
PACKAGE_REL = "http://schemas.openxmlformats.org/package/2006/relationships"
CONTENT_TYPES = "http://schemas.openxmlformats.org/package/2006/content-types"
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def f32(x):
    """The value of x rounded to a 32-bit float, as the double Python holds."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def number_text(x):
    return repr(float(x)) if isinstance(x, float) else str(x)


class Raw:
    """A cell given as its attributes (without r) and inner XML, written as is."""

    def __init__(self, attrs="", inner=""):
        self.attrs = attrs
        self.inner = inner


class Rich:
    """A shared string made of runs; phonetic readings (rPh) are not part of the text."""

    def __init__(self, *runs, phonetic=None):
        self.runs = runs
        self.phonetic = phonetic


class Unseekable:
    """A file that cannot seek, so zipfile writes sizes and CRCs in data descriptors after each
    entry, as streaming zip writers do."""

    def __init__(self, file):
        self.file = file

    def write(self, data):
        return self.file.write(data)

    def flush(self):
        self.file.flush()


def write_zip(path, entries, method=zipfile.ZIP_DEFLATED, streamed=False):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        with zipfile.ZipFile(Unseekable(out) if streamed else out, "w") as z:
            for name, data in entries:
                info = zipfile.ZipInfo(name, STAMP)
                info.compress_type = method
                info.external_attr = 0o644 << 16
                with z.open(info, "w") as entry:
                    entry.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def content_types(overrides):
    body = "".join('<Override PartName=%s ContentType="application/xml"/>' % quoteattr(p) for p in overrides)
    return (DECL + '<Types xmlns="%s"><Default Extension="rels" ContentType="application/'
            'vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
            'ContentType="application/xml"/>%s</Types>' % (CONTENT_TYPES, body))


def relationships(rels):
    body = ""
    for rid, rtype, target, *external in rels:
        mode = ' TargetMode="External"' if external else ""
        body += '<Relationship Id="%s" Type="%s" Target=%s%s/>' % (rid, rtype, quoteattr(target), mode)
    return DECL + '<Relationships xmlns="%s">%s</Relationships>' % (PACKAGE_REL, body)


# ---------------------------------------------------------------------------------------------
# "plain" producer: transitional, default namespace, relative targets, r attributes.

def column_name(column):
    name = ""
    while column:
        column, rest = divmod(column - 1, 26)
        name = chr(ord("A") + rest) + name
    return name


def plain_sheet_xml(cells, strings, before_data="", after_data=""):
    rows = {}
    for (row, column), value in cells.items():
        rows.setdefault(row, {})[column] = value
    out = []
    for row in sorted(rows):
        out.append('<row r="%d">' % row)
        for column in sorted(rows[row]):
            value = rows[row][column]
            ref = "%s%d" % (column_name(column), row)
            if isinstance(value, Raw):
                out.append('<c r="%s"%s>%s</c>' % (ref, value.attrs, value.inner))
            elif isinstance(value, (str, Rich)):
                out.append('<c r="%s" t="s"><v>%d</v></c>' % (ref, strings.index(value)))
            elif isinstance(value, bool):
                out.append('<c r="%s" t="b"><v>%d</v></c>' % (ref, int(value)))
            else:
                out.append('<c r="%s"><v>%s</v></c>' % (ref, number_text(value)))
        out.append("</row>")
    return (DECL + '<worksheet xmlns="%s" xmlns:r="%s">%s<sheetData>%s</sheetData>%s</worksheet>'
            % (TRANSITIONAL_MAIN, TRANSITIONAL_REL, before_data, "".join(out), after_data))


def shared_string_xml(value, prefix=""):
    if isinstance(value, Rich):
        body = "".join('<%sr><%st xml:space="preserve">%s</%st></%sr>' % (prefix, prefix, escape(run), prefix, prefix)
                       for run in value.runs)
        if value.phonetic:
            body += '<%srPh sb="0" eb="1"><%st>%s</%st></%srPh>' % (prefix, prefix, escape(value.phonetic), prefix,
                                                                    prefix)
        return "<%ssi>%s</%ssi>" % (prefix, body, prefix)
    if value == "":
        return "<%ssi/>" % prefix
    return '<%ssi><%st xml:space="preserve">%s</%st></%ssi>' % (prefix, prefix, escape(value), prefix, prefix)


def plain_workbook(path, sheets, sheet_xml=None, workbook_xml=None, drop=(), extra=(), replace=None,
                   method=zipfile.ZIP_DEFLATED):
    """sheets: list of (tab name, {(row, column): value}). sheet_xml overrides sheet parts by index."""
    strings = []
    for _, cells in sheets:
        for value in cells.values():
            if isinstance(value, (str, Rich)) and value not in strings:
                strings.append(value)
    parts = {}
    parts["_rels/.rels"] = relationships([("rId1", TRANSITIONAL_REL + "/officeDocument", "xl/workbook.xml")])
    sheet_entries = "".join('<sheet name=%s sheetId="%d" r:id="rId%d"/>' % (quoteattr(name), i + 1, i + 2)
                            for i, (name, _) in enumerate(sheets))
    parts["xl/workbook.xml"] = workbook_xml or (DECL + '<workbook xmlns="%s" xmlns:r="%s"><sheets>%s</sheets>'
                                                '</workbook>' % (TRANSITIONAL_MAIN, TRANSITIONAL_REL, sheet_entries))
    rels = [("rId%d" % (i + 2), TRANSITIONAL_REL + "/worksheet", "worksheets/sheet%d.xml" % (i + 1))
            for i in range(len(sheets))]
    rels.append(("rId1", TRANSITIONAL_REL + "/sharedStrings", "sharedStrings.xml"))
    parts["xl/_rels/workbook.xml.rels"] = relationships(rels)
    for i, (_, cells) in enumerate(sheets):
        xml = (sheet_xml or {}).get(i)
        parts["xl/worksheets/sheet%d.xml" % (i + 1)] = xml if xml is not None else plain_sheet_xml(cells, strings)
    parts["xl/sharedStrings.xml"] = (DECL + '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>'
                                     % (TRANSITIONAL_MAIN, len(strings), len(strings),
                                        "".join(shared_string_xml(s) for s in strings)))
    parts["[Content_Types].xml"] = content_types(["/" + p for p in parts if p.endswith(".xml")])
    for name, data in extra:
        parts[name] = data
    for name, data in (replace or {}).items():
        parts[name] = data
    order = ["[Content_Types].xml", "_rels/.rels"] + sorted(p for p in parts if p not in
                                                             ("[Content_Types].xml", "_rels/.rels"))
    write_zip(path, [(p, parts[p]) for p in order if p in parts and p not in drop], method)


# ---------------------------------------------------------------------------------------------
# "strict" producer: Strict namespaces with the x: prefix, absolute targets, no r attributes.

def strict_escape(text):
    """Escapes as OOXML writers do: controls and a literal _xHHHH_ pattern."""
    out = ""
    i = 0
    while i < len(text):
        c = text[i]
        if text.startswith("_x", i) and len(text) >= i + 7 and all(
                ch in "0123456789abcdefABCDEF" for ch in text[i + 2:i + 6]) and text[i + 6] == "_":
            out += "_x005F_"
            i += 1
            continue
        out += "_x%04X_" % ord(c) if ord(c) < 32 and c not in "\t\n" else c
        i += 1
    return out


def strict_cell(value, strings):
    if value is None:
        return "<x:c/>"
    if isinstance(value, Raw):
        return "<x:c%s>%s</x:c>" % (value.attrs, value.inner)
    if isinstance(value, Rich):
        return '<x:c t="s"><x:v>%d</x:v></x:c>' % strings.index(value)
    if isinstance(value, str):
        return '<x:c t="inlineStr"><x:is><x:t xml:space="preserve">%s</x:t></x:is></x:c>' % escape(value)
    return "<x:c><x:v>%s</x:v></x:c>" % number_text(value)


def strict_workbook(path, sheets, sheet_ids, part_names, escaped_names=None, streamed=False):
    """sheets: list of (tab name, list of rows, each a list of values; None is an empty cell)."""
    strings = []
    for _, rows in sheets:
        for row in rows:
            for value in row:
                if isinstance(value, Rich) and value not in strings:
                    strings.append(value)
    parts = []
    parts.append(("_rels/.rels", relationships([("R1", STRICT_REL + "/officeDocument", "/wb/book.xml")])))
    entries = ""
    rels = [("S1", STRICT_REL + "/sharedStrings", "/wb/text/strings.xml")]
    for i, (name, _) in enumerate(sheets):
        tab = (escaped_names or {}).get(name, name)
        entries += '<x:sheet name=%s sheetId="%d" r:id="W%d"/>' % (quoteattr(tab), sheet_ids[i], sheet_ids[i])
        rels.append(("W%d" % sheet_ids[i], STRICT_REL + "/worksheet", "/wb/sheets/%s" % part_names[i]))
    parts.append(("wb/book.xml", DECL + '<x:workbook xmlns:x="%s" xmlns:r="%s"><x:workbookPr/><x:sheets>%s'
                  '</x:sheets></x:workbook>' % (STRICT_MAIN, STRICT_REL, entries)))
    parts.append(("wb/_rels/book.xml.rels", relationships(rels)))
    for i, (_, rows) in enumerate(sheets):
        body = "".join("<x:row>%s</x:row>" % "".join(strict_cell(v, strings) for v in row) for row in rows)
        parts.append(("wb/sheets/%s" % part_names[i], DECL + '<x:worksheet xmlns:x="%s" xmlns:r="%s">'
                      '<x:sheetData>%s</x:sheetData></x:worksheet>' % (STRICT_MAIN, STRICT_REL, body)))
    parts.append(("wb/text/strings.xml", DECL + '<x:sst xmlns:x="%s">%s</x:sst>'
                  % (STRICT_MAIN, "".join(shared_string_xml(s, "x:") for s in strings))))
    names = ["/" + name for name, _ in parts]
    write_zip(path, [("[Content_Types].xml", content_types(names))] + parts, streamed=streamed)


# ---------------------------------------------------------------------------------------------
# The sample catalogue, written by the second producer.

PANELS = [("QP110", "QP-110 (1 loop)", 1, 24.0, 250, 126), ("QP220", "QP-220 (2 loops)", 2, 27.5, 400, 126),
          ("QP420", "QP-420 (4 loops)", 4, 27.5, 400, 127), ("QP440", "QP-440 HP (4 loops)", 4, 32.0, 500, 250),
          ("QP840", "QP-840 (8 loops)", 8, 32.0, 500, 250), ("QP1640", "QP-1640 (16 loops)", 16, 36.0, 500, 200)]
# Each panel's own quiescent and alarm current in mA (board, display, charger; not the loops):
# columns V and W of the "Panel" sheet.
OWN_CURRENTS = {"QP110": (85, 160), "QP220": (110, 220), "QP420": (140, 290), "QP440": (160, 340),
                "QP840": (220, 480), "QP1640": (320, 720)}
CABLES = [("C10", "FR 2x1.0mm\u00b2", 18.1), ("C15", "FR 2x1.5mm\u00b2", 12.1), ("C25", "FR 2x2.5mm\u00b2", 7.41),
          ("C40", "FR 2x4.0mm\u00b2", 4.61), ("C08", "STP 2x0.8mm", 36.6)]
DEVICES = [("1", "OPT-100", "Detector", 0.34, 0.45), ("2", "HRR-200", "Detector", 0.25, 0.35),
           ("3", "HFT-210", "Detector", 0.25, 0.35), ("4", "MUL-300", "Detector", 0.5, 0.6),
           ("5", "MCP-50", "CallPoint", 0.23, 0.35), ("6", "IN-1", "Module", 0.5, 2.1),
           ("7", "SND-70", "Sounder", 0.14, 5), ("8", "VAD-80", "Sounder", 0.3, 6), ("9", "SBC-90", "Sounder", 0.35, 9),
           ("10", "OUT-1", "Module", 1.2, 4), ("11", "IO-3", "Module", 1.2, 6), ("12", "BSN-12", "Sounder", 0.4, 9),
           ("13", "ISO-1", "Isolator", 0.12, 0.12), ("14", "CZI-1", "Module", 4, 24), ("15", "SCC-1", "Module", 1.9, 3)]
SECOND_ROWS = {"OPT-100": "OPT-100I", "MCP-50": "MCP-50W"}


def rich_name(name):
    """A name split into two runs, the second with a phonetic reading that must not show."""
    cut = len(name) // 2
    return Rich(name[:cut], name[cut:], phonetic="\u30e8\u30df")


def strict_sample():
    panel_rows = [["code", "name", "loops", "V", "mA"] + ["loop %d" % n for n in range(1, 17)] +
                  ["own quiescent mA", "own alarm mA"], [len(PANELS)], ["(records from row 4)"]]
    for code, name, loops, volts, milliamps, limit in PANELS:
        panel_rows.append([code, rich_name(name), loops, volts, milliamps] +
                          [limit if n < loops else 0 for n in range(16)] + list(OWN_CURRENTS[code]))
    # The squared sign is written as an escape in one text, as some producers do for any non-ASCII.
    cable_rows = [["code", "name", "ohm/km"], [len(CABLES)], [None]]
    for code, name, ohms in CABLES:
        cable_rows.append([code, Raw(' t="inlineStr"', '<x:is><x:t>%s</x:t></x:is>' % name.replace("\u00b2", "_x00B2_"))
                           if code == "C10" else name, ohms])
    device_rows = [["code", "name", "type", "quiescent", "alarm"], [len(DEVICES)], []]
    for code, name, kind, quiescent, alarm in DEVICES:
        device_rows.append([code, rich_name(name), kind, quiescent, alarm])
    condition_rows = [["min V"], [17], ["max m"], [2000], ["max 7+8+9"], [32]]
    # Tab order Condition, Device, Panel, Cable; ids and part names say nothing about position.
    strict_workbook(os.path.join(ROOT, "strict", "data.xlsx"),
                    [("Condition", condition_rows), ("Device", device_rows), ("Panel", panel_rows),
                     ("Cable", cable_rows)],
                    sheet_ids=[7, 2, 9, 4], part_names=["p3.xml", "p1.xml", "p4.xml", "p2.xml"],
                    escaped_names={"Panel": "_x0050_anel"})

    name_panels = [["", "name"]] + [[None, rich_name(p[1])] for p in PANELS]
    name_cables = [["", "name"]] + [[None, c[1]] for c in CABLES]
    name_devices = [["second-row name", "name", "has second row", "extra rows"]]
    for i, device in enumerate(DEVICES):
        second = SECOND_ROWS.get(device[1])
        row = [second, device[1], "1" if second else None]
        if i == 0:
            row.append(2)
        name_devices.append(row)
    name_version = [["version", "number"], [Rich("Sample catalogue ", "2026.12"), 1]]
    strict_workbook(os.path.join(ROOT, "strict", "name.xlsx"),
                    [("Version", name_version), ("Panel", name_panels), ("Device", name_devices),
                     ("Cable", name_cables)],
                    sheet_ids=[3, 1, 4, 2], part_names=["v.xml", "a.xml", "c.xml", "b.xml"], streamed=True)


# ---------------------------------------------------------------------------------------------
# What the reader must deliver cell by cell: sheet "Cases", label in column A, value in column B.

READER_CASES = [
    ("plain integer", 42),
    ("exponent", Raw("", "<v>1E+21</v>")),
    ("long exponent form", Raw("", "<v>5.2400000000000002E-2</v>")),
    ("negative zero", Raw("", "<v>-0</v>")),
    ("explicit number type", Raw(' t="n"', "<v>4.252</v>")),
    ("formula text", Raw(' t="str"', "<f>A1&amp;\"x\"</f><v>7 apples</v>")),
    ("formula number", Raw("", "<f>1+1</f><v>2</v>")),
    ("formula without cached value", Raw("", "<f>1+1</f>")),
    ("boolean true", True),
    ("boolean false", False),
    ("error value", Raw(' t="e"', "<v>#N/A</v>")),
    ("date", Raw(' t="d"', "<v>2026-12-08T00:00:00</v>")),
    ("date with time", Raw(' t="d"', "<v>2026-12-08T18:00:00Z</v>")),
    ("first day of 1900", Raw(' t="d"', "<v>1900-01-01</v>")),
    ("no value", Raw(' s="1"', "")),
    ("empty number value", Raw("", "<v></v>")),
    ("empty shared string", ""),
    ("string after the empty one", "after empty"),
    ("rich text", Rich("Rich ", "text")),
    ("phonetic run left out", Rich("\u6771\u4eac", phonetic="\u3068\u3046\u304d\u3087\u3046")),
    ("preserved spaces", "  two spaces  "),
    ("escaped carriage return", Raw(' t="inlineStr"', "<is><t>A_x000D_B</t></is>")),
    ("escaped underscore", Raw(' t="inlineStr"', "<is><t>_x005F_x0041_</t></is>")),
    ("escape in formula text", Raw(' t="str"', "<v>x_x0009_y</v>")),
    ("inline rich text", Raw(' t="inlineStr"', "<is><r><t>in</t></r><r><rPr><b/></rPr><t>line</t></r>"
                                               "<rPh><t>no</t></rPh></is>")),
    ("entities", Raw(' t="inlineStr"', "<is><t>&lt;a&gt; &amp; &#x4E2D;&#25991;</t></is>")),
    ("CDATA", Raw(' t="inlineStr"', "<is><t><![CDATA[<raw>]]></t></is>")),
    ("CJK text", "\u4e2d\u6587 \ud55c\uad6d\uc5b4 \u65e5\u672c\u8a9e"),
]


def reader_cases():
    cells = {}
    for i, (label, value) in enumerate(READER_CASES):
        cells[(i + 1, 1)] = label
        cells[(i + 1, 2)] = value
    strings = []
    for value in cells.values():
        if isinstance(value, (str, Rich)) and value not in strings:
            strings.append(value)
    cases_xml = plain_sheet_xml(cells, strings)
    # Positions without r: a cell after C40 is D40; a row after row 40 is 41, its first cell A41.
    positions = ('<row r="40"><c r="C40"><v>1</v></c><c><v>2</v></c></row><row><c><v>3</v></c>'
                 '<c t="inlineStr"><is><t>B41</t></is></c></row>'
                 '<row r="1048576"><c r="XFD1048576"><v>9</v></c></row>')
    cases_xml = cases_xml.replace("</sheetData>", positions + "</sheetData>")
    workbook = (DECL + '<workbook xmlns="%s" xmlns:r="%s"><workbookPr date1904="false"/><sheets>'
                '<sheet name="Cases" sheetId="5" r:id="rId2"/>'
                '<sheet name="Hidden" sheetId="1" state="hidden" r:id="rId3"/>'
                '<sheet name="Chart" sheetId="3" r:id="rId4"/>'
                '<sheet name="Tab_x005F_x0031_" sheetId="2" r:id="rId5"/>'
                '<sheet name="Panel " sheetId="4" r:id="rId6"/>'
                '</sheets></workbook>' % (TRANSITIONAL_MAIN, TRANSITIONAL_REL))
    rels = relationships([
        ("rId1", TRANSITIONAL_REL + "/sharedStrings", "sharedStrings.xml"),
        ("rId2", TRANSITIONAL_REL + "/worksheet", "worksheets/./sheet1.xml"),
        ("rId3", TRANSITIONAL_REL + "/worksheet", "../xl/worksheets/sheet2.xml"),
        ("rId4", TRANSITIONAL_REL + "/chartsheet", "chartsheets/sheet1.xml"),
        ("rId5", TRANSITIONAL_REL + "/worksheet", "worksheets/sheet%203.xml"),
        ("rId6", TRANSITIONAL_REL + "/worksheet", "worksheets/sheet4.xml"),
        ("rId7", TRANSITIONAL_REL + "/hyperlink", "https://example.invalid/", True),
    ])
    sst = (DECL + '<sst xmlns="%s" count="%d" uniqueCount="%d">%s</sst>'
           % (TRANSITIONAL_MAIN, len(strings), len(strings), "".join(shared_string_xml(s) for s in strings)))
    small = lambda text: plain_sheet_xml({(1, 1): Raw(' t="inlineStr"', "<is><t>%s</t></is>" % text)}, [])
    entries = [
        ("_rels/.rels", relationships([("rId1", TRANSITIONAL_REL + "/officeDocument", "xl/workbook.xml")])),
        ("xl/workbook.xml", workbook),
        ("xl/_rels/workbook.xml.rels", rels),
        ("xl/sharedStrings.xml", sst),
        ("xl/worksheets/sheet1.xml", b"\xef\xbb\xbf" + cases_xml.encode("utf-8")),  # with a byte-order mark
        ("xl/worksheets/sheet2.xml", small("hidden")),
        ("xl/chartsheets/sheet1.xml", "<chartsheet xmlns=\"%s\"/>" % TRANSITIONAL_MAIN),
        ("XL/Worksheets/Sheet 3.xml", small("third")),  # part names compare without case
        ("xl/worksheets/sheet4.xml", small("near miss")),
    ]
    names = ["/" + name for name, _ in entries]
    write_zip(os.path.join(ROOT, "reader_cases.xlsx"), [("[Content_Types].xml", content_types(names))] + entries)


# ---------------------------------------------------------------------------------------------
# Raw values for the conversion table: sheet "Values", label in A, value in B.

CONVERSIONS = [
    ("number 2.5", 2.5), ("number 1.5", 1.5), ("number -2.5", -2.5), ("number 1", 1), ("number 4.252", 4.252),
    ("number 0.1", 0.1), ("number 1e21", Raw("", "<v>1E+21</v>")), ("number 5.24e-2", Raw("", "<v>5.2400000000000002E-2</v>")),
    ("number -0", Raw("", "<v>-0</v>")), ("number 126", 126), ("number 1e-7", Raw("", "<v>1E-7</v>")),
    ("text 12", "12"), ("text 1.0", "1.0"), ("text 4.252", "4.252"), ("text 4,252", "4,252"),
    ("text  1", " 1"), ("text abc", "abc"), ("text 1e3", "1e3"), ("text empty", ""),
    ("boolean true", True), ("error", Raw(' t="e"', "<v>#DIV/0!</v>")), ("formula 3.75", Raw("", "<f>15/4</f><v>3.75</v>")),
    ("formula text 7", Raw(' t="str"', "<f>\"7\"</f><v>7</v>")), ("date 2026-12-08", Raw(' t="d"', "<v>2026-12-08</v>")),
    ("empty cell", None),
]


def conversions():
    cells = {}
    for i, (label, value) in enumerate(CONVERSIONS):
        cells[(i + 1, 1)] = label
        if value is not None:
            cells[(i + 1, 2)] = value
    plain_workbook(os.path.join(ROOT, "conversions.xlsx"), [("Values", cells)])


# ---------------------------------------------------------------------------------------------
# Import cases.

def marker_cases():
    """name.xlsx "Device" sheet: the second-row marker in column C, one device per row from 2."""
    markers = [("text 1", "1", True), ("number 1", 1, True), ("number written 1.0", Raw("", "<v>1.0</v>"), True),
               ("formula text 1", Raw(' t="str"', "<f>\"1\"</f><v>1</v>"), True), ("text 1.0", "1.0", False),
               ("text space 1", " 1", False), ("text 1 space", "1 ", False), ("empty", None, False),
               ("boolean true", True, False), ("number 1.5", 1.5, False), ("number 2", 2, False)]
    cells = {(1, 1): "second-row name", (1, 2): "name", (1, 3): "has second row", (2, 4): 7}
    for i, (label, marker, _) in enumerate(markers):
        cells[(i + 2, 1)] = "second " + label
        cells[(i + 2, 2)] = label
        if marker is not None:
            cells[(i + 2, 3)] = marker
    plain_workbook(os.path.join(ROOT, "import", "markers_name.xlsx"), [("Device", cells)])


def record_sheets(panels, cables, devices, listed=None):
    listed = listed or {}
    panel = {(2, 1): listed.get("Panel", len(panels))}
    for i, (code, name, loops, volts, milliamps, limit) in enumerate(panels):
        for column, value in enumerate([code, name, loops, volts, milliamps] + [limit] * 16, start=1):
            panel[(i + 4, column)] = value
    cable = {(2, 1): listed.get("Cable", len(cables))}
    for i, row in enumerate(cables):
        for column, value in enumerate(row, start=1):
            cable[(i + 4, column)] = value
    device = {(2, 1): listed.get("Device", len(devices))}
    for i, row in enumerate(devices):
        for column, value in enumerate(row, start=1):
            device[(i + 4, column)] = value
    return panel, cable, device


def capacity_cases():
    panels = [("P%d" % n, "Panel %d" % n, 2, 30.0, 400, n) for n in range(1, 13)]
    cables = [("K%d" % n, "Cable %d" % n, float(n)) for n in range(1, 17)]
    devices = [(str(n), "DEV-%d" % n, "Module", 0.5, 1.0) for n in range(1, 61)]
    panel, cable, device = record_sheets(panels, cables, devices)
    plain_workbook(os.path.join(ROOT, "import", "over_capacity_data.xlsx"),
                   [("Panel", panel), ("Cable", cable), ("Device", device), ("Condition", {(2, 1): 17})])


def sheet_name_cases():
    """Near-miss tab names are skipped; a tab name given twice is read twice, the later standing."""
    panels = [("N1", "near miss", 1, 24.0, 250, 126), ("N2", "near miss 2", 1, 24.0, 250, 126)]
    panel, _, _ = record_sheets(panels, [], [])
    first_cable = record_sheets([], [("K1", "first", 1.0), ("K2", "first 2", 2.0)], [])[1]
    later_cable = record_sheets([], [("K9", "later", 9.0)], [])[1]
    plain_workbook(os.path.join(ROOT, "import", "sheet_names_data.xlsx"),
                   [("panel", panel), ("Panel ", panel), (" Panel", panel), ("PANEL", panel),
                    ("Cable", first_cable), ("Cable", later_cable)])


def record_sheet(rows, labels):
    """A data.xlsx record sheet: labels in row 1, the count in A2, the records from row 4."""
    cells = {(1, c + 1): label for c, label in enumerate(labels)}
    cells[(2, 1)] = len(rows)
    cells[(3, 1)] = "(records from row 4)"
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            cells[(r + 4, c + 1)] = value
    return cells


def full_catalogue():
    """The full-capacity catalogue of the benchmark: 10 panels, 15 cables, 55 devices."""
    panels = []
    for i in range(10):
        loops = 16 if i == 9 else i + 1
        panels.append(["P%d" % (i + 1), "Panel %d (%d loops)" % (i + 1, loops), loops, 36.0, 500.0] +
                      [250 if n < loops else 0 for n in range(16)])
    cables = [["K%d" % (i + 1), "Cable %d" % (i + 1), 4.0 + i] for i in range(15)]
    types = ["Detector", "Module", "Sounder", "Isolator", "CallPoint"]
    devices = []
    for i in range(55):
        quiescent = f32(f32(0.1) + f32(f32(0.01) * i))
        alarm = f32(f32(0.5) + f32(f32(0.1) * i))
        devices.append([str(i + 1), "DEV-%d" % (i + 1), types[i % 5], quiescent, alarm])

    plain_workbook(os.path.join(ROOT, "full", "data.xlsx"), [
        ("Panel", record_sheet(panels, ["code", "name", "loops", "V", "mA"] + ["loop %d" % n for n in range(1, 17)])),
        ("Cable", record_sheet(cables, ["code", "name", "ohm/km"])),
        ("Device", record_sheet(devices, ["code", "name", "type", "quiescent", "alarm"])),
        ("Condition", {(1, 1): "min V", (2, 1): 17, (3, 1): "max m", (4, 1): 2000, (5, 1): "max", (6, 1): 32}),
    ])
    name_panels = {(1, 2): "name"}
    for i, row in enumerate(panels):
        name_panels[(i + 2, 2)] = row[1]
    name_cables = {(1, 2): "name"}
    for i, row in enumerate(cables):
        name_cables[(i + 2, 2)] = row[1]
    name_devices = {(1, 1): "second-row name", (1, 2): "name", (1, 3): "has second row", (2, 4): 55}
    for i, row in enumerate(devices):
        name_devices[(i + 2, 1)] = row[1] + "B"
        name_devices[(i + 2, 2)] = row[1]
        name_devices[(i + 2, 3)] = "1"
    plain_workbook(os.path.join(ROOT, "full", "name.xlsx"), [
        ("Panel", name_panels), ("Cable", name_cables), ("Device", name_devices),
        ("Version", {(1, 1): "version", (2, 1): "Full catalogue", (2, 2): 7}),
    ])


# ---------------------------------------------------------------------------------------------
# Catalogue check cases: the sample catalogue in the plain producer's form, each file with one
# maintainer's slip. The test pairs each with the other sample workbook.

def sample_data_sheets():
    panels = [[code, name, loops, volts, milliamps] + [limit if n < loops else 0 for n in range(16)] +
              list(OWN_CURRENTS[code]) for code, name, loops, volts, milliamps, limit in PANELS]
    return [
        ["Panel", record_sheet(panels, ["code", "name", "loops", "V", "mA"] + ["loop %d" % n for n in range(1, 17)] +
                               ["own quiescent mA", "own alarm mA"])],
        ["Cable", record_sheet([list(c) for c in CABLES], ["code", "name", "ohm/km"])],
        ["Device", record_sheet([list(d) for d in DEVICES], ["code", "name", "type", "quiescent", "alarm"])],
        ["Condition", {(1, 1): "min V", (2, 1): 17, (3, 1): "max m", (4, 1): 2000, (5, 1): "max 7+8+9", (6, 1): 32}],
    ]


def sample_name_sheets(devices=DEVICES, version=1):
    panels = {(1, 2): "name"}
    for i, panel in enumerate(PANELS):
        panels[(i + 2, 2)] = panel[1]
    cables = {(1, 2): "name"}
    for i, cable in enumerate(CABLES):
        cables[(i + 2, 2)] = cable[1]
    device_cells = {(1, 1): "second-row name", (1, 2): "name", (1, 3): "has second row", (2, 4): 2}
    for i, device in enumerate(devices):
        device_cells[(i + 2, 2)] = device[1]
        if device[1] in SECOND_ROWS:
            device_cells[(i + 2, 1)] = SECOND_ROWS[device[1]]
            device_cells[(i + 2, 3)] = "1"
    return [["Panel", panels], ["Cable", cables], ["Device", device_cells],
            ["Version", {(1, 1): "version", (2, 1): "Sample catalogue 2026.12", (2, 2): version}]]


def check_cases():
    folder = os.path.join(ROOT, "check")

    def data_case(name, change):
        sheets = sample_data_sheets()
        change({tab: cells for tab, cells in sheets}, sheets)
        plain_workbook(os.path.join(folder, name + "_data.xlsx"), [tuple(s) for s in sheets])

    def name_case(name, change, devices=DEVICES, version=1):
        sheets = sample_name_sheets(devices, version)
        change({tab: cells for tab, cells in sheets}, sheets)
        plain_workbook(os.path.join(folder, name + "_name.xlsx"), [tuple(s) for s in sheets])

    def rename(tab, to):
        def change(cells, sheets):
            for sheet in sheets:
                if sheet[0] == tab:
                    sheet[0] = to
        return change

    def set_cells(tab, values):
        def change(cells, sheets):
            for position, value in values.items():
                if value is None:
                    cells[tab].pop(position, None)
                else:
                    cells[tab][position] = value
        return change

    data_case("resistance_decimal_comma", set_cells("Cable", {(5, 3): "12,1"}))
    data_case("resistance_with_unit", set_cells("Cable", {(5, 3): "12.1 \u03a9"}))
    data_case("count_too_small", set_cells("Panel", {(2, 1): 5}))
    data_case("count_too_large", set_cells("Device", {(2, 1): 17}))
    data_case("duplicate_code", set_cells("Device", {(7, 1): "3"}))
    data_case("tab_trailing_blank", rename("Panel", "Panel "))
    data_case("tab_lower_case", rename("Panel", "panel"))
    data_case("no_condition", lambda cells, sheets: sheets.pop())
    data_case("negative_current", set_cells("Device", {(8, 4): -0.5}))
    data_case("infinite_current", set_cells("Device", {(10, 5): "inf"}))
    data_case("no_loops", set_cells("Panel", {(4, 3): 0}))
    data_case("seventeen_loops", set_cells("Panel", {(9, 3): 17}))
    data_case("device_limit_zero", set_cells("Panel", {(5, 7): 0}))
    data_case("voltage_at_minimum", set_cells("Panel", {(4, 4): 17}))
    data_case("own_current_text", set_cells("Panel", {(5, 22): "n/a", (6, 23): None}))
    data_case("own_current_negative", set_cells("Panel", {(7, 23): -250}))

    name_case("marker_one_point_zero", set_cells("Device", {(2, 3): "1.0"}))
    name_case("marker_leading_blank", set_cells("Device", {(6, 3): " 1"}))
    name_case("second_rows_too_many", set_cells("Device", {(2, 4): 3}))
    name_case("second_rows_too_few", set_cells("Device", {(2, 4): 1}))
    name_case("duplicate_panel_name", set_cells("Panel", {(4, 2): PANELS[1][1]}))
    name_case("duplicate_cable_name", set_cells("Cable", {(3, 2): CABLES[0][1]}))
    name_case("empty_device_name", set_cells("Device", {(5, 2): None}))
    name_case("name_row_missing", set_cells("Panel", {(7, 2): None}))
    name_case("name_row_extra", set_cells("Cable", {(7, 2): "FR 2x6.0mm\u00b2"}))
    name_case("tab_version_lower_case", rename("Version", "version"))

    # A device inserted without and with a new version number.
    inserted = DEVICES + [("16", "HD-160", "Detector", 0.3, 0.4)]

    def insert_device(cells, sheets):
        cells["Device"][(2, 1)] = len(inserted)
        for column, value in enumerate(inserted[-1], start=1):
            cells["Device"][(len(inserted) + 3, column)] = value
    data_case("device_inserted", insert_device)
    name_case("device_inserted", lambda cells, sheets: None, devices=inserted)
    name_case("device_inserted_new_version", lambda cells, sheets: None, devices=inserted, version=2)

    # Devices 4 and 6 swap places in the sheet, but their codes stay in the rows.
    swapped = list(DEVICES)
    swapped[3], swapped[5] = ("4",) + DEVICES[5][1:], ("6",) + DEVICES[3][1:]

    def swap_devices(cells, sheets):
        for row, device in ((7, swapped[3]), (9, swapped[5])):
            for column, value in enumerate(device, start=1):
                cells["Device"][(row, column)] = value
    data_case("devices_swapped", swap_devices)
    name_case("devices_swapped", lambda cells, sheets: None, devices=swapped)

    # The last panel taken out of both workbooks.
    def drop_panel(cells, sheets):
        cells["Panel"][(2, 1)] = len(PANELS) - 1
        for column in range(1, 22):
            cells["Panel"].pop((len(PANELS) + 3, column), None)
    data_case("panel_removed", drop_panel)
    name_case("panel_removed", set_cells("Panel", {(len(PANELS) + 1, 2): None}))


# ---------------------------------------------------------------------------------------------
# Hostile and damaged workbooks: each must be refused, none may crash or hang.

def minimal_sheet(inner_rows='<row r="1"><c r="A1"><v>1</v></c></row>'):
    return DECL + '<worksheet xmlns="%s"><sheetData>%s</sheetData></worksheet>' % (TRANSITIONAL_MAIN, inner_rows)


def patch_zip(source, target, patcher):
    data = bytearray(open(source, "rb").read())
    patcher(data)
    open(target, "wb").write(bytes(data))


def header_offsets(data, name):
    """Offsets of the local header and the central directory entry of the named entry."""
    encoded = name.encode()
    local = central = None
    i = 0
    while True:
        i = data.find(b"PK\x03\x04", i)
        if i < 0:
            break
        n = struct.unpack_from("<H", data, i + 26)[0]
        if data[i + 30:i + 30 + n] == encoded:
            local = i
            break
        i += 4
    i = 0
    while True:
        i = data.find(b"PK\x01\x02", i)
        if i < 0:
            break
        n = struct.unpack_from("<H", data, i + 28)[0]
        if data[i + 46:i + 46 + n] == encoded:
            central = i
            break
        i += 4
    return local, central


def hostile():
    folder = os.path.join(ROOT, "hostile")
    os.makedirs(folder, exist_ok=True)
    good = [("Sheet1", {(1, 1): 1, (1, 2): "text"})]
    sheet = "xl/worksheets/sheet1.xml"

    def bad_sheet(name, xml):
        plain_workbook(os.path.join(folder, name), good, sheet_xml={0: xml})

    open(os.path.join(folder, "not_a_zip.xlsx"), "wb").write(b"code;name\nQP110;QP-110\n")
    open(os.path.join(folder, "ole_container.xlsx"), "wb").write(
        b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1" + b"\x00" * 504)
    base = os.path.join(folder, "_base.xlsx")
    plain_workbook(base, good)
    whole = open(base, "rb").read()
    open(os.path.join(folder, "truncated.xlsx"), "wb").write(whole[:len(whole) // 2])

    lol = "".join('<!ENTITY lol%d "%s">' % (n, "&lol%d;" % (n - 1) * 10 if n else "lol") for n in range(10))
    bad_sheet("entity_bomb.xlsx", '<?xml version="1.0"?><!DOCTYPE worksheet [%s]><worksheet xmlns="%s">'
              '<sheetData><row><c t="inlineStr"><is><t>&lol9;</t></is></c></row></sheetData></worksheet>'
              % (lol, TRANSITIONAL_MAIN))
    bad_sheet("quadratic_blowup.xlsx", '<?xml version="1.0"?><!DOCTYPE worksheet [<!ENTITY a "%s">]>'
              '<worksheet xmlns="%s"><sheetData><row><c t="inlineStr"><is><t>%s</t></is></c></row></sheetData>'
              '</worksheet>' % ("x" * 20000, TRANSITIONAL_MAIN, "&a;" * 20000))
    bad_sheet("doctype_only.xlsx", '<?xml version="1.0"?><!DOCTYPE worksheet><worksheet xmlns="%s">'
              '<sheetData/></worksheet>' % TRANSITIONAL_MAIN)
    bad_sheet("undeclared_entity.xlsx", minimal_sheet('<row><c t="inlineStr"><is><t>&lol;</t></is></c></row>'))
    bad_sheet("deep_nesting.xlsx", DECL + '<worksheet xmlns="%s"><sheetData/>%s%s</worksheet>'
              % (TRANSITIONAL_MAIN, "<a>" * 100, "</a>" * 100))
    bad_sheet("huge_tag.xlsx", minimal_sheet('<row r="1" %s><c r="A1"><v>1</v></c></row>'
                                             % " ".join('a%d=""' % n for n in range(5000))))
    bad_sheet("malformed.xlsx", minimal_sheet('<row r="1"><c r="A1"><v>1</v></row>'))
    bad_sheet("utf16_part.xlsx", ('<?xml version="1.0" encoding="UTF-16"?>' + minimal_sheet()[len(DECL):])
              .encode("utf-16"))
    for label, ref in [("row_zero", "A0"), ("column_past_xfd", "XFE1"), ("lower_case", "a1"),
                       ("row_past_limit", "A1048577"), ("absolute", "$A$1"), ("leading_zero", "A01"),
                       ("no_row", "A"), ("no_column", "1")]:
        bad_sheet("reference_%s.xlsx" % label, minimal_sheet('<row><c r="%s"><v>1</v></c></row>' % ref))
    bad_sheet("cell_outside_row.xlsx", minimal_sheet('<row r="2"><c r="A3"><v>1</v></c></row>'))
    bad_sheet("row_past_limit.xlsx", minimal_sheet('<row r="1048577"><c><v>1</v></c></row>'))
    bad_sheet("shared_index_out_of_range.xlsx", minimal_sheet('<row r="1"><c r="A1" t="s"><v>5</v></c></row>'))
    bad_sheet("shared_index_negative.xlsx", minimal_sheet('<row r="1"><c r="A1" t="s"><v>-1</v></c></row>'))
    bad_sheet("bad_number.xlsx", minimal_sheet('<row r="1"><c r="A1"><v>1,5</v></c></row>'))
    bad_sheet("infinite_number.xlsx", minimal_sheet('<row r="1"><c r="A1"><v>inf</v></c></row>'))
    bad_sheet("bad_boolean.xlsx", minimal_sheet('<row r="1"><c r="A1" t="b"><v>2</v></c></row>'))
    bad_sheet("bad_date.xlsx", minimal_sheet('<row r="1"><c r="A1" t="d"><v>2026-13-40</v></c></row>'))
    bad_sheet("unknown_cell_type.xlsx", minimal_sheet('<row r="1"><c r="A1" t="x"><v>1</v></c></row>'))
    bad_sheet("over_long_text.xlsx", minimal_sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>%s</t></is></c>'
                                                   '</row>' % ("x" * 32768)))
    bad_sheet("wrong_root.xlsx", DECL + '<chartsheet xmlns="%s"/>' % TRANSITIONAL_MAIN)

    plain_workbook(os.path.join(folder, "missing_content_types.xlsx"), good, drop=["[Content_Types].xml"])
    plain_workbook(os.path.join(folder, "missing_root_relationships.xlsx"), good, drop=["_rels/.rels"])
    plain_workbook(os.path.join(folder, "missing_workbook.xlsx"), good, drop=["xl/workbook.xml"])
    plain_workbook(os.path.join(folder, "missing_sheet.xlsx"), good, drop=[sheet])
    plain_workbook(os.path.join(folder, "missing_shared_strings.xlsx"), good, drop=["xl/sharedStrings.xml"])
    plain_workbook(os.path.join(folder, "missing_workbook_relationships.xlsx"), good,
                   drop=["xl/_rels/workbook.xml.rels"])
    plain_workbook(os.path.join(folder, "target_outside_package.xlsx"), good, replace={
        "xl/_rels/workbook.xml.rels": relationships([
            ("rId2", TRANSITIONAL_REL + "/worksheet", "../../../../etc/passwd"),
            ("rId1", TRANSITIONAL_REL + "/sharedStrings", "sharedStrings.xml")])})
    plain_workbook(os.path.join(folder, "external_sheet.xlsx"), good, replace={
        "xl/_rels/workbook.xml.rels": relationships([
            ("rId2", TRANSITIONAL_REL + "/worksheet", "file:///etc/passwd", True),
            ("rId1", TRANSITIONAL_REL + "/sharedStrings", "sharedStrings.xml")])})
    plain_workbook(os.path.join(folder, "duplicate_part.xlsx"), good, extra=[("XL/Workbook.xml", "<x/>")])
    plain_workbook(os.path.join(folder, "too_many_entries.xlsx"), good,
                   extra=[("docProps/pad%04d.xml" % n, "") for n in range(1000)])
    plain_workbook(os.path.join(folder, "unsupported_compression.xlsx"), good,
                   method=zipfile.ZIP_BZIP2)

    # A part that inflates to more than the per-part limit from a few dozen kilobytes.
    plain_workbook(os.path.join(folder, "zip_bomb.xlsx"), good,
                   replace={sheet: minimal_sheet() + " " * (65 * 1024 * 1024)})

    def bad_crc(data):
        local, central = header_offsets(data, sheet)
        crc = struct.unpack_from("<I", data, central + 16)[0] ^ 0x5A5A5A5A
        struct.pack_into("<I", data, local + 14, crc)
        struct.pack_into("<I", data, central + 16, crc)
    patch_zip(base, os.path.join(folder, "bad_crc.xlsx"), bad_crc)

    def size_patch(delta):
        def patch(data):
            local, central = header_offsets(data, sheet)
            size = struct.unpack_from("<I", data, central + 24)[0] + delta
            struct.pack_into("<I", data, local + 22, size)
            struct.pack_into("<I", data, central + 24, size)
        return patch
    patch_zip(base, os.path.join(folder, "size_understated.xlsx"), size_patch(-40))
    patch_zip(base, os.path.join(folder, "size_overstated.xlsx"), size_patch(+40))

    def central_only(data):
        local, central = header_offsets(data, sheet)
        struct.pack_into("<I", data, central + 24, struct.unpack_from("<I", data, central + 24)[0] - 40)
    patch_zip(base, os.path.join(folder, "size_differs_between_headers.xlsx"), central_only)

    def encrypted(data):
        local, central = header_offsets(data, sheet)
        struct.pack_into("<H", data, local + 6, struct.unpack_from("<H", data, local + 6)[0] | 1)
        struct.pack_into("<H", data, central + 8, struct.unpack_from("<H", data, central + 8)[0] | 1)
    patch_zip(base, os.path.join(folder, "encrypted_entry.xlsx"), encrypted)

    def flipped_data(data):
        local, _ = header_offsets(data, sheet)
        n, m = struct.unpack_from("<HH", data, local + 26)
        data[local + 30 + n + m + 5] ^= 0xFF
    patch_zip(base, os.path.join(folder, "corrupt_deflate.xlsx"), flipped_data)
    os.remove(base)


def main():
    strict_sample()
    reader_cases()
    conversions()
    marker_cases()
    capacity_cases()
    sheet_name_cases()
    full_catalogue()
    check_cases()
    hostile()


if __name__ == "__main__":
    main()
