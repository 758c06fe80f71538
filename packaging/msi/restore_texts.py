#!/usr/bin/env python3
"""Puts the registry values that wixl cannot store into a package it built.

    restore_texts.py PACKAGE.msi

wixl (msitools 0.101) gives every package the database code page 0 (it
ignores <Product Codepage>), and in code page 0 its libmsi cannot store text
beyond ASCII: it crashes while committing a value that mixes ASCII with
other characters and stores an empty one for the rest. corvo-registry-rows
therefore writes such a value into the WiX rows as a stand-in,
CORVO_TEXT_<the value's UTF-8 bytes in hex>. This script gives the database
code page 936 (it must be an ANSI code page Windows Installer takes, which
UTF-8 is not, and encode every text: the one there is now is the type
library's Chinese help string) and writes the values in place of their
stand-ins with msibuild, which converts them into that code page. A package
without stand-ins is left as it is.
"""
import os
import re
import subprocess
import sys
import tempfile

CODE_PAGE = 936
CODEC = "gbk"
STAND_IN = re.compile(r"CORVO_TEXT_([0-9a-f]+)")


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: restore_texts.py PACKAGE.msi\n")
        return 2
    package = os.path.abspath(argv[1])
    table = subprocess.run(["msiinfo", "export", package, "Registry"], check=True,
                           capture_output=True).stdout.decode("utf-8")
    texts = []

    def restore(match):
        text = bytes.fromhex(match.group(1)).decode("utf-8")
        try:
            text.encode(CODEC)
        except UnicodeEncodeError:
            raise SystemExit(f"error: \"{text}\" cannot be stored in code page {CODE_PAGE}")
        texts.append(text)
        return text

    restored = STAND_IN.sub(restore, table)
    if not texts:
        return 0
    with tempfile.TemporaryDirectory() as folder:
        # msibuild takes a table's name from its file's name.
        with open(os.path.join(folder, "_ForceCodepage.idt"), "w", newline="") as f:
            f.write(f"\r\n\r\n{CODE_PAGE}\t_ForceCodepage\r\n")
        with open(os.path.join(folder, "Registry.idt"), "w", encoding="utf-8", newline="") as f:
            f.write(restored)
        subprocess.run(["msibuild", package, "-i", "_ForceCodepage.idt", "-i", "Registry.idt"],
                       cwd=folder, check=True)
    check = subprocess.run(["msiinfo", "export", package, "Registry"], check=True,
                           capture_output=True).stdout.decode("utf-8")
    missing = [text for text in texts if text not in check] + STAND_IN.findall(check)
    if missing:
        sys.stderr.write(f"error: {package} does not hold {missing}\n")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
