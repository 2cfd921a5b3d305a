#!/usr/bin/python3
"""Checks what the Windows host saw when it drove the real dialogs, and turns
the screenshots into PNG files."""
import os
import struct
import sys
import zlib

DEFAULTS = "50 250 0 0 2 100 7 0 7 25 25 50 20"
# After the arrow key on the line type, "240" typed as threshold and "average" clicked.
EDITED = "50 240 1 0 3 100 7 0 7 25 25 50 20"
TEXTS = {1013: "明るさ", 1016: "閾値", 1034: "閾値ﾀｲﾌﾟ", 1032: "ﾌﾟﾚｰﾝ", 1033: "平均", 1035: "加重平均",
         1031: "H0広がり", 1051: "位相ずれ", 1008: "100%", 1014: "50", 1017: "250", 1022: "2"}


def bmp_to_png(source, target):
    data = open(source, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows, colours = [], set()
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray()
        for x in range(0, len(row), 3):
            rgb += bytes((row[x + 2], row[x + 1], row[x]))
        colours.update(bytes(rgb[i:i + 3]) for i in range(0, len(rgb), 3 * 7))
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(target, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))
    return width, height, len(colours)


def main():
    run, artifacts = sys.argv[1], sys.argv[2]
    failures = []

    def read(mode):
        path = os.path.join(run, mode + ".txt")
        if not os.path.exists(path):
            failures.append(f"{mode}: the host wrote no log")
            return {}
        lines = {}
        for line in open(path, encoding="utf-8"):
            key, _, value = line.rstrip("\n").partition(" ")
            lines.setdefault(key, []).append(value)
        return lines

    def expect(mode, lines, key, value):
        got = lines.get(key, [])
        if value not in got:
            failures.append(f"{mode}: expected '{key} {value}', got {got}")

    ok = read("ok")
    expect("ok", ok, "start", "0 result 0 finished 1")
    expect("ok", ok, "parameters", EDITED)
    expect("ok", ok, "zoom", "200%")
    for control, text in TEXTS.items():
        expect("ok", ok, "text", f"{control} {text}")
    if int((ok.get("changed") or ["0"])[0]) == 0:
        failures.append("ok: the accepted run left the image unchanged")
    if int((ok.get("paints") or ["0"])[0]) == 0:
        failures.append("ok: the pane never painted through displayPixels")
    print("dialog font:", (ok.get("font") or ["?"])[0])

    cancel = read("cancel")
    expect("cancel", cancel, "start", "-128 result -128 finished 0")
    expect("cancel", cancel, "parameters", DEFAULTS)
    expect("cancel", cancel, "changed", "0")

    about = read("about")
    expect("about", about, "about", "text Glyra\\n\\n0.4.4\\n\\nGlyra Filter")
    expect("about", about, "about", "open after Enter and Escape 1")
    expect("about", about, "about", "open after a click 0")

    for name in sorted(os.listdir(run)):
        if name.endswith(".bmp"):
            width, height, colours = bmp_to_png(os.path.join(run, name), os.path.join(artifacts, name[:-4] + ".png"))
            print(f"screenshot {artifacts}/{name[:-4]}.png: {width} x {height}, {colours} colours sampled")
            if colours < 3:
                failures.append(f"{name}: the screenshot is blank")
    for shot in ("dialog-opening", "dialog-rendered", "dialog-zoomed", "about"):
        if not os.path.exists(os.path.join(artifacts, shot + ".png")):
            failures.append(f"missing screenshot {shot}")
    if failures:
        print("\n".join(failures))
        for mode in ("ok", "cancel", "about"):
            err = os.path.join(run, mode + ".err")
            if os.path.exists(err) and os.path.getsize(err):
                print(f"--- {mode}.err\n" + open(err, errors="replace").read()[-2000:])
        return 1
    print("the dialog and the About box behaved as a user expects")
    return 0


if __name__ == "__main__":
    sys.exit(main())
