#!/usr/bin/env python3
"""Packs the test bundle into a zip that reproduces: the files of a list, each below the
bundle's folder, in name order, all with the release's one time and nothing of the machine's
(no owner, no mode, no access or creation time), each program without its link's clock
(cmake/pe-timestamp.py, for the linker that leaves it in).
usage: make-bundle.py LIST NAME SOURCE-DIR OUTPUT
LIST holds one file a line: "FOLDER|SOURCE[|NAME]", FOLDER "." for the bundle's top."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


def entries(listing, name):
    found = {}
    with open(listing, encoding="utf-8") as lines:
        for line in lines.read().splitlines():
            if not line:
                continue
            parts = line.split("|")
            folder, source = parts[0], parts[1]
            target = parts[2] if len(parts) > 2 else os.path.basename(source)
            found["/".join(p for p in (name, folder, target) if p != ".")] = source
    return found


def without_clock(source, source_dir, scratch):
    """The file's bytes, a program's with the link's clock taken out."""
    if not source.lower().endswith((".exe", ".dll")):
        with open(source, "rb") as file:
            return file.read()
    copy = os.path.join(scratch, "program")
    shutil.copyfile(source, copy)
    subprocess.check_call([sys.executable, os.path.join(source_dir, "cmake", "pe-timestamp.py"),
                           copy])
    with open(copy, "rb") as file:
        return file.read()


def main(listing, name, source_dir, output):
    epoch_script = os.path.join(source_dir, "tools", "release", "source-of")
    epoch = int(subprocess.check_output(["sh", epoch_script, "epoch"], text=True).strip())
    # A zip entry's time starts in 1980.
    when = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(output + ".part", "w") as archive, \
            tempfile.TemporaryDirectory() as scratch:
        for path, source in sorted(entries(listing, name).items()):
            info = zipfile.ZipInfo(path, when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            archive.writestr(info, without_clock(source, source_dir, scratch), compresslevel=9)
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main(*sys.argv[1:])
