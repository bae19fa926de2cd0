#!/bin/sh
# Builds static libpng and libjpeg-turbo for a mingw-w64 target into PREFIX,
# from Debian's own source packages (with Debian's patches), for the image
# codecs of the Windows JUCE build. Debian's JUCE has its bundled copies
# removed, and Debian ships neither library for mingw. zlib comes from
# libz-mingw-w64-dev.
#
#   sh scripts/win-deps.sh x86_64|i686 PREFIX
#
# The sources are fetched once into PREFIX/../src; a stamp in PREFIX makes a
# second run instant (a changed script or toolchain file builds again).
set -e

ARCH=$1
PREFIX=$2
case "$ARCH" in
    x86_64|i686) ;;
    *) echo "usage: $0 x86_64|i686 PREFIX" >&2; exit 2 ;;
esac
[ -n "$PREFIX" ] || { echo "usage: $0 x86_64|i686 PREFIX" >&2; exit 2; }

TOP=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$PREFIX"
PREFIX=$(cd "$PREFIX" && pwd)
ROOT=$(dirname "$PREFIX")
SRC=$ROOT/src
WORK=$ROOT/build-$ARCH
TRIPLE=$ARCH-w64-mingw32
TOOLCHAIN=$TOP/cmake/toolchains/mingw-$ARCH.cmake
STAMP=$PREFIX/.win-deps.stamp

stamp_id=$(cat "$0" "$TOOLCHAIN" "$TOP/cmake/toolchains/mingw-common.cmake" | md5sum)
if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$stamp_id" ]; then
    exit 0
fi

sh "$TOP/scripts/deps.sh" windows

