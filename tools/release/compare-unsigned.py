#!/usr/bin/env python3
"""Compares a file of a signed release with the same file of an unsigned rebuild, as someone
without the key checks a release: equal once what the signature adds is set aside, and in every
other byte. PE files (the DLLs and programs): the signature removed (osslsigncode
remove-signature), then byte for byte. Windows 11 packages (.msix): entry by entry, leaving out
AppxSignature.p7x and its content type, the manifest's Publisher (the certificate's subject) and
the block map's record of the manifest. Windows Installer packages (.msi): their files are
signed before they are packed, so the cabinet and the File table's sizes and hashes differ:
every other table and stream as msidump writes them (but the signature's stream, a PE stream
with its signature removed), and every file as msiextract unpacks it, a PE file with its
signature removed. The setup program cannot be compared: every file packed into it is signed
before it is compressed.
usage: compare-unsigned.py SIGNED UNSIGNED"""
import filecmp
import os
import re
import subprocess
import sys
import tempfile
import zipfile

SIGNATURE_ENTRY = "AppxSignature.p7x"
# Their names begin with \x05, as the summary information's does.
SIGNATURE_STREAMS = ("\x05DigitalSignature", "\x05MsiDigitalSignatureEx")


def package_entry(name, data):
    """A package entry with what the certificate decides set aside."""
    text = data.decode("utf-8") if name.endswith(".xml") else None
    if name == "AppxManifest.xml":
        return re.sub(r'\bPublisher="[^"]*"', 'Publisher=""', text).encode("utf-8")
    if name == "AppxBlockMap.xml":
        return re.sub(r'<File Name="AppxManifest\.xml".*?</File>', "", text, flags=re.S).encode()
    if name == "[Content_Types].xml":
        return re.sub(r'<Override PartName="/AppxSignature\.p7x"[^>]*/>', "", text).encode()
    return data


def same_package(signed, unsigned):
    with zipfile.ZipFile(signed) as one, zipfile.ZipFile(unsigned) as other:
        names = [name for name in one.namelist() if name != SIGNATURE_ENTRY]
        if sorted(names) != sorted(other.namelist()):
            return False
        return all(package_entry(name, one.read(name)) == package_entry(name, other.read(name))
                   for name in names)


def unsigned_pe(path):
    """A PE file with its signature removed, in place; any other file as it is."""
    with open(path, "rb") as file:
        if file.read(2) != b"MZ":
            return
    removed = path + ".unsigned"
    if subprocess.run(["osslsigncode", "remove-signature", "-in", path, "-out", removed],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        os.replace(removed, path)


def dumped(path, folder):
    """The package's tables, streams and files, what signing changes set aside or undone."""
    tables = os.path.join(folder, "tables")
    files = os.path.join(folder, "files")
    os.makedirs(tables)
    os.makedirs(files)
    subprocess.run(["msidump", "-t", "-s", "-d", tables, os.path.abspath(path)], cwd=tables,
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["msiextract", "-C", files, os.path.abspath(path)], check=True,
                   stdout=subprocess.DEVNULL)
    cabinets = [line.split("\t")[3].lstrip("#") for line in
                open(os.path.join(tables, "Media.idt"), encoding="utf-8").read().splitlines()[3:]]
    for name in ("File.idt", "MsiFileHash.idt"):
        os.remove(os.path.join(tables, name))
    for stream in SIGNATURE_STREAMS + tuple(cabinets):
        found = os.path.join(tables, "_Streams", stream)
        if os.path.exists(found):
            os.remove(found)
    for top, _, names in os.walk(folder):
        for name in names:
            unsigned_pe(os.path.join(top, name))
    return folder


def same_tree(one, other):
    compared = filecmp.dircmp(one, other)
    if compared.left_only or compared.right_only or compared.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(one, other, compared.common_files, shallow=False)
    return not mismatch and not errors and all(
        same_tree(os.path.join(one, sub), os.path.join(other, sub)) for sub in compared.subdirs)


def same_installer(signed, unsigned, scratch):
    folders = []
    for name, path in (("signed", signed), ("unsigned", unsigned)):
        folder = os.path.join(scratch, name)
        os.makedirs(folder)
        folders.append(dumped(path, folder))
    return same_tree(*folders)


def same_pe(signed, unsigned, scratch):
    removed = os.path.join(scratch, "removed")
    subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", removed],
                   check=True, stdout=subprocess.DEVNULL)
    return filecmp.cmp(removed, unsigned, shallow=False)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    signed, unsigned = sys.argv[1:]
    with tempfile.TemporaryDirectory() as scratch:
        if signed.endswith(".msix"):
            same = same_package(signed, unsigned)
        elif signed.endswith(".msi"):
            same = same_installer(signed, unsigned, scratch)
        else:
            same = same_pe(signed, unsigned, scratch)
    print(f"{signed}: " + ("the unsigned file but for its signature" if same else
                           f"differs from {unsigned}"))
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
