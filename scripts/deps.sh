#!/bin/sh
# Installs every Debian package that building, testing and the demo need,
# skipping what is already there. Safe to run again.
# `deps.sh windows` installs instead what the mingw-w64 cross build needs
# (scripts/win-deps.sh asks for it), so that Linux builds never wait for it.
set -e
if [ "$1" = windows ]; then PACKAGES="
build-essential cmake ccache juce-modules-source
mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
dpkg-dev wine wine64
"; else PACKAGES="
build-essential cmake pkg-config ccache
juce-modules-source fst-dev
libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
libfreetype-dev libfontconfig1-dev libasound2-dev
googletest libgtest-dev libgmock-dev libbenchmark-dev
clang libclang-rt-14-dev
xvfb xauth openbox xdotool wmctrl x11-utils imagemagick fonts-dejavu-core
dpf-plugins-vst lsp-plugins-vst iem-plugin-suite-vst zynaddsubfx-vst dragonfly-reverb-vst
ardour qtractor jackd2
valgrind binutils dpkg-dev lintian gdb
"; fi
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
