#!/bin/sh
# strip-library.sh LIBRARY STRIPPED DEBUGFILE
# Writes the shipped form of a built library: STRIPPED without its debug
# information, carrying a GNU debuglink to DEBUGFILE, which keeps the debug
# information for backtraces (gdb finds it beside the stripped copy, or by its
# build ID; `addr2line -f -e DEBUGFILE ADDRESS` reads it directly).
# Both are written under temporary names first, so that a reader never sees a
# library whose link does not match its debug file.
set -e
[ $# -eq 3 ] || { echo "usage: $0 LIBRARY STRIPPED DEBUGFILE" >&2; exit 2; }
library=$1 stripped=$2 debugfile=$3
mkdir -p "$(dirname "$stripped")" "$(dirname "$debugfile")"

objcopy --only-keep-debug "$library" "$debugfile.tmp"
chmod 0644 "$debugfile.tmp"
mv -f "$debugfile.tmp" "$debugfile"

# The link holds the debug file's name and checksum; objcopy reads the file
# under the name it is given, so it is given the final one.
objcopy --strip-debug --strip-unneeded --remove-section=.comment --remove-section=.note \
    --add-gnu-debuglink="$debugfile" "$library" "$stripped.tmp"
chmod 0644 "$stripped.tmp"
mv -f "$stripped.tmp" "$stripped"
