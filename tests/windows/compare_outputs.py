#!/usr/bin/python3
"""Compares the results of the same filter runs from two hosts: the summaries
must match exactly, and the samples byte for byte, except for a difference of
1 on isolated samples where the two math libraries' last bits (exp, sin, tan)
cross a rounding edge: at most one sample in 100,000 may differ, and by 1."""
import array
import os
import sys


def main():
    expected_dir, actual_dir = sys.argv[1], sys.argv[2]
    failures = []
    with open(os.path.join(expected_dir, "summary.txt")) as f:
        expected_summary = f.read()
    with open(os.path.join(actual_dir, "summary.txt")) as f:
        actual_summary = f.read()
    if expected_summary != actual_summary:
        failures.append("summaries differ:\n--- native\n" + expected_summary + "--- windows\n" + actual_summary)
    total = off_by_one = 0
    names = sorted(n for n in os.listdir(expected_dir) if n.endswith(".raw"))
    if not names:
        failures.append("no results to compare")
    for name in names:
        path = os.path.join(actual_dir, name)
        if not os.path.exists(path):
            failures.append(f"{name}: missing from the Windows run")
            continue
        a, b = array.array("H"), array.array("H")
        with open(os.path.join(expected_dir, name), "rb") as f:
            a.frombytes(f.read())
        with open(path, "rb") as f:
            b.frombytes(f.read())
        if len(a) != len(b):
            failures.append(f"{name}: {len(a)} samples natively, {len(b)} on Windows")
            continue
        total += len(a)
        for i, (x, y) in enumerate(zip(a, b)):
            if x == y:
                continue
            if abs(x - y) == 1:
                off_by_one += 1
                print(f"{name}: sample {i} is {y} on Windows, {x} natively (last-bit rounding)")
            else:
                failures.append(f"{name}: sample {i} is {y} on Windows, {x} natively")
    if off_by_one * 100000 > total:
        failures.append(f"{off_by_one} samples of {total} differ by 1: more than one in 100,000")
    if failures:
        print("\n".join(failures[:40]))
        return 1
    print(f"{len(names)} results, {total} samples: identical but for {off_by_one} last-bit differences")
    return 0


if __name__ == "__main__":
    sys.exit(main())
