#!/usr/bin/python3
"""Checks a built plug-in DLL: machine type, export directory name, the two
exported entry points under exactly their names, and that it needs no C++
runtime DLL beside it."""
import sys

import pefile

MACHINES = {"win32": 0x14C, "win64": 0x8664}
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "gdi32.dll", "comctl32.dll"}


def main():
    path, arch = sys.argv[1], sys.argv[2]
    pe = pefile.PE(path)
    failures = []
    if pe.FILE_HEADER.Machine != MACHINES[arch]:
        failures.append(f"machine 0x{pe.FILE_HEADER.Machine:x}, expected 0x{MACHINES[arch]:x}")
    if not pe.FILE_HEADER.Characteristics & 0x2000:
        failures.append("not a DLL")
    exports = pe.DIRECTORY_ENTRY_EXPORT
    name = pe.get_string_at_rva(exports.struct.Name).decode()
    if name != "Glyra.8bf":
        failures.append(f"export directory name {name!r}")
    names = sorted(s.name.decode() for s in exports.symbols if s.name)
    if names != ["DLLMain", "PluginMain"]:
        failures.append(f"exports {names}")
    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    if not imports <= ALLOWED_IMPORTS:
        failures.append(f"imports beyond the system DLLs: {sorted(imports - ALLOWED_IMPORTS)}")
    if failures:
        print(f"{path}: " + "; ".join(failures))
        return 1
    print(f"{path}: {arch}, exports {names}, imports {sorted(imports)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
