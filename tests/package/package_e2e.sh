#!/bin/bash
# The Debian package end to end: scripts/make-deb.sh builds it into a fresh
# folder, dpkg-deb unpacks it, and the checks run on what a user would install.
#
#   package_e2e.sh SOURCE_DIR BUILD_DIR TBHOST host|debuginfo
#
#   host       the package's fields, files and lintian's verdict; the stripped
#              library hosts dpf-plugins-vst's 3BandEQ in tbhost, first from a
#              folder it may write into (state file beside it), then, as an
#              unprivileged user, from a read-only one (state file in the
#              user's state folder, written and read back)
#   debuginfo  the separate debug file resolves addresses of the stripped
#              library, directly and through its debuglink
#
# Exits 77 (CTest's SKIP_RETURN_CODE) where a tool or the target is missing.
# Each run works in a fresh folder, kept and printed when a check fails.

set -u

source=$(cd "${1:?source folder}" && pwd)
build=$(cd "${2:?build folder}" && pwd)
tbhost=${3:?tbhost}
test=${4:?sub-command}

eq=/usr/lib/vst/3BandEQ-vst.so
maxBytes=$((3 * 1024 * 1024))

skip() { echo "skipped: $*"; exit 77; }

for tool in dpkg-deb dpkg-shlibdeps objcopy nm readelf addr2line; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$eq" ] || skip "$eq is not installed (dpf-plugins-vst)"
if [ ! -f "$build/Tattlebox.so" ] || [ ! -x "$build/fakebin/zenity" ] || [ ! -x "$tbhost" ]; then
    echo "FAIL: Tattlebox.so, fakebin/zenity or tbhost is missing in $build: build first"
    exit 1
fi

# The target's editor needs a display; ctest alone runs without one.
if [ -z "${DISPLAY:-}" ] && [ "$test" = host ] && [ -z "${TB_PACKAGE_DISPLAY:-}" ]; then
    TB_PACKAGE_DISPLAY=1 exec sh "$source/scripts/with-display.sh" bash "$0" "$@"
fi

# Open to the unprivileged user the read-only run is made as.
work=$(mktemp -d "${TMPDIR:-/tmp}/tb-package-$test.XXXXXX")
chmod 0755 "$work"
# shellcheck source=../support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
trap finish_checks EXIT

deb=$(sh "$source/scripts/make-deb.sh" "$build" "$work/out" 2>"$work/make-deb.err" | tail -n 1)
logs+=("$work/make-deb.err")
if [ ! -f "$deb" ]; then
    fail "make-deb.sh built a package"
    exit 1
fi
root=$work/root
dpkg-deb -x "$deb" "$root"
lib=$root/usr/lib/vst/Tattlebox.so
debugfile=$work/out/Tattlebox.so.debug

has_section() { readelf -SW "$1" | grep -q " $2 "; }
build_id() { readelf -n "$1" | sed -n 's/.*Build ID: //p'; }

