#!/usr/bin/env python3
"""Takes the link's clock out of a PE file, in place, as GNU ld's --no-insert-timestamp does.

usage: pe-timestamp.py FILE...

LLVM's linker as Zig drives it stamps the time of the link into the file header and has no
option to leave it out, so two builds of one source would differ. The header's and the
export, resource and debug directories' TimeDateStamp fields become 0, and a checksum the
file carries is computed again over the result.
"""
import struct
import sys

from pe_image import directories, file_offset

EXPORT, RESOURCE, DEBUG = 0, 2, 6


def checksum(image, field):
    total = 0
    for at in range(0, len(image) - len(image) % 2, 2):
        if field <= at < field + 4:
            continue
        total += struct.unpack_from("<H", image, at)[0]
        total = (total & 0xFFFF) + (total >> 16)
    if len(image) % 2:
        total += image[-1]
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def clear(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    struct.pack_into("<I", image, pe + 8, 0)
    table = directories(image)
    for index in (EXPORT, RESOURCE):
        rva = struct.unpack_from("<I", image, table + index * 8)[0]
        if rva:
            struct.pack_into("<I", image, file_offset(image, rva) + 4, 0)
    rva, size = struct.unpack_from("<II", image, table + DEBUG * 8)
    if rva:
        at = file_offset(image, rva)
        for entry in range(size // 28):
            struct.pack_into("<I", image, at + entry * 28 + 4, 0)
    field = pe + 24 + 64
    if struct.unpack_from("<I", image, field)[0]:
        struct.pack_into("<I", image, field, checksum(image, field))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    for path in sys.argv[1:]:
        with open(path, "rb") as pe:
            image = bytearray(pe.read())
        clear(image)
        with open(path, "wb") as pe:
            pe.write(image)


if __name__ == "__main__":
    main()
