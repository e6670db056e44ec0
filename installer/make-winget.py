#!/usr/bin/env python3
"""Writes the winget manifest of a built setup program, in the multi-file form the Windows
Package Manager's community repository takes (manifest version 1.6.0):

  OUTPUT/manifests/<l>/<Publisher>/<Package>/<version>/<Identifier>.yaml            version
                                                     .installer.yaml               installer
                                                     .locale.en-US.yaml            default locale
                                                     .locale.ja-JP.yaml            Japanese

The download URL is the publisher's to fill (a CMake option, with a clear placeholder until
then; tools/release/release.sh fills it); the licence is its SPDX identifier, and everything else
comes from the build."""
import argparse
import hashlib
import os
import re
import subprocess

MANIFEST_VERSION = "1.6.0"
PACKAGE = "Lanterwell"
# The uninstall key's name under ...\CurrentVersion\Uninstall, which is how Windows and winget
# know a nullsoft install.
PRODUCT_CODE = "Lanterwell"
# The architectures the one setup program serves, each a row of its own for winget.
ARCHITECTURES = ["x86", "x64", "arm64"]
# The setup program's exit codes other than 0, as winget should answer them.
EXIT_CODES = [
    (1, "cancelledByUser"),
    (2, "contactSupport"),  # the download itself is damaged
    (4, "contactSupport"),  # registration failed; the details say why
    (5, "installInProgress"),
    (6, "alreadyInstalled"),  # by the Windows Installer package
    (3010, "rebootRequiredToFinish"),  # installed; a file in use is replaced at the restart
]
LOCALES = {
    "en-US": {
        "ShortDescription": "Virtual drives from a folder's context menu",
        "Description": "Adds \"Create virtual drive\" and \"Delete virtual drive\" to the context "
                       "menu of folders and drive roots, like Windows' subst command, with "
                       "lwsubst for the command line and drives restored at sign-in.",
    },
    "ja-JP": {
        "ShortDescription": "フォルダーのコンテキスト メニューから仮想ドライブを作成",
        "Description": "フォルダーとドライブのコンテキスト メニューに「仮想ドライブの作成」と"
                       "「仮想ドライブを削除」を追加します。Windows の subst コマンドと同じ"
                       "仮想ドライブを作り、コマンド ラインの lwsubst と、サインイン時の復元も"
                       "備えています。",
    },
}
DEFAULT_LOCALE = "en-US"


def scalar(value):
    if isinstance(value, int):
        return str(value)
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


def emit(value, indent=0):
    """YAML for the manifest's shapes: mappings, lists of scalars and lists of mappings."""
    pad = "  " * indent
    lines = []
    for key, item in value.items():
        if isinstance(item, dict):
            lines += ["%s%s:" % (pad, key)] + emit(item, indent + 1)
        elif isinstance(item, list):
            lines.append("%s%s:" % (pad, key))
            for element in item:
                if isinstance(element, dict):
                    inner = emit(element, indent + 2)
                    lines.append("%s- %s" % (pad + "  ", inner[0].lstrip()))
                    lines += inner[1:]
                else:
                    lines.append("%s- %s" % (pad + "  ", scalar(element)))
        else:
            lines.append("%s%s: %s" % (pad, key, scalar(item)))
    return lines


def write(folder, name, kind, fields):
    with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as manifest:
        manifest.write("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s"
                       ".schema.json\n\n" % (kind, MANIFEST_VERSION))
        manifest.write("\n".join(emit(fields)) + "\n")


def msi_installer(options, architecture, path):
    """A Windows Installer package's entry: its own type, switches, product code and Apps &
    features entry over the setup program's, beside it in the same folder."""
    with open(path, "rb") as package:
        sha256 = hashlib.sha256(package.read()).hexdigest().upper()
    properties = subprocess.run(["msiinfo", "export", path, "Property"], check=True,
                                capture_output=True, text=True).stdout
    code = re.search(r"^ProductCode\t(\S+)", properties, re.MULTILINE).group(1)
    upgrade = re.search(r"^UpgradeCode\t(\S+)", properties, re.MULTILINE).group(1)
    return {"Architecture": architecture, "InstallerType": "msi",
            "InstallerUrl": options.url.rsplit("/", 1)[0] + "/" + os.path.basename(path),
            "InstallerSha256": sha256,
            "InstallerSwitches": {"Silent": "/quiet", "SilentWithProgress": "/passive",
                                  "InstallLocation": "INSTALLDIR=\"<INSTALLPATH>\""},
            "ElevationRequirement": "elevationRequired", "ProductCode": code,
            "AppsAndFeaturesEntries": [{"DisplayName": PACKAGE, "Publisher": options.publisher,
                                        "DisplayVersion": options.version, "ProductCode": code,
                                        "UpgradeCode": upgrade}]}


def main():
    parser = argparse.ArgumentParser()
    for option in ("setup", "version", "publisher", "url", "license", "output"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--msi", action="append", default=[],
                        help="ARCH=FILE: a Windows Installer package, an installer of its own")
    options = parser.parse_args()
    with open(options.setup, "rb") as setup:
        sha256 = hashlib.sha256(setup.read()).hexdigest().upper()

    publisher_part = re.sub(r"[^A-Za-z0-9]", "", options.publisher)
    identifier = "%s.%s" % (publisher_part, PACKAGE)
    folder = os.path.join(options.output, "manifests", publisher_part[0].lower(), publisher_part,
                          PACKAGE, options.version)
    os.makedirs(folder, exist_ok=True)
    head = {"PackageIdentifier": identifier, "PackageVersion": options.version}
    tail = {"ManifestVersion": MANIFEST_VERSION}

    write(folder, identifier + ".yaml", "version",
          {**head, "DefaultLocale": DEFAULT_LOCALE, "ManifestType": "version", **tail})
    write(folder, identifier + ".installer.yaml", "installer", {
        **head,
        "InstallerType": "nullsoft",
        "Scope": "machine",
        "InstallModes": ["interactive", "silent", "silentWithProgress"],
        "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S",
                              "InstallLocation": "/D=<INSTALLPATH>"},
        "ExpectedReturnCodes": [{"InstallerReturnCode": code, "ReturnResponse": response}
                                for code, response in EXIT_CODES],
        "UpgradeBehavior": "install",
        "ElevationRequirement": "elevatesSelf",
        "ProductCode": PRODUCT_CODE,
        "AppsAndFeaturesEntries": [{"DisplayName": PACKAGE, "Publisher": options.publisher,
                                    "DisplayVersion": options.version,
                                    "ProductCode": PRODUCT_CODE}],
        "Installers": [{"Architecture": architecture, "InstallerUrl": options.url,
                        "InstallerSha256": sha256} for architecture in ARCHITECTURES] +
                      [msi_installer(options, *package.split("=", 1)) for package in options.msi],
        "ManifestType": "installer", **tail})
    for locale, texts in LOCALES.items():
        kind = "defaultLocale" if locale == DEFAULT_LOCALE else "locale"
        fields = {**head, "PackageLocale": locale, "Publisher": options.publisher,
                  "PackageName": PACKAGE, "License": options.license, **texts}
        if kind == "defaultLocale":
            fields["Moniker"] = PACKAGE.lower()
            fields["Tags"] = ["subst", "virtual-drive", "context-menu", "explorer"]
        write(folder, "%s.locale.%s.yaml" % (identifier, locale), kind,
              {**fields, "ManifestType": kind, **tail})


if __name__ == "__main__":
    main()
