#!/usr/bin/python3
"""Checks what the Windows host saw when it drove the real dialogs in one
locale and DPI, and turns the screenshots into PNG files.
   check_dialog_run.py RUN_FOLDER ARTIFACT_FOLDER LANGUAGE MODE..."""
import os
import struct
import sys
import zlib

DEFAULTS = "50 250 0 0 2 100 7 0 7 25 25 50 20"
# After the arrow key on the line type, "240" typed as threshold and "average" clicked.
EDITED = "50 240 1 0 3 100 7 0 7 25 25 50 20"
# Numbers are digits in every language.
VALUES = {1008: "100%", 1014: "50", 1017: "250", 1022: "2"}
SHOTS = {"ok": ("dialog-opening", "dialog-rendered", "dialog-zoomed"), "cancel": (), "about": ("about",),
         "alert": ("alert",)}


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
    run, artifacts, language, modes = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    os.makedirs(artifacts, exist_ok=True)
    failures = []
    where = os.path.basename(run)

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

    def no_faults(mode, lines):
        for key in ("mismatch", "clipped"):
            for value in lines.get(key, []):
                failures.append(f"{mode}: {key} {value}")

    if "ok" in modes:
        ok = read("ok")
        expect("ok", ok, "start", "0 result 0 finished 1")
        expect("ok", ok, "parameters", EDITED)
        expect("ok", ok, "zoom", "200%")
        expect("ok", ok, "language", language)
        expect("ok", ok, "texts", "checked 21")
        if not any(v.startswith("checked dialog") for v in ok.get("room", [])):
            failures.append("ok: the texts' room was not measured")
        for control, text in VALUES.items():
            expect("ok", ok, "text", f"{control} {text}")
        no_faults("ok", ok)
        if int((ok.get("changed") or ["0"])[0]) == 0:
            failures.append("ok: the accepted run left the image unchanged")
        if int((ok.get("paints") or ["0"])[0]) == 0:
            failures.append("ok: the pane never painted through displayPixels")
        print(f"{where}: dialog font", (ok.get("font") or ["?"])[0])
    if "cancel" in modes:
        cancel = read("cancel")
        expect("cancel", cancel, "start", "-128 result -128 finished 0")
        expect("cancel", cancel, "parameters", DEFAULTS)
        expect("cancel", cancel, "changed", "0")
    if "about" in modes:
        about = read("about")
        expect("about", about, "about", "text Glyra\\n\\n0.4.4\\n\\nGlyra Filter")
        expect("about", about, "about", "open after Enter and Escape 1")
        expect("about", about, "about", "open after a click 0")
        no_faults("about", about)
    if "alert" in modes:
        alert = read("alert")
        expect("alert", alert, "alert", "text matches")
        expect("alert", alert, "alert", "result -128")
        no_faults("alert", alert)

    for name in sorted(os.listdir(run)):
        if name.endswith(".bmp"):
            width, height, colours = bmp_to_png(os.path.join(run, name), os.path.join(artifacts, name[:-4] + ".png"))
            print(f"{where}: screenshot {artifacts}/{name[:-4]}.png: {width} x {height}, {colours} colours sampled")
            if colours < 3:
                failures.append(f"{name}: the screenshot is blank")
    for mode in modes:
        for shot in SHOTS[mode]:
            if not os.path.exists(os.path.join(artifacts, shot + ".png")):
                failures.append(f"missing screenshot {shot}")
    if failures:
        print(f"{where}:\n  " + "\n  ".join(failures))
        for mode in modes:
            err = os.path.join(run, mode + ".err")
            if os.path.exists(err) and os.path.getsize(err):
                print(f"--- {mode}.err\n" + open(err, errors="replace").read()[-2000:])
        return 1
    print(f"{where}: the dialogs read correctly in {language}, no text cut")
    return 0


if __name__ == "__main__":
    sys.exit(main())
