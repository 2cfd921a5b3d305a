#!/usr/bin/python3
"""Reads every resource back from a built plug-in DLL with a PE reader and
compares it field by field with what a host expects: the property list walked
as hosts walk it, the terminology parsed item by item, the dialog templates
decoded, and the version block. Expected values are written out here, not
taken from the generator."""
import struct
import sys

import pefile

JAPANESE = 1041
RT_DIALOG = 5
RT_STRING = 6
RT_VERSION = 16

LABELS = ["明るさ", "閾値", "閾値ﾀｲﾌﾟ", "角度", "線種", "H0強度", "H0広がり", "H1強度", "H1広がり",
          "SP強度", "SP広がり", "振幅", "位相ずれ"]
KEYS = ["Brgh", "Thsh", "Thty", "Angl", "Lnty", "H0Dn", "H0Ex", "H1Dn", "H1Ex", "SPDn", "SPEx", "SPAm", "SPDp"]
RANGES = [(1, 100), (0, 255), (0, 2), (0, 359), (1, 4), (0, 100), (1, 100), (0, 100), (1, 100), (0, 100),
          (1, 100), (1, 100), (0, 100)]
ENUMERATORS = [("ﾌﾟﾚｰﾝ", "TPla"), ("平均", "TPrg"), ("加重平均", "TWrg")]
EVENT = 0x72673042

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def sjis(text):
    return text.encode("cp932")


def code(text):
    """A four-character code as stored: a little-endian 32-bit value."""
    return struct.pack("<I", int.from_bytes(text.encode("ascii"), "big"))


def resources(pe):
    found = {}
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tname = str(rtype.name) if rtype.name is not None else rtype.struct.Id
        for rid in rtype.directory.entries:
            for lang in rid.directory.entries:
                data = pe.get_data(lang.data.struct.OffsetToData, lang.data.struct.Size)
                found[(tname, rid.struct.Id)] = (lang.struct.Id, data)
    return found


def expected_properties(arch):
    """(key, id, length, data) for the 24 properties, from the published layout."""
    def padded(data, length):
        assert len(data) <= length
        return data + b"\0" * (length - len(data))

    props = [
        ("kind", 0, code("8BFM")),
        ("name", 0, padded(b"\x08Glyra...", 12)),
        ("catg", 0, padded(b"\x0aTolvexPlug", 12)),
        ("vers", 0, struct.pack("<I", 0x00040000)),
        ("8664" if arch == "win64" else "wx86", 0, padded(b"PluginMain\0", 12)),
        ("hstm", 0, padded(struct.pack("<III", 0, EVENT, EVENT) + struct.pack("<H", 16000) + b"tolvex Glyra\0", 32)),
        ("mode", 0, bytes([0x50, 0, 0, 0])),
        ("enbl", 0, padded(b"in (PSHOP_ImageMode, GrayScaleMode, RGBMode, Gray16Mode, RGB48Mode)\0", 72)),
        ("fici", 0, bytes([1, 1, 1, 0] * 3 + [1, 1, 6, 0] * 4)),
        ("aFLT", 0, struct.pack("<5I", 1, 0, 0, 64, 13) + padded(b"Glyra", 48)),
    ]
    for index, (label, (low, high)) in enumerate(zip(LABELS, RANGES)):
        record = padded(sjis(label), 32) + struct.pack("<3I", 0, 2, 2) + struct.pack("<4d", low, high, low, high)
        record += struct.pack("<2I", 10, 2) + b"\0" * 16
        props.append(("aPAR", index, record))
    props.append(("eGLO", 0, struct.pack("<I", 0x00285FFC)))
    return props


