#!/usr/bin/python3
"""Checks a built plug-in DLL: machine type, export directory name, the two
exported entry points under exactly their names, and that it needs no C++
runtime DLL beside it."""
import re
import subprocess
import sys

import pefile

MACHINES = {"win32": 0x14C, "win64": 0x8664}
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "gdi32.dll", "comctl32.dll"}


def first_return(path, pe, rva):
    """The first return instruction of the code at an exported address."""
    start = pe.OPTIONAL_HEADER.ImageBase + rva
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", f"--start-address={start:#x}",
                              f"--stop-address={start + 4096:#x}", path],
                             capture_output=True, text=True, check=True).stdout
    match = re.search(r"\t(ret\S*(?: +\$0x[0-9a-f]+)?)", listing)
    return match.group(1).strip() if match else None


def check_calling_conventions(pe, path):
    """32-bit hosts call PluginMain as cdecl (the caller pops) and the loader
    calls DLLMain as stdcall (it pops its three arguments)."""
    failures = []
    for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols:
        name = symbol.name.decode()
        expected = {"PluginMain": "ret", "DLLMain": "ret    $0xc"}[name]
        found = first_return(path, pe, symbol.address)
        if found is None or found.split() != expected.split():
            failures.append(f"{name} returns with {found!r}, expected {expected!r}")
    return failures


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
    if arch == "win32":
        failures += check_calling_conventions(pe, path)
    if failures:
        print(f"{path}: " + "; ".join(failures))
        return 1
    print(f"{path}: {arch}, exports {names}, imports {sorted(imports)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
