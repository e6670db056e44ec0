#!/usr/bin/env python3
"""Puts the tables of a benchmark run (build/bench-results/results.md, as bench/run writes it)
into the developer's guide: under each benchmark's heading in its Performance section, the
first table is replaced by the run's rows of every architecture, each row named by its
architecture. The prose around the tables is left as it is.

usage: guide-tables.py RESULTS GUIDE
"""
import re
import sys


def tables(results):
    """{title: (header lines, [rows])} from the run's output, rows prefixed "arch, "."""
    found, arch, title = {}, None, None
    for line in results.splitlines():
        section = re.match(r"^## \S+ \((\w+)\)$", line)
        if section:
            arch, title = section.group(1), None
        elif line.startswith("### ") and arch:
            title = line[4:].strip()
        elif line.startswith("|") and title:
            header, rows = found.setdefault(title, ([], []))
            if len(header) < 2 and not rows and (not header or set(line) <= set("|-: ")):
                if not header or line not in header:
                    header.append(line)
                continue
            if line in header:
                continue
            rows.append("| " + arch + ", " + line.lstrip("| "))
    return found


def replace(guide, found):
    lines, out, title, done = guide.splitlines(), [], None, set()
    index = 0
    while index < len(lines):
        line = lines[index]
        if line.startswith("## "):
            title = None
        elif line.startswith("### "):
            title = line[4:].strip()
        if line.startswith("|") and title in found and title not in done:
            while index < len(lines) and lines[index].startswith("|"):
                index += 1
            header, rows = found[title]
            out += header + rows
            done.add(title)
            continue
        out.append(line)
        index += 1
    missing = sorted(set(found) - done)
    if missing:
        sys.exit("guide-tables: no table in the guide for " + ", ".join(missing))
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as results:
        found = tables(results.read())
    with open(sys.argv[2], encoding="utf-8") as guide:
        text = guide.read()
    performance = text.index("\n## Performance\n")
    following = text.find("\n## ", performance + 1)
    following = len(text) if following < 0 else following
    section = replace(text[performance:following], found).rstrip("\n")
    with open(sys.argv[2], "w", encoding="utf-8") as guide:
        guide.write(text[:performance] + section + text[following:])


if __name__ == "__main__":
    main()
