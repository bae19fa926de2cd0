#!/usr/bin/env bash
# Record Session end to end: a copy of Tattlebox records a host's session,
# tbreplay plays it against the plug-in alone.
#   crash    tp_crash dies in the third effSetChunk under tbsession; the
#            crash report names the recording and its last call; tbreplay
#            dies in the same call, and --stop-before stops just before it
#   answers  tp_asks under tbhost (which answers vendor, product, rate, block
#            size and time): the replay's answers give the same texts; a
#            question the recording lacks is answered 0, with a line
#   defaults without the option no recording is made
#   editor   3BandEQ's editor: skipped and counted, or opened with --editor
# Usage: record_e2e.sh BUILD_DIR CASE
set -u
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
test=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tb-record-$test.XXXXXX")
failures=0
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

# A copy of Tattlebox whose state file remembers TARGET, with ATTRIBUTES.
tattlebox_for() {  # tattlebox_for TARGET ATTRIBUTES
    cp "$build/Tattlebox.so" "$work/Tattlebox.so"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" logToFile="1" %s/></Logger></Tattlebox>\n' \
        "$1" "$2" >"$work/Tattlebox.xml"
}

replay() { "$build/tbreplay" "$@" 2>"$work/replay.err" >"$work/replay.out"; }

test_crash() {
    local target=$build/testplugins/tp_crash.so status last
    tattlebox_for "$target" 'recordSession="1"'
    TP_CRASH=effSetChunk "$build/tbsession" --set-chunk 5 "$work/Tattlebox.so" >"$work/host.out" 2>"$work/host.err"
    status=$?
    expect "the host dies in the third effSetChunk ($status)" test "$status" -gt 128
    last=$(sed -n 's/.*Crash: the session.s recording holds its calls up to call \([0-9]*\): .*Tattlebox.tbrec$/\1/p' "$work/Tattlebox.log")
    expect "the crash report names the recording and its last call (${last:-none})" test -n "$last"

    TP_CRASH=effSetChunk replay "$work/Tattlebox.tbrec" "$target"
    status=$?
    expect "tbreplay dies too ($status)" test "$status" -gt 128
    expect "in the same call: $(tail -n 1 "$work/replay.err")" grep -q "crashed in call $last (effSetChunk)" "$work/replay.err"
    expect "the recording says the session ended without Close" grep -q "ended without Close" "$work/replay.err"

    TP_CRASH=effSetChunk replay --stop-before "$last" "$work/Tattlebox.tbrec" "$target"
    status=$?
    expect "--stop-before $last stops before it ($status)" test "$status" -eq 0
    expect "and says so" grep -q "stopped before call $last (effSetChunk)" "$work/replay.err"
}

test_answers() {
    local target=$build/testplugins/tp_asks.so
    tattlebox_for "$target" 'recordSession="1" recordAudio="1"'
    sh "$source/scripts/with-display.sh" "$build/tbhost" --blocks 8 "$work/Tattlebox.so" >"$work/host.out" 2>"$work/host.err"
    expect "tbhost ran its session through Tattlebox" test $? -eq 0
    expect "the recording ended with Close" grep -q "Recorded [0-9]* calls" "$work/Tattlebox.log"

    replay --compare "$work/Tattlebox.tbrec" "$target"
    expect "the replay gives the same results, texts and audio: $(tail -n 1 "$work/replay.err")" test $? -eq 0
    expect "every callback was answered from the recording" grep -q "; 0 callbacks answered 0" "$work/replay.err"

    TP_ASKS_MORE=1 replay --compare "$work/Tattlebox.tbrec" "$target"
    expect "a question the recording lacks is answered 0, with a line" \
        grep -q "audioMasterGetLanguage in call [0-9]* is not in the recording: answered 0" "$work/replay.err"
}

test_defaults() {
    tattlebox_for "$build/testplugins/tp_basic.so" ''
    "$build/tbsession" --blocks 2 "$work/Tattlebox.so" >"$work/host.out" 2>"$work/host.err"
    expect "the session ran" test $? -eq 0
    expect "no recording without the option" test ! -e "$work/Tattlebox.tbrec"
    expect "and no line about one" bash -c "! grep -q 'Record' '$work/Tattlebox.log'"
}

# tbhost opens 3BandEQ's editor through Tattlebox: the replay skips the
# editor's calls and counts them, and with --editor opens it into a window of
# its own (a picture in build/screens).
test_editor() {
    local target=/usr/lib/vst/3BandEQ-vst.so
    [ -f "$target" ] || { echo "skipped: no $target"; exit 77; }
    tattlebox_for "$target" 'recordSession="1"'
    sh "$source/scripts/with-display.sh" "$build/tbhost" --editor 500 --blocks 4 "$work/Tattlebox.so" >"$work/host.out" 2>"$work/host.err"
    expect "tbhost opened the editor through Tattlebox" grep -q "effEditOpen" "$work/Tattlebox.log"

    replay --compare "$work/Tattlebox.tbrec" "$target"
    expect "without --editor its calls are skipped and counted: $(head -n 1 "$work/replay.err")" \
        grep -qE "skipped [1-9][0-9]* editor calls" "$work/replay.err"
    mkdir -p "$build/screens"
    sh "$source/scripts/with-display.sh" sh -c "\"$build/tbreplay\" --editor --compare --delay 40 \"$work/Tattlebox.tbrec\" $target \
        >\"$work/replay.out\" 2>\"$work/replay.err\" & replayed=\$!
        for i in \$(seq 200); do xdotool search --name 'tbreplay editor' >/dev/null 2>&1 && break; sleep 0.05; done
        sleep 0.4; timeout 10 import -window root \"$build/screens/tbreplay-editor.png\"; wait \$replayed"
    expect "with --editor every call is played, the same answers: $(tail -n 1 "$work/replay.err")" \
        grep -q "compared [0-9]* calls: 0 differences" "$work/replay.err"
    expect "none skipped" bash -c "! grep -q skipped '$work/replay.err'"
}

"test_$test"
[ $failures -eq 0 ]
