#!/usr/bin/env python3
"""Checks a Lanterwell package (.msix) the way Windows reads one, without the generator's code:
every part has a content type, every payload file is in the block map with its true size,
local-header size and SHA-256 of each 64 KiB block, and the manifest declares the class that
the DLL carries, at the DLL's name, for the right architecture and version.
usage: package-check.py PACKAGE DLL ARCH VERSION PUBLISHER"""
import base64
import hashlib
import struct
import sys
import uuid
import zipfile
import xml.etree.ElementTree as ElementTree

BLOCKMAP = "{http://schemas.microsoft.com/appx/2010/blockmap}"
TYPES = "{http://schemas.openxmlformats.org/package/2006/content-types}"
FOUNDATION = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10}"
UAP10 = "{http://schemas.microsoft.com/appx/manifest/uap/windows10/10}"
DESKTOP5 = "{http://schemas.microsoft.com/appx/manifest/desktop/windows10/5}"
COM = "{http://schemas.microsoft.com/appx/manifest/com/windows10}"
RESCAP = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities}"
NOT_IN_BLOCKMAP = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}

passed = failed = 0


def check(condition, what):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


def local_header_size(raw, offset):
    signature, = struct.unpack_from("<I", raw, offset)
    name_length, extra_length = struct.unpack_from("<HH", raw, offset + 26)
    return 30 + name_length + extra_length if signature == 0x04034B50 else -1


def main(package, dll, arch, version, publisher):
    raw = open(package, "rb").read()
    archive = zipfile.ZipFile(package)
    check(archive.testzip() is None, "every part reads back with its CRC")
    parts = {info.filename: info for info in archive.infolist()}

    types = ElementTree.fromstring(archive.read("[Content_Types].xml"))
    defaults = {d.get("Extension").lower() for d in types.iter(TYPES + "Default")}
    overrides = {o.get("PartName") for o in types.iter(TYPES + "Override")}
    for name in parts:
        if name != "[Content_Types].xml":
            check("/" + name in overrides or name.rsplit(".", 1)[-1].lower() in defaults,
                  "a content type for " + name)

    blockmap = ElementTree.fromstring(archive.read("AppxBlockMap.xml"))
    check(blockmap.get("HashMethod") == "http://www.w3.org/2001/04/xmlenc#sha256", "SHA-256")
    listed = set()
    for entry in blockmap.iter(BLOCKMAP + "File"):
        name = entry.get("Name").replace("\\", "/")
        listed.add(name)
        info = parts.get(name)
        check(info is not None, name + " is in the package")
        if info is None:
            continue
        data = archive.read(name)
        check(int(entry.get("Size")) == len(data), name + " size")
        check(int(entry.get("LfhSize")) == local_header_size(raw, info.header_offset),
              name + " local header size")
        blocks = list(entry.iter(BLOCKMAP + "Block"))
        check(len(blocks) == (len(data) + 65535) // 65536, name + " block count")
        for index, block in enumerate(blocks):
            digest = hashlib.sha256(data[index * 65536:(index + 1) * 65536]).digest()
            check(base64.b64decode(block.get("Hash")) == digest, "%s block %d hash" % (name, index))
            check((block.get("Size") is None) == (info.compress_type == zipfile.ZIP_STORED),
                  "%s block %d size only when compressed" % (name, index))
    check(listed == set(parts) - NOT_IN_BLOCKMAP, "the block map lists every payload file")

    manifest = ElementTree.fromstring(archive.read("AppxManifest.xml"))
    identity = manifest.find(FOUNDATION + "Identity")
    check(identity.get("Version") == version, "version " + identity.get("Version"))
    check(identity.get("ProcessorArchitecture") == arch, "architecture")
    check(publisher in identity.get("Publisher"), "publisher " + identity.get("Publisher"))
    check(manifest.find(FOUNDATION + "Properties/" + UAP10 + "AllowExternalContent").text == "true",
          "external content")
    family = manifest.find(FOUNDATION + "Dependencies/" + FOUNDATION + "TargetDeviceFamily")
    check(family.get("MinVersion") == "10.0.19041.0", "the minimum for external location")
    capabilities = {c.get("Name") for c in manifest.iter(RESCAP + "Capability")}
    check(capabilities == {"runFullTrust", "unvirtualizedResources"}, "capabilities")
    verbs = list(manifest.iter(DESKTOP5 + "Verb"))
    classes = list(manifest.iter(COM + "Class"))
    check(len(verbs) == 1 and len(classes) == 1, "one verb, one class")
    item_type = next(manifest.iter(DESKTOP5 + "ItemType"))
    check(item_type.get("Type") == "Directory", "offered on folders")
    clsid = classes[0].get("Id")
    check(verbs[0].get("Clsid") == clsid, "the verb names the class")
    check(classes[0].get("Path").lower() == dll.replace("\\", "/").rsplit("/", 1)[-1].lower(),
          "the class's DLL")
    # The DLL carries the class ID as data: the GUID in its binary layout.
    check(uuid.UUID(clsid).bytes_le in open(dll, "rb").read(), "the DLL carries " + clsid)
    for attribute in ("Square150x150Logo", "Square44x44Logo"):
        logo = next(manifest.iter()).find(".//*[@%s]" % attribute).get(attribute)
        check(logo.replace("\\", "/") in parts, attribute + " is in the package")
    print("package (%s): %d passed, %d failed" % (arch, passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:6]))