# Writes deb-src entries for the Debian archive entries among apt's own
# sources: same URIs, suites, components and keys; third-party ones are left out.
write_source_lists() {
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk -v codename="$codename" '
            function keep(suites,   n, i, s, out) {
                n = split(suites, s, /[ \t]+/); out = ""
                for (i = 1; i <= n; i++)
                    if (s[i] == codename || index(s[i], codename "-") == 1)
                        out = out (out == "" ? "" : " ") s[i]
                return out
            }
            function flush(   suites) {
                suites = keep(f["suites"])
                if (f["types"] ~ /(^|[ \t])deb([ \t]|$)/ && f["uris"] != "" && suites != "" \
                    && tolower(f["enabled"]) != "no") {
                    print "Types: deb-src"
                    print "URIs: " f["uris"]
                    print "Suites: " suites
                    print "Components: " f["components"]
                    if (f["signed-by"] ~ /^\//) print "Signed-By: " f["signed-by"]
                    print ""
                }
                split("", f); last = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^[^ \t][^:]*:/ {
                last = tolower(substr($0, 1, index($0, ":") - 1))
                v = substr($0, index($0, ":") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v)
                f[last] = v; next
            }
            { v = $0; gsub(/^[ \t]+|[ \t]+$/, "", v); if (last != "") f[last] = f[last] " " v }
            END { flush() }
        ' "$f"
    done > "$APT_DIR/sources.list.d/debian-src.sources"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        awk -v codename="$codename" '
            $1 == "deb" {
                i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++
                if ($2 ~ /^\[/) i++
                suite = $(i + 1)
                if (suite == codename || index(suite, codename "-") == 1) { $1 = "deb-src"; print }
            }' "$f"
    done > "$APT_DIR/sources.list.d/debian-src.list"
    if ! grep -q . "$APT_DIR/sources.list.d/debian-src.sources" "$APT_DIR/sources.list.d/debian-src.list"; then
        echo "win-deps: no Debian archive entry for $codename among apt's sources" >&2
        exit 1
    fi
}

# apt-get runs on a private list and cache folder: the system's sources and
# package lists stay as they are, and no root is needed.
fetch_sources() {
    ls -d "$SRC"/libpng1.6-*/ "$SRC"/libjpeg-turbo-*/ >/dev/null 2>&1 && return 0
    APT_DIR=$SRC/apt
    mkdir -p "$APT_DIR/sources.list.d" "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
    write_source_lists
    set -- -q -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$APT_DIR/sources.list.d" \
        -o "Dir::State::Lists=$APT_DIR/lists" -o "Dir::Cache=$APT_DIR/cache"
    # As root, apt would hand the download to its _apt user, who cannot write here.
    [ "$(id -u)" -eq 0 ] && set -- "$@" -o APT::Sandbox::User=root
    apt-get "$@" update >/dev/null
    # Newest version first; a mirror may not yet (or no longer) hold every
    # version its index lists, so older ones are tried next.
    for pkg in libpng1.6 libjpeg-turbo; do
        for ver in $(apt-cache "$@" showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV); do
            (cd "$SRC" && apt-get "$@" --only-source source "$pkg=$ver" >/dev/null 2>&1) && continue 2
            echo "win-deps: $pkg $ver could not be fetched, trying an older one" >&2
        done
        echo "win-deps: no version of $pkg could be fetched" >&2
        exit 1
    done
    rm -rf "$SRC"/*.orig.tar.* "$SRC"/*.debian.tar.* "$SRC"/*.dsc "$APT_DIR"
}

mkdir -p "$SRC"
# One fetch when the two architectures are built side by side.
(
    flock 9
    fetch_sources
) 9>"$SRC/.lock"

PNG_SRC=$(ls -d "$SRC"/libpng1.6-*/ | tail -n 1)
JPEG_SRC=$(ls -d "$SRC"/libjpeg-turbo-*/ | tail -n 1)

set -- -G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="-ffunction-sections -fdata-sections" -DCMAKE_INSTALL_PREFIX="$PREFIX" -Wno-dev
command -v ccache >/dev/null && set -- "$@" -DCMAKE_C_COMPILER_LAUNCHER=ccache
JOBS=$(nproc)

# Only the static libraries are built, no tools or tests, and installed by hand.
build_png() {
    cmake -S "$PNG_SRC" -B "$WORK/png" "$@" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR="/usr/$TRIPLE/include" \
        -DZLIB_LIBRARY="/usr/$TRIPLE/lib/libz.a" >/dev/null
    cmake --build "$WORK/png" --target png_static -j "$JOBS" >/dev/null
    cp "$PNG_SRC/png.h" "$PNG_SRC/pngconf.h" "$WORK/png/pnglibconf.h" "$PREFIX/include/"
    cp "$WORK/png/libpng16.a" "$PREFIX/lib/libpng16.a"
}

build_jpeg() {
    cmake -S "$JPEG_SRC" -B "$WORK/jpeg" "$@" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF -DWITH_JAVA=OFF >/dev/null
    cmake --build "$WORK/jpeg" --target jpeg-static -j "$JOBS" >/dev/null
    # jpegint.h too, as in Debian's libjpeg-dev: JUCE builds with JPEG_INTERNALS.
    cp "$JPEG_SRC/jpeglib.h" "$JPEG_SRC/jmorecfg.h" "$JPEG_SRC/jerror.h" "$JPEG_SRC/jpegint.h" \
        "$PREFIX/include/"
    # JUCE includes jpeglib.h inside a namespace after <windows.h>, and names
    # that namespace's "boolean"; jconfig.h leaves it out once rpcndr.h has
    # declared the global one. Declared always: the type is the same,
    # unsigned char, so the library's ABI does not change.
    guard='#ifndef __RPCNDR_H__ '
    grep -q "^$guard" "$WORK/jpeg/jconfig.h" || {
        echo "win-deps: jconfig.h no longer guards boolean with __RPCNDR_H__; review the fix" >&2
        exit 1
    }
    sed "/^$guard/,/^#endif/{/^#ifndef/d;/^#endif/d}" "$WORK/jpeg/jconfig.h" > "$PREFIX/include/jconfig.h"
    cp "$WORK/jpeg/libjpeg.a" "$PREFIX/lib/libjpeg.a"
}

rm -f "$STAMP"
mkdir -p "$PREFIX/include" "$PREFIX/lib"
# Side by side: each spends much of its time in configure checks. (Run in the
# background so that set -e holds inside them, which it would not under ||.)
build_png "$@" > "$WORK.png.log" 2>&1 &
png_pid=$!
build_jpeg "$@" > "$WORK.jpeg.log" 2>&1 &
jpeg_pid=$!
wait $png_pid || { cat "$WORK.png.log" >&2; exit 1; }
wait $jpeg_pid || { cat "$WORK.jpeg.log" >&2; exit 1; }
echo "$stamp_id" > "$STAMP"
echo "win-deps: libpng and libjpeg-turbo for $TRIPLE in $PREFIX"
