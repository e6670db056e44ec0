#!/usr/bin/env python3
"""Writes Lanterwell's package with external location: the manifest that gives the DLL's
Explorer command a package identity, its logos, the block map and the content types, zipped as
an MSIX. The DLL itself stays in the install folder (the external location).

Signing: with LANTERWELL_SIGNING_PFX (and LANTERWELL_SIGNING_PASSWORD_FILE, a file holding the
password, which never goes on a command line) in the environment the package is signed by
tools/release/sign.py and its Publisher is the certificate's subject as Windows renders it; a subject
that no Publisher can express stops the build, naming the field. Without, it is unsigned and
its Publisher is the one Windows requires of unsigned packages."""
import argparse
import base64
import functools
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile
from xml.sax.saxutils import escape

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "release"))
import sign  # noqa: E402  (the one signing rule for everything that ships)

BLOCK = 65536
UNSIGNED_PUBLISHER = "CN=Lanterwell, OID.2.25.311729368913984317654407730594956997722=1"
ARCHITECTURES = {"x86": "x86", "x64": "x64", "arm64": "arm64"}


# The names Windows gives a subject's attributes, by OID; any other is written "OID.n.n...".
WINDOWS_KEYS = {"2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU",
                "1.2.840.113549.1.9.1": "E", "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET",
                "2.5.4.12": "T", "2.5.4.42": "G", "2.5.4.43": "I", "2.5.4.4": "SN",
                "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER"}
# A value holding any of these, or blanks at either end, is quoted, its quotes doubled.
QUOTED = set(',+="<>#;')


class SubjectError(Exception):
    pass


def windows_value(key, value):
    if not value:
        raise SubjectError("the certificate's %s is empty, which no package Publisher can match" % key)
    if re.search(r"\\[0-9A-Fa-f]{2}", value) or any(ord(c) < 0x20 for c in value):
        raise SubjectError("the certificate's %s holds a control character" % key)
    if QUOTED.isdisjoint(value) and value.strip() == value:
        return value
    return '"' + value.replace('"', '""') + '"'


def windows_subject(lines):
    """The subject as Windows renders it, last attribute first, from openssl's one-line-per-
    attribute listing in certificate order ("2.5.4.3=value")."""
    parts = []
    for line in lines:
        oid, _, value = line.strip().partition("=")
        key = WINDOWS_KEYS.get(oid, "OID." + oid)
        if re.search(r" \+ [0-9]+(\.[0-9]+)+=", value):
            raise SubjectError("the certificate's %s shares its name part with another attribute "
                               "(a multi-valued name), which a package Publisher cannot express" % key)
        parts.append("%s=%s" % (key, windows_value(key, value)))
    return ", ".join(reversed(parts))


def certificate_subject(pfx, password_file):
    """The Publisher that Windows matches against the signing certificate's subject."""
    certificate = subprocess.run(
        ["openssl", "pkcs12", "-in", pfx, "-clcerts", "-nokeys", "-passin", "file:" + password_file],
        check=True, capture_output=True).stdout
    listing = subprocess.run(
        ["openssl", "x509", "-noout", "-subject", "-nameopt", "sep_multiline,utf8,oid,esc_ctrl"],
        input=certificate, check=True, capture_output=True).stdout.decode("utf-8")
    return windows_subject([line for line in listing.splitlines()[1:] if line.strip()])


def bare_guid(text):
    """A class ID as the manifest schema types it: hex digits 8-4-4-4-12, no braces."""
    if not re.fullmatch(r"[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}", text):
        raise argparse.ArgumentTypeError("%r is no bare GUID" % text)
    return text


