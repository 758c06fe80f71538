#!/usr/bin/env python3
"""repair_type_library_guid.py FILE.tlb LIBID

mingw-w64's widl (7.0, and Wine's 8.0) overwrites the last byte of the
library's own GUID with 0x0d when the library holds a coclass. This puts the
LIBID of the IDL file back: the GUID must appear exactly once with its first
15 bytes intact; its last byte is set. Any other shape of the file fails the
build, so a fixed widl (or another fault) is noticed.
"""
import sys
import uuid


def main() -> int:
    path, libid = sys.argv[1], uuid.UUID(sys.argv[2])
    data = bytearray(open(path, "rb").read())
    want = libid.bytes_le
    count = data.count(want[:15])
    if count != 1:
        print(f"{path}: the LIBID {libid} occurs {count} times", file=sys.stderr)
        return 1
    at = data.find(want[:15])
    if data[at + 15] != want[15]:
        data[at + 15] = want[15]
        open(path, "wb").write(bytes(data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
