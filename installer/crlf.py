#!/usr/bin/env python3
"""Copies a text file with Windows line ends (CR LF), as the setup program's licence page and
Notepad on older Windows read it.

usage: crlf.py SOURCE DESTINATION
"""
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
with open(sys.argv[1], encoding="utf-8") as source:
    text = source.read()
with open(sys.argv[2], "w", encoding="utf-8", newline="\r\n") as destination:
    destination.write(text)
