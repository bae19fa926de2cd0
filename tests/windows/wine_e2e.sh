#!/bin/bash
# End-to-end tests of Tattlebox.dll under Wine, headless: tbsession.exe loads
# a copy of Tattlebox.dll, the real Windows file dialog is answered with
# xdotool, and every debug-output line is captured whole.
#   wine_e2e.sh TEST WINDOWS_BUILD LINUX_BUILD
# TEST: prefix, session, widepath, failures, crossplatform, window, copies,
# nodisplay, logfile, decode, timing, survive, crash, checks, replay. Needs an X display
# (scripts/with-display.sh) and wine, xdotool and ImageMagick's import.
set -u

TEST=$1
WINBUILD=$(realpath "$2")
LINUXBUILD=$(realpath "$3")
WORK=$WINBUILD/wine-e2e/$TEST
SCREENS=$LINUXBUILD/screens
PLUGINS=$WINBUILD/testplugins
TRACE_CHECK=$(dirname "$(realpath "$0")")/../support/trace_check.py
TITLE="Tattlebox - Please select the plugin to log..."

export WINEPREFIX=$WINBUILD/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { # check NAME COMMAND...: passes when the command succeeds
    local name=$1; shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}

# The Windows name Wine gives a Linux path (drive Z: is the root).
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

has_line() { grep -qxF -- "$2" "$1"; }

# The lines of FILE after the "(thread) name:" prefix.
texts() { sed -E 's/^\([0-9A-F]+\) [^:]*://' "$1"; }

# The texts in FILE contain the given texts in this order, one after another.
in_order() {
    local file=$1; shift
    local expected; expected=$(printf '%s\n' "$@")
    texts "$file" | grep -vE '^DLL_THREAD_(ATTACH|DETACH)$' | grep -xF -A$(($# - 1)) -- "$1" | head -n $# \
        | diff -q - <(printf '%s\n' "$expected") >/dev/null
}

# The first window named exactly NAME, waiting up to 60 s; empty when none came.
# xdotool dies of an X error when a window vanishes while it looks (Wine makes
# and drops windows all the time), so it is asked again until it answers.
find_window() {
    local pattern="^${1//./\\.}\$" window
    for _ in $(seq 600); do
        window=$(xdotool search --name "$pattern" 2>/dev/null | head -n 1)
        [ -n "$window" ] && { echo "$window"; return 0; }
        sleep 0.1
    done
    return 1
}

# A picture of a window. An import can stall against Wine's window (seen once,
# the X server and with it the session stuck behind it): bounded, tried again.
shoot() {
    local try
    for try in 1 2 3; do
        timeout 10 import -window "$1" "$2" 2>/dev/null && return 0
    done
    return 1
}

# Answers the next file dialog: a path (or a bare file name) typed into it,
# or CANCEL. Runs in the background beside the host.
answer_dialog() {
    local answer=$1 window
    window=$(find_window "$TITLE")
    if [ -z "$window" ]; then
        echo "no dialog appeared" >&2
        return 1
    fi
    sleep 0.5
    # A picture of the first dialog of a run where one is asked for (title, folder, "*.dll").
    if [ -n "${DIALOG_PICTURE:-}" ]; then
        shoot "$window" "$DIALOG_PICTURE"
        DIALOG_PICTURE=
    fi
    xdotool windowfocus --sync "$window" 2>/dev/null
    if [ "$answer" = CANCEL ]; then
        xdotool key --clearmodifiers Escape
    else
        xdotool type --delay 10 -- "$answer"
        sleep 0.2
        xdotool key --clearmodifiers Return
    fi
    # Gone once the answer is taken (an X error of xdotool's own proves nothing).
    local out
    for _ in $(seq 100); do
        out=$(xdotool search --name "^${TITLE//./\\.}\$" 2>&1) || case "$out" in
            *"X Error"*) ;;
            *) return 0 ;;
        esac
        sleep 0.1
    done
    echo "the dialog stayed open" >&2
    return 1
}

# run_host DIR ANSWER... -- TBSESSION_OPTIONS...: tbsession.exe on DIR's copy
# of Tattlebox.dll, one dialog answer per ANSWER. Sets $status; the host's
# output is DIR/stdout, Tattlebox's lines DIR/debug.log.
run_host() {
    local dir=$1; shift
    local answers=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do answers+=("$1"); shift; done
    shift
    (
        for a in "${answers[@]}"; do answer_dialog "$a" || exit 1; done
    ) 2>"$dir/answers.err" &
    local answerer=$!
    timeout 120 wine "$WINBUILD/tbsession.exe" --debug-log "$(winpath "$dir/debug.log")" "$@" \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    if ! wait $answerer; then
        fail "dialog answered ($(cat "$dir/answers.err"))"
    fi
}

# A fresh folder with a copy of Tattlebox.dll (its state file goes beside it).
fresh_dir() {
    local dir=$WORK/$1
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$WINBUILD/Tattlebox.dll" "$dir/"
    echo "$dir"
}

