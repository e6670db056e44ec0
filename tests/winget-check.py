#!/usr/bin/env python3
"""Checks the generated winget manifest against the Windows Package Manager's manifest schemas
(installer/winget_schema.py) and its community repository's layout, and against the build:
the setup program's hash, the release version, the Apps & features entry the setup program
writes, and every exit code the administrator's guide lists for it.
and the Windows Installer packages' entries against the packages.
usage: winget-check.py WINGET-FOLDER SETUP VERSION PUBLISHER GUIDE [MSI...]"""
import glob
import hashlib
import os
import re
import subprocess
import sys

import yaml

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "installer"))
import winget_schema  # noqa: E402  (the format's own rules, which the release checks too)

problems = []


def expect(condition, message):
    if not condition:
        problems.append(message)


def guide_exit_codes(guide):
    """The setup program's exit codes in the guide's table for deployment tools."""
    with open(guide, encoding="utf-8") as source:
        section = source.read().split("For deployment tools, the setup program:")[1]
    section = section.split("and the uninstaller")[0]
    return {int(code) for code in re.findall(r"^\| (\d+) \|", section, re.MULTILINE)}


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def check_packages(name, installers, packages, version, publisher):
    """The Windows Installer packages' entries: each package's hash, product code and Apps &
    features entry, with msiexec's switches."""
    for path in packages:
        architecture = os.path.basename(path).rsplit("-", 1)[1][:-len(".msi")]
        found = [i for i in installers
                 if i.get("InstallerType") == "msi" and i.get("Architecture") == architecture]
        expect(len(found) == 1, name + ": no one msi entry for " + architecture)
        if len(found) != 1:
            continue
        entry = found[0]
        expect(entry.get("InstallerSha256", "").lower() == sha256(path),
               name + ": not the hash of " + os.path.basename(path))
        properties = subprocess.run(["msiinfo", "export", path, "Property"], check=True,
                                    capture_output=True, text=True).stdout
        code = re.search(r"^ProductCode\t(\S+)", properties, re.MULTILINE).group(1)
        expect(entry.get("ProductCode") == code, name + ": not the package's product code")
        apps = entry.get("AppsAndFeaturesEntries", [{}])[0]
        expect(apps.get("ProductCode") == code and apps.get("DisplayVersion") == version and
               apps.get("Publisher") == publisher, name + ": not the package's entry")
        expect(entry.get("InstallerSwitches", {}).get("Silent") == "/quiet",
               name + ": the package's silent switch is not msiexec's")


def check_installer(name, manifest, setup, version, publisher, guide, packages):
    digest = sha256(setup)
    installers = manifest.get("Installers", [])
    kinds = [(i.get("Architecture"), i.get("InstallerType", "nullsoft")) for i in installers]
    expect(len(set(kinds)) == len(kinds), name + ": an architecture twice for one type")
    for installer in installers:
        if installer.get("InstallerType", "nullsoft") == "nullsoft":
            expect(installer.get("InstallerSha256", "").lower() == digest,
                   name + ": not the setup's hash")
    check_packages(name, installers, packages, version, publisher)
    switches = manifest.get("InstallerSwitches", {})
    expect(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S",
           name + ": the silent switches are not /S")
    expect("<INSTALLPATH>" in switches.get("InstallLocation", ""),
           name + ": InstallLocation does not carry <INSTALLPATH>")
    codes = {}
    for entry in manifest.get("ExpectedReturnCodes", []):
        code = entry.get("InstallerReturnCode")
        expect(code not in codes, name + ": return code %r twice" % code)
        codes[code] = entry.get("ReturnResponse")
    expect(set(codes) == guide_exit_codes(guide) - {0},
           name + ": the return codes %s are not the guide's" % sorted(codes))
    expect(codes.get(3010) == "rebootRequiredToFinish", name + ": 3010 is not a success")
    entries = manifest.get("AppsAndFeaturesEntries", [])
    expect(entries == [{"DisplayName": "Lanterwell", "Publisher": publisher,
                        "DisplayVersion": version, "ProductCode": manifest.get("ProductCode")}],
           name + ": the Apps & features entry is not the setup program's")
    expect(manifest.get("ProductCode") == "Lanterwell",
           name + ": ProductCode is not the uninstall key's name")


def main():
    folder, setup, version, publisher, guide = sys.argv[1:6]
    packages = sys.argv[6:]
    files = sorted(glob.glob(os.path.join(folder, "manifests", "*", "*", "*", "*", "*.yaml")))
    expect(len(files) == 4, "expected four files, found %d" % len(files))
    kinds = {}
    for path in files:
        name = os.path.basename(path)
        with open(path, "rb") as file:
            raw = file.read()
        expect(not raw.startswith(b"\xef\xbb\xbf") and b"\r" not in raw, name + ": not plain UTF-8")
        manifest = yaml.safe_load(raw.decode("utf-8"))
        kind = manifest.get("ManifestType")
        kinds[kind] = manifest
        for problem in winget_schema.check_manifest(manifest):
            expect(False, "%s: %s" % (name, problem))
        identifier = manifest.get("PackageIdentifier", "")
        # The repository's layout: manifests/<first letter>/<publisher>/<package>/<version>.
        parts = path.split(os.sep)[-5:-1]
        expect(parts == [identifier[:1].lower()] + identifier.split(".") + [version],
               name + ": not in its identifier's and version's folder")
        suffix = {"version": "", "installer": ".installer",
                  "defaultLocale": ".locale." + str(manifest.get("PackageLocale")),
                  "locale": ".locale." + str(manifest.get("PackageLocale"))}.get(kind)
        expect(name == "%s%s.yaml" % (identifier, suffix), name + ": not named for its content")
        expect(manifest.get("PackageVersion") == version, name + ": not the release's version")
        if kind == "installer":
            check_installer(name, manifest, setup, version, publisher, guide, packages)
    expect(set(kinds) == set(winget_schema.KINDS), "the kinds are %s" % sorted(kinds))
    expect(len({m.get("PackageIdentifier") for m in kinds.values()}) == 1, "identifiers differ")
    expect(kinds.get("version", {}).get("DefaultLocale") ==
           kinds.get("defaultLocale", {}).get("PackageLocale"), "DefaultLocale is not the default")
    expect(kinds.get("locale", {}).get("PackageLocale") == "ja-JP", "no Japanese locale")
    for problem in problems:
        print("FAILED: " + problem)
    for kind in ("defaultLocale", "installer"):
        for key, value in kinds.get(kind, {}).items():
            if "REPLACE" in str(value):
                print("note: %s is a placeholder until the publisher sets it" % key)
    print("winget: %d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
