"""Reading a PE file's layout and writing its checksum, for the scripts that mend a linked file in
place."""
import struct
import sys


def sections(image):
    """(virtual size, virtual address, raw size, raw offset) of each section."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    table = pe + 24 + optional_size
    return [struct.unpack_from("<IIII", image, table + i * 40 + 8) for i in range(count)]


def file_offset(image, rva):
    for size, address, raw_size, raw in sections(image):
        if address <= rva < address + max(size, raw_size):
            return raw + rva - address
    sys.exit(f"{sys.argv[0]}: RVA {rva:#x} lies in no section")


def directories(image):
    """The file offset of the optional header's data directories."""
    optional = struct.unpack_from("<I", image, 0x3C)[0] + 24
    return optional + (96 if struct.unpack_from("<H", image, optional)[0] == 0x10B else 112)


def write_checksum(image):
    """Writes the optional header's CheckSum over the image as it now is, as the linker and the
    signing tool compute it: 16-bit sums with carries folded, the field itself left out, plus
    the file's length."""
    field = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 64
    total = 0
    for at in range(0, len(image) - len(image) % 2, 2):
        if field <= at < field + 4:
            continue
        total += struct.unpack_from("<H", image, at)[0]
        total = (total & 0xFFFF) + (total >> 16)
    if len(image) % 2:
        total += image[-1]
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", image, field, (total + len(image)) & 0xFFFFFFFF)
