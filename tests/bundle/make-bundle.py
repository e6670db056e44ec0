#!/usr/bin/env python3
"""Packs the test bundle into a zip that reproduces: the files of a list, each below the
bundle's folder, in name order, all with the release's one time and nothing of the machine's
(no owner, no mode, no access or creation time).
usage: make-bundle.py LIST NAME EPOCH-SCRIPT OUTPUT
LIST holds one file a line: "FOLDER|SOURCE[|NAME]", FOLDER "." for the bundle's top."""
import os
import subprocess
import sys
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


def main(listing, name, epoch_script, output):
    epoch = int(subprocess.check_output(["sh", epoch_script], text=True).strip())
    # A zip entry's time starts in 1980.
    when = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(output + ".part", "w") as archive:
        for path, source in sorted(entries(listing, name).items()):
            info = zipfile.ZipInfo(path, when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            with open(source, "rb") as file:
                archive.writestr(info, file.read(), compresslevel=9)
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main(*sys.argv[1:])
