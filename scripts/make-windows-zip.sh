#!/bin/sh
# make-windows-zip.sh WIN64BUILD WIN32BUILD OUTDIR
# OUTDIR/tattlebox-VERSION-windows.zip, one folder tattlebox-VERSION-windows/
# holding the 64-bit Tattlebox.dll, the 32-bit one in 32-bit/ (a folder of
# its own, so that each keeps its own Tattlebox.xml beside it), the user guide
# and the licence. Zipped by CMake, which the build needs anyway. Prints the
# zip's path.
set -e
[ $# -eq 3 ] || { echo "usage: $0 WIN64BUILD WIN32BUILD OUTDIR" >&2; exit 2; }
source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$3"
out=$(cd "$3" && pwd)
version=$(sed -n 's/^project *( *Tattlebox  *VERSION  *\([0-9][0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "make-windows-zip.sh: no project version in CMakeLists.txt" >&2; exit 1; }

for dll in "$1/Tattlebox.dll" "$2/Tattlebox.dll"; do
    [ -f "$dll" ] || { echo "make-windows-zip.sh: $dll is missing" >&2; exit 1; }
done

name=tattlebox-$version-windows
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/$name/32-bit"
cp "$1/Tattlebox.dll" "$work/$name/Tattlebox.dll"
cp "$2/Tattlebox.dll" "$work/$name/32-bit/Tattlebox.dll"
cp "$source/docs/Tattlebox.html" "$work/$name/Tattlebox.html"
cp "$source/LICENSE" "$work/$name/LICENSE.txt"

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || date +%s)}
stamp=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
rm -f "$out/$name.zip"
(cd "$work" && cmake -E tar cf "$out/$name.zip" --format=zip --mtime="$stamp UTC" "$name")
echo "$out/$name.zip"