def check_property_list(data, arch):
    check(len(data) == 1946, f"PiPL is {len(data)} bytes, expected 1946")
    one, version, count = struct.unpack_from("<hii", data, 0)
    check((one, version, count) == (1, 0, 24), f"PiPL header {(one, version, count)}")
    expected = expected_properties(arch)
    at = 10
    for number in range(count):
        # Hosts step from property to property by the length field alone.
        vendor, key, pid, length = struct.unpack_from("<4s4sii", data, at)
        body = data[at + 16: at + 16 + length]
        at += 16 + length
        if number >= len(expected):
            failures.append(f"PiPL property {number + 1} beyond the expected 24")
            continue
        ekey, eid, edata = expected[number]
        name = key[::-1].decode("latin-1")
        check(vendor == code("8BIM"), f"property {number + 1}: vendor {vendor!r}")
        check(name == ekey, f"property {number + 1}: key {name!r}, expected {ekey!r}")
        check(pid == eid, f"property {number + 1} ({ekey}): id {pid}, expected {eid}")
        check(length == len(edata) and length % 4 == 0, f"property {number + 1} ({ekey}): length {length}")
        check(body == edata, f"property {number + 1} ({ekey}): data differs\n  got      {body.hex()}\n  expected {edata.hex()}")
    check(at == len(data), f"the walk ended at {at} of {len(data)} bytes")
    check(expected[-1][0] == "eGLO", "the last property is eGLO")


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def pstring(self):
        length = self.data[self.at]
        text = self.data[self.at + 1: self.at + 1 + length]
        self.at += 1 + length
        return text

    def code(self):
        raw = self.data[self.at: self.at + 4]
        self.at += 4
        return raw[::-1].decode("latin-1")

    def utf16(self):
        end = self.at
        while self.data[end: end + 2] != b"\0\0":
            end += 2
        text = self.data[self.at: end].decode("utf-16-le")
        self.at = end + 2
        return text

    def align(self, n):
        self.at = (self.at + n - 1) // n * n


def check_terminology(data):
    r = Reader(data)
    check(r.take("H") == 1, "AETE: first int16")
    check(r.take("BB") == (1, 0), "AETE: version 1.0")
    check(r.take("HHH") == (0, 0, 1), "AETE: language, script, one suite")
    check(r.pstring() == b"tolvex", "AETE: suite name")
    check(r.pstring() == b"Glyra Screen Filter", "AETE: suite description")
    check(r.take("I") == EVENT, "AETE: suite code")
    check(r.take("HHH") == (1, 1, 1), "AETE: level, version, one event")
    check(r.pstring() == b"Glyra", "AETE: event name")
    check(r.pstring() == b"Glyra Screen Filter", "AETE: event description")
    check(r.take("II") == (EVENT, EVENT), "AETE: class and event codes")
    check(r.code() == "null", "AETE: reply type")
    check(r.pstring() == b"", "AETE: reply description")
    check(r.take("H") == 0, "AETE: reply flags")
    check(r.code() == "#ImR", "AETE: direct parameter type")
    check(r.pstring() == b"", "AETE: direct description")
    check(r.take("H") == 0xB000, "AETE: direct flags")
    check(r.take("H") == 13, "AETE: thirteen parameters")
    for label, key in zip(LABELS, KEYS):
        enumerated = key == "Thty"
        check(r.pstring() == sjis(label), f"AETE: name of {key}")
        check(r.code() == key, f"AETE: key {key}")
        check(r.code() == ("Thty" if enumerated else "long"), f"AETE: type of {key}")
        check(r.pstring() == sjis(label), f"AETE: description of {key}")
        check(r.take("H") == (0x2000 if enumerated else 0), f"AETE: flags of {key}")
    check(r.take("HHH") == (0, 0, 1), "AETE: no classes, no comparisons, one enumeration")
    check(r.code() == "Thty", "AETE: enumeration type")
    check(r.take("H") == 3, "AETE: three enumerators")
    for label, enumerator in ENUMERATORS:
        check(r.pstring() == sjis(label), f"AETE: enumerator name {enumerator}")
        check(r.code() == enumerator, f"AETE: enumerator {enumerator}")
        check(r.pstring() == b"", f"AETE: enumerator description {enumerator}")
    check(r.at == 460 and len(data) == 460, f"AETE: read {r.at} of {len(data)} bytes, expected exactly 460")


