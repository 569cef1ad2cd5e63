#!/usr/bin/env python3
"""Writes the placeholder RAM loader image as Intel HEX (LF line ends).

The instrument's real loader is delivered with its firmware and is not part
of this repository. This placeholder has the loader's form: five segments
below 0x10000, the first at 0x0500 (where the loader is started), each opened
by an extended segment address record, data records of at most 16 bytes, a
start segment address record naming 0051:0000 and the end-of-file record.
Its bytes are a fixed pattern derived from the address, so the output is the
same on every run and a byte placed at a wrong address is visible in tests.

Usage: tools/gen_ram_loader.py [output]   (default: link/RamLoaderImage.hex)
"""
import os
import sys

SEGMENTS = [(0x0500, 5), (0x0510, 4276), (0x15D0, 11), (0x15E0, 2), (0x15F0, 2)]
START_SEGMENT = (0x0051, 0x0000)  # CS:IP of the start segment address record
RECORD_BYTES = 16


def record(rtype, address, data):
    body = bytes([len(data), address >> 8, address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\n"


def pattern(address):
    return (address * 37 + (address >> 8) * 11 + 0x5A) & 0xFF


def image():
    out = []
    for start, size in SEGMENTS:
        segment = start >> 4
        offset = start & 0xF
        out.append(record(2, 0, [segment >> 8, segment & 0xFF]))
        for pos in range(0, size, RECORD_BYTES):
            n = min(RECORD_BYTES, size - pos)
            out.append(record(0, offset + pos, [pattern(start + pos + i) for i in range(n)]))
    cs, ip = START_SEGMENT
    out.append(record(3, 0, [cs >> 8, cs & 0xFF, ip >> 8, ip & 0xFF]))
    out.append(record(1, 0, []))
    return "".join(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "link", "RamLoaderImage.hex")
    with open(path, "w", newline="\n", encoding="ascii") as f:
        f.write(image())


if __name__ == "__main__":
    main()
