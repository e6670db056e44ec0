"""The files a shipped package holds, read from the package itself: a Windows Installer
package's files (msiextract) and the streams of its Binary and Icon tables (msiinfo), a Windows
app package's entries, and the setup program's files as 7-Zip unpacks NSIS (the names NSIS
gives by variable, such as $R0, repeat, and 7-Zip numbers the repeats: $R0_1, ...).
"""
import hashlib
import os
import subprocess
import tempfile
import zipfile

PACKAGES = (".msi", ".msix", "-setup.exe")


def _digest(data):
    return hashlib.sha256(data).hexdigest()


def _unpacked(folder):
    found = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as data:
                found[os.path.relpath(path, folder).replace(os.sep, "/")] = data.read()
    return found


def _msi(path, scratch):
    subprocess.run(["msiextract", "-C", scratch, path], check=True, capture_output=True)
    found = _unpacked(scratch)
    streams = subprocess.run(["msiinfo", "streams", path], check=True, capture_output=True,
                             text=True).stdout.split()
    for stream in streams:
        if stream.startswith(("Binary.", "Icon.")):
            found[stream] = subprocess.run(["msiinfo", "extract", path, stream], check=True,
                                           capture_output=True).stdout
    return found


def files(path):
    """{name inside the package: SHA-256} for a package of the release; {} for another file."""
    return {name: _digest(data) for name, data in contents(path).items()}


def contents(path):
    """{name inside the package: its bytes} for a package of the release; {} for another
    file."""
    if path.endswith(".msix"):
        with zipfile.ZipFile(path) as package:
            return {name: package.read(name) for name in package.namelist()}
    if not path.endswith(PACKAGES):
        return {}
    with tempfile.TemporaryDirectory() as scratch:
        if path.endswith(".msi"):
            return _msi(path, scratch)
        subprocess.run(["7z", "x", "-aou", "-o" + scratch, path], check=True,
                       capture_output=True)
        return _unpacked(scratch)
