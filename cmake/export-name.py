#!/usr/bin/env python3
"""Writes the module name that a DLL's export directory carries.

usage: export-name.py DLL NAME

LLVM's linker names the export directory after the output file and leaves out the name that
the .def file's LIBRARY line gives. The name is part of what the exports tell their callers,
so it is set here, in place: only a name that differs from the file's name in case, and so
has its length, can be written. The header's checksum is written again over the result.
"""
import struct
import sys

from pe_image import directories, file_offset, write_checksum


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, name = sys.argv[1], sys.argv[2].encode("ascii")
    with open(path, "rb") as dll:
        image = bytearray(dll.read())
    exports = struct.unpack_from("<I", image, directories(image))[0]
    if not exports:
        sys.exit("export-name: the DLL has no export directory")
    at = file_offset(image, struct.unpack_from("<I", image, file_offset(image, exports) + 12)[0])
    old = bytes(image[at : at + len(name) + 1])
    if old[:-1].lower() != name.lower() or old[-1] != 0:
        sys.exit(f"export-name: the directory names {old!r}, not a spelling of {name!r}")
    image[at : at + len(name)] = name
    write_checksum(image)
    with open(path, "wb") as dll:
        dll.write(image)


if __name__ == "__main__":
    main()
