#!/usr/bin/env python3
"""Runs conformance_vectors natively and the Windows build under wine64 and
compares their lines byte for byte. A vector may differ only where
expected_differences.tsv lists it with both outputs and the reason; a listed
difference that no longer occurs (or differs otherwise) fails too, so the
table in docs/platforms.md stays true. A row whose vector name has a "*" names
a family (shell pattern); "*" as an output there means any output, and the
family must still match at least one differing vector.

  compare_vectors.py --native EXE --windows EXE.exe --emulator WINE64
                     --expected TSV [--markdown FILE]
"""
import argparse
import fnmatch
import os
import subprocess
import sys
import tempfile


def run(command, scratch):
    env = dict(os.environ)
    # The same locale for both: the C locale natively; for Wine, whose thread
    # locale follows these variables, the default (English, code page 1252).
    env["LC_ALL"] = "C"
    env["LANG"] = "C"
    out = subprocess.run(command + [scratch], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         env=env, timeout=300, check=True).stdout
    vectors = {}
    order = []
    for line in out.split(b"\n"):
        if not line:
            continue
        key, given, result = line.decode("ascii").split("\t")
        vectors[key] = (given, result)
        order.append(key)
    return order, vectors


def read_expected(path):
    expected = {}  # name or pattern -> (native, windows, reason), in file order
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4:
                sys.exit(f"{path}:{number}: expected 4 tab-separated fields")
            key, native, windows, reason = fields
            expected[key] = (native, windows, reason)
    return expected


def find_row(expected, key):
    if key in expected:
        return key
    for row in expected:
        if "*" in row and fnmatch.fnmatchcase(key, row):
            return row
    return None


def shorten(text, limit=48):
    return text if len(text) <= limit else text[:limit] + " …"


def markdown(order, native, windows, expected, listed):
    """The differing vectors with their reasons, then a count of the identical ones."""
    rows = ["| Vector | Input | Native (glibc) | Windows (Wine) | Why |", "|---|---|---|---|---|"]
    same = {}
    for key in order:
        given, ours = native[key]
        theirs = windows[key][1]
        if key in listed:
            reason = expected[listed[key]][2]
            rows.append(f"| `{key}` | {shorten(given)} | {shorten(ours)} | {shorten(theirs)} |"
                        f" {reason} |")
        else:
            group = "/".join(key.split("/")[:2])
            same[group] = same.get(group, 0) + 1
    rows.append("")
    rows.append("Byte-identical on both: " +
                ", ".join(f"`{group}` {count}" for group, count in same.items()) + ".")
    return "\n".join(rows) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("--markdown")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        order, native = run([args.native], a)
        windows_order, windows = run([args.emulator, args.windows], b)
    expected = read_expected(args.expected)

    failures = []
    if order != windows_order:
        failures.append("the two programs print different vectors (different builds?)")
    used = set()
    listed = {}  # vector -> the row that explains it
    for key in order:
        if key not in windows:
            continue
        ours, theirs = native[key][1], windows[key][1]
        row = find_row(expected, key)
        if row is None:
            if ours != theirs:
                failures.append(f"{key}: native [{ours}] but Windows [{theirs}], not listed")
            continue
        want_ours, want_theirs, _ = expected[row]
        if "*" not in row:
            used.add(row)
            if (ours, theirs) != (want_ours, want_theirs):
                failures.append(f"{key}: listed as native [{want_ours}] / Windows [{want_theirs}],"
                                f" now native [{ours}] / Windows [{theirs}]")
            listed[key] = row
        elif ours != theirs:
            if want_ours not in ("*", ours) or want_theirs not in ("*", theirs):
                failures.append(f"{key}: family {row} expects native [{want_ours}] / Windows"
                                f" [{want_theirs}], got native [{ours}] / Windows [{theirs}]")
            used.add(row)
            listed[key] = row
    for row in expected:
        if row not in used:
            failures.append(f"{row}: listed but no such difference any more")

    if args.markdown:
        with open(args.markdown, "w", encoding="utf-8") as f:
            f.write(markdown(order, native, windows, expected, listed))
    print(f"{len(order)} vectors: {len(order) - len(listed)} byte-identical,"
          f" {len(listed)} different as listed ({len(expected)} rows)")
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
