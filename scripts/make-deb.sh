#!/bin/sh
# make-deb.sh BUILD OUTDIR
# Packages BUILD/Tattlebox.so (stripped) and its user guide as a Debian binary
# package, OUTDIR/tattlebox_VERSION_ARCH.deb, with Debian's own tools only.
# The debug information stays in OUTDIR/Tattlebox.so.debug, which the packaged
# library's debuglink names. Prints the package's path.
#   TB_DEB_MAINTAINER  the Maintainer field (name <address>)
set -e
[ $# -eq 2 ] || { echo "usage: $0 BUILD OUTDIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source=$(dirname "$here")
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)

# The version is CMake's project version, the one the user guide's title carries.
version=$(sed -n 's/^project *( *Tattlebox  *VERSION  *\([0-9][0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || { echo "make-deb.sh: no project version in CMakeLists.txt" >&2; exit 1; }
arch=$(dpkg --print-architecture)
maintainer=${TB_DEB_MAINTAINER:-Tattlebox developers <tattlebox@example.org>}

# Dates from the last commit, so that the same tree gives the same package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$source" log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
year=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps reads the package from where debian/rules would build it.
root=$work/src/debian/tattlebox
doc=$root/usr/share/doc/tattlebox
mkdir -p "$root/DEBIAN" "$root/usr/lib/vst" "$doc"

sh "$here/strip-library.sh" "$build/Tattlebox.so" "$root/usr/lib/vst/Tattlebox.so" "$out/Tattlebox.so.debug"
install -m 0644 "$build/Tattlebox.html" "$doc/Tattlebox.html"

# Registered with doc-base, which lists it in the system's documentation browsers.
mkdir -p "$root/usr/share/doc-base"
cat > "$root/usr/share/doc-base/tattlebox.tattlebox" <<DOCBASE
Document: tattlebox
Title: Tattlebox user guide
Abstract: How to put Tattlebox between a VST 2 host and a plug-in,
 what its control window does and how to read its log.
Section: Sound

Format: HTML
Index: /usr/share/doc/tattlebox/Tattlebox.html
Files: /usr/share/doc/tattlebox/Tattlebox.html
DOCBASE

# A native package's changelog; this package has no history of its own yet.
{
    echo "tattlebox ($version) unstable; urgency=medium"
    echo
    echo "  * Release $version."
    echo
    echo " -- $maintainer  $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
} > "$doc/changelog"
gzip -9n "$doc/changelog"

cat > "$doc/copyright" <<COPYRIGHT
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tattlebox
Comment: Tattlebox.so is statically linked with modules of the JUCE framework,
 as Debian's juce-modules-source package ships them.

Files: *
Copyright: $year Tattlebox developers
License: GPL-3

Files: JUCE/modules/*
Copyright: 2015-2022, Raw Material Software Ltd
License: GPL-3

Files: JUCE/modules/juce_core/* JUCE/modules/juce_events/* JUCE/modules/juce_audio_basics/*
Copyright: 2015-2023, Raw Material Software Ltd
License: ISC

License: GPL-3
 This program is free software: you can redistribute it and/or modify
 it under the terms of the GNU General Public License version 3 as
 published by the Free Software Foundation.
 .
 This program is distributed in the hope that it will be useful,
 but WITHOUT ANY WARRANTY; without even the implied warranty of
 MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.  See the
 GNU General Public License for more details.
 .
 On Debian systems, the complete text of the GNU General Public License
 version 3 can be found in "/usr/share/common-licenses/GPL-3".

License: ISC
 Permission to use, copy, modify, and distribute this software for any
 purpose with or without fee is hereby granted, provided that the above
 copyright notice and this permission notice appear in all copies.
 .
 THE SOFTWARE IS PROVIDED "AS IS" AND THE AUTHOR DISCLAIMS ALL WARRANTIES
 WITH REGARD TO THIS SOFTWARE INCLUDING ALL IMPLIED WARRANTIES OF
 MERCHANTABILITY AND FITNESS. IN NO EVENT SHALL THE AUTHOR BE LIABLE FOR ANY
 SPECIAL, DIRECT, INDIRECT, OR CONSEQUENTIAL DAMAGES OR ANY DAMAGES
 WHATSOEVER RESULTING FROM LOSS OF USE, DATA OR PROFITS, WHETHER IN AN
 ACTION OF CONTRACT, NEGLIGENCE OR OTHER TORTIOUS ACTION, ARISING OUT OF OR
 IN CONNECTION WITH THE USE OR PERFORMANCE OF THIS SOFTWARE.
COPYRIGHT

# dpkg-shlibdeps wants a source package's control file to read.
printf 'Source: tattlebox\n\nPackage: tattlebox\nArchitecture: %s\n' "$arch" > "$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O -e debian/tattlebox/usr/lib/vst/Tattlebox.so | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

# The framework opens the X libraries itself (none is needed without a
# display), and its file dialog runs zenity or kdialog.
cat > "$root/DEBIAN/control" <<CONTROL
Package: tattlebox
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size "$root/usr" | cut -f1)
Depends: $depends
Recommends: zenity | kdialog, libx11-6, libxext6, libxrandr2, libxinerama1, libxcursor1
Suggests: libxss1
Section: sound
Priority: optional
Description: VST 2 plug-in that logs every call between a host and a plug-in
 Tattlebox is loaded by a VST 2 host like any effect or instrument, asks for
 another VST 2 plug-in, the target, hosts it and hands the host the target's
 own record. Every dispatcher, processing and parameter call from the host
 and every host callback from the target is counted, written to standard
 error when its switch is on, and forwarded unchanged; audio passes bit for
 bit.
 .
 A control window turns logging on and off per opcode and shows live
 counters. Hosts find the plug-in in /usr/lib/vst; its settings are kept in
 ~/.local/state/tattlebox. It is a debugging instrument for plug-in and host
 developers.
CONTROL

(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

deb=$out/tattlebox_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
