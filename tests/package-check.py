#!/usr/bin/env python3
"""Checks a Lanterwell package (.msix) the way Windows reads one, without the generator's code:
every part has a content type, every payload file is in the block map with its true size,
local-header size and SHA-256 of each 64 KiB block; every attribute of the manifest has the
form the published manifest schemas give its type (an XSD pattern matches the whole value);
and the manifest declares the class that the DLL carries, at the DLL's name, for the right
architecture and version, with the expected Publisher.
usage: package-check.py PACKAGE DLL ARCH VERSION PUBLISHER"""
import base64
import os
import re
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
DESKTOP4 = "{http://schemas.microsoft.com/appx/manifest/desktop/windows10/4}"
DESKTOP5 = "{http://schemas.microsoft.com/appx/manifest/desktop/windows10/5}"
DESKTOP10 = "{http://schemas.microsoft.com/appx/manifest/desktop/windows10/10}"
COM = "{http://schemas.microsoft.com/appx/manifest/com/windows10}"
RESCAP = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities}"
NOT_IN_BLOCKMAP = {"AppxBlockMap.xml", "[Content_Types].xml", "AppxSignature.p7x"}

# The schemas' simple types that the manifest's attributes have, as whole-value patterns.
GUID = r"[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}"
NAME_KEY = r"(CN|L|O|OU|E|C|S|STREET|T|G|I|SN|DC|SERIALNUMBER|OID\.(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*))+)"
NAME_PART = NAME_KEY + r'=([^,+="<>#;]+|".*")'
PUBLISHER = NAME_PART + "(, " + NAME_PART + ")*"
VERSION_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
# Both patterns of a restriction must match: the characters, then the segments.
FILE_NAME = (r'(?=[^<>":%|?*\x01-\x1f]+$)'
             r"(([^/\\]*[^./\\]+)(\\[^/\\]*[^./\\]+)*|([^/\\]*[^./\\]+)(/[^/\\]*[^./\\]+)*)")
SCHEMA_TYPES = {
    "ST_GUID": GUID,
    "ST_PackageName": r"[-.A-Za-z0-9]{3,50}",
    "ST_Publisher_2010": PUBLISHER,
    "ST_VersionQuad": VERSION_PART + r"(\." + VERSION_PART + "){3}",
    "ST_Architecture": "x86|x64|arm|arm64|neutral",
    "ST_ApplicationId": r"(?=.{1,64}$)[A-Za-z][A-Za-z0-9]*(\.[A-Za-z][A-Za-z0-9]*)*",
    "ST_Executable": r"(?=.+\.exe$)" + FILE_NAME,
    "ST_ImageFile": r"(?=.+\.(jpg|png|jpeg)$)" + FILE_NAME,
    "ST_FileName": FILE_NAME,
    "ST_ThreadingModel": "Both|STA|MTA|MainSTA|Neutral",
    "ST_ContextMenuItemType": r"Directory|Directory\\Background|\.[^.<>:\"/\\|?]{1,63}|[^<>:\"/\\|?]*\*[^<>:\"/\\|?]*",
    "ST_DriveItemType": "Drive",
}
# Where each attribute the manifest uses gets its type: (element, attribute, type).
ATTRIBUTE_TYPES = [
    (FOUNDATION + "Identity", "Name", "ST_PackageName"),
    (FOUNDATION + "Identity", "Publisher", "ST_Publisher_2010"),
    (FOUNDATION + "Identity", "Version", "ST_VersionQuad"),
    (FOUNDATION + "Identity", "ProcessorArchitecture", "ST_Architecture"),
    (FOUNDATION + "TargetDeviceFamily", "MinVersion", "ST_VersionQuad"),
    (FOUNDATION + "TargetDeviceFamily", "MaxVersionTested", "ST_VersionQuad"),
    (FOUNDATION + "Application", "Id", "ST_ApplicationId"),
    (FOUNDATION + "Application", "Executable", "ST_Executable"),
    ("{http://schemas.microsoft.com/appx/manifest/uap/windows10}VisualElements", "Square150x150Logo", "ST_ImageFile"),
    ("{http://schemas.microsoft.com/appx/manifest/uap/windows10}VisualElements", "Square44x44Logo", "ST_ImageFile"),
    (DESKTOP5 + "ItemType", "Type", "ST_ContextMenuItemType"),
    (DESKTOP5 + "Verb", "Clsid", "ST_GUID"),
    (DESKTOP10 + "ItemType", "Type", "ST_DriveItemType"),
    (DESKTOP10 + "Verb", "Clsid", "ST_GUID"),
    (COM + "Class", "Id", "ST_GUID"),
    (COM + "Class", "Path", "ST_FileName"),
    (COM + "Class", "ThreadingModel", "ST_ThreadingModel"),
]