#==============================================================================
check_package() {
    local version
    version=$(sed -n 's/^project *( *Tattlebox  *VERSION  *\([0-9][0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
    expect "package named tattlebox_${version}_$(dpkg --print-architecture).deb" \
        test "$(basename "$deb")" = "tattlebox_${version}_$(dpkg --print-architecture).deb"
    expect "Version is CMake's project version ($version)" test "$(dpkg-deb -f "$deb" Version)" = "$version"
    expect "Depends names the C and C++ runtimes" \
        bash -c "dpkg-deb -f '$deb' Depends | grep -q 'libc6 (>= ' && dpkg-deb -f '$deb' Depends | grep -q 'libstdc++6'"
    expect "user guide and copyright in /usr/share/doc/tattlebox" \
        test -s "$root/usr/share/doc/tattlebox/Tattlebox.html" -a -s "$root/usr/share/doc/tattlebox/copyright"
    expect "copyright names GPL-3 and the system's copy of it" \
        bash -c "grep -q '^License: GPL-3$' '$root/usr/share/doc/tattlebox/copyright' && grep -q /usr/share/common-licenses/GPL-3 '$root/usr/share/doc/tattlebox/copyright'"
    expect "md5sums match the files" bash -c "cd '$root' && md5sum --quiet -c <(dpkg-deb --ctrl-tarfile '$deb' | tar -xOf - ./md5sums)"

    local size
    size=$(stat -c %s "$lib")
    expect "library is at most 3 MB ($size bytes)" test "$size" -le "$maxBytes"
    expect "library carries no debug information" bash -c "! readelf -SW '$lib' | grep -q ' \.debug_'"
    expect "library has no symbol table beyond its exports" bash -c "! readelf -SW '$lib' | grep -q ' \.symtab '"
    expect "library exports main and VSTPluginMain" \
        bash -c "nm -D --defined-only '$lib' | grep -q ' T main$' && nm -D --defined-only '$lib' | grep -q ' T VSTPluginMain$'"

    if command -v lintian >/dev/null; then
        lintian --tag-display-limit 0 "$deb" > "$work/lintian.txt" 2>&1
        logs+=("$work/lintian.txt")
        expect "lintian reports no error or warning" bash -c "! grep -q '^[EW]: ' '$work/lintian.txt'"
    else
        echo "lintian is not installed: not run"
    fi
}

# host_eq NAME [COMMAND PREFIX...]: hosts 3BandEQ through the unpacked library
# with the dialog answered; stdout and stderr in $work/NAME.out and .err.
host_eq() {
    local name=$1
    shift
    logs+=("$work/$name.err")
    (cd "$work" && "$@" env PATH="$build/fakebin:$PATH" TB_ZENITY_ANSWER="$eq" \
        "$tbhost" --blocks 4 "$lib" > "$work/$name.out" 2> "$work/$name.err")
}

# Tattlebox's own lines for the session: the target's Close and its unloading.
expect_session_lines() {
    local name=$1
    expect "$name: tbhost exits with status 0" test "$2" -eq 0
    expect "$name: effClose logged" grep -Eq '^([0-9:.]+ )?\([0-9A-F]+\) 3BandEQ-vst\.so:effClose $' "$work/$name.err"
    expect "$name: unloading logged" \
        grep -Eq "^([0-9:.]+ )?\([0-9A-F]+\) 3BandEQ-vst\.so:Unloaded $eq$" "$work/$name.err"
    expect "$name: no failure to write the state" bash -c "! grep -q 'Failed to write logger state' '$work/$name.err'"
}

check_hosting() {
    local status home=$work/home

    # A folder the library may write into: the state file stays beside it.
    mkdir -p "$home"
    host_eq writable env HOME="$home" XDG_STATE_HOME="$work/state"
    status=$?
    expect_session_lines writable "$status"
    expect "writable: state file beside the library" test -s "$root/usr/lib/vst/Tattlebox.xml"
    expect "writable: the user state folder is left alone" test ! -e "$work/state"

    # A read-only folder, as in a system-wide install: the state goes to
    # ~/.local/state/tattlebox, and comes back from there.
    rm -f "$root/usr/lib/vst/Tattlebox.xml"
    chmod 0555 "$root/usr/lib/vst"
    local as=() user=$work/user
    mkdir -p "$user"
    if [ "$(id -u)" -eq 0 ]; then
        command -v setpriv >/dev/null || skip "setpriv is not installed"
        chown 65534:65534 "$user"
        as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
    local fallback=$user/.local/state/tattlebox/Tattlebox.xml

    host_eq readonly "${as[@]}" env -u XDG_STATE_HOME HOME="$user"
    status=$?
    expect_session_lines readonly "$status"
    expect "readonly: state file in ~/.local/state/tattlebox" test -s "$fallback"
    expect "readonly: nothing written beside the library" test ! -e "$root/usr/lib/vst/Tattlebox.xml"

    # Read back from there: with Log Time switched on in the saved state,
    # every line of the next session starts with the time of day.
    if [ -f "$fallback" ]; then
        "${as[@]}" sed -i 's/logTime="0"/logTime="1"/' "$fallback"
        host_eq reread "${as[@]}" env XDG_STATE_HOME="$user/.local/state" HOME="$user"
        status=$?
        expect_session_lines reread "$status"
        expect "reread: Log Time restored from the user state folder" \
            grep -Eq "^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} \([0-9A-F]+\) 3BandEQ-vst\.so:effClose $" "$work/reread.err"
    fi
}

#==============================================================================
check_debuginfo() {
    local address function
    address=$(nm -D --defined-only "$lib" | awk '$3 == "VSTPluginMain" { print $1 }')
    expect "VSTPluginMain has an address in the stripped library" test -n "$address"

    # main and VSTPluginMain are one function under two names.
    function=$(addr2line -f -e "$debugfile" "0x$address" | head -n 1)
    expect "addr2line resolves it to $function with the debug file" \
        bash -c "[ '$function' = main ] || [ '$function' = VSTPluginMain ]"
    expect "addr2line gives its source line" \
        bash -c "addr2line -e '$debugfile' '0x$address' | grep -q 'PluginEntry\.cpp:[0-9]'"
    expect "debug file and library share their build ID" \
        bash -c "[ -n '$(build_id "$lib")' ] && [ '$(build_id "$lib")' = '$(build_id "$debugfile")' ]"
    expect "debuglink names the debug file" \
        bash -c "readelf -p .gnu_debuglink '$lib' | grep -q 'Tattlebox\.so\.debug'"

    # gdb follows the link (and checks its checksum) beside the library.
    if command -v gdb >/dev/null; then
        mkdir -p "$work/gdb"
        cp "$lib" "$debugfile" "$work/gdb/"
        gdb -nx -batch -ex "info line VSTPluginMain" "$work/gdb/Tattlebox.so" > "$work/gdb.txt" 2>&1
        logs+=("$work/gdb.txt")
        expect "gdb finds the source line through the debuglink" grep -q 'PluginEntry\.cpp' "$work/gdb.txt"
    else
        echo "gdb is not installed: the debuglink is not followed"
    fi
}

case $test in
    host)      check_package; check_hosting ;;
    debuginfo) check_debuginfo ;;
    *)         echo "unknown sub-command $test"; exit 2 ;;
esac
