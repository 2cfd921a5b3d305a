#!/usr/bin/env python3
"""Checks that the shipped binaries carry none of the tests' machinery.

The emulated host and system, the allocation seam and the tests' readers
live under tests/ and are linked only into test programs; a shipped binary
(the command, the GEGL and frei0r modules) that defines one of their symbols
has had test code linked into the product.
Usage: check_shipped_symbols.py TEST_PROGRAM SHIPPED...
The test program must show the symbols, or the check itself does not work.
"""
import re
import subprocess
import sys

TEST_MACHINERY = re.compile(
    r"\b(ForeignCodeScope|InForeignCode|SetAllocationFailureCheck|Platform(Set|Create|Destroy|Fail|Free|Clear|Live|Queued)\w*"
    r"|Set(ParameterDialog|AboutBox|Alert)Handler|FilterHost|TestHost|LoadPluginLibrary|FreePluginLibrary"
    r"|EncodeDescriptor|DecodeDescriptor|RecordedParameters|MakeHostImage|HostImage|SetActiveHost"
    r"|MetadataBytes|ResolutionPerInch|PluginMain|DLLMain)\b")


def machinery_in(path: str) -> list:
    listing = subprocess.run(["nm", "-C", "--defined-only", path], capture_output=True, text=True)
    if listing.returncode != 0:
        raise SystemExit(f"{path}: nm failed: {listing.stderr.strip()}")
    found = set()
    for line in listing.stdout.splitlines():
        match = TEST_MACHINERY.search(line)
        if match:
            found.add(match.group(1))
    return sorted(found)


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    if not machinery_in(sys.argv[1]):
        print(f"{sys.argv[1]}: shows none of the test machinery; the check does not see it")
        return 2
    faults = 0
    for path in sys.argv[2:]:
        found = machinery_in(path)
        print(f"{path}: {', '.join(found) if found else 'no test machinery'}")
        faults += bool(found)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
