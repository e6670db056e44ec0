#!/usr/bin/env python3
"""Checks the generated winget manifest against the rules of the Windows Package Manager's
manifest format (1.6.0) and its community repository that apply to it, and against the build:
the setup program's hash, the release version, the Apps & features entry the setup program
writes, and every exit code the README lists for it.
usage: winget-check.py WINGET-FOLDER SETUP VERSION PUBLISHER README"""
import glob
import hashlib
import os
import re
import sys

import yaml

NAME_CHARS = r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
IDENTIFIER = re.compile(r"^%s(\.%s){1,7}$" % (NAME_CHARS, NAME_CHARS))
VERSION = re.compile(r'^[^\\/:*?"<>|\x01-\x1f]{1,128}$')
LOCALE = re.compile(r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$")
URL = re.compile(r"^[Hh][Tt][Tt][Pp][Ss]?://.+$")
SHA256 = re.compile(r"^[A-Fa-f0-9]{64}$")
ARCHITECTURES = {"x86", "x64", "arm", "arm64", "neutral"}
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
             "missingDependency", "diskFull", "insufficientMemory", "invalidParameter",
             "noNetwork", "contactSupport", "rebootRequiredToFinish", "rebootRequiredForInstall",
             "rebootInitiated", "cancelledByUser", "alreadyInstalled", "downgrade",
             "blockedByPolicy", "systemNotSupported", "custom"}


def text(low, high):
    return lambda value: isinstance(value, str) and low <= len(value) <= high


def matches(pattern):
    return lambda value: isinstance(value, str) and bool(pattern.match(value))


def one_of(*values):
    return lambda value: value in values


def tags(value):
    return (isinstance(value, list) and len(value) <= 16 and len(set(value)) == len(value)
            and all(text(1, 40)(tag) for tag in value))


COMMON = {"PackageIdentifier": (True, matches(IDENTIFIER)),
          "PackageVersion": (True, matches(VERSION)),
          "ManifestVersion": (True, one_of("1.6.0"))}
LOCALE_FIELDS = {**COMMON, "PackageLocale": (True, matches(LOCALE)),
                 "Publisher": (False, text(2, 256)), "PackageName": (False, text(2, 256)),
                 "License": (False, text(3, 512)), "ShortDescription": (False, text(3, 256)),
                 "Description": (False, text(3, 10000)), "Moniker": (False, text(1, 40)),
                 "Tags": (False, tags)}
# Each kind of file: its fields, whether each is required, and what its value must be.
RULES = {
    "version": {**COMMON, "DefaultLocale": (True, matches(LOCALE)),
                "ManifestType": (True, one_of("version"))},
    "installer": {**COMMON, "InstallerType": (True, one_of("nullsoft")),
                  "Scope": (True, one_of("machine")),
                  "InstallModes": (True, lambda v: set(v) <= {"interactive", "silent",
                                                              "silentWithProgress"}),
                  "InstallerSwitches": (True, dict.__instancecheck__),
                  "ExpectedReturnCodes": (True, list.__instancecheck__),
                  "UpgradeBehavior": (True, one_of("install", "uninstallPrevious")),
                  "ElevationRequirement": (True, one_of("elevationRequired",
                                                        "elevationProhibited", "elevatesSelf")),
                  "ProductCode": (True, text(1, 255)),
                  "AppsAndFeaturesEntries": (True, list.__instancecheck__),
                  "Installers": (True, lambda v: isinstance(v, list) and 1 <= len(v) <= 1024),
                  "ManifestType": (True, one_of("installer"))},
    "defaultLocale": {**LOCALE_FIELDS, **{key: (True, LOCALE_FIELDS[key][1]) for key in (
        "Publisher", "PackageName", "License", "ShortDescription")},
                      "ManifestType": (True, one_of("defaultLocale"))},
    "locale": {**LOCALE_FIELDS, "ManifestType": (True, one_of("locale"))},
}

problems = []


def expect(condition, message):
    if not condition:
        problems.append(message)


def check_fields(name, manifest, rules):
    for key, (required, valid) in rules.items():
        if key not in manifest:
            expect(not required, "%s: %s is missing" % (name, key))
        else:
            expect(valid(manifest[key]), "%s: %s is not valid: %r" % (name, key, manifest[key]))
    for key in manifest:
        expect(key in rules, "%s: %s is not a field of this file" % (name, key))


def readme_exit_codes(readme):
    """The setup program's exit codes in the README's table for deployment tools."""
    with open(readme, encoding="utf-8") as source:
        section = source.read().split("For deployment tools, the setup program:")[1]
    section = section.split("and the uninstaller")[0]
    return {int(code) for code in re.findall(r"^\| (\d+) \|", section, re.MULTILINE)}


def check_installer(name, manifest, setup, version, publisher, readme):
    with open(setup, "rb") as file:
        digest = hashlib.sha256(file.read()).hexdigest()
    installers = manifest.get("Installers", [])
    architectures = [installer.get("Architecture") for installer in installers]
    expect(len(set(architectures)) == len(architectures), name + ": an architecture twice")
    for installer in installers:
        expect(installer.get("Architecture") in ARCHITECTURES, name + ": unknown architecture")
        expect(matches(URL)(installer.get("InstallerUrl")), name + ": InstallerUrl not http(s)")
        sha = installer.get("InstallerSha256", "")
        expect(matches(SHA256)(sha) and sha.lower() == digest, name + ": not the setup's hash")
    switches = manifest.get("InstallerSwitches", {})
    expect(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S",
           name + ": the silent switches are not /S")
    expect("<INSTALLPATH>" in switches.get("InstallLocation", ""),
           name + ": InstallLocation does not carry <INSTALLPATH>")
    codes = {}
    for entry in manifest.get("ExpectedReturnCodes", []):
        code = entry.get("InstallerReturnCode")
        expect(isinstance(code, int) and code != 0 and -2**31 <= code < 2**32,
               name + ": return code %r cannot be listed" % code)
        expect(code not in codes, name + ": return code %r twice" % code)
        expect(entry.get("ReturnResponse") in RESPONSES, name + ": unknown response for %r" % code)
        codes[code] = entry.get("ReturnResponse")
    expect(set(codes) == readme_exit_codes(readme) - {0},
           name + ": the return codes %s are not the README's" % sorted(codes))
    expect(codes.get(3010) == "rebootRequiredToFinish", name + ": 3010 is not a success")
    entries = manifest.get("AppsAndFeaturesEntries", [])
    expect(entries == [{"DisplayName": "Lanterwell", "Publisher": publisher,
                        "DisplayVersion": version, "ProductCode": manifest.get("ProductCode")}],
           name + ": the Apps & features entry is not the setup program's")
    expect(manifest.get("ProductCode") == "Lanterwell",
           name + ": ProductCode is not the uninstall key's name")


def main():
    folder, setup, version, publisher, readme = sys.argv[1:6]
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
        check_fields(name, manifest, RULES.get(kind, {}))
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
            check_installer(name, manifest, setup, version, publisher, readme)
    expect(set(kinds) == set(RULES), "the kinds are %s" % sorted(kinds))
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
