#!/usr/bin/env python3
"""Packs the Group Policy templates (policy/: Lanterwell.admx and each language's .adml) into
the release's archive, as administrators copy them into the central store: the same bytes for
the same templates and time.
usage: policy-templates.py POLICY-DIR EPOCH OUTPUT.zip"""
import os
import sys
import time
import zipfile


def main(folder, epoch, output):
    # A zip entry's time starts in 1980.
    when = time.gmtime(max(int(epoch), 315532800))[:6]
    names = sorted(os.path.relpath(os.path.join(top, name), folder).replace(os.sep, "/")
                   for top, _, files in os.walk(folder) for name in files
                   if name.endswith((".admx", ".adml")))
    with zipfile.ZipFile(output + ".part", "w") as archive:
        for name in names:
            info = zipfile.ZipInfo(name, when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            with open(os.path.join(folder, name), "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    os.replace(output + ".part", output)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
