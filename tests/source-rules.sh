#!/usr/bin/env bash
# The rules of the source that no compiler enforces: product code copies and formats strings
# with the bounded (strsafe) calls only; every shell script passes shellcheck; the documents'
# links, characters and pictures hold; and the
# identifiers Lanterwell publishes keep their values, which registrations, packages and
# callers already hold (an upgrade must find the same class).
# usage: source-rules.sh SOURCE-DIR
set -u
. "$(dirname "$0")/checks.sh"
source=$1
cd "$source" || exit 1
files() { git ls-files -- "$@" 2>/dev/null; }
check "the source is a checkout, whose files git lists" test -n "$(files CMakeLists.txt)"

# What ships: the DLL's layers, the drive programs and the companion. wvsprintfA/W stay: they
# write at most 1024 characters, and every buffer they are given holds that many.
unbounded='\b(lstrcpyn?[AW]?|lstrcat[AW]?|w?sprintf[AW]?|swprintf|str(n?cpy|n?cat)|wcs(n?cpy|n?cat)|StrCpy[NW]*|StrCat[NW]*)[[:space:]]*\('
for file in $(files support registrar extension server drives companion | grep -E '\.(cpp|h)$'); do
    check "$file: bounded string calls only" not grep -nE "$unbounded" "$file"
done

# Every script, by its name or its first line.
scripts=$(files | while read -r file; do
    case $file in
    *.sh) echo "$file" ;;
    *.*) ;;
    *) head -n 1 "$file" 2>/dev/null | grep -q '^#!.*\b\(ba\)\?sh\b' && echo "$file" ;;
    esac
done)
for script in $scripts; do
    check "$script: shellcheck" shellcheck "$script"
done

# The documents: no picture's temporaries tracked, no control characters in Markdown (a form
# feed once stood where "C:\folder" was meant), every relative link leads to a file, and every
# picture is shown by a document.
for file in $(files | grep -E '\.png\.[^/]*\.png$'); do
    check "$file: a picture's temporary is not tracked" false
done
markdown=$(files '*.md')
for file in $markdown; do
    check "$file: no control characters" not grep -qP '[\x00-\x08\x0B\x0C\x0E-\x1F\x7F]' "$file"
    while read -r target; do
        check "$file: its link $target leads to a file" test -e "$(dirname "$file")/$target"
    done < <(grep -oP '\]\(\K[^)#[:space:]]+' "$file" | grep -vE '^[a-z]+:' | sort -u)
done
for picture in $(files 'docs/images/*.png' | grep -vE '\.png\.[^/]*\.png$'); do
    # shellcheck disable=SC2086  # the documents' names, one word each
    check "$picture: shown by a document" grep -qF "${picture##*/}" $markdown
done

# Each dialog's mnemonics, in each language: no two of its controls answer one Alt key.
while read -r dialog; do
    check "$dialog: each mnemonic once" test -z "$dialog"
done < <(awk '
    /^LANGUAGE / { language = $2 $3 }
    / DIALOGEX / { name = $1; delete seen; next }
    name && /^END/ { name = ""; next }
    name && match($0, /"[^"]*"/) {
        text = substr($0, RSTART + 1, RLENGTH - 2)
        gsub(/&&/, "", text)
        if (match(text, /&./)) {
            key = tolower(substr(text, RSTART + 1, 1))
            if (key in seen) print FILENAME ": " name " (" language "): &" key " twice"
            seen[key] = 1
        }
    }' drives/window/Drives.rc)
check "the dialogs' mnemonics are read" grep -q '(&A)' drives/window/Drives.rc

# The published identifiers as the build writes them out (cmake/Identifiers.cmake).
pinned="CLSID_SHELL_EXTENSION={5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}
CLSID_EXPLORER_COMMAND={35D1BE52-E400-4ACF-B650-7BE3F6E8B01E}
CLSID_EXPLORER_DELETE_COMMAND={55C7F9CC-54BA-408E-96AB-A17A69F88CBE}
IID_ISHELL_EXTENSION={C62B8D47-91E5-4F0C-B3A6-58E4D7019F2B}
LIBID_LANTERWELL={3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054}
APPID_LANTERWELL={A7E3C915-62D0-4B7E-8F24-D19B05E6C3A8}
MSI_UPGRADE_X64={71D876D3-846D-436D-9359-DB65456ED905}
MSI_UPGRADE_X86={E221F852-0A02-4B82-9DE0-FCFBD0150BA4}
LETTER_COUNT=26
POPUP_OFFSET=26
DELETE_OFFSET=27
COMMAND_COUNT=28"
for line in $pinned; do
    name=${line%%=*}
    check "$name keeps its value" test "${!name:-}" = "${line#*=}"
done
summary "source rules"
