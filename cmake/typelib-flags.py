#!/usr/bin/env python3
"""Sets the type flags of named types in an MSFT type library.

usage: typelib-flags.py INPUT OUTPUT GUID=FLAGS...

The interface compiler leaves out flags that the library must carry (it has been seen to
drop TYPEFLAG_FOLEAUTOMATION from a dual interface); this writes each listed type's flags
exactly as given and fails when a listed type is missing.
"""
import struct
import sys
import uuid

HEADER_SIZE = 0x54
HELP_DLL_FLAG = 0x100
SEGMENT_COUNT = 15
TYPEINFO_SEGMENT = 0
GUID_SEGMENT = 5
TYPEINFO_GUID = 0x2C
TYPEINFO_FLAGS = 0x30


def main():
    source, target, *settings = sys.argv[1:]
    data = bytearray(open(source, "rb").read())
    magic, _, _, _, _, varflags, _, _, count = struct.unpack_from("<9i", data, 0)
    if magic != 0x5446534D:
        sys.exit(f"{source}: not an MSFT type library")
    offsets_at = HEADER_SIZE + (4 if varflags & HELP_DLL_FLAG else 0)
    offsets = struct.unpack_from(f"<{count}i", data, offsets_at)
    segments_at = offsets_at + 4 * count
    segments = [struct.unpack_from("<4i", data, segments_at + 16 * i) for i in range(SEGMENT_COUNT)]
    typeinfos = segments[TYPEINFO_SEGMENT][0]
    guids = segments[GUID_SEGMENT][0]

    wanted = {}
    for setting in settings:
        guid, flags = setting.split("=")
        wanted[uuid.UUID(guid).bytes_le] = int(flags, 0)
    for offset in offsets:
        base = typeinfos + offset
        position = struct.unpack_from("<i", data, base + TYPEINFO_GUID)[0]
        if position < 0:
            continue
        guid = bytes(data[guids + position:guids + position + 16])
        if guid in wanted:
            struct.pack_into("<i", data, base + TYPEINFO_FLAGS, wanted.pop(guid))
    if wanted:
        missing = ", ".join(str(uuid.UUID(bytes_le=guid)) for guid in wanted)
        sys.exit(f"{source}: no type {missing}")
    open(target, "wb").write(data)


if __name__ == "__main__":
    main()