EDIT, TRACKBAR, CAPTION = 0x50810080, 0x50010018, 0x50020200
PARAMETER_CONTROLS = {
    1: ("button", "OK", (268, 7, 50, 14), 0x50010001),
    2: ("button", "ｷｬﾝｾﾙ", (268, 24, 50, 14), 0x50010000),
    1007: ("static", "", (165, 7, 78, 69), 0x50000107),
    1002: ("button", "+", (249, 10, 13, 15), 0x50010000),
    1003: ("button", "-", (249, 59, 13, 15), 0x50010000),
    1008: ("static", "100%", (245, 36, 19, 15), 0x50020201),
    1025: ("button", "Highlight", (7, 7, 153, 87), 0x50000007),
    1039: ("button", "Spectrum", (7, 98, 153, 86), 0x50000007),
    1009: ("button", "General", (165, 80, 153, 104), 0x50000007),
    1034: ("static", "ThrshType", (169, 130, 35, 8), CAPTION),
    1032: ("button", "Plain", (214, 129, 30, 10), 0x50010009),
    1033: ("button", "RGB", (246, 129, 25, 10), 0x50010009),
    1035: ("button", "WRGB", (274, 129, 38, 10), 0x50010009),
}
ROWS = [  # caption id, template text, edit id, trackbar id, caption x, edit x, trackbar x, y
    (1013, "Brightns", 1014, 1015, 169, 289, 209, 91), (1016, "Threshld", 1017, 1018, 169, 289, 209, 109),
    (1021, "Angle", 1019, 1020, 169, 289, 209, 145), (1024, "Linetype", 1022, 1023, 169, 289, 209, 163),
    (1028, "H0 Density", 1026, 1027, 10, 130, 50, 20), (1031, "H0 Extent", 1029, 1030, 10, 130, 50, 37),
    (1053, "H1 Density", 1036, 1038, 10, 130, 50, 54), (1054, "H1 Extent", 1037, 1052, 10, 130, 50, 71),
    (1042, "Density", 1040, 1041, 10, 130, 50, 111), (1045, "Extent", 1043, 1044, 10, 130, 50, 128),
    (1048, "Amp", 1046, 1047, 10, 130, 50, 146), (1051, "Dephasing", 1049, 1050, 10, 130, 50, 164),
]
for caption, text, edit, trackbar, cx, ex, tx, y in ROWS:
    PARAMETER_CONTROLS[caption] = ("static", text, (cx, y, 35, 12), CAPTION)
    PARAMETER_CONTROLS[edit] = ("edit", "", (ex, y, 20, 12), EDIT)
    PARAMETER_CONTROLS[trackbar] = ("msctls_trackbar32", "Slider1", (tx, y, 80, 12), TRACKBAR)
TAB_ORDER = [1, 2, 1007, 1002, 1003, 1009, 1014, 1017, 1032, 1033, 1035, 1019, 1022, 1026, 1029, 1040, 1043,
             1046, 1049, 1015, 1018, 1020, 1023, 1027, 1030, 1041, 1044, 1047, 1050, 1013, 1016, 1021, 1008,
             1024, 1025, 1028, 1031, 1039, 1042, 1045, 1048, 1051, 1034, 1036, 1037, 1038, 1052, 1053, 1054]
ORDINALS = {0x80: "button", 0x81: "edit", 0x82: "static"}
FONT = "ＭＳ Ｐゴシック"


def window_class(r):
    if r.data[r.at: r.at + 2] == b"\xff\xff":
        r.at += 2
        return ORDINALS.get(r.take("H"), "ordinal?")
    return r.utf16()


def check_parameter_dialog(data):
    r = Reader(data)
    style, exstyle, count = r.take("IIH")
    check((style, exstyle) == (0x80C800C0, 0), f"dialog 102: style {style:#x}, extended {exstyle:#x}")
    check(count == 49, f"dialog 102: {count} controls")
    check(r.take("hhhh") == (0, 0, 325, 191), "dialog 102: position and size")
    check(r.take("HH") == (0, 0), "dialog 102: no menu, default class")
    check(r.utf16() == "ﾀﾞｲｱﾛｸﾞ", "dialog 102: caption")
    check(r.take("H") == 9, "dialog 102: font size")
    check(r.utf16() == FONT, "dialog 102: font name")
    ids = []
    for _ in range(count):
        r.align(4)
        style, exstyle, x, y, cx, cy, cid = r.take("IIhhhhH")
        cls, text = window_class(r), r.utf16()
        extra = r.take("H")
        ids.append(cid)
        expected = PARAMETER_CONTROLS.get(cid)
        if not expected:
            failures.append(f"dialog 102: unexpected control {cid}")
            continue
        got = (cls, text, (x, y, cx, cy), style)
        check(got == expected, f"dialog 102: control {cid} is {got}, expected {expected}")
        check(exstyle == 0 and extra == 0, f"dialog 102: control {cid} extended style or creation data")
    check(ids == TAB_ORDER, f"dialog 102: control order {ids}")


