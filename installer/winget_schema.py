#!/usr/bin/env python3
"""The rules of the Windows Package Manager's manifest schemas (version 1.6.0: version,
installer, defaultLocale and locale) for the fields a Lanterwell manifest can hold, as the
published JSON schemas state them: which fields each kind of file may and must have, and each
field's type, length, pattern, allowed values and items. A field the schema does not know is
refused, as winget's own validation refuses it.

usage: winget_schema.py FOLDER   checks every *.yaml below FOLDER; exits 1 on a problem
"""
import glob
import os
import re
import sys

import yaml

MANIFEST_VERSION = "1.6.0"
_NAME = r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}'
_UINT16 = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"


def text(low, high, pattern=None):
    compiled = re.compile(pattern) if pattern else None
    return lambda value: (isinstance(value, str) and low <= len(value) <= high and
                          (not compiled or bool(compiled.match(value))))


def one_of(*values):
    return lambda value: value in values


def integer(low, high, excluded=()):
    return lambda value: (isinstance(value, int) and not isinstance(value, bool) and
                          low <= value <= high and value not in excluded)


def array(item, most, least=0, unique=False):
    return lambda value: (isinstance(value, list) and least <= len(value) <= most and
                          (not unique or len({repr(v) for v in value}) == len(value)) and
                          all(item(element) for element in value))


def mapping(fields, required=()):
    return lambda value: not problems_of(value, fields, required)


def problems_of(value, fields, required):
    """What is wrong with a mapping against its fields' rules: one line each."""
    if not isinstance(value, dict):
        return ["not a mapping"]
    found = ["%s is missing" % key for key in required if key not in value]
    for key, item in value.items():
        if key not in fields:
            found.append("%s is not a field of this file" % key)
        elif not fields[key](item):
            found.append("%s is not valid: %r" % (key, item))
    return found


URL = text(1, 2048, r"^([Hh][Tt][Tt][Pp][Ss]?)://.+$")
LOCALE = text(1, 20, r"^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$")
TAG = text(1, 40)
ARCHITECTURE = one_of("x86", "x64", "arm", "arm64", "neutral")
INSTALLER_TYPE = one_of("msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn",
                        "pwa", "portable")
PRODUCT_CODE = text(1, 255)
RESPONSE = one_of("packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse",
                  "missingDependency", "diskFull", "insufficientMemory", "invalidParameter",
                  "noNetwork", "contactSupport", "rebootRequiredToFinish",
                  "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
                  "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported",
                  "custom")
COMMON = {
    "PackageIdentifier": text(1, 128, r"^%s(\.%s){1,7}$" % (_NAME, _NAME)),
    "PackageVersion": text(1, 128, r'^[^\\/:*?"<>|\x01-\x1f]+$'),
    "ManifestVersion": text(1, 17, r"^%s(\.%s){2}$" % (_UINT16, _UINT16)),
}
SWITCHES = {key: text(1, 512) for key in ("Silent", "SilentWithProgress", "Interactive",
                                          "InstallLocation", "Log", "Upgrade")}
SWITCHES["Custom"] = text(1, 2048)
RETURN_CODE = mapping({"InstallerReturnCode": integer(-2**31, 2**32 - 1, excluded=(0,)),
                       "ReturnResponse": RESPONSE, "ReturnResponseUrl": URL},
                      required=("InstallerReturnCode", "ReturnResponse"))
APPS_AND_FEATURES = mapping({"DisplayName": text(1, 256), "Publisher": text(1, 256),
                             "DisplayVersion": text(1, 128), "ProductCode": PRODUCT_CODE,
                             "UpgradeCode": PRODUCT_CODE, "InstallerType": INSTALLER_TYPE})
