#!/usr/bin/env python3
"""Writes the source of a release as a .tar.gz whose every entry, and the gzip header, carry the
release's time: the same commit gives the same bytes, whatever git's settings, and a tree
unpacked from that archive gives them again without git.

The archive holds RELEASE-SOURCE: the commit, the release's time, and the commit's tree as
`git ls-tree -r -t` lists it. A tree unpacked from the archive (tools/release/source-of says
which) is read through that list, each file checked against its object id, so a changed file
is refused rather than shipped as the commit.

usage: source-archive.py SOURCE PREFIX EPOCH OUTPUT
"""
import gzip
import hashlib
import io
import os
import subprocess
import sys
import tarfile

RECORD = "RELEASE-SOURCE"
# The modes git archive gives under its default umask.
MODES = {"100644": 0o664, "100755": 0o775, "040000": 0o775}


def fail(message):
    sys.exit("source-archive: " + message)


def from_git(source):
    """The commit's tree listing, a reader of its blobs, read with no filter of the releaser's
    (line endings, attributes), and what ends the reading."""
    git = ["git", "-C", source, "-c", "core.quotePath=false"]
    listing = subprocess.run(git + ["ls-tree", "-r", "-t", "-z", "HEAD"], check=True,
                             capture_output=True, text=True).stdout.split("\0")[:-1]
    batch = subprocess.Popen(git + ["cat-file", "--batch"], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)

    def read(path, oid):
        batch.stdin.write(oid.encode() + b"\n")
        batch.stdin.flush()
        size = int(batch.stdout.readline().split()[2])
        data = batch.stdout.read(size + 1)[:-1]
        return data

    def close():
        batch.stdin.close()
        batch.stdout.close()
        batch.wait()

    return listing, read, close


def from_archive(source):
    """The listing the archive carried, a reader of the unpacked files that refuses any file that
    is not the commit's, and what ends the reading (nothing)."""
    with open(os.path.join(source, RECORD), encoding="utf-8") as record:
        listing = [line.rstrip("\n") for line in record if "\t" in line]

    def read(path, oid):
        with open(os.path.join(source, path), "rb") as file:
            data = file.read()
        if hashlib.sha1(b"blob %d\0" % len(data) + data).hexdigest() != oid:
            fail(path + " is not the commit's: a release is of a commit")
        return data

    return listing, read, lambda: None


def entry(name, mode, data=None, epoch=0):
    info = tarfile.TarInfo(name)
    info.mode, info.mtime, info.uname, info.gname = mode, epoch, "root", "root"
    if data is None:
        info.type = tarfile.DIRTYPE
    else:
        info.size = len(data)
    return info


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    source, prefix, epoch, output = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "source-of")

    def fact(name):
        return subprocess.run(["sh", script, name], check=True, capture_output=True,
                              text=True).stdout.strip()

    origin = fact("origin")
    if origin not in ("git", "archive"):
        fail(source + " is neither a git repository of its own nor unpacked from a release's"
             " source archive")
    listing, read, close = from_git(source) if origin == "git" else from_archive(source)
    record = "commit %s\nepoch %d\n%s\n" % (fact("commit"), epoch, "\n".join(listing))
    with open(output, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", mtime=epoch,
                                                  filename="") as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.PAX_FORMAT) as archive:
        archive.addfile(entry(prefix + "/", 0o775, epoch=epoch))
        data = record.encode("utf-8")
        archive.addfile(entry(prefix + "/" + RECORD, 0o664, data, epoch), io.BytesIO(data))
        for line in listing:
            meta, path = line.split("\t", 1)
            mode, kind, oid = meta.split()
            if kind == "tree":
                archive.addfile(entry(prefix + "/" + path + "/", MODES[mode], epoch=epoch))
            elif kind == "blob" and mode in MODES:
                data = read(path, oid)
                archive.addfile(entry(prefix + "/" + path, MODES[mode], data, epoch),
                                io.BytesIO(data))
            else:
                fail("%s is a %s of mode %s, which a release does not carry" % (path, kind, mode))
    close()


if __name__ == "__main__":
    main()