test_prefix() {
    # A prefix of our own, made once: about 11 s. Unmanaged windows: without
    # that, every window close waits for a window manager's answer.
    if [ ! -f "$WINEPREFIX/.tattlebox-ready" ]; then
        rm -rf "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1
        wineserver -w
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.tattlebox-ready"
    fi
    check "wine prefix" test -f "$WINEPREFIX/system.reg"
    check "Tattlebox.dll exports only main and VSTPluginMain" \
        test "$(x86_64-w64-mingw32-objdump -p "$WINBUILD/Tattlebox.dll" \
                | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -nE 's/^\s*\[ *[0-9]+\] //p' | sort | tr '\n' ' ')" \
             = "VSTPluginMain main "
    local imports
    imports=$(x86_64-w64-mingw32-objdump -p "$WINBUILD/Tattlebox.dll" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    check "Tattlebox.dll needs no runtime DLLs ($imports)" \
        bash -c "! grep -qiE 'libstdc|libgcc|libwinpthread|zlib|libpng|jpeg' <<<'$imports'"
}

# A whole session through Tattlebox, the dialog answered with a full path;
# then two more starts in one process, answered with the file name alone,
# which only works where the dialog opens in the folder chosen before.
test_session() {
    local dir direct
    dir=$(fresh_dir session)
    direct=$WORK/direct
    mkdir -p "$direct"

    timeout 60 wine "$WINBUILD/tbsession.exe" --pump-ms 0 --dump-audio "$(winpath "$direct/audio.raw")" \
        "$(winpath "$PLUGINS/tp_basic.dll")" >"$direct/stdout" 2>"$direct/stderr"
    check "direct session" test $? -eq 0

    mkdir -p "$SCREENS"
    DIALOG_PICTURE=$SCREENS/file-dialog-wine.png run_host "$dir" "$(winpath "$PLUGINS/tp_basic.dll")" -- \
        --dump-audio "$(winpath "$dir/audio.raw")"
    check "session through Tattlebox ($status)" test "$status" -eq 0
    check "picture of the dialog" test -s "$SCREENS/file-dialog-wine.png"
    check "host sees what it sees without Tattlebox" cmp -s "$dir/stdout" "$direct/stdout"
    check "audio bit for bit as without Tattlebox" cmp -s "$dir/audio.raw" "$direct/audio.raw"

    local log=$dir/debug.log tb pb
    tb=$(winpath "$dir/Tattlebox.dll")
    pb=$(winpath "$PLUGINS/tp_basic.dll")
    check "first line: process attach, empty name" bash -c "head -n 1 '$log' | grep -qxE '\([0-9A-F]+\) :DLL_PROCESS_ATTACH'"
    check "banner with the library's Windows path" bash -c "texts() { sed -E 's/^\([0-9A-F]+\) [^:]*://' \"\$1\"; }; texts '$log' | grep -qxF 'Tattlebox - $tb'"
    check "target loaded by its Windows path, under its name" grep -qE "^\([0-9A-F]+\) tp_basic\.dll:Loaded ${pb//\\/\\\\}\$" "$log"
    check "thread attach lines" grep -qE '^\([0-9A-F]+\) [^:]*:DLL_THREAD_ATTACH$' "$log"
    check "thread detach lines" grep -qE '^\([0-9A-F]+\) [^:]*:DLL_THREAD_DETACH$' "$log"
    check "the session's calls" in_order "$log" "effMainsChanged state=0 " "effClose "
    check "Close is logged, then the target is unloaded" in_order "$log" "effClose " "Unloaded $pb"
    check "last line: process detach" bash -c "tail -n 1 '$log' | grep -qE ':DLL_PROCESS_DETACH$'"
    check "thread ids are upper-case hex" bash -c "! grep -qvE '^\([0-9A-F]+\) ' '$log'"
    check "state file beside Tattlebox.dll" test -f "$dir/Tattlebox.xml"
    check "state file keeps the chosen folder" grep -qF "$(winpath "$PLUGINS")" "$dir/Tattlebox.xml"

    # Start-up again, twice in one process: the dialog opens where the last file was chosen.
    local again
    again=$WORK/session-again
    rm -rf "$again"
    cp -r "$dir" "$again"
    rm -f "$again/debug.log"
    run_host "$again" tp_basic.dll tp_no_replacing.dll -- --twice --pump-ms 20
    check "two starts answered with bare file names ($status)" test "$status" -eq 0
    check "first start loads from the remembered folder" grep -qF "Loaded $pb" "$again/debug.log"
    check "second start loads from the same folder" grep -qF "Loaded $(winpath "$PLUGINS/tp_no_replacing.dll")" "$again/debug.log"
    check "one process attach for both starts" test "$(grep -c ':DLL_PROCESS_ATTACH$' "$again/debug.log")" -eq 1
}

# A library in a folder whose name lies outside the ANSI code page still
# finds itself: banner, state file and no write failure.
test_widepath() {
    local dir=$WORK/Ωμέγα
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$WINBUILD/Tattlebox.dll" "$dir/"
    rm -f "$WORK/debug.log"
    answer_dialog "$(winpath "$PLUGINS/tp_basic.dll")" 2>"$WORK/answers.err" &
    local answerer=$!
    (cd "$dir" && timeout 120 wine "$WINBUILD/tbsession.exe" --pump-ms 0 --debug-log "$(winpath "$WORK/debug.log")" \
        Tattlebox.dll >"$WORK/stdout" 2>"$WORK/stderr")
    status=$?
    wait $answerer || fail "dialog answered ($(cat "$WORK/answers.err"))"
    check "session from the wide-named folder ($status)" test "$status" -eq 0
    check "banner names the folder as it is" grep -qF "Tattlebox - $(winpath "$dir/Tattlebox.dll")" "$WORK/debug.log"
    check "state file in the wide-named folder" test -f "$dir/Tattlebox.xml"
    check "no write failure" bash -c "! grep -q 'Failed to write logger state' '$WORK/debug.log'"
}

# The failure rows: each outcome's lines in order, main returning null, and the state file written.
test_failures() {
    local dir
    expect_failure() { # NAME ANSWER EXPECTED-TEXT...
        local name=$1 answer=$2; shift 2
        dir=$(fresh_dir "failure-$name")
        run_host "$dir" "$answer" -- --pump-ms 0
        check "$name: main returns null (status $status)" grep -qF "main returned null" "$dir/stderr"
        check "$name: lines" in_order "$dir/debug.log" "$@"
        check "$name: state file written" test -f "$dir/Tattlebox.xml"
    }

    expect_failure cancelled CANCEL "No plugin was selected"

    local notlib
    notlib=$WORK/not-a-library.dll
    mkdir -p "$WORK"
    echo "plain text" >"$notlib"
    local p
    p=$(winpath "$notlib")
    expect_failure not-a-library "$p" "Failed to load $p" "Failed to get VST main function" "Unloaded $p"

    p=$(winpath "$PLUGINS/tp_no_entry.dll")
    expect_failure no-entry "$p" "Loaded $p" "Failed to get VST main function" "Unloaded $p"
    # Windows looks for "main" only.
    p=$(winpath "$PLUGINS/tp_vstpluginmain_only.dll")
    expect_failure vstpluginmain-only "$p" "Loaded $p" "Failed to get VST main function" "Unloaded $p"
    p=$(winpath "$PLUGINS/tp_null_record.dll")
    expect_failure null-record "$p" "Loaded $p" "Unloaded $p"
    p=$(winpath "$PLUGINS/tp_wrong_magic.dll")
    expect_failure wrong-magic "$p" "Loaded $p" "Wrong Magic, probably not a VST plugin" "Unloaded $p"
    check "the state file of a cancelled dialog names the folder it opened in" grep -qiE '<LastDir>[A-Z]:\\.*Documents</LastDir>' \
        "$WORK/failure-cancelled/Tattlebox.xml"
}

# Platform texts, thread ids, pointers, paths and the date made alike; the
# Windows-only thread attach lines left out.
normalise() {
    grep -vE '^\([0-9A-F]+\) [^:]*:DLL_THREAD_(ATTACH|DETACH)$' "$1" \
        | sed -E -e 's/^\([0-9A-F]+\) /(T) /' \
                 -e 's/\.(so|dll)\b/.LIB/g' \
                 -e 's/[0-9A-F]{16}/POINTER/g' \
                 -e 's/:(Tattlebox - |Loaded |Unloaded |Failed to load ).*/:\1PATH/' \
                 -e 's/:[0-9]{1,2} [A-Z][a-z]{2} [0-9]{4} [0-9]{1,2}:[0-9]{2}:[0-9]{2} [ap]m$/:DATE/'
}

# One scripted session on both platforms: the same lines, the same audio.
test_crossplatform() {
    local dir linux
    dir=$(fresh_dir crossplatform)
    run_host "$dir" "$(winpath "$PLUGINS/tp_basic.dll")" -- --pump-ms 0 --dump-audio "$(winpath "$dir/audio.raw")"
    check "Windows session ($status)" test "$status" -eq 0

    linux=$WORK/linux
    rm -rf "$linux"
    mkdir -p "$linux"
    cp "$LINUXBUILD/Tattlebox.so" "$linux/"
    PATH=$LINUXBUILD/fakebin:$PATH TB_ZENITY_ANSWER=$LINUXBUILD/testplugins/tp_basic.so \
        timeout 60 "$LINUXBUILD/tbsession" --dump-audio "$linux/audio.raw" "$linux/Tattlebox.so" \
        >"$linux/stdout" 2>"$linux/debug.log"
    check "Linux session ($?)" grep -qx "session done" "$linux/stdout"

    normalise "$dir/debug.log" >"$dir/normalised.log"
    normalise "$linux/debug.log" >"$linux/normalised.log"
    if diff -u "$linux/normalised.log" "$dir/normalised.log" >"$WORK/lines.diff"; then
        pass "log lines identical on Linux and Windows ($(wc -l <"$dir/normalised.log") lines)"
    else
        fail "log lines differ between Linux and Windows:"
        head -n 40 "$WORK/lines.diff"
    fi
    check "host output identical on both" cmp -s "$dir/stdout" "$linux/stdout"
    check "audio identical on both" cmp -s "$dir/audio.raw" "$linux/audio.raw"
}

# The control window under Wine, photographed while the host pumps.
test_window() {
    local dir
    dir=$(fresh_dir window)
    mkdir -p "$SCREENS"
    rm -f "$SCREENS/control-window-wine.png"
    rm -f "$SCREENS/log-page-wine.png"
    (
        window=$(find_window "Tattlebox - tp_basic.dll")
        [ -n "$window" ] || exit 1
        sleep 1.5
        shoot "$window" "$SCREENS/control-window-wine.png"
        # The Log page, the fifth tab.
        xdotool mousemove --window "$window" 103 242 click 1
        sleep 1
        shoot "$window" "$SCREENS/log-page-wine.png"
    ) 2>/dev/null &
    local shooter=$!
    run_host "$dir" "$(winpath "$PLUGINS/tp_basic.dll")" -- --pump-ms 700
    wait $shooter
    check "session with the window open ($status)" test "$status" -eq 0
    check "screenshot $SCREENS/control-window-wine.png" test -s "$SCREENS/control-window-wine.png"
    local size
    size=$(identify -format '%wx%h' "$SCREENS/control-window-wine.png" 2>/dev/null)
    check "control window is 774x666 ($size)" test "$size" = 774x666
    check "screenshot $SCREENS/log-page-wine.png" test -s "$SCREENS/log-page-wine.png"
}

# The log file beside the DLL holds the session's lines as the debug output
# carried them, from the banner to the last line before the unload.
test_logfile() {
    local dir a
    a=$(winpath "$PLUGINS/tp_basic.dll")
    dir=$(fresh_dir logfile)
    printf '<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<Tattlebox>\r\n  <Target>%s</Target>\r\n  <Logger>\r\n    <Parameters rememberTarget="1" logToFile="1"/>\r\n  </Logger>\r\n</Tattlebox>\r\n' "$a" >"$dir/Tattlebox.xml"
    timeout 120 wine "$WINBUILD/tbsession.exe" --debug-log "$(winpath "$dir/debug.log")" --pump-ms 20 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    check "session with a log file ($status)" test "$status" -eq 0
    check "the log file beside the DLL" test -s "$dir/Tattlebox.log"
    # The debug output's lines of the session, without the thread attach and
    # detach lines, which the loader writes outside any call.
    grep -vE ':DLL_(THREAD|PROCESS)_(ATTACH|DETACH)$' "$dir/debug.log" >"$dir/session.log"
    grep -vE ':DLL_(THREAD|PROCESS)_(ATTACH|DETACH)$' "$dir/Tattlebox.log" >"$dir/file.log"
    if cmp -s "$dir/session.log" "$dir/file.log"; then
        pass "the file holds what the debug output carried ($(wc -l <"$dir/file.log") lines)"
    else
        fail "the file and the debug output differ:"
        diff "$dir/session.log" "$dir/file.log" | head -n 20
    fi
    check "ends with the unload" bash -c "tail -n 1 '$dir/file.log' | grep -qF 'Unloaded $a'"

    # The switch at the size limit, with small limits (logfile_probe.exe): a
    # reader holding the file makes it back off and stop at twice the limit;
    # two writers of one file never rename each other's lines away.
    local scenario
    for scenario in held shared; do
        mkdir -p "$dir/$scenario"
        timeout 120 wine "$WINBUILD/logfile_probe.exe" "$scenario" "$(winpath "$dir/$scenario")" >"$dir/$scenario.out" 2>&1
        status=$?
        sed "s/^/    $scenario: /" "$dir/$scenario.out"
        check "log file switch, $scenario ($status)" test "$status" -eq 0
    done
}

# A state file that remembers TARGET (a Windows path; empty: none yet).
remembered_state() {
    printf '<?xml version="1.0" encoding="UTF-8"?>\r\n\r\n<Tattlebox>\r\n  <LastDir>%s</LastDir>\r\n' "$(winpath "$PLUGINS")"
    [ -n "$1" ] && printf '  <Target>%s</Target>\r\n' "$1"
    printf '  <Logger>\r\n    <Parameters logParameters="1" logReturnParameters="1" logTime="0" rememberTarget="1"/>\r\n  </Logger>\r\n</Tattlebox>\r\n'
}

# In the background for up to SECONDS: any Tattlebox file dialog is noted in
# FILE and cancelled, so that a run that must not ask fails at once.
watch_for_dialogs() {
    local file=$1 seconds=$2 window
    for _ in $(seq $((seconds * 10))); do
        window=$(xdotool search --name 'Please select the plugin to log' 2>/dev/null | head -n 1)
        if [ -n "$window" ]; then
            echo "dialog $window" >>"$file"
            xdotool windowfocus --sync "$window" key --clearmodifiers Escape 2>/dev/null
        fi
        sleep 0.1
    done
}

# Two copies of the library hosting two targets at once, each remembering its
# own, so that no dialog shows; before that, the first use of a copy with the
# option ticked asks once and keeps the answer.
test_copies() {
    local dir a b
    a=$(winpath "$PLUGINS/tp_basic.dll")
    b=$(winpath "$PLUGINS/tp_no_replacing.dll")

    dir=$(fresh_dir remember-first)
    remembered_state "" >"$dir/Tattlebox.xml"
    run_host "$dir" "$a" -- --pump-ms 0
    check "first use asks ($status)" test "$status" -eq 0
    check "the answer is kept as the target" grep -qF "<Target>$a</Target>" "$dir/Tattlebox.xml"
    check "the option is kept" grep -qF 'rememberTarget="1"' "$dir/Tattlebox.xml"

    dir=$(fresh_dir copies)
    cp "$dir/Tattlebox.dll" "$dir/Tattlebox-2.dll"
    remembered_state "$a" >"$dir/Tattlebox.xml"
    remembered_state "$b" >"$dir/Tattlebox-2.xml"
    watch_for_dialogs "$dir/dialogs" 60 &
    local watcher=$!
    timeout 120 wine "$WINBUILD/tbsession.exe" --debug-log "$(winpath "$dir/debug.log")" --pump-ms 20 \
        --alongside "$(winpath "$dir/Tattlebox-2.dll")" "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    kill $watcher 2>/dev/null
    wait $watcher 2>/dev/null
    check "two copies at once ($status)" test "$status" -eq 0
    check "no dialog at all" test ! -s "$dir/dialogs"
    check "both sessions ran" grep -qx "alongside: VSTPluginMain" "$dir/stdout"
    local log=$dir/debug.log
    check "first copy's banner" bash -c "sed -E 's/^\([0-9A-F]+\) [^:]*://' '$log' | grep -qxF 'Tattlebox - $(winpath "$dir/Tattlebox.dll")'"
    check "second copy's banner" bash -c "sed -E 's/^\([0-9A-F]+\) [^:]*://' '$log' | grep -qxF 'Tattlebox - $(winpath "$dir/Tattlebox-2.dll")'"
    check "first copy loads its remembered target" in_order "$log" "Remembered target $a" "Loaded $a"
    check "second copy loads its remembered target" in_order "$log" "Remembered target $b" "Loaded $b"
    check "first target logged under its name" grep -qE '^\([0-9A-F]+\) tp_basic\.dll:processReplacing\(' "$log"
    check "second target logged under its name" grep -qE '^\([0-9A-F]+\) tp_no_replacing\.dll:process\(' "$log"
    check "both close" test "$(grep -cE ':effClose $' "$log")" -eq 2
    check "both unload" bash -c "grep -qF 'Unloaded $a' '$log' && grep -qF 'Unloaded $b' '$log'"
    check "each copy keeps its own target" bash -c "grep -qF '<Target>$a</Target>' '$dir/Tattlebox.xml' && grep -qF '<Target>$b</Target>' '$dir/Tattlebox-2.xml'"
}

# No X display at all: with a remembered target no dialog is needed, and
# hosting goes on without the window.
test_nodisplay() {
    local dir a
    a=$(winpath "$PLUGINS/tp_basic.dll")
    dir=$(fresh_dir nodisplay)
    remembered_state "$a" >"$dir/Tattlebox.xml"
    env -u DISPLAY timeout 120 wine "$WINBUILD/tbsession.exe" --debug-log "$(winpath "$dir/debug.log")" --pump-ms 20 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    check "session without a display ($status)" test "$status" -eq 0
    check "the session's calls" in_order "$dir/debug.log" "effMainsChanged state=0 " "effClose " "Unloaded $a"
    check "says the window is not shown" grep -qF "No display: the control window is not shown; calls are still logged and counted" "$dir/debug.log"
}

# Decoded structures: the same line on Windows as on Linux, in the 64-bit
# Windows layout (LLP64: long is 32 bits, pointers 64).
test_decode() {
    local dir a linux expected
    a=$(winpath "$PLUGINS/tp_basic.dll")
    expected='{numEvents=3; midi delta=0 90 3C 64 NoteOn channel=1 key=60 velocity=100; midi delta=100 B0 07 50 CC channel=1 number=7 value=80; sysex delta=200 dumpBytes=6 F0 7E 7F 06 01 F7}'
    dir=$(fresh_dir decode)
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" decodeStructures="1"/></Logger></Tattlebox>\r\n' "$a" >"$dir/Tattlebox.xml"
    timeout 120 wine "$WINBUILD/tbsession.exe" --midi --debug-log "$(winpath "$dir/debug.log")" --pump-ms 0 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    check "session with decoding ($status)" test "$status" -eq 0
    check "the events decoded on Windows" grep -qF "tp_basic.dll:effProcessEvents events=" "$dir/debug.log"
    check "as expected" bash -c "grep -F 'effProcessEvents events=' '$dir/debug.log' | grep -qF '$expected'"

    linux=$WORK/decode-linux
    rm -rf "$linux"
    mkdir -p "$linux"
    cp "$LINUXBUILD/Tattlebox.so" "$linux/"
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" decodeStructures="1"/></Logger></Tattlebox>\n' \
        "$LINUXBUILD/testplugins/tp_basic.so" >"$linux/Tattlebox.xml"
    timeout 60 "$LINUXBUILD/tbsession" --midi "$linux/Tattlebox.so" >"$linux/stdout" 2>"$linux/debug.log"
    check "the same on Linux" bash -c "grep -F 'effProcessEvents events=' '$linux/debug.log' | grep -qF '$expected'"
}

# Time Calls, Log Summary and double precision on Windows: tp_double.dll
# processed in double precision, then tp_slow.dll, whose known sleeps the
# durations and overruns must show.
# timed_session NAME PLUGIN.dll ATTRIBUTES [TBSESSION OPTIONS]: a session of
# four blocks in a fresh folder NAME with the plug-in remembered and calls
# timed, plus the given Parameters attributes; sets dir and status.
timed_session() {
    local name=$1 plugin=$2 attributes=$3
    shift 3
    dir=$(fresh_dir "$name")
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" timeCalls="1" logSummary="1"%s/></Logger></Tattlebox>\r\n' \
        "$(winpath "$PLUGINS/$plugin")" "$attributes" >"$dir/Tattlebox.xml"
    timeout 120 wine "$WINBUILD/tbsession.exe" "$@" --blocks 4 --pump-ms 0 --debug-log "$(winpath "$dir/debug.log")" \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
}

test_timing() {
    local dir status a
    timed_session timing tp_double.dll "" --double
    check "session in double precision ($status)" test "$status" -eq 0
    check "tbsession processed in double precision" grep -qx 'processing: processDoubleReplacing' "$dir/stdout"
    check "four processDoubleReplacing lines" \
        test "$(grep -cE '^\([0-9A-F]+\) tp_double\.dll:processDoubleReplacing\(inputs:[0-9A-F]+, outputs:[0-9A-F]+, sampleFrames:512\)$' "$dir/debug.log")" -eq 4
    local returns timed
    returns=$(grep -c ' returned ' "$dir/debug.log")
    timed=$(grep -cE ' returned .*\(?[0-9]+\.[0-9] us\)$' "$dir/debug.log")
    check "every return line ends with its duration ($timed of $returns)" test "$returns" -gt 5 -a "$timed" -eq "$returns"
    check "the summary holds the double-precision blocks and their load" grep -qE \
        'tp_double\.dll:Summary: processDoubleReplacing 4 calls, total [0-9.]+ us, max [0-9.]+ us, average [0-9.]+ us, load average [0-9.]+%, max [0-9.]+%, 0 of 4 blocks over budget$' \
        "$dir/debug.log"
    check "the state file keeps the options" grep -q 'timeCalls="1"' "$dir/Tattlebox.xml"

    # The trace beside the DLL: one event per timed call, IOChanged within effMainsChanged.
    timed_session timing-trace tp_io_change.dll ' writeTrace="1"'
    check "session with a trace ($status)" test "$status" -eq 0
    python3 "$TRACE_CHECK" "$dir/Tattlebox.trace.json" --summary "$dir/debug.log" \
        --nested effMainsChanged:audioMasterIOChanged >"$dir/check"
    status=$?
    check "the trace parses, one event per timed call, IOChanged nested ($(head -n 1 "$dir/check"))" test "$status" -eq 0
    check "the state file keeps Write Trace" grep -q 'writeTrace="1"' "$dir/Tattlebox.xml"
    sed 's/^/info: /' "$dir/check"

    timed_session timing-slow tp_slow.dll ""
    check "session with the slow plug-in ($status)" test "$status" -eq 0
    # 512 frames at 44100 Hz: 11.6 ms a block; every other one sleeps 120 ms.
    local line max
    line=$(grep -E 'tp_slow\.dll:Summary: processReplacing 4 calls, ' "$dir/debug.log")
    check "two of four blocks over budget: ${line#*Summary: }" grep -qE ', 2 of 4 blocks over budget$' <<< "$line"
    max=$(sed -nE 's/.*Summary: effMainsChanged 2 calls, total [0-9.]+ us, max ([0-9]+)\.[0-9] us.*/\1/p' "$dir/debug.log")
    check "the resume's 30 ms sleep measured (${max:-none} us)" test "${max:-0}" -ge 30000

    # Log Time in a zone half an hour off the hour: the bias looked up at start-up.
    a=$(winpath "$PLUGINS/tp_basic.dll")
    dir=$(fresh_dir timing-clock)
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" logTime="1"/></Logger></Tattlebox>\r\n' \
        "$a" >"$dir/Tattlebox.xml"
    local before after shown
    before=$(TZ=Asia/Kolkata date +%H:%M)
    TZ=Asia/Kolkata timeout 120 wine "$WINBUILD/tbsession.exe" --pump-ms 0 --debug-log "$(winpath "$dir/debug.log")" \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    after=$(TZ=Asia/Kolkata date +%H:%M)
    shown=$(grep -m 1 -oE '^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} \([0-9A-F]+\) tp_basic\.dll:effOpen' "$dir/debug.log" | cut -c 1-5)
    check "effOpen at the local time (${shown:-none}; $before to $after)" test -n "$shown" -a \( "$shown" = "$before" -o "$shown" = "$after" \)
}

# Close sent from a second thread while the host's own thread pumps; a
# plug-in that grows its inputs and latency, read by the host's IOChanged
# handler through Tattlebox as directly.
test_survive() {
    local dir a status
    a=$(winpath "$PLUGINS/tp_basic.dll")
    dir=$(fresh_dir survive)
    remembered_state "$a" >"$dir/Tattlebox.xml"
    timeout 120 wine "$WINBUILD/tbsession.exe" --close-from-thread --blocks 4 --pump-ms 20 \
        --debug-log "$(winpath "$dir/debug.log")" "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    check "Close from a second thread ($status)" test "$status" -eq 0
    check "tbsession closed from its second thread" grep -qx 'closed from: a second thread' "$dir/stdout"
    check "the target unloaded" has_line <(texts "$dir/debug.log") "Unloaded $a"
    check "the framework shut down on its own thread" \
        bash -c "! grep -q 'did not shut the framework down' '$dir/debug.log'"

    a=$(winpath "$PLUGINS/tp_io_change.dll")
    dir=$(fresh_dir survive-io)
    remembered_state "$a" >"$dir/Tattlebox.xml"
    timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 2 --pump-ms 0 "$(winpath "$dir/Tattlebox.dll")" >"$dir/bridged" 2>/dev/null
    timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 2 --pump-ms 0 "$a" >"$dir/direct" 2>/dev/null
    check "the IOChanged handler reads the new record directly" grep -qx 'io changed: 2 inputs, 2 outputs, latency 64' "$dir/direct"
    check "and through Tattlebox" grep -qx 'io changed: 2 inputs, 2 outputs, latency 64' "$dir/bridged"
}

# An access violation in the target's processReplacing: the report names
# the call and the frames (resolved against the test plug-in), and the
# exception then reaches Wine's own handling with the same exit status.
test_crash() {
    local dir a direct status headline
    a=$(winpath "$PLUGINS/tp_crash.dll")
    dir=$(fresh_dir crash)
    # The report is read from the log file: tbsession's own capture of the
    # debug output (--debug-log) makes Wine's exit status after a crash vary
    # (0 instead of 5 in about one run of ten, with or without Tattlebox).
    remembered_state "$a" | sed 's|rememberTarget="1"|rememberTarget="1" logToFile="1"|' >"$dir/Tattlebox.xml"
    TP_CRASH=processReplacing DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 1 "$a" \
        >"$dir/direct.out" 2>"$dir/direct.err"
    direct=$?
    TP_CRASH=processReplacing DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 1 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    status=$?
    cp "$dir/Tattlebox.log" "$dir/debug.log" 2>/dev/null
    check "the same exit status as without Tattlebox ($direct, $status)" test "$status" -eq "$direct" -a "$direct" -ne 0
    check "Wine's own handling reached" grep -q 'Unhandled page fault on write access to 0000000000000000' "$dir/stderr"
    headline=$(texts "$dir/debug.log" | grep -m 1 '^Crash: ')
    check "the report names the call ($headline)" grep -qE \
        "^Crash: access violation \\(address 0{16}\\) on thread [0-9A-F]+ in the target's processReplacing, " <<<"$headline"
    check "the code in hex" has_line <(texts "$dir/debug.log") "Crash: code EXCEPTION_ACCESS_VIOLATION (0xC0000005)"
    check "marked as one the host may catch" has_line <(texts "$dir/debug.log") \
        "Crash: seen before the host's own exception handlers, which may still catch it"
    check "and then as not caught" has_line <(texts "$dir/debug.log") "Crash: not caught by the host: the system's handling follows"
    # The README's script maps the Windows paths and adds the image base.
    check "frame 0 resolves to the plug-in's function" grep -qE '^#0 tp_crash\.dll\+0x[0-9a-f]+ tpWriteThroughNull at ' \
        <(sh "$(dirname "$(realpath "$0")")/../../tools/resolve-frames.sh" "$dir/debug.log")

    # A block that hangs for 1.5 s against a limit of 0.5 s: a line while it lasts, one when it returns.
    a=$(winpath "$PLUGINS/tp_hang.dll")
    dir=$(fresh_dir hang)
    remembered_state "$a" | sed 's|rememberTarget="1"|rememberTarget="1" hangSeconds="0.5"|' >"$dir/Tattlebox.xml"
    TP_HANG=processReplacing:1.5 DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 2 \
        --debug-log "$(winpath "$dir/debug.log")" "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    check "the hung block ran to its end ($?)" grep -qx 'blocks: 2' "$dir/stdout"
    check "a hang line while it lasts" grep -qE \
        "^Hang: thread [0-9A-F]+ has been in the target's processReplacing for 0\\.[5-9] s$" <(texts "$dir/debug.log")
    check "and one when it returns" grep -qE \
        "^Hang: thread [0-9A-F]+ in the target's processReplacing returned after 1\\.[3-9] s$" <(texts "$dir/debug.log")
}

# The contract checks: tp_rude's breaches of the plug-in's side through
# Tattlebox.dll give the same lines as through Tattlebox.so, thread ids aside.
test_checks() {
    local dir linux a behaviours
    behaviours=askVendor,paramName,effectName,propertiesLabel,endEdit,beginEdit,automateIndex,automateValue,latency,echo,ioFromAudio,nan
    a=$(winpath "$PLUGINS/tp_rude.dll")
    dir=$(fresh_dir checks)
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" checkCalls="1" checkAudio="1"/></Logger></Tattlebox>\r\n' \
        "$a" >"$dir/Tattlebox.xml"
    TP_RUDE=$behaviours DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 1 --pump-ms 0 \
        --debug-log "$(winpath "$dir/debug.log")" "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    check "session with checks on Windows ($?)" grep -qx "session done" "$dir/stdout"

    linux=$WORK/checks-linux
    rm -rf "$linux"
    mkdir -p "$linux"
    cp "$LINUXBUILD/Tattlebox.so" "$linux/"
    printf '<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" checkCalls="1" checkAudio="1"/></Logger></Tattlebox>\n' \
        "$LINUXBUILD/testplugins/tp_rude.so" >"$linux/Tattlebox.xml"
    TP_RUDE=$behaviours DISPLAY= timeout 60 "$LINUXBUILD/tbsession" --blocks 1 "$linux/Tattlebox.so" \
        >"$linux/stdout" 2>"$linux/debug.log"
    check "the same session on Linux ($?)" grep -qx "session done" "$linux/stdout"

    # The lines' texts without the thread that wrote them.
    check_texts() { texts "$1" | grep '^Check' | sed -E 's/, thread [0-9A-F]+$//'; }
    check_texts "$dir/debug.log" >"$dir/checks"
    check_texts "$linux/debug.log" >"$linux/checks"
    local wanted
    for wanted in "Check: the target wrote 17 bytes into effGetParamName's text, the VST 2 limit is 8 including the end (hosts commonly give more room)" \
                  "Check: the target wrote 40 bytes into effGetEffectName's text, the VST 2 limit is 32 including the end (hosts commonly give more room)" \
                  "Check: the target wrote no end within 64 bytes into effGetParameterProperties's label, the VST 2 limit is 64 including the end (hosts commonly give more room)" \
                  "Check: audioMasterEndEdit for parameter 0 without a BeginEdit" \
                  "Check: audioMasterBeginEdit for parameter 1 still open at Close" \
                  "Check: audioMasterAutomate for parameter 1 from inside setParameter for it" \
                  "Check: audioMasterAutomate index 2, the target has 2 parameters" \
                  "Check: initialDelay changed from 0 to 64 in effMainsChanged without audioMasterIOChanged" \
                  "Check: audioMasterIOChanged from inside processReplacing" \
                  "Check: processReplacing block 1: output channel 1 frame 7 is nan" \
                  "Check summary: texts the target writes: 3"; do
        check "on Windows: ${wanted#Check: }" has_line "$dir/checks" "$wanted"
    done
    if diff -u "$linux/checks" "$dir/checks" >"$WORK/checks.diff"; then
        pass "the same check lines on Linux and Windows ($(wc -l <"$dir/checks") lines)"
    else
        fail "check lines differ between Linux and Windows:"
        head -n 40 "$WORK/checks.diff"
    fi
}

# Record Session with Tattlebox.dll, tbreplay.exe against the DLL alone: the
# same answers and audio; a crash in the third effSetChunk reproduced and
# stopped before; the Windows recording replays on Linux just as well.
test_replay() {
    local dir a status last
    a=$(winpath "$PLUGINS/tp_basic.dll")
    dir=$(fresh_dir replay)
    remembered_state "$a" | sed 's|rememberTarget="1"|rememberTarget="1" logToFile="1" recordSession="1" recordAudio="1"|' >"$dir/Tattlebox.xml"
    DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --blocks 4 --midi --set-chunk 2 --pump-ms 0 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    check "a recorded session ($?)" grep -qx "session done" "$dir/stdout"
    check "the recording ended with Close" grep -q "Recorded [0-9]* calls" "$dir/Tattlebox.log"
    DISPLAY= timeout 120 wine "$WINBUILD/tbreplay.exe" --compare "$(winpath "$dir/Tattlebox.tbrec")" "$a" \
        >"$dir/replay.out" 2>"$dir/replay.err"
    status=$?
    check "tbreplay.exe: the same results, texts and audio ($status: $(tail -n 1 "$dir/replay.err" | tr -d '\r'))" \
        test "$status" -eq 0
    "$LINUXBUILD/tbreplay" --compare "$dir/Tattlebox.tbrec" "$LINUXBUILD/testplugins/tp_basic.so" >"$dir/linux.out" 2>"$dir/linux.err"
    status=$?
    check "the Windows recording replays on Linux alike ($status: $(tail -n 1 "$dir/linux.err"))" test "$status" -eq 0

    a=$(winpath "$PLUGINS/tp_crash.dll")
    dir=$(fresh_dir replay-crash)
    remembered_state "$a" | sed 's|rememberTarget="1"|rememberTarget="1" logToFile="1" recordSession="1"|' >"$dir/Tattlebox.xml"
    TP_CRASH=effSetChunk DISPLAY= timeout 120 wine "$WINBUILD/tbsession.exe" --set-chunk 5 --pump-ms 0 \
        "$(winpath "$dir/Tattlebox.dll")" >"$dir/stdout" 2>"$dir/stderr"
    last=$(tr -d '\r' <"$dir/Tattlebox.log" | sed -n 's/.*Crash: the session.s recording holds its calls up to call \([0-9]*\): .*Tattlebox.tbrec$/\1/p')
    check "the crash report names the recording's last call (${last:-none})" test -n "$last"
    TP_CRASH=effSetChunk DISPLAY= timeout 120 wine "$WINBUILD/tbreplay.exe" "$(winpath "$dir/Tattlebox.tbrec")" "$a" \
        >"$dir/replay.out" 2>"$dir/replay.err"
    check "tbreplay.exe crashes in the same call" grep -q "crashed in call $last (effSetChunk)" "$dir/replay.err"
    TP_CRASH=effSetChunk DISPLAY= timeout 120 wine "$WINBUILD/tbreplay.exe" --stop-before "$last" \
        "$(winpath "$dir/Tattlebox.tbrec")" "$a" >"$dir/stop.out" 2>"$dir/stop.err"
    status=$?
    check "and --stop-before $last stops before it ($status)" grep -q "stopped before call $last (effSetChunk)" "$dir/stop.err"
}

mkdir -p "$WORK"
"test_$TEST"
wineserver -w 2>/dev/null
if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed; files under $WORK"
    exit 1
fi
