#!/usr/bin/env python3
"""Checks that includes point only downward through the layers of the tree.

Each folder may include its own headers and those of the folders listed for
it below; anything else is a layering fault. There is no exception list: a
new include that crosses a layer upward fails the build's tests.
With a build folder it also reads the build's link lines: each shipped
binary links only the project libraries of the layers it stands on, and no
object from tests/.
Usage: check_layers.py [ROOT] [BUILD]
"""
import pathlib
import re
import sys

# Bottom to top. A folder may use the folders it names, never one above it.
ALLOWED = {
    "interface": set(),
    "platform": {"interface"},
    "core": {"interface"},
    "host_services": {"interface", "platform", "core"},
    "render": {"core"},
    "passes": {"interface", "platform", "core", "host_services", "render"},
    "ui": {"interface", "platform", "core", "host_services", "passes"},
    "plugin": {"interface", "platform", "core", "host_services", "passes", "ui"},
    "resources": {"interface", "core", "ui"},
    "cli": {"core", "render"},
    "samples": {"core", "cli"},
    "gegl": {"core", "render"},
    "frei0r": {"core", "render"},
    "web": {"core", "render"},
    "bench": None,  # benchmarks, tests and fuzz targets may use every layer
    "tests": None,
    "fuzz": None,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)
SOURCES = ("*.h", "*.cpp", "*.rc")


def faults_in(root: pathlib.Path) -> list:
    faults = []
    for folder, allowed in ALLOWED.items():
        if allowed is None or not (root / folder).is_dir():
            continue
        for pattern in SOURCES:
            for path in sorted((root / folder).rglob(pattern)):
                for target in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                    if target == folder or target in allowed:
                        continue
                    faults.append(f"{path.relative_to(root)}: includes {target}/, above or beside {folder}/")
    unknown = sorted(p.name for p in root.iterdir()
                     if p.is_dir() and not p.name.startswith((".", "build", "dist", "out"))
                     and p.name not in ALLOWED and p.name not in ("cmake", "tools", "docs", "packaging"))
    for name in unknown:
        faults.append(f"{name}/: a folder without a place in the layers")
    return faults


# Shipped binaries (ninja outputs) and the project libraries each may link.
LINKS = {
    "glyra": {"glyra_files", "glyra_render", "glyra_core"},
    "gegl/glyra-stars.so": {"glyra_render", "glyra_core"},
    "frei0r/glyra.so": {"glyra_render", "glyra_core"},
}
PROJECT_LIBRARY = re.compile(r"(?:^|/)lib(glyra_\w+)\.a$")


def link_faults(ninja_text: str) -> list:
    """Faults in the link statements of a build.ninja file's shipped binaries."""
    faults = []
    seen = set()
    lines = ninja_text.splitlines()
    for i, line in enumerate(lines):
        match = re.match(r"build ([^:]+): \S*LINKER\S* (.*)", line)
        if not match or match.group(1) not in LINKS:
            continue
        output = match.group(1)
        seen.add(output)
        words = match.group(2).replace("||", "|").split()
        for j in range(i + 1, len(lines)):
            if not lines[j].startswith("  "):
                break
            if lines[j].strip().startswith("LINK_LIBRARIES ="):
                words += lines[j].split("=", 1)[1].split()
        for word in words:
            if "/tests/" in word or word.startswith("CMakeFiles/") and ".dir/tests/" in word:
                faults.append(f"{output}: links {word}, test code")
            library = PROJECT_LIBRARY.search(word)
            if library and library.group(1) not in LINKS[output]:
                faults.append(f"{output}: links {library.group(1)}, beside or above its layers")
    for output in sorted(set(LINKS) - seen):
        faults.append(f"{output}: no link line found in the build")
    return faults


def self_test() -> bool:
    """The check must see an upward include, and accept a downward one."""
    import tempfile
    with tempfile.TemporaryDirectory() as temp:
        root = pathlib.Path(temp)
        for folder in ("core", "render", "host_services"):
            (root / folder).mkdir()
        (root / "core" / "a.h").write_text('#pragma once\n')
        (root / "render" / "b.cpp").write_text('#include "core/a.h"\n')
        if faults_in(root):
            return False
        (root / "render" / "c.cpp").write_text('  #  include "host_services/d.h"\n')
        if len(faults_in(root)) != 1:
            return False
    good = "\n".join(f"build {o}: CXX_LINKER__x a.o | libglyra_core.a\n  LINK_LIBRARIES = libglyra_core.a" for o in LINKS)
    bad = good.replace("LINK_LIBRARIES = libglyra_core.a", "LINK_LIBRARIES = libglyra_plugin.a", 1)
    return not link_faults(good) and len(link_faults(bad)) == 1


def main() -> int:
    if not self_test():
        print("layers: the check itself does not work")
        return 2
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = faults_in(root)
    if len(sys.argv) > 2:
        ninja = pathlib.Path(sys.argv[2]) / "build.ninja"
        if ninja.is_file():
            faults += link_faults(ninja.read_text(encoding="utf-8", errors="replace"))
        else:
            faults.append(f"{ninja}: not found; the link lines cannot be read")
    for fault in faults:
        print(fault)
    print(f"layers: {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
