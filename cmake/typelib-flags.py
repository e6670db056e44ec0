#!/usr/bin/env python3
"""Sets the type flags of named types in an MSFT type library, and takes out its clock.

usage: typelib-flags.py INPUT OUTPUT GUID=FLAGS...

The interface compiler leaves out flags that the library must carry (it has been seen to
drop TYPEFLAG_FOLEAUTOMATION from a dual interface); this writes each listed type's flags
exactly as given and fails when a listed type is missing.

It also stamps the library with the time of its build, as MIDL does, in two custom data
items: "Created by WIDL version ... at <time>" and the time in seconds. Both are set to
1970-01-01 00:00:00, as the linkers' reproducible mode sets the PE files' stamps, so that the
same source gives the same library.
"""
import struct
import sys
import uuid

HEADER_SIZE = 0x54
HELP_DLL_FLAG = 0x100
SEGMENT_COUNT = 15
TYPEINFO_SEGMENT = 0
GUID_SEGMENT = 5
CUSTOM_DATA_SEGMENT = 11
CUSTOM_DATA_GUIDS_SEGMENT = 12
TIMESTAMP_ITEM = uuid.UUID("DE77BA63-517C-11D1-A2DA-0000F8773CE9").bytes_le
CREATOR_ITEM = uuid.UUID("DE77BA65-517C-11D1-A2DA-0000F8773CE9").bytes_le
VT_UI4, VT_BSTR = 0x13, 0x8
# The creator text ends in ctime's 24 characters.
CLOCK_TEXT = b"Thu Jan  1 00:00:00 1970"
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
    clear_clock(data, segments, source)
    open(target, "wb").write(data)


def clear_clock(data, segments, source):
    """Sets the build time the library's custom data items carry to the epoch."""
    guids = segments[GUID_SEGMENT]
    values = segments[CUSTOM_DATA_SEGMENT][0]
    entries, size = segments[CUSTOM_DATA_GUIDS_SEGMENT][:2]
    found = set()
    for entry in range(entries, entries + size, 12):
        guid_at, value_at = struct.unpack_from("<ii", data, entry)
        guid = bytes(data[guids[0] + guid_at:guids[0] + guid_at + 16])
        at = values + value_at
        kind = struct.unpack_from("<H", data, at)[0]
        if guid == TIMESTAMP_ITEM and kind == VT_UI4:
            struct.pack_into("<I", data, at + 2, 0)
            found.add(guid)
        elif guid == CREATOR_ITEM and kind == VT_BSTR:
            length = struct.unpack_from("<i", data, at + 2)[0]
            text = at + 6 + length - len(CLOCK_TEXT) - 1
            data[text:text + len(CLOCK_TEXT)] = CLOCK_TEXT
            found.add(guid)
    if found != {TIMESTAMP_ITEM, CREATOR_ITEM}:
        sys.exit(f"{source}: no build time where the interface compiler writes it")


if __name__ == "__main__":
    main()
