#!/usr/bin/env python3
"""Writes the source of the commit the checkout is at as a .tar.gz whose every entry, and the
gzip header, carry the release's time: the same commit gives the same bytes, whatever git's
settings.

usage: source-archive.py SOURCE PREFIX EPOCH OUTPUT
"""
import gzip
import io
import os
import subprocess
import sys
import tarfile


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    source, prefix, epoch, output = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    # Whatever the releaser's git is set to do on export (line endings, modes, attributes of
    # their own), the archive holds the commit as committed.
    neutral = ["-c", "core.autocrlf=false", "-c", "core.eol=lf", "-c", "tar.umask=0002",
               "-c", "core.attributesFile=" + os.devnull]
    tar = subprocess.run(["git", "-C", source, *neutral, "archive", "--format=tar",
                          "--prefix=" + prefix + "/", "HEAD"], check=True,
                         capture_output=True).stdout
    with open(output, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", mtime=epoch,
                                                  filename="") as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.PAX_FORMAT) as rewritten, \
            tarfile.open(fileobj=io.BytesIO(tar)) as archive:
        for member in archive:
            member.mtime = epoch
            member.pax_headers = {}
            data = archive.extractfile(member) if member.isfile() else None
            rewritten.addfile(member, data)


if __name__ == "__main__":
    main()
