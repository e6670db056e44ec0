#!/usr/bin/env python3
"""Writes the Windows Installer package's source (WiX, as wixl reads it) from the shipped
set: the native set into Program Files and, in the x64 package, the x86 set into Program
Files (x86), as the setup program installs them; the registry rows the DLL's own registration
writes (installer/msi/Harvest.cpp, one file of rows a set), its paths turned into the
installed file's; the drives window on the Start menu; the sign-in option
(RESTOREATSIGNIN=0 turns it off); and a refusal where the setup program has installed
Lanterwell. Product and component codes are derived from the upgrade code and the version,
so that the same release gives the same package.
usage: make-msi.py --arch x64|x86 --version V --version4 V.0 --upgrade-code GUID
                   --publisher P --native DIR --native-rows FILE
                   [--x86 DIR --x86-rows FILE --package FILE.msix] --keep-keys KeepKeys.dll
                   --docs DIR --output FILE.wxs"""
import argparse
import os
import re
import struct
import uuid
import zipfile
from xml.sax.saxutils import escape, quoteattr


def deployment():
    """What the setup program writes and runs too, from installer/Deployment.nsh."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Deployment.nsh")
    found = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            match = re.fullmatch(r'!define (\w+) "(.*)"\n?', line)
            if match:
                found[match[1]] = re.sub(r"\$\{(\w+)\}", lambda name: found[name[1]], match[2])
    return found


SHARED = deployment()
PRODUCT = SHARED["PRODUCT"]
SET_FILES = ("Lanterwell.dll", "SUBST.DLL", "lwsubst.exe", "Lanterwell.exe")
DOCS = ("README.md", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt")
ROOTS = {"HKCR": "HKCR", "HKLM": "HKLM", "HKCU": "HKCU"}
TYPES = {"string": "string", "expandable": "expandable", "integer": "integer",
         "binary": "binary", "multi": "multiString"}
# Where the install's record in VENDOR_KEY names its folder.
INSTALL_LOCATION = "InstallLocation"
# The Component table's attributes.
COMPONENT_64BIT = 256
COMPONENT_TRANSITIVE = 64
# The widest command a custom action's Target column holds.
TARGET_WIDTH = 255
# The program folders' names in the Directory table: in an administrative image each set keeps
# a folder of its own (with one name for both, the x86 set would overwrite the x64 one).
PROGRAM_FOLDERS = {"ProgramFiles64Folder": "PFiles64", "ProgramFilesFolder": "PFiles"}
# The public properties a managed install passes, kept when an elevated install was started
# by a user who is no administrator.
# wixl writes the property with its major upgrade's own (WIX_...): ours join those.
SECURE_PROPERTIES = "WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;RESTOREATSIGNIN"
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources")
ICON = "Lanterwell.ico"


def attribute(text):
    """TEXT as an attribute's value that wixl reads back as TEXT (its preprocessor takes "$")."""
    return quoteattr(text.replace("$", "$$"))


def relative(options, folder, name):
    """A file as wixl finds it: from the folder of the package source, where it runs."""
    return os.path.relpath(os.path.join(folder, name), os.path.dirname(options.output))


def guid(base, *names):
    return str(uuid.uuid5(uuid.UUID(base), "/".join(names))).upper()


def harvest(path, dll, folder):
    """The harvested type library (GUID, version, LCID), rows (the DLL's name and folder as the
    harvest saw them made the installed file's) and the shared keys its unregistration keeps."""
    with open(path, encoding="utf-8") as lines:
        module_line, library_line, *values = lines.read().splitlines()
    module = module_line.split("\t", 1)[1]
    _, library, major, minor, lcid = library_line.split("\t")
    found = []
    kept = [tuple(line.split("\t")[1:]) for line in values if line.startswith("KEEP\t")]
    for line in values[:len(values) - len(kept)]:
        root, key, name, kind, data = line.split("\t")
        data = data.replace(module, dll).replace(module.rsplit("\\", 1)[0] + "\\", folder)
        found.append((root, key, name, kind, data))
    return (library, int(major) << 8 | int(minor), int(lcid)), found, kept


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
    if kind == "key":
        # A key of its own without values: "*" makes it on install and takes it on uninstall
        # (wixl writes no such row).
        fixes.append("INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) "
                     f"VALUES ('k{len(fixes)}', {ROOT_CODES[root]}, '{key}', '*', "
                     f"'{component}')")
        return ""
    # Named, or two sets' rows for a key both views share would get one generated name.
    return value(ROOTS[root], key, name, TYPES[kind], data, f' Id="r{index}_{component}"')


