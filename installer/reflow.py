#!/usr/bin/env python3
"""Copies a plain-text file for Windows readers: each paragraph on one line, which the setup
program's licence page and Notepad wrap to their own width (a text wrapped at 78 columns
breaks again in a narrower box), and CR LF line ends.

usage: reflow.py SOURCE DESTINATION
"""
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
with open(sys.argv[1], encoding="utf-8") as source:
    paragraphs = [" ".join(block.split()) for block in source.read().split("\n\n")]
with open(sys.argv[2], "w", encoding="utf-8", newline="\r\n") as destination:
    destination.write("\n\n".join(p for p in paragraphs if p) + "\n")