def block_map(entries):
    """AppxBlockMap.xml for stored (uncompressed) files: a SHA-256 per 64 KiB block."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<BlockMap xmlns="http://schemas.microsoft.com/appx/2010/blockmap" '
             'HashMethod="http://www.w3.org/2001/04/xmlenc#sha256">']
    for name, data, header_size in entries:
        lines.append('  <File Name="%s" Size="%d" LfhSize="%d">'
                     % (escape(name.replace("/", "\\")), len(data), header_size))
        for start in range(0, len(data), BLOCK):
            digest = hashlib.sha256(data[start:start + BLOCK]).digest()
            lines.append('    <Block Hash="%s" />' % base64.b64encode(digest).decode())
        lines.append("  </File>")
    lines.append("</BlockMap>")
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


CONTENT_TYPES = ('<?xml version="1.0" encoding="UTF-8"?>\r\n'
                 '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="png" ContentType="image/png" />'
                 '<Override PartName="/AppxManifest.xml" '
                 'ContentType="application/vnd.ms-appx.manifest+xml" />'
                 '<Override PartName="/AppxBlockMap.xml" '
                 'ContentType="application/vnd.ms-appx.blockmap+xml" />'
                 '</Types>\r\n').encode("utf-8")


@functools.lru_cache(None)
def build_time():
    """The time every entry carries: the one build time of the release (tools/release/source-of)."""
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "release",
                          "source-of")
    seconds = int(subprocess.run(["sh", script, "epoch"], check=True, capture_output=True).stdout)
    return time.gmtime(seconds)[:6]


def stored(name, compression=zipfile.ZIP_STORED):
    info = zipfile.ZipInfo(name, date_time=build_time())
    info.compress_type = compression
    info.create_system = 0
    return info


def write_package(path, files):
    with zipfile.ZipFile(path, "w") as archive:
        entries = []
        for name, data in files:
            info = stored(name)
            archive.writestr(info, data)
            # The local file header: 30 fixed bytes, the name and the extra field.
            entries.append((name, data, 30 + len(info.filename.encode()) + len(info.extra)))
        archive.writestr(stored("AppxBlockMap.xml"), block_map(entries))
        # Deflated: osslsigncode rewrites this part deflated and keeps the part's method.
        archive.writestr(stored("[Content_Types].xml", zipfile.ZIP_DEFLATED), CONTENT_TYPES)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", required=True, choices=sorted(ARCHITECTURES))
    parser.add_argument("--version", required=True)
    parser.add_argument("--publisher-display", required=True)
    parser.add_argument("--group-clsid", required=True, type=bare_guid)
    parser.add_argument("--delete-clsid", required=True, type=bare_guid)
    parser.add_argument("--dll", default="Lanterwell.dll")
    parser.add_argument("--source", required=True, help="the package folder of the sources")
    parser.add_argument("--output", required=True)
    options = parser.parse_args()

    pfx = os.environ.get("LANTERWELL_SIGNING_PFX", "")
    password_file = os.environ.get("LANTERWELL_SIGNING_PASSWORD_FILE", "")
    try:
        publisher = certificate_subject(pfx, password_file) if pfx else UNSIGNED_PUBLISHER
    except SubjectError as error:
        print("make-package: cannot sign with %s: %s" % (pfx, error), file=sys.stderr)
        return 1
    with open(os.path.join(options.source, "AppxManifest.xml.in"), encoding="utf-8") as template:
        manifest = template.read()
    for key, value in {"PUBLISHER": publisher, "VERSION": options.version,
                       "ARCHITECTURE": ARCHITECTURES[options.arch],
                       "PUBLISHER_DISPLAY": options.publisher_display,
                       "GROUP_CLSID": options.group_clsid, "DELETE_CLSID": options.delete_clsid,
                       "DLL": options.dll}.items():
        manifest = manifest.replace("@%s@" % key, escape(value, {'"': "&quot;"}))
    files = [("AppxManifest.xml", manifest.replace("\n", "\r\n").encode("utf-8"))]
    assets = os.path.join(options.source, "Assets")
    for name in sorted(os.listdir(assets)):
        with open(os.path.join(assets, name), "rb") as asset:
            files.append(("Assets/" + name, asset.read()))

    if not pfx:
        write_package(options.output, files)
        return 0
    with tempfile.TemporaryDirectory() as scratch:
        unsigned = os.path.join(scratch, "unsigned.msix")
        write_package(unsigned, files)
        sign.sign(unsigned, options.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
