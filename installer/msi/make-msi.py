#!/usr/bin/env python3
"""Writes the Windows Installer package's source (WiX, as wixl reads it) from the shipped
set: the native set into Program Files and, in the x64 package, the x86 set into Program
Files (x86), as the setup program installs them; the registry rows the DLL's own registration
writes (installer/msi/Harvest.cpp, one file of rows a set), its paths turned into the
installed file's; the drives window on the Start menu; the sign-in option
(RESTOREATSIGNIN=0 turns it off); and a refusal where the setup program has installed
Lanterwell. Product and component codes are derived from the upgrade code and the version,
so that the same release gives the same package.
usage: make-msi.py --arch x64|x86 --version V --upgrade-code GUID --publisher P
                   --native DIR --native-rows FILE [--x86 DIR --x86-rows FILE]
                   --docs DIR --output FILE.wxs"""
import argparse
import os
import uuid
from xml.sax.saxutils import escape, quoteattr

PRODUCT = "Lanterwell"
SET_FILES = ("Lanterwell.dll", "SUBST.DLL", "lwsubst.exe", "Lanterwell.exe")
DOCS = ("README.md", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt")
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
VENDOR_KEY = r"Software\Lanterwell"
SETUP_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Lanterwell"
ROOTS = {"HKCR": "HKCR", "HKLM": "HKLM", "HKCU": "HKCU"}
TYPES = {"string": "string", "expandable": "expandable", "integer": "integer",
         "binary": "binary", "multi": "multiString"}


def relative(options, folder, name):
    """A file as wixl finds it: from the folder of the package source, where it runs."""
    return os.path.relpath(os.path.join(folder, name), os.path.dirname(options.output))


def guid(base, *names):
    return str(uuid.uuid5(uuid.UUID(base), "/".join(names))).upper()


def harvest(path, dll, folder):
    """The harvested type library (GUID, version, LCID) and rows, the DLL's name and folder as
    the harvest saw them made the installed file's."""
    with open(path, encoding="utf-8") as lines:
        module_line, library_line, *values = lines.read().splitlines()
    module = module_line.split("\t", 1)[1]
    _, library, major, minor, lcid = library_line.split("\t")
    found = []
    for line in values:
        root, key, name, kind, data = line.split("\t")
        data = data.replace(module, dll).replace(module.rsplit("\\", 1)[0] + "\\", folder)
        found.append((root, key, name, kind, data))
    return (library, int(major) << 8 | int(minor), int(lcid)), found


def register_library(library, component, folder_id, fixes):
    """The type library registered as Windows Installer registers them (its TypeLib table and
    the standard actions; wixl writes neither)."""
    if not any(fix.startswith("CREATE TABLE `TypeLib`") for fix in fixes):
        fixes += [
            "CREATE TABLE `TypeLib` (`LibID` CHAR(38) NOT NULL, `Language` SHORT NOT NULL, "
            "`Component_` CHAR(72) NOT NULL, `Version` LONG, `Description` CHAR(128) "
            "LOCALIZABLE, `Directory_` CHAR(72), `Feature_` CHAR(38) NOT NULL, `Cost` LONG "
            "PRIMARY KEY `LibID`, `Language`, `Component_`)",
            "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) "
            "VALUES ('UnregisterTypeLibraries', 2300)",
            "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) "
            "VALUES ('RegisterTypeLibraries', 5500)",
        ]
    guid_text, version, lcid = library
    fixes.append("INSERT INTO `TypeLib` (`LibID`, `Language`, `Component_`, `Version`, "
                 f"`Directory_`, `Feature_`) VALUES ('{guid_text}', {lcid}, '{component}', "
                 f"{version}, '{folder_id}', 'Main')")


# The Registry table's codes for the roots, for the rows wixl cannot write.
ROOT_CODES = {"HKCR": 0, "HKCU": 1, "HKLM": 2}


def registry(row, component, index, fixes):
    root, key, name, kind, data = row
    # msitools' string pool breaks on text beyond ASCII: none may reach the package.
    if not (key + name + data).isascii() or "'" in key:
        raise SystemExit(f"make-msi: a row the package cannot hold: {key} {name}")
    attributes = f'Root="{ROOTS[root]}" Key={quoteattr(key)}'
    if kind == "key":
        # A key of its own without values: "*" makes it on install and takes it on uninstall
        # (wixl writes no such row).
        fixes.append("INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) "
                     f"VALUES ('k{len(fixes)}', {ROOT_CODES[root]}, '{key}', '*', "
                     f"'{component}')")
        return ""
    # Named, or two sets' rows for a key both views share would get one generated name.
    attributes = f'Id="r{index}_{component}" ' + attributes
    named = f" Name={quoteattr(name)}" if name else ""
    if kind == "multi":
        values = "".join(f"<MultiStringValue>{escape(v)}</MultiStringValue>"
                         for v in data.split("[~]"))
        return f'<RegistryValue {attributes}{named} Type="multiString">{values}</RegistryValue>'
    return (f'<RegistryValue {attributes}{named} Type="{TYPES[kind]}" '
            f"Value={quoteattr(data)}/>")


def set_components(options, tag, folder_id, files_dir, rows_file, win64, fixes):
    out = []
    refs = []
    for name in SET_FILES:
        ident = f"{tag}_{name.replace('.', '_')}"
        component = f"c_{ident}"
        # The drives window on the Start menu, a shortcut to the file itself (not advertised).
        shortcut = ""
        if name == "Lanterwell.exe" and tag == "native":
            shortcut = (f'<Shortcut Id="StartMenu" Directory="ProgramMenuFolder" '
                        f'Name="{PRODUCT}" WorkingDirectory="{folder_id}"/>')
        lines = [f'<File Id="{ident}" Name="{name}" Source={quoteattr(relative(options, files_dir, name))} '
                 f'KeyPath="yes">{shortcut}</File>']
        if name == "Lanterwell.dll":
            library, found = harvest(rows_file, f"[#{ident}]", f"[{folder_id}]")
            register_library(library, component, folder_id, fixes)
            lines += [registry(row, component, index, fixes) for index, row in enumerate(found)]
        refs.append(component)
        out.append(f'<Component Id="{component}" Guid="{guid(options.upgrade_code, component)}"'
                   f' Win64="{"yes" if win64 else "no"}">' + "".join(lines) + "</Component>")
    return out, refs


def main():
    parser = argparse.ArgumentParser()
    for name in ("arch", "version", "upgrade-code", "publisher", "native", "native-rows",
                 "docs", "output"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--x86")
    parser.add_argument("--x86-rows")
    options = parser.parse_args()
    win64 = options.arch != "x86"
    native_folder = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    fixes = []
    components, refs = set_components(options, "native", "INSTALLDIR", options.native,
                                      options.native_rows, win64, fixes)
    x86_directory = ""
    if options.x86:
        more, more_refs = set_components(options, "x86", "X86DIR", options.x86,
                                         options.x86_rows, False, fixes)
        x86_directory = (f'<Directory Id="ProgramFilesFolder"><Directory Id="X86DIR" '
                         f'Name="{PRODUCT}">{"".join(more)}</Directory></Directory>')
        refs += more_refs
    docs = "".join(f'<File Id="doc_{i}" Name="{name}" '
                   f"Source={quoteattr(relative(options, options.docs, name))}/>"
                   for i, name in enumerate(DOCS))
    components.append(f'<Component Id="c_docs" Guid="{guid(options.upgrade_code, "docs")}" '
                      f'Win64="{"yes" if win64 else "no"}">{docs}'
                      f'<RegistryValue Root="HKLM" Key="{VENDOR_KEY}" Name="InstallLocation" '
                      'Type="string" Value="[INSTALLDIR]" KeyPath="yes"/>'
                      # The setup program refuses to install over this package by this mark.
                      f'<RegistryValue Root="HKLM" Key="{VENDOR_KEY}" Name="InstalledBy" '
                      'Type="string" Value="Windows Installer"/></Component>')
    refs.append("c_docs")
    sign_in = (f'<Component Id="c_signin" Guid="{guid(options.upgrade_code, "signin")}" '
               f'Win64="{"yes" if win64 else "no"}">'
               f'<RegistryValue Root="HKLM" Key="{RUN_KEY}" Name="{PRODUCT}" Type="string" '
               'Value="&quot;[INSTALLDIR]lwsubst.exe&quot; /restore" KeyPath="yes"/>'
               f'<RegistryValue Root="HKLM" Key="{VENDOR_KEY}" Name="RestoreAtSignIn" '
               'Type="integer" Value="1"/></Component>')
    components.append(sign_in)
    refs.append("c_signin")
    # wixl makes every shortcut an advertised one: the Start menu's reaches the file.
    fixes.append("UPDATE `Shortcut` SET `Target` = '[#native_Lanterwell_exe]' "
                 "WHERE `Shortcut` = 'StartMenu'")
    # wixl reads no component conditions: the option's is set in the table.
    fixes.append("UPDATE `Component` SET `Condition` = 'RESTOREATSIGNIN=\"1\"' "
                 "WHERE `Component` = 'c_signin'")
    product = guid(options.upgrade_code, "product", options.version)
    text = f'''<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="{product}" Name="{PRODUCT}" Language="1033" Version="{options.version}"
 Manufacturer={quoteattr(options.publisher)} UpgradeCode="{options.upgrade_code}">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
<Media Id="1" Cabinet="lanterwell.cab" EmbedCab="yes"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of {PRODUCT} is installed."/>
<Property Id="RESTOREATSIGNIN" Value="1"/>
<Property Id="SETUPPROGRAM"><RegistrySearch Id="SetupProgram" Root="HKLM" Key="{SETUP_KEY}"
 Name="UninstallString" Type="raw" Win64="{"yes" if win64 else "no"}"/></Property>
<Condition Message="{PRODUCT} is installed by its setup program. Uninstall it first.">Installed OR NOT SETUPPROGRAM</Condition>
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="{native_folder}"><Directory Id="INSTALLDIR" Name="{PRODUCT}">{"".join(components)}</Directory></Directory>
{x86_directory}
<Directory Id="ProgramMenuFolder"/>
</Directory>
<Feature Id="Main" Level="1">{"".join(f'<ComponentRef Id="{r}"/>' for r in refs)}</Feature>
</Product>
</Wix>
'''
    with open(options.output, "w", encoding="utf-8") as out:
        out.write(text)
    # What wixl cannot say, as SQL for msibuild, one statement a line.
    with open(options.output + ".sql", "w", encoding="utf-8") as out:
        out.write("".join(fix + "\n" for fix in fixes))


if __name__ == "__main__":
    main()
