#!/usr/bin/env python3
"""Takes the link's clock out of a PE file, in place, as GNU ld's --no-insert-timestamp does.

usage: pe-timestamp.py FILE...

LLVM's linker as Zig drives it stamps the time of the link into the file header and has no
option to leave it out, so two builds of one source would differ. The header's and the
export, resource and debug directories' TimeDateStamp fields become 0, and the header's
checksum is computed over the result, which LLVM's linker leaves 0: GNU ld's files carry one,
and a signature's removal writes one, so that a signed file with its signature removed is the
unsigned file again on every architecture.
"""
import struct
import sys

from pe_image import directories, file_offset, write_checksum

EXPORT, RESOURCE, DEBUG = 0, 2, 6


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
    write_checksum(image)


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