ELEVATION = one_of("elevationRequired", "elevationProhibited", "elevatesSelf")
# An installer's own fields, and those of the manifest's root that an installer may set for
# itself.
INSTALLER = mapping({"Architecture": ARCHITECTURE, "InstallerUrl": URL,
                     "InstallerSha256": text(64, 64, r"^[A-Fa-f0-9]{64}$"),
                     "InstallerLocale": LOCALE, "InstallerType": INSTALLER_TYPE,
                     "Scope": one_of("user", "machine"), "ProductCode": PRODUCT_CODE,
                     "InstallerSwitches": mapping(SWITCHES), "ElevationRequirement": ELEVATION,
                     "ExpectedReturnCodes": array(RETURN_CODE, 128),
                     "AppsAndFeaturesEntries": array(APPS_AND_FEATURES, 128)},
                    required=("Architecture", "InstallerUrl", "InstallerSha256"))
LOCALE_FIELDS = {
    **COMMON, "PackageLocale": LOCALE, "Publisher": text(2, 256), "PublisherUrl": URL,
    "PublisherSupportUrl": URL, "PrivacyUrl": URL, "Author": text(2, 256),
    "PackageName": text(2, 256), "PackageUrl": URL, "License": text(3, 512), "LicenseUrl": URL,
    "Copyright": text(3, 512), "CopyrightUrl": URL, "ShortDescription": text(3, 256),
    "Description": text(3, 10000), "Tags": array(TAG, 16, unique=True),
    "ReleaseNotes": text(1, 10000), "ReleaseNotesUrl": URL, "PurchaseUrl": URL,
}
# Each kind of file (its ManifestType): its fields' rules and the fields it must have.
KINDS = {
    "version": ({**COMMON, "DefaultLocale": LOCALE, "ManifestType": one_of("version")},
                ("PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType",
                 "ManifestVersion")),
    "installer": ({**COMMON, "InstallerType": INSTALLER_TYPE, "InstallerLocale": LOCALE,
                   "Scope": one_of("user", "machine"),
                   "InstallModes": array(one_of("interactive", "silent", "silentWithProgress"),
                                         3, unique=True),
                   "InstallerSwitches": mapping(SWITCHES),
                   "ExpectedReturnCodes": array(RETURN_CODE, 128),
                   "UpgradeBehavior": one_of("install", "uninstallPrevious"),
                   "ElevationRequirement": ELEVATION,
                   "ProductCode": PRODUCT_CODE,
                   "AppsAndFeaturesEntries": array(APPS_AND_FEATURES, 128),
                   "Installers": array(INSTALLER, 1024, least=1),
                   "ManifestType": one_of("installer")},
                  ("PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                   "ManifestVersion")),
    "defaultLocale": ({**LOCALE_FIELDS, "Moniker": TAG, "ManifestType": one_of("defaultLocale")},
                      ("PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher",
                       "PackageName", "License", "ShortDescription", "ManifestType",
                       "ManifestVersion")),
    "locale": ({**LOCALE_FIELDS, "ManifestType": one_of("locale")},
               ("PackageIdentifier", "PackageVersion", "PackageLocale", "ManifestType",
                "ManifestVersion")),
}


def check_manifest(manifest):
    """The schema problems of one parsed manifest file."""
    kind = manifest.get("ManifestType") if isinstance(manifest, dict) else None
    if kind not in KINDS:
        return ["ManifestType %r is no kind of file this schema version has" % kind]
    if manifest.get("ManifestVersion") != MANIFEST_VERSION:
        return ["ManifestVersion is not %s" % MANIFEST_VERSION]
    return problems_of(manifest, *KINDS[kind])


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    paths = sorted(glob.glob(os.path.join(sys.argv[1], "**", "*.yaml"), recursive=True))
    problems = []
    for path in paths:
        with open(path, encoding="utf-8") as source:
            problems += ["%s: %s" % (os.path.basename(path), problem)
                         for problem in check_manifest(yaml.safe_load(source))]
    for problem in problems:
        print("FAILED: " + problem)
    print("winget schema %s: %d files, %d problems" % (MANIFEST_VERSION, len(paths), len(problems)))
    return 1 if problems or not paths else 0


if __name__ == "__main__":
    sys.exit(main())