def value(root, key, name, kind, data, extra=""):
    """A RegistryValue element; a multiString's strings are DATA's, split at "[~]"."""
    named = f" Name={attribute(name)}" if name else ""
    head = f'<RegistryValue Root="{root}" Key={attribute(key)}{named} Type="{kind}"{extra}'
    if kind != "multiString":
        return f"{head} Value={attribute(data)}/>"
    values = "".join(f"<MultiStringValue>{escape(v.replace('$', '$$'))}</MultiStringValue>"
                     for v in data.split("[~]"))
    return f"{head}>{values}</RegistryValue>"


def file_version(path):
    """The version in a PE file's version block (VS_FIXEDFILEINFO), as the File table holds it:
    without it Windows Installer takes the file as unversioned and replaces it by dates."""
    with open(path, "rb") as file:
        data = file.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise SystemExit(f"make-msi: {path} has no version block")
    high, low = struct.unpack_from("<II", data, at + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def set_components(options, tag, folder_id, files_dir, rows_file, win64, fixes, shared):
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
        lines = [f'<File Id="{ident}" Name="{name}" Source={attribute(relative(options, files_dir, name))} '
                 f'KeyPath="yes">{shortcut}</File>']
        if name == "Lanterwell.dll":
            library, found, kept = harvest(rows_file, f"[#{ident}]", f"[{folder_id}]")
            register_library(library, component, folder_id, fixes)
            shared += [(root, key, win64) for root, key in kept]
            lines += [registry(row, component, index, fixes) for index, row in enumerate(found)]
        fixes.append(f"UPDATE `File` SET `Version` = "
                     f"'{file_version(os.path.join(files_dir, name))}' WHERE `File` = '{ident}'")
        refs.append(component)
        out.append(f'<Component Id="{component}" Guid="{guid(options.upgrade_code, component)}"'
                   f' Win64="{"yes" if win64 else "no"}">' + "".join(lines) + "</Component>")
    return out, refs


def component(options, ident, win64, content, *names):
    """A component, its code derived from the upgrade code, its name and NAMES."""
    code = guid(options.upgrade_code, ident, *names)
    return (f'<Component Id="{ident}" Guid="{code}" Win64="{"yes" if win64 else "no"}">'
            f"{content}</Component>")


def docs_component(options, win64):
    """The documents, the install folder's record and the mark the setup program refuses by."""
    vendor = SHARED["VENDOR_KEY"]
    files = "".join(f'<File Id="doc_{i}" Name="{name}" '
                    f"Source={attribute(relative(options, options.docs, name))}/>"
                    for i, name in enumerate(DOCS))
    return component(options, "c_docs", win64, files
                     + value("HKLM", vendor, INSTALL_LOCATION, "string", "[INSTALLDIR]",
                             ' KeyPath="yes"')
                     + value("HKLM", vendor, "InstalledBy", "string",
                             SHARED["WINDOWS_INSTALLER_MARK"]))


def sign_in_component(options, win64, fixes):
    """The sign-in option, for every user, unless RESTOREATSIGNIN is not 1."""
    restore = value("HKLM", SHARED["RUN_KEY"], PRODUCT, "string",
                    '"[INSTALLDIR]lwsubst.exe" /restore', ' KeyPath="yes"')
    default = value("HKLM", SHARED["VENDOR_KEY"], "RestoreAtSignIn", "integer", "1")
    # wixl reads no component conditions: the option's is set in the table.
    fixes.append("UPDATE `Component` SET `Condition` = 'RESTOREATSIGNIN=\"1\"' "
                 "WHERE `Component` = 'c_signin'")
    return component(options, "c_signin", win64, restore + default)


def package_command(name, signed):
    """PowerShell's command that registers the package NAME with the install folder as its
    external location. The folder is read from the install's own record rather than written
    into the command: no quoting of PowerShell's can then be broken by a folder's name."""
    unsigned = "" if signed else " -AllowUnsigned"
    return (f"$d = (Get-ItemProperty 'HKLM:\\{SHARED['VENDOR_KEY']}').{INSTALL_LOCATION}.TrimEnd('\\'); "
            f"Add-AppxPackage -Path ($d + '\\{name}') -ExternalLocation $d{unsigned}")


def windows11_package(options, fixes):
    """From Windows 11 on, the package for its compact menu beside the native set, registered
    for every user at their next sign-in (Active Setup, as the setup program does) and for the
    installing user at once; removed for every user with the product (not by an upgrade, whose
    sign-in registration replaces it). PowerShell's failures never fail the install."""
    name = os.path.basename(options.package)
    with zipfile.ZipFile(options.package) as package:
        signed = "AppxSignature.p7x" in package.namelist()
    arguments = (f"{SHARED['POWERSHELL_OPTIONS']} -WindowStyle Hidden -Command "
                 f'"{package_command(name, signed)}"')
    remove = f"{SHARED['POWERSHELL_OPTIONS']} -Command \"{SHARED['REMOVE_PACKAGE_COMMAND']}\""
    if max(len(arguments), len(remove)) > TARGET_WIDTH:
        raise SystemExit("make-msi: a PowerShell command too long for a custom action")
    key = SHARED["ACTIVE_SETUP_KEY"]
    rows = (value("HKLM", key, "", "string", PRODUCT)
            + value("HKLM", key, "StubPath", "string", f'"[POWERSHELL]" {arguments}')
            + value("HKLM", key, "Version", "string", options.version4.replace(".", ","))
            + value("HKLM", key, "IsInstalled", "integer", "1"))
    # The installing user's record that their sign-in ran it goes with the product ("-").
    fixes.append("INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) "
                 f"VALUES ('user_active_setup', 1, '{key}', '-', 'c_package')")
    # 64-bit and transitive: a repair evaluates the condition again, so a machine moved on to
    # Windows 11 after the install gets the package by one.
    fixes.append("UPDATE `Component` SET `Condition` = "
                 f"'CURRENTBUILD >= {SHARED['WINDOWS_11_BUILD']}', `Attributes` = "
                 f"{COMPONENT_64BIT | COMPONENT_TRANSITIVE} WHERE `Component` = 'c_package'")
    file = (f'<File Id="package" Name="{name}" '
            f"Source={attribute(relative(options, os.path.dirname(options.package), name))} "
            'KeyPath="yes"/>')
    actions = f'''<Property Id="CURRENTBUILD"><RegistrySearch Id="WindowsBuild" Root="HKLM"
 Key="SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion" Name="CurrentBuildNumber" Type="raw" Win64="yes"/></Property>
<CustomAction Id="SetPowerShell" Property="POWERSHELL" Impersonate="yes"
 Value="[System64Folder]{SHARED['POWERSHELL']}"/>
<CustomAction Id="RegisterPackageForUser" Property="POWERSHELL" ExeCommand={attribute(arguments)}
 Execute="deferred" Impersonate="yes" Return="ignore"/>
<CustomAction Id="RemovePackageForAllUsers" Property="POWERSHELL" ExeCommand={attribute(remove)}
 Execute="deferred" Impersonate="no" Return="ignore"/>
'''
    steps = '''<Custom Action="SetPowerShell" Sequence="1010"/>
<Custom Action="RemovePackageForAllUsers" Sequence="1700">$$c_package=2 AND NOT UPGRADINGPRODUCTCODE</Custom>
<Custom Action="RegisterPackageForUser" Sequence="6550">$$c_package=3 AND UserSID&lt;&gt;"S-1-5-18"</Custom>
'''
    return component(options, "c_package", True, file + rows, name), actions, steps


def shared_keys(options, shared):
    """The shell's and Windows' keys the package writes in (SHARED: ROOT, KEY, 64-bit view),
    made again by the package's custom action (installer/msi/KeepKeys.cpp) once a removal of
    the product has taken its values: Windows Installer deletes a key its removal leaves empty,
    and its empty parents, but Explorer and registration rely on these keys."""
    entries = []
    for root, key, view64 in dict.fromkeys(shared):
        if root not in ("HKCR", "HKLM") or any(c in key for c in "[]{};"):
            raise SystemExit(f"make-msi: a shared key the package cannot keep: {root}\\{key}")
        # Per machine, the classes' rows are the machine's classes.
        classes = "Software\\Classes\\" if root == "HKCR" else ""
        entries.append(f"{64 if view64 else 32}:{classes}{key}")
    folder, name = os.path.split(options.keep_keys)
    source = relative(options, folder, name)
    actions = (f'<Binary Id="KeepKeys" SourceFile={attribute(source)}/>\n'
               f'<CustomAction Id="SetKeepSharedKeys" Property="KeepSharedKeys" '
               f'Value={attribute(";".join(entries))}/>\n'
               '<CustomAction Id="KeepSharedKeys" BinaryKey="KeepKeys" DllEntry="KeepSharedKeys" '
               'Execute="deferred" Impersonate="no" Return="ignore"/>\n')
    # After RemoveRegistryValues (2600), when the values are gone.
    steps = ('<Custom Action="SetKeepSharedKeys" Sequence="1014">REMOVE="ALL"</Custom>\n'
             '<Custom Action="KeepSharedKeys" Sequence="2610">REMOVE="ALL"</Custom>\n')
    return actions, steps


def launch_conditions(options, win64):
    """The installs the package refuses, each with the reason an administrator reads."""
    conditions = [
        (f"{PRODUCT} is installed by its setup program. Uninstall it first.",
         "Installed OR NOT SETUPPROGRAM"),
        # The package writes the machine's keys: a per-user install would be another product.
        (f"{PRODUCT} installs for every user of this computer only: install it without "
         "MSIINSTALLPERUSER=1 and with ALLUSERS=1.",
         'Installed OR (ALLUSERS AND NOT MSIINSTALLPERUSER="1")'),
    ]
    if not win64:
        # On 64-bit Windows, Explorer needs the 64-bit handler, which the x64 package installs.
        conditions.append((f"This package is for 32-bit Windows. On 64-bit Windows, install "
                           f"{PRODUCT}-{options.version}-x64.msi.", "Installed OR NOT VersionNT64"))
    return "".join(f"<Condition Message={attribute(message)}>{escape(rule)}</Condition>\n"
                   for message, rule in conditions)


def kept_options(win64):
    """What an install was given, read back by the next one (an upgrade, or an install after a
    removal by hand) unless given again: the folder (the install's record, InstallLocation) and
    RESTOREATSIGNIN=0 (an install that has a record but no machine default was given it).
    Before CostFinalize, INSTALLDIR is set only where the command line set it. The steps run in
    both sequences: with a user interface, its own sequence resolves the folder first."""
    vendor = SHARED["VENDOR_KEY"]
    view = "yes" if win64 else "no"
    searches = "".join(
        f'<Property Id="{name}"><RegistrySearch Id="{name}" Root="HKLM" Key={attribute(vendor)} '
        f'Name="{value}" Type="raw" Win64="{view}"/></Property>\n'
        for name, value in (("KEPTDIR", INSTALL_LOCATION), ("KEPTRESTORE", "RestoreAtSignIn")))
    actions = [
        ("KeepInstallDir", "INSTALLDIR", "[KEPTDIR]", 990,
         "NOT Installed AND NOT INSTALLDIR AND KEPTDIR"),
        ("KeepNoRestore", "RESTOREATSIGNIN", "0", 991,
         "NOT Installed AND NOT RESTOREATSIGNIN AND KEPTDIR AND NOT KEPTRESTORE"),
        ("DefaultRestore", "RESTOREATSIGNIN", "1", 992, "NOT RESTOREATSIGNIN"),
        # What Apps & features shows, as the setup program's entry has it.
        ("SetInstallLocation", "ARPINSTALLLOCATION", "[INSTALLDIR]", 1011, ""),
        ("SetHelpLink", "ARPHELPLINK", f"[INSTALLDIR]{DOCS[0]}", 1012, ""),
        ("SetAboutLink", "ARPURLINFOABOUT", f"[INSTALLDIR]{DOCS[0]}", 1013, ""),
    ]
    defined = "".join(f'<CustomAction Id="{ident}" Property="{name}" Value={attribute(value)}/>\n'
                      for ident, name, value, _, _ in actions)
    steps = "".join(f'<Custom Action="{ident}" Sequence="{sequence}">{escape(rule)}</Custom>'
                    for ident, _, _, sequence, rule in actions)
    return searches + defined, steps


def product_properties(options, fixes):
    """Apps & features' entry, how an upgrade treats running programs, the secure properties."""
    fixes.append(f"UPDATE `Property` SET `Value` = '{SECURE_PROPERTIES}' "
                 "WHERE `Property` = 'SecureCustomProperties'")
    properties = {
        "ARPPRODUCTICON": ICON, "ARPNOMODIFY": "1", "ARPNOREPAIR": "1",
        # Never close Explorer under the user: a file in use is replaced at the next restart
        # (3010), as the setup program does.
        "MSIRESTARTMANAGERCONTROL": "Disable",
    }
    return (f'<Icon Id="{ICON}" SourceFile={attribute(relative(options, RESOURCES, ICON))}/>\n'
            + "".join(f'<Property Id="{name}" Value={attribute(value)}/>\n'
                      for name, value in properties.items()))


def main():
    parser = argparse.ArgumentParser()
    for name in ("arch", "version", "version4", "upgrade-code", "publisher", "native",
                 "native-rows", "docs", "output"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--keep-keys", required=True)
    for name in ("x86", "x86-rows", "package"):
        parser.add_argument("--" + name)
    options = parser.parse_args()
    win64 = options.arch != "x86"
    native_folder = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    fixes = []
    shared = [("HKLM", SHARED["RUN_KEY"], win64)]
    components, refs = set_components(options, "native", "INSTALLDIR", options.native,
                                      options.native_rows, win64, fixes, shared)
    x86_directory = ""
    if options.x86:
        more, more_refs = set_components(options, "x86", "X86DIR", options.x86,
                                         options.x86_rows, False, fixes, shared)
        x86_directory = (f'<Directory Id="ProgramFilesFolder" Name="{PROGRAM_FOLDERS["ProgramFilesFolder"]}">'
                         f'<Directory Id="X86DIR" '
                         f'Name="{PRODUCT}">{"".join(more)}</Directory></Directory>')
        refs += more_refs
    components += [docs_component(options, win64), sign_in_component(options, win64, fixes)]
    refs += ["c_docs", "c_signin"]
    kept, kept_steps = kept_options(win64)
    package_actions = package_steps = ""
    if options.package:
        package, package_actions, package_steps = windows11_package(options, fixes)
        components.append(package)
        refs.append("c_package")
        shared.append(("HKLM", SHARED["ACTIVE_SETUP_KEY"].rsplit("\\", 1)[0], True))
    shared_actions, shared_steps = shared_keys(options, shared)
    # wixl makes every shortcut an advertised one: the Start menu's reaches the file.
    fixes.append("UPDATE `Shortcut` SET `Target` = '[#native_Lanterwell_exe]' "
                 "WHERE `Shortcut` = 'StartMenu'")
    product = guid(options.upgrade_code, "product", options.version)
    text = f'''<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="{product}" Name="{PRODUCT}" Language="1033" Version="{options.version}"
 Manufacturer={attribute(options.publisher)} UpgradeCode="{options.upgrade_code}">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
<Media Id="1" Cabinet="lanterwell.cab" EmbedCab="yes"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of {PRODUCT} is installed."/>
<Property Id="SETUPPROGRAM"><RegistrySearch Id="SetupProgram" Root="HKLM" Key="{SHARED["UNINSTALL_KEY"]}"
 Name="UninstallString" Type="raw" Win64="{"yes" if win64 else "no"}"/></Property>
{launch_conditions(options, win64)}{product_properties(options, fixes)}{kept}{package_actions}
{shared_actions}
<InstallUISequence>{kept_steps}</InstallUISequence>
<InstallExecuteSequence>{kept_steps}{package_steps}{shared_steps}</InstallExecuteSequence>
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="{native_folder}" Name="{PROGRAM_FOLDERS[native_folder]}"><Directory Id="INSTALLDIR" Name="{PRODUCT}">{"".join(components)}</Directory></Directory>
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
