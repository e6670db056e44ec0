#!/usr/bin/env python3
"""Windows Installer's documented validation rules (the ICE rules) that apply to Lanterwell's
packages, written out from their documentation and checked on the package's tables as msiinfo
exports them. Prints each broken rule and "msi-check: N problems".

usage: msi-check.py PACKAGE.msi"""
import re
import subprocess
import sys

problems = []


def expect(condition, rule, message):
    if not condition:
        problems.append(f"{rule}: {message}")


def table(package, name):
    """The rows of a table as dictionaries; no rows where the package has no such table."""
    done = subprocess.run(["msiinfo", "export", package, name], capture_output=True, text=True)
    if done.returncode:
        return []
    lines = done.stdout.replace("\r", "").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def long_name(default_dir):
    """A DefaultDir's target name: the long one of "short|long", the target of "target:source"."""
    target = default_dir.split(":")[0]
    return target.split("|")[-1]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    package = sys.argv[1]
    components = table(package, "Component")
    directories = table(package, "Directory")
    files = table(package, "File")
    registry = table(package, "Registry")
    properties = {row["Property"]: row["Value"] for row in table(package, "Property")}

    # ICE08: every component code is unique.
    codes = [row["ComponentId"] for row in components if row["ComponentId"]]
    expect(len(codes) == len(set(codes)), "ICE08", "a component code is used twice")
    # ICE21: every component belongs to a feature.
    featured = {row["Component_"] for row in table(package, "FeatureComponents")}
    for row in components:
        expect(row["Component"] in featured, "ICE21", f"{row['Component']} is in no feature")
    # ICE18 and the key path rules: a component's key path is one of its own files or rows.
    owned = {row["File"]: row["Component_"] for row in files}
    owned.update({row["Registry"]: row["Component_"] for row in registry})
    for row in components:
        key = row["KeyPath"]
        expect(not key or owned.get(key) == row["Component"], "ICE18",
               f"{row['Component']}'s key path {key} is not its own")
    # ICE30 and the administrative image: no two directories with one parent share a name in
    # either the target or the source, so no two files land in one place.
    for column in (0, -1):
        seen = {}
        for row in directories:
            name = row["DefaultDir"].split(":")[column].split("|")[-1]
            if name == ".":
                continue
            place = (row["Directory_Parent"], name.lower())
            expect(place not in seen, "ICE30",
                   f"{row['Directory']} and {seen.get(place)} are one folder")
            seen[place] = row["Directory"]
    for tree in ("ProgramFiles64Folder", "ProgramFilesFolder"):
        for row in directories:
            if row["Directory"] == tree:
                expect(long_name(row["DefaultDir"]) != ".", "ICE30",
                       f"{tree} has no name of its own in an administrative image")
    # ICE60: every program file carries its version.
    for row in files:
        if re.search(r"\.(dll|exe)$", row["FileName"], re.IGNORECASE):
            expect(re.fullmatch(r"\d+\.\d+\.\d+\.\d+", row["Version"]) is not None, "ICE60",
                   f"{row['FileName']} has no version")
    # ICE61 and the managed install: the upgrade's and the public properties are secure.
    secure = set(properties.get("SecureCustomProperties", "").split(";"))
    for row in table(package, "Upgrade"):
        expect(row["ActionProperty"] in secure, "ICE61",
               f"{row['ActionProperty']} is not in SecureCustomProperties")
    for name in ("INSTALLDIR", "RESTOREATSIGNIN"):
        expect(name in secure, "ICE61", f"{name} is not in SecureCustomProperties")
    # ICE82: no two actions of a sequence share a number.
    for sequence in ("InstallExecuteSequence", "InstallUISequence", "AdminExecuteSequence"):
        numbers = [row["Sequence"] for row in table(package, sequence)
                   if row["Sequence"] and int(row["Sequence"]) > 0]
        expect(len(numbers) == len(set(numbers)), "ICE82", f"{sequence} repeats a number")
    # ICE99: no directory is named like a property Windows Installer sets.
    for row in directories:
        expect(row["Directory"] not in ("AdminUser", "Privileged", "VersionNT64", "ALLUSERS"),
               "ICE99", f"{row['Directory']} is a property's name")

    for problem in problems:
        print(problem)
    print(f"msi-check: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