def check_about_dialog(data):
    r = Reader(data)
    check(r.take("HH") == (1, 0xFFFF), "dialog 101: extended template")
    help_id, exstyle, style, count = r.take("IIIH")
    check((help_id, exstyle, style, count) == (0, 0, 0x800000C0, 1), f"dialog 101: header {(help_id, exstyle, style, count)}")
    check(r.take("hhhh") == (0, 0, 162, 100), "dialog 101: position and size")
    check(r.take("HH") == (0, 0), "dialog 101: no menu, default class")
    check(r.utf16() == "", "dialog 101: empty title")
    check(r.take("HHBB") == (9, 0, 0, 1), "dialog 101: font size, weight, italic, character set")
    check(r.utf16() == FONT, "dialog 101: font name")
    r.align(4)
    control = r.take("IIIhhhhI")
    check(control == (0, 0x10, 0x50020001, 7, 7, 148, 86, 1001), f"dialog 101: control {control}")
    check(window_class(r) == "static", "dialog 101: static class")
    check(r.utf16() == "", "dialog 101: empty text")
    check(r.take("H") == 0, "dialog 101: no creation data")


def check_warning_string(data):
    """Strings 16992 (the advance-state warning, ^1 the interface version) and
    16993 (a failure where the host drops result codes, ^0 the reason, ^1 the
    code) in their block of sixteen."""
    at, strings = 0, []
    for _ in range(16):
        (length,) = struct.unpack_from("<H", data, at)
        strings.append(data[at + 2: at + 2 + 2 * length].decode("utf-16-le"))
        at += 2 + 2 * length
    warning, failure = strings[16992 % 16], strings[16993 % 16]
    check("^1" in warning and "^0" not in warning and "^2" not in warning,
          f"string 16992: {warning!r} should name the version as ^1")
    check("^0" in failure and "^1" in failure and "^2" not in failure,
          f"string 16993: {failure!r} should name the reason as ^0 and the code as ^1")
    check(all(not s for i, s in enumerate(strings) if i not in (16992 % 16, 16993 % 16)),
          "string table: only strings 16992 and 16993")
    check(all(ord(c) < 128 for c in warning + failure), "the strings are plain ASCII, readable in every code page")


def check_version(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00000004, 0x00040000), "version: file version 0.4.4.0")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00000004, 0x00040000), "version: product version")
    check((fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS, fixed.FileType, fixed.FileSubtype) == (0x3F, 0, 4, 2, 0),
          "version: mask, flags, OS, type, subtype")
    check((fixed.FileDateMS, fixed.FileDateLS) == (0, 0), "version: date")
    expected = [("CompanyName", ""), ("FileDescription", "Glyra Filter"), ("FileVersion", "0.4.4"),
                ("InternalName", "Glyra"), ("OriginalFilename", "Glyra.8bf"), ("ProductName", "Glyra"),
                ("ProductVersion", "0.4.4")]
    tables, translations = [], []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            tables = info.StringTable
        elif info.Key == b"VarFileInfo":
            translations = [var.entry for var in info.Var]
    check(len(tables) == 1 and tables[0].LangID == b"041104b0", "version: one string table 041104b0")
    if tables:
        entries = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
        check(entries == expected, f"version: strings {entries}")
    check(translations == [{b"Translation": "0x0411 0x04b0"}], f"version: translation {translations}")


def main():
    path, arch = sys.argv[1], sys.argv[2]
    pe = pefile.PE(path)
    found = resources(pe)
    wanted = {("PIPL", 16000): "PiPL", ("AETE", 16000): "AETE", (RT_DIALOG, 101): "dialog 101",
              (RT_DIALOG, 102): "dialog 102", (RT_VERSION, 1): "version",
              (RT_STRING, 16992 // 16 + 1): "string table"}
    for key, name in wanted.items():
        check(key in found, f"missing resource {name}")
        if key in found:
            check(found[key][0] == JAPANESE, f"{name}: language {found[key][0]}, expected 1041")
    check(set(found) <= set(wanted), f"unexpected resources {sorted(set(found) - set(wanted), key=str)}")
    if ("PIPL", 16000) in found:
        check_property_list(found[("PIPL", 16000)][1], arch)
    if ("AETE", 16000) in found:
        check_terminology(found[("AETE", 16000)][1])
    if (RT_DIALOG, 102) in found:
        check_parameter_dialog(found[(RT_DIALOG, 102)][1])
    if (RT_DIALOG, 101) in found:
        check_about_dialog(found[(RT_DIALOG, 101)][1])
    if (RT_STRING, 1063) in found:
        check_warning_string(found[(RT_STRING, 1063)][1])
    check_version(pe)
    if failures:
        print(f"{path}:")
        for failure in failures:
            print("  " + failure)
        return 1
    print(f"{path}: PiPL (24 properties), AETE (460 bytes), dialogs 101 and 102, version block: as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
