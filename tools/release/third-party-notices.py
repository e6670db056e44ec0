#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt: the licences of the toolchain runtimes that Lanterwell's
binaries carry, as their link maps say (carried.py), taken from the licence files the
toolchains themselves ship; with --check, says whether a notices file has a section for each
component the binaries carry and none for any other.

usage: third-party-notices.py --zig ZIG-DIR --map ARCH=FILE.map... (--output FILE |
                              --check FILE [--setup SETUP.exe])

- x86 and x64 (mingw-w64 with GCC, Debian's packages): the mingw-w64 runtime's startup code
  and CRT, and winpthreads where a binary links it, from the package's machine-readable
  copyright file (/usr/share/doc/mingw-w64-common/copyright), a stanza of one source file only
  where the link maps show an object built from it; and GCC's runtime library exception, which
  covers libgcc and libstdc++ (/usr/share/doc/gcc-mingw-w64-base/copyright).
- ARM64 (Zig): Zig's own licence (its compiler runtime), the mingw-w64 runtime's licence with
  the notice of its number formatting (David M. Gay's gdtoa, under Lucent's notice), and the
  licences of libc++, libc++abi and libunwind, from Zig's lib folder.
- The setup program and its uninstaller (NSIS, Debian's package): NSIS's own licence, which
  covers its stub and zlib, the LZMA compressor's licence with its exception, and the System
  plug-in's call code, from /usr/share/doc/nsis/copyright. NSIS's code inside the setup program
  was built by Debian's mingw-w64 GCC too: what of its runtime each part carries is read from
  the part itself (carried.in_code), and the part is named where that runtime's licence is.
  With --setup, the check also reads the setup program: every part of NSIS's code in it is
  one of NSIS_CODE and carries what the notices say.

The ZPL and the MIT-style licences ask that a binary distribution reproduce their notices;
GCC's exception and the LLVM exception ask nothing of a program compiled with them, and are
included so that a reader sees why.
"""
import argparse
import os
import re
import subprocess
import sys
import textwrap

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import carried  # noqa: E402  (what each binary carries, from its link map)
import package_contents  # noqa: E402  (what the setup program holds)

MINGW_COPYRIGHT = "/usr/share/doc/mingw-w64-common/copyright"
GCC_COPYRIGHT = "/usr/share/doc/gcc-mingw-w64-base/copyright"
NSIS_COPYRIGHT = "/usr/share/doc/nsis/copyright"
# What the runtime of a mingw-w64 program is made of, and winpthreads, which only a program
# that links it carries; the rest of mingw-w64 (headers, tools, tests, other libraries) is not
# in the binaries.
MINGW_LINKED = ("mingw-w64-crt/",)
WINPTHREADS_LINKED = ("mingw-w64-libraries/winpthreads/",)
# The profiling runtime, linked only into programs built for gprof: none of Lanterwell's.
MINGW_UNLINKED = ("mingw-w64-crt/profile/",)
# What of NSIS goes into a setup program made with SetCompressor lzma: the stub and zlib (NSIS's
# own licence), the LZMA decoder and the System plug-in's call code; not bzip2, nor makensis's
# own sources.
NSIS_PACKED = ("*", "Source/7zip/*", "Contrib/System/Source/Call.S")
GCC_EXCEPTION_FIRST = "GCC RUNTIME LIBRARY EXCEPTION"
GCC_EXCEPTION_LAST = "requirements of the license of GCC."
# Each component a binary may carry, by toolchain, with its section's title and where its
# notice is: a function of the Zig folder for ARM64's.
GNU_SECTIONS = [
    ("mingw-w64", "mingw-w64 runtime (x86 and x64)",
     lambda zig, stems: notices_of(MINGW_COPYRIGHT, linked(MINGW_LINKED, stems, True))),
    ("winpthreads", "winpthreads, mingw-w64's POSIX threads (x86 and x64)",
     lambda zig, stems: notices_of(MINGW_COPYRIGHT, linked(WINPTHREADS_LINKED, stems, False))),
    ("GCC runtime", "GCC runtime libraries (x86 and x64)", lambda zig, stems: gcc_exception()),
]
ZIG_FILES = [
    ("Zig compiler runtime", "Zig's compiler runtime (ARM64)", "LICENSE"),
    ("mingw-w64", "mingw-w64 runtime (ARM64)", "lib/libc/mingw/COPYING"),
    ("gdtoa", "gdtoa, the mingw-w64 runtime's number formatting (ARM64)",
     "lib/libc/mingw/gdtoa/gdtoa.c"),
    ("libc++", "libc++ (ARM64)", "lib/libcxx/LICENSE.TXT"),
    ("libc++abi", "libc++abi (ARM64)", "lib/libcxxabi/LICENSE.TXT"),
    ("libunwind", "libunwind (ARM64)", "lib/libunwind/LICENSE.TXT"),
]
NSIS_TITLE = "NSIS (the setup program and its uninstaller)"
# NSIS's code inside the setup program (Unicode, SetCompressor lzma), below NSIS's folder: the
# stub, which the uninstaller is too, the plug-ins the installer's scripts call, and the
# registry tool of its Library.nsh. Named "setup/..." where it carries a runtime.
NSIS_CODE = {
    "setup/stub": "Stubs/lzma-x86-unicode",
    "setup/System.dll": "Plugins/x86-unicode/System.dll",
    "setup/nsDialogs.dll": "Plugins/x86-unicode/nsDialogs.dll",
    "setup/nsExec.dll": "Plugins/x86-unicode/nsExec.dll",
    "setup/RegTool": "Bin/RegTool-x86.bin",
}
RULE = "#" * 78


def read(path):
    try:
        with open(path, encoding="utf-8") as source:
            return source.read()
    except OSError as error:
        sys.exit(f"third-party-notices: {error}")


def paragraphs(text):
    """The paragraphs of a machine-readable copyright file, each a dict of field to lines."""
    result = []
    for block in text.split("\n\n"):
        fields, name = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and name:
                fields[name].append("" if line.strip() == "." else line[1:])
            elif ":" in line:
                name, value = line.split(":", 1)
                fields[name] = [value.strip()]
        if fields:
            result.append(fields)
    return result


def linked(trees, stems, everything):
    """Whether a stanza's files are carried: under one of the trees, not tests or profiling,
    and a source file named by itself only where an object built from it is linked (`stems`);
    the copyright file's "*" stanza, where `everything`."""
    def carried_file(pattern):
        if pattern == "*":
            return everything
        if not pattern.startswith(trees) or "/tests" in pattern or \
                pattern.startswith(MINGW_UNLINKED):
            return False
        name, extension = os.path.splitext(os.path.basename(pattern))
        return extension not in (".c", ".S") or "*" in name or name in stems
    return lambda files: any(carried_file(pattern) for pattern in files)


def packed(files):
    return any(pattern in NSIS_PACKED for pattern in files)


def notices_of(copyright_file, carried):
    """The stanzas of a machine-readable copyright file whose files `carried` says are in the
    binaries, with the texts of the licences they name."""
    stanzas = paragraphs(read(copyright_file))
    texts = {p["License"][0]: p["License"][1:] for p in stanzas
             if "License" in p and "Files" not in p}
    out, named = [], []
    for stanza in stanzas:
        files = " ".join(stanza.get("Files", [])).split()
        if not files or not carried(files):
            continue
        licence = stanza["License"][0]
        shown = [pattern for pattern in files if carried([pattern])]
        out += ["Files: " + "\n       ".join(shown), "Copyright: " + "\n  ".join(stanza["Copyright"]),
                "License: " + licence] + stanza["License"][1:] + [""]
        # A licence named without its text has a paragraph of its own; "A and B" names two.
        if len(stanza["License"]) == 1:
            named += [part for part in re.split(r" and | or ", licence) if part not in named]
    for licence in named:
        if licence not in texts:
            sys.exit(f"third-party-notices: no text for licence {licence} in {copyright_file}")
        out += [f"License {licence}:"] + texts[licence] + [""]
    return "\n".join(out)


def gcc_exception():
    text = read(GCC_COPYRIGHT)
    first = text.find(GCC_EXCEPTION_FIRST)
    last = text.find(GCC_EXCEPTION_LAST, first)
    if first < 0 or last < 0:
        sys.exit(f"third-party-notices: {GCC_COPYRIGHT} holds no GCC runtime library exception")
    return ("libgcc and libstdc++ are GCC's runtime libraries, under the GNU GPL version 3 with "
            "this exception:\n\n" + text[first:last + len(GCC_EXCEPTION_LAST)])


def leading_comment(source):
    """The notice a source file opens with: its first comment, without the comment marks."""
    first = source.find("/*")
    last = source.find("*/", first)
    if first < 0 or last < 0:
        sys.exit("third-party-notices: a source file without its notice")
    return source[first + 2:last].strip("*\n ")


def section(title, body):
    return f"{RULE}\n{title}\n{RULE}\n\n{body.strip()}\n\n"


def zig_notice(zig, path):
    text = read(f"{zig}/{path}")
    return leading_comment(text) if path.endswith(".c") else text


def sections(zig):
    """(toolchain, component, title, notice-maker) for every component there is a notice of."""
    found = [("gnu", component, title, make) for component, title, make in GNU_SECTIONS]
    found += [("zig", component, title, lambda zig, stems, path=path: zig_notice(zig, path))
              for component, title, path in ZIG_FILES]
    return found


def carried_by(zig, maps):
    """For each (toolchain, component) the binaries carry, the binaries that carry it."""
    found = {}
    for arch, path in maps:
        toolchain = "zig" if arch == "arm64" else "gnu"
        binary = f"{arch}/{os.path.basename(path)[:-len('.map')]}"
        try:
            components = carried.carried(path, zig)
        except carried.Unclassified as unknown:
            sys.exit(f"third-party-notices: {binary} carries {unknown}, which no notice covers")
        for component in components:
            found.setdefault((toolchain, component), []).append(binary)
    return found


def nsis_folder():
    """NSIS's folder, as makensis reports it."""
    try:
        header = subprocess.run(["makensis", "-HDRINFO"], capture_output=True, text=True).stdout
    except OSError as error:
        sys.exit(f"third-party-notices: makensis: {error}")
    found = re.search(r"NSISDIR=([^,\n]*)", header)
    if not found:
        sys.exit("third-party-notices: makensis names no NSIS folder")
    return found.group(1).strip().strip('"')


def carried_by_nsis(parts):
    """For each GNU component NSIS's code carries, the parts that carry it: `parts` maps a
    part's name to its bytes."""
    found = {}
    for name, data in sorted(parts.items()):
        for component in carried.in_code(data):
            found.setdefault(("gnu", component), []).append(name)
    return found


def nsis_parts():
    folder = nsis_folder()
    parts = {}
    for name, path in NSIS_CODE.items():
        with open(os.path.join(folder, path), "rb") as data:
            parts[name] = data.read()
    return parts


def setup_parts(setup):
    """NSIS's code as the setup program holds it, by the names of NSIS_CODE: the setup program
    is the stub; its uninstaller is the stub again."""
    with open(setup, "rb") as data:
        parts = {"setup/stub": data.read()}
    stray = []
    for name, data in package_contents.contents(setup).items():
        base = os.path.basename(name)
        if name == "uninstall.exe":
            parts["setup/uninstall.exe"] = data
        elif base.startswith("NSIS.Library.RegTool"):
            parts["setup/RegTool"] = data
        elif name.startswith("$PLUGINSDIR/") and data.startswith(b"MZ"):
            if "setup/" + base in NSIS_CODE:
                parts["setup/" + base] = data
            else:
                stray.append(name)
    return parts, stray


def merged(first, second):
    found = {key: list(value) for key, value in first.items()}
    for key, names in second.items():
        found.setdefault(key, []).extend(names)
    return found


def carried_lines(path):
    """{section title: the names its "Carried by" line gives}."""
    with open(path, encoding="utf-8") as notices:
        lines = notices.read().splitlines()
    found, title = {}, None
    for i, line in enumerate(lines):
        if 0 < i < len(lines) - 1 and lines[i - 1] == RULE and lines[i + 1] == RULE:
            title = line
        elif line.startswith("Carried by: ") and title:
            text = line[len("Carried by: "):]
            for more in lines[i + 1:]:
                if not more.startswith("  "):
                    break
                text += " " + more.strip()
            found[title] = {name.strip() for name in text.split(",")}
    return found


def titles_in(path):
    with open(path, encoding="utf-8") as notices:
        lines = notices.read().splitlines()
    return {lines[i] for i in range(1, len(lines) - 1)
            if lines[i - 1] == RULE and lines[i + 1] == RULE}


def sources_named(path):
    """The mingw-w64 source files a notices file names one by one, in its Files fields."""
    with open(path, encoding="utf-8") as notices:
        lines = notices.read().splitlines()
    named, in_files = [], False
    for line in lines:
        in_files = line.startswith("Files: ") or in_files and line.startswith("       ")
        pattern = line.split()[-1] if in_files and line.strip() else ""
        if pattern.startswith("mingw-w64-") and pattern.endswith((".c", ".S")) and \
                "*" not in os.path.basename(pattern):
            named.append(pattern)
    return named


def gnu_sources(maps):
    return set().union(*(carried.sources(path) for arch, path in maps if arch != "arm64"))


def check(zig, maps, path, setup):
    """Whether the file has a section for every carried component and for nothing else, each
    naming what carries it, and names no source file that no binary links an object of."""
    problems = []
    nsis = nsis_parts()
    if setup:
        held, stray = setup_parts(setup)
        problems += [f"the setup program holds {name}, which NSIS_CODE does not know"
                     for name in stray]
        # The uninstaller is the stub again, and the stub's marks are the setup program's.
        stub = carried.in_code(held.pop("setup/uninstall.exe", held["setup/stub"]))
        if stub != carried.in_code(held["setup/stub"]):
            problems.append("uninstall.exe carries other than the setup program's stub")
        problems += [f"{name} in the setup program carries other than NSIS's own"
                     for name, data in held.items()
                     if name in nsis and carried.in_code(data) != carried.in_code(nsis[name])]
    carriers = merged(carried_by(zig, maps), carried_by_nsis(nsis))
    known = {(toolchain, component) for toolchain, component, _, _ in sections(zig)}
    wanted = {title for toolchain, component, title, _ in sections(zig)
              if (toolchain, component) in carriers} | {NSIS_TITLE}
    present = titles_in(path)
    problems += [f"carried by {', '.join(carriers[key])}, but no notice knows {key[1]}"
                 for key in sorted(set(carriers) - known)]
    said = carried_lines(path)
    problems += [f"{title!r} says it is carried by {sorted(said.get(title, set()))}, not "
                 f"{sorted(carriers[(toolchain, component)])}"
                 for toolchain, component, title, _ in sections(zig)
                 if (toolchain, component) in carriers and title in present and
                 said.get(title) != set(carriers[(toolchain, component)])]
    problems += [f"no section {title!r}" for title in sorted(wanted - present)]
    problems += [f"a section {title!r} for what no binary carries"
                 for title in sorted(present - wanted)]
    stems = gnu_sources(maps)
    problems += [f"{source}: no binary links an object built from it"
                 for source in sources_named(path)
                 if os.path.splitext(os.path.basename(source))[0] not in stems]
    for problem in problems:
        print("notices:", problem)
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zig", required=True, help="the Zig folder the ARM64 build uses")
    parser.add_argument("--map", action="append", default=[], required=True,
                        help="ARCH=FILE: a shipped binary's link map")
    action = parser.add_mutually_exclusive_group(required=True)
    action.add_argument("--output")
    action.add_argument("--check")
    parser.add_argument("--setup", help="with --check: the setup program made with them")
    options = parser.parse_args()
    maps = [tuple(pair.split("=", 1)) for pair in options.map]
    if options.check:
        sys.exit(check(options.zig, maps, options.check, options.setup))
    carriers = merged(carried_by(options.zig, maps), carried_by_nsis(nsis_parts()))
    stems = gnu_sources(maps)
    notices = ("Lanterwell's binaries include parts of the runtimes of the toolchains that "
               "build them, and its setup program parts of NSIS, whose own code carries parts of "
               "the mingw-w64 and GCC runtimes too (setup/stub is the setup program's code, and "
               "its uninstaller's). Their licences follow, each with the binaries that carry "
               "it.\n\n")
    for toolchain, component, title, make in sections(options.zig):
        binaries = carriers.get((toolchain, component))
        if binaries:
            carriers_line = textwrap.fill("Carried by: " + ", ".join(sorted(binaries)), 78,
                                          subsequent_indent="  ")
            notices += section(title, carriers_line + "\n\n" + make(options.zig, stems))
    notices += section(NSIS_TITLE, notices_of(NSIS_COPYRIGHT, packed))
    with open(options.output, "w", encoding="utf-8", newline="\r\n") as output:
        output.write(notices)


if __name__ == "__main__":
    main()
