#!/usr/bin/env python3
"""Links as Zig links and writes the link's map beside its output (OUTPUT.map), for the notices
of what each binary carries: Zig's linker takes no map option, so the link it ran (which
ZIG_VERBOSE_LINK prints) is run once more by Zig's own lld-link with one, into a scratch folder.

usage: zig-link-map.py ZIG LINK-COMMAND...   (the CXX_LINKER_LAUNCHER of a shipped target)
"""
import os
import subprocess
import sys
import tempfile

VERBOSE_LINE = "lld-link "
# The link's own outputs, which the second link writes into the scratch folder instead.
OUTPUTS = ("-OUT:", "-IMPLIB:", "-PDB:", "-PDBALTPATH:")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    zig, command = sys.argv[1], sys.argv[2:]
    if "-o" not in command:
        sys.exit("zig-link-map: a link without -o")
    output = os.path.abspath(command[command.index("-o") + 1])
    result = subprocess.run(command, env=dict(os.environ, ZIG_VERBOSE_LINK="1"),
                            stderr=subprocess.PIPE, text=True)
    lines = result.stderr.splitlines(keepends=True)
    sys.stderr.write("".join(line for line in lines if not line.startswith(VERBOSE_LINE)))
    if result.returncode:
        return result.returncode
    links = [line for line in lines if line.startswith(VERBOSE_LINE)]
    if not links:
        sys.exit("zig-link-map: Zig did not say how it linked " + output)
    # Zig prints the arguments joined by blanks: a path with a blank would read as two.
    arguments = links[-1].split()[1:]
    with tempfile.TemporaryDirectory() as scratch:
        kept = [a for a in arguments if not a.upper().startswith(OUTPUTS)]
        kept += ["-OUT:" + os.path.join(scratch, "out"), "-IMPLIB:" + os.path.join(scratch, "lib"),
                 "-PDB:" + os.path.join(scratch, "pdb"), "/lldmap:" + output + ".map"]
        subprocess.run([zig, "lld-link"] + kept, check=True,
                       stdout=subprocess.DEVNULL)
    return 0


if __name__ == "__main__":
    sys.exit(main())