def check_attribute_types(manifest):
    for element, attribute, type_name in ATTRIBUTE_TYPES:
        for node in manifest.iter(element):
            value = node.get(attribute)
            if value is None:
                continue
            check(re.fullmatch(SCHEMA_TYPES[type_name], value) is not None,
                  "%s/@%s %r is no %s" % (element.split("}")[-1], attribute, value, type_name))

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


def png_chunks(data):
    chunks, offset = [], 8
    while offset + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, offset)
        chunks.append(kind)
        offset += 12 + length
    return chunks


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
    check(identity.get("Publisher") == publisher, "publisher %r, expected %r" % (identity.get("Publisher"), publisher))
    check(manifest.find(FOUNDATION + "Properties/" + UAP10 + "AllowExternalContent").text == "true",
          "external content")
    family = manifest.find(FOUNDATION + "Dependencies/" + FOUNDATION + "TargetDeviceFamily")
    check(family.get("MinVersion") == "10.0.19041.0", "the minimum for external location")
    capabilities = {c.get("Name") for c in manifest.iter(RESCAP + "Capability")}
    check(capabilities == {"runFullTrust", "unvirtualizedResources"}, "capabilities")
    check_attribute_types(manifest)
    verbs = list(manifest.iter(DESKTOP5 + "Verb")) + list(manifest.iter(DESKTOP10 + "Verb"))
    classes = {c.get("Id"): c for c in manifest.iter(COM + "Class")}
    for verb in verbs:
        check(verb.get("Clsid") in classes, "the verb %s names a declared class" % verb.get("Id"))
    item_types = {t.get("Type") for t in manifest.iter(DESKTOP5 + "ItemType")}
    check(item_types == {"Directory"}, "offered on folders")
    check({t.get("Type") for t in manifest.iter(DESKTOP10 + "ItemType")} == {"Drive"},
          "offered on drive roots")
    ignorable = manifest.get("IgnorableNamespaces", "").split()
    check("desktop10" in ignorable, "older Windows ignores the drive roots' item type")
    for clsid, declared in classes.items():
        check(declared.get("Path").lower() == os.path.basename(dll).lower(), "the class's DLL")
        # The DLL carries the class ID as data: the GUID in its binary layout.
        check(uuid.UUID(clsid).bytes_le in open(dll, "rb").read(), "the DLL carries " + clsid)
    executable = manifest.find(FOUNDATION + "Applications/" + FOUNDATION + "Application").get(
        "Executable")
    check(os.path.exists(os.path.join(os.path.dirname(dll), "drives", executable)),
          "the application's executable is one the install folder gets")
    for attribute in ("Square150x150Logo", "Square44x44Logo"):
        logo = next(manifest.iter()).find(".//*[@%s]" % attribute).get(attribute)
        check(logo.replace("\\", "/") in parts, attribute + " is in the package")
    # A picture carries no time (an image tool's tIME chunk or date:create text): the package
    # is the same bytes whenever it is made.
    for name in parts:
        if name.lower().endswith(".png"):
            timed = {b"tIME", b"tEXt", b"zTXt", b"iTXt"} & set(png_chunks(archive.read(name)))
            check(not timed, "%s carries no time (%s)" % (name, ", ".join(k.decode() for k in sorted(timed))))
    print("package (%s): %d passed, %d failed" % (arch, passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:6]))
