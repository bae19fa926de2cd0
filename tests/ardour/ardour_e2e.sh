#!/bin/bash
# Tattlebox in a real host: Ardour 7's plug-in scanner and its headless Lua
# session tool (Debian's ardour package) load Tattlebox, which hosts plug-ins
# from /usr/lib/vst and the build's test plug-ins. Checks are made on
# Tattlebox's call log (the host's stderr, or its log file), on Ardour's own
# results and on the audio Ardour meters.
#
#   ardour_e2e.sh BUILD_DIR session|copies|timing|latency|scanner-nodisplay|crash|checks|record
#
# Exits 77 (CTest's SKIP_RETURN_CODE) where Ardour or a target is missing.
# Each run works in a fresh folder, kept and printed when a check fails.

set -u

build=$(cd "${1:?build folder}" && pwd)
test=${2:?sub-command}
here=$(cd "$(dirname "$0")" && pwd)

lua_tool=/usr/bin/ardour7-lua
scanner=/usr/lib/ardour7/ardour-vst-scanner
eq=/usr/lib/vst/3BandEQ-vst.so
mverb=/usr/lib/vst/MVerb-vst.so
limiter=/usr/lib/vst/lsp-plugins/limiter-stereo.so
limit=120   # seconds for one Ardour process before it counts as hung

skip() { echo "skipped: $*"; exit 77; }

if [ ! -x "$lua_tool" ] || [ ! -x "$scanner" ]; then
    skip "Ardour 7 is not installed (apt-get install ardour)"
fi
for target in "$eq" "$mverb"; do
    [ -f "$target" ] || skip "$target is not installed (dpf-plugins-vst)"
done
if [ ! -f "$build/Tattlebox.so" ] || [ ! -x "$build/fakebin/zenity" ]; then
    echo "FAIL: $build/Tattlebox.so or $build/fakebin/zenity is missing: build first"
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tb-ardour-$test.XXXXXX")
mkdir -p "$work/vst" "$work/home" "$work/cache" "$work/config" "$work/lv2"
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
# Only the copies of Tattlebox: a target in the path would be a second
# plug-in with the same unique ID, and Ardour drops one of them.
export LXVST_PATH=$work/vst VST_PATH=$work/vst
# No system LV2 bundles: less to load, nothing else to crash the host.
export LV2_PATH=$work/lv2
export PATH=$build/fakebin:$PATH
unset TB_ZENITY_ANSWER TB_ZENITY_ANSWERS TB_ZENITY_LOG

# shellcheck source=../support/checks.sh
. "$(dirname "$0")/../support/checks.sh"
# shellcheck source=../support/log-lines.sh
. "$(dirname "$0")/../support/log-lines.sh"
trap finish_checks EXIT

# shellcheck source=helpers.sh
. "$here/helpers.sh"

# One track, Tattlebox hosting 3BandEQ: scan, a session that rolls and sets
# parameters, saved, closed, loaded again (the dialog asks again), closed.
test_session() {
    need_display
    copy_plugin Tattlebox.so
    local lib=$work/vst/Tattlebox.so
    export TB_ZENITY_ANSWER=$eq TB_ZENITY_LOG=$work/zenity-scan.log
    logs+=("$TB_ZENITY_LOG")
    scan "$lib" "$work/scan.log"
    local status=$?
    expect "scan exits with 0 (status $status)" equals $status 0
    expect "scan asks for the target once" equals "$(dialogs "$TB_ZENITY_LOG")" 1
    local cache
    cache=$(cache_of "$lib")
    expect "scan cache records Tattlebox under the target's name" grep -q 'name="3 Band EQ"' "${cache:-/dev/null}"

    export TB_ZENITY_LOG=$work/zenity-session.log
    logs+=("$TB_ZENITY_LOG")
    local log=$work/session.log
    run_lua "$log" session.lua "$work/session" "3 Band EQ"
    status=$?
    expect "ardour7-lua exits with 0 (status $status)" equals $status 0
    expect "the script ran to its end" grep -q '^E2E closed again' "$log"

    local n
    n=$(dialogs "$TB_ZENITY_LOG")
    expect "one dialog per session opened ($n)" equals "$n" 2

    local loads opens closes unloads
    loads=$(count "$log" 3BandEQ-vst.so "Loaded $eq\$")
    opens=$(count "$log" 3BandEQ-vst.so 'effOpen')
    closes=$(count "$log" 3BandEQ-vst.so 'effClose')
    unloads=$(count "$log" 3BandEQ-vst.so "Unloaded $eq\$")
    expect "target loaded once per session ($loads)" equals "$loads" 2
    expect "effOpen per load ($opens)" equals "$opens" "$loads"
    expect "effClose per load ($closes)" equals "$closes" "$loads"
    expect "Unloaded per load ($unloads)" equals "$unloads" "$loads"

    # Process calls while the transport rolled 2 s: about one per block.
    local rate block expected calls
    rate=$(sed -n 's/^E2E rate \([0-9]*\) block \([0-9]*\)$/\1/p' "$log" | head -n 1)
    block=$(sed -n 's/^E2E rate \([0-9]*\) block \([0-9]*\)$/\2/p' "$log" | head -n 1)
    if [ -n "$rate" ] && [ -n "$block" ] && [ "$block" -gt 0 ]; then
        expected=$((2 * rate / block))
        calls=$(between "$log" '^E2E rolling' '^E2E rolled' | grep -cE "$(line_re 3BandEQ-vst.so 'processReplacing\(inputs:[0-9A-Fa-f]+, outputs:[0-9A-Fa-f]+, sampleFrames:[0-9]+\)')")
        expect "processReplacing calls in 2 s rolling: $calls, about $expected" \
            in_range "$calls" $((expected * 8 / 10)) $((expected * 3 / 2))
    else
        fail "rate and block size not reported"
    fi

    local set
    set=$(between "$log" '^E2E setting parameters' '^E2E parameters set')
    expect "setParameter of Master logged" grep -qE "$(line_re 3BandEQ-vst.so 'setParameter\(index: 3, parameter: 0\.250*\)')" <<< "$set"
    expect "setParameter of Mid logged" grep -qE "$(line_re 3BandEQ-vst.so 'setParameter\(index: 1, parameter: 0\.250*\)')" <<< "$set"

    # session.lua fails on the levels itself; shown here for the record.
    grep '^E2E peak' "$log" | sed 's/^E2E /info: /'
}

# Two copies of Tattlebox, each remembering its own target, on two tracks at
# once; no dialog at all, neither in the scans nor in the session. copies.lua
# checks from the meters that each copy's parameters reach its target only.
test_copies() {
    need_display
    copy_plugin Tattlebox.so
    copy_plugin Tattlebox-2.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    remember_target "$work/vst/Tattlebox-2.xml" "$mverb"
    export TB_ZENITY_LOG=$work/zenity.log
    logs+=("$TB_ZENITY_LOG")

    local lib status cache
    for lib in Tattlebox.so Tattlebox-2.so; do
        scan "$work/vst/$lib" "$work/scan-$lib.log"
        status=$?
        expect "scan of $lib exits with 0 (status $status)" equals $status 0
    done
    cache=$(cache_of "$work/vst/Tattlebox.so")
    expect "scan cache: Tattlebox.so as 3 Band EQ" grep -q 'name="3 Band EQ"' "${cache:-/dev/null}"
    cache=$(cache_of "$work/vst/Tattlebox-2.so")
    expect "scan cache: Tattlebox-2.so as MVerb" grep -q 'name="MVerb"' "${cache:-/dev/null}"

    local log=$work/session.log
    run_lua "$log" copies.lua "$work/session" "3 Band EQ" "MVerb"
    status=$?
    expect "ardour7-lua exits with 0 (status $status)" equals $status 0
    expect "the script ran to its end" grep -q '^E2E closed' "$log"

    two_copies_hosted "$log" "$eq" "$mverb"
    expect "3BandEQ-vst.so: setParameter of Master logged" \
        has "$log" 3BandEQ-vst.so 'setParameter\(index: 3, parameter: 0\.250*\)'
    expect "MVerb-vst.so: setParameter of Gain logged" \
        has "$log" MVerb-vst.so 'setParameter\(index: 6, parameter: 0\.0*\)'
    expect "Tattlebox.so logs as itself" has "$log" Tattlebox.so "Tattlebox - $work/vst/Tattlebox.so\$"
    expect "Tattlebox-2.so logs as itself" has "$log" Tattlebox-2.so "Tattlebox - $work/vst/Tattlebox-2.so\$"
    expect "no dialog was shown ($(dialogs "$TB_ZENITY_LOG") logged)" test ! -s "$TB_ZENITY_LOG"
    grep '^E2E peak' "$log" | sed 's/^E2E /info: /'
}

# Time Calls and Log Summary in a rolling session: return lines carry their
# durations, the window shows the loads (pictures in BUILD/screens), and the
# summary at Close holds every process call with its load.
test_timing() {
    need_display
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    sed -i 's/rememberTarget="1"/rememberTarget="1" timeCalls="1" logSummary="1" writeTrace="1"/' "$work/vst/Tattlebox.xml"
    scan "$work/vst/Tattlebox.so" "$work/scan.log"

    local screens=$build/screens
    mkdir -p "$screens"
    rm -f "$screens"/ardour-timing-*.png "$screens"/ardour-trace.*
    # The window of the session's instance (the scan's has gone by then): the
    # AEffect page, the note on its processReplacing row, the dispatcher page.
    (
        for _ in $(seq 400); do
            id=$(xdotool search --onlyvisible --name '^Tattlebox - 3BandEQ-vst.so$' 2>/dev/null | head -n 1)
            [ -n "$id" ] && grep -q '^E2E rolling' "$work/session.log" 2>/dev/null && break
            sleep 0.05
        done
        [ -n "$id" ] || exit 0
        sleep 1.5
        xdotool windowraise "$id" 2>/dev/null
        timeout 10 import -window "$id" "$screens/ardour-timing-aeffect.png" 2>/dev/null
        xdotool mousemove --window "$id" 300 $((35 + 3 * 16 + 8)) 2>/dev/null
        sleep 1.3
        timeout 10 import -window "$id" "$screens/ardour-timing-note.png" 2>/dev/null
        xdotool mousemove --window "$id" 103 101 click 1 2>/dev/null
        sleep 0.6
        timeout 10 import -window "$id" "$screens/ardour-timing-dispatcher.png" 2>/dev/null
    ) &
    local shooter=$!

    local log=$work/session.log status
    run_lua "$log" timing.lua "$work/session" "3 Band EQ" 4
    status=$?
    wait "$shooter" 2>/dev/null
    expect "ardour7-lua exits with 0 (status $status)" equals $status 0
    expect "the script ran to its end" grep -q '^E2E closed' "$log"

    local returns timed
    returns=$(count "$log" 3BandEQ-vst.so 'eff[A-Za-z]+ returned ')
    timed=$(count "$log" 3BandEQ-vst.so 'eff[A-Za-z]+ returned .*\(?[0-9]+\.[0-9] us\)$')
    expect "every return line ends with its duration ($timed of $returns)" equals "$timed" "$returns"
    expect "return lines were written ($returns)" test "$returns" -gt 5

    local calls summary
    calls=$(count "$log" 3BandEQ-vst.so 'processReplacing\(')
    summary=$(grep -E "$(line_re 3BandEQ-vst.so "Summary: processReplacing $calls calls, total [0-9.]+ us, max [0-9.]+ us, average [0-9.]+ us, load average [0-9.]+%, max [0-9.]+%, [0-9]+ of $calls blocks over budget\$")" "$log")
    expect "the summary counts every processReplacing call ($calls) with its load" test -n "$summary"
    echo "info: ${summary#*Summary: }"
    expect "the summary follows Close" test "$(between "$log" "effClose" "Unloaded $eq" | grep -c 'Summary: ')" -gt 3
    expect "the state file keeps Time Calls" grep -q 'timeCalls="1"' "$work/vst/Tattlebox.xml"
    expect "the state file keeps Log Summary" grep -q 'logSummary="1"' "$work/vst/Tattlebox.xml"
    for shot in aeffect note dispatcher; do
        expect "picture $screens/ardour-timing-$shot.png" test -s "$screens/ardour-timing-$shot.png"
    done

    # The session's trace (the scan's was started anew by the session): one
    # event per call the summary counts as timed, 3BandEQ's questions to the
    # host within its effOpen, and its picture.
    local trace=$work/vst/Tattlebox.trace.json
    python3 "$here/../support/trace_check.py" "$trace" --summary "$log" \
        --nested effOpen:audioMasterGetSampleRate >"$work/trace-check" 2>&1
    status=$?
    expect "the trace holds every timed call: $(head -n 1 "$work/trace-check")" equals $status 0
    grep -E '^(threads|the summary|nested)' "$work/trace-check" | sed 's/^/info: /'
    cp "$trace" "$screens/ardour-trace.json" 2>/dev/null
    python3 "$here/../../tools/trace_picture.py" "$trace" "$screens/ardour-trace.png" >/dev/null
    expect "picture $screens/ardour-trace.png" test -s "$screens/ardour-trace.png"
    expect "the state file keeps Write Trace" grep -q 'writeTrace="1"' "$work/vst/Tattlebox.xml"
}

# LSP's limiter sets its latency (initialDelay) in its first block and again
# when its lookahead changes, each time calling IOChanged from inside
# processReplacing. Ardour must see the same latencies through Tattlebox as
# with the limiter hosted directly, each in a session of its own: the two in
# one plug-in path would share a unique ID.
test_latency() {
    need_display
    [ -f "$limiter" ] || skip "$limiter is not installed (lsp-plugins-vst)"
    mkdir -p "$work/direct"
    cp -p "$limiter" "$work/direct/"
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$limiter"
    scan "$work/direct/${limiter##*/}" "$work/scan-direct.log"
    scan "$work/vst/Tattlebox.so" "$work/scan.log"
    local cache
    cache=$(cache_of "$work/vst/Tattlebox.so")
    expect "scan cache records Tattlebox as Limiter Stereo" grep -q 'name="Limiter Stereo"' "${cache:-/dev/null}"

    # Parameter 11, the lookahead: 0.1..20 ms, 1 is 20 ms.
    local how path status reported=()
    for how in direct tattlebox; do
        [ $how = direct ] && path=$work/direct || path=$work/vst
        LXVST_PATH=$path VST_PATH=$path \
            run_lua "$work/$how.log" latency.lua "$work/session-$how" "Limiter Stereo" 11 1
        status=$?
        expect "$how: ardour7-lua exits with 0 (status $status)" equals $status 0
        reported+=("$(sed -n 's/^E2E latency \(default\|set\) //p' "$work/$how.log" | xargs)")
        echo "info: $how: latency at the defaults, with 20 ms lookahead: ${reported[-1]}"
    done
    local default set
    read -r default set <<< "${reported[0]}"
    expect "direct: a latency, changed by the lookahead (${reported[0]})" \
        test "${default:-0}" -gt 0 -a "${set:-0}" -gt 0 -a "${default:-0}" -ne "${set:-0}"
    expect "Tattlebox: the same latencies as direct (${reported[1]})" test "${reported[1]}" = "${reported[0]}"
}

# The scanner with no X display at all: Tattlebox still hosts the target,
# and Ardour records it.
test_scanner_nodisplay() {
    copy_plugin Tattlebox.so
    local lib=$work/vst/Tattlebox.so log=$work/scan.log
    export TB_ZENITY_ANSWER=$eq TB_ZENITY_LOG=$work/zenity.log
    logs+=("$TB_ZENITY_LOG")
    logs+=("$log")
    LD_LIBRARY_PATH=/usr/lib/ardour7 timeout -k 10 "$limit" \
        env -u DISPLAY -u WAYLAND_DISPLAY "$scanner" -f "$lib" > "$log" 2>&1
    local status=$?
    expect "scan exits with 0 (status $status)" equals $status 0
    expect "Loaded logged" has "$log" 3BandEQ-vst.so "Loaded $eq\$"
    expect "effOpen logged" has "$log" 3BandEQ-vst.so 'effOpen'
    expect "effClose logged" has "$log" 3BandEQ-vst.so 'effClose'
    expect "Unloaded logged" has "$log" 3BandEQ-vst.so "Unloaded $eq\$"
    local cache
    cache=$(cache_of "$lib")
    expect "scan cache records the target" grep -q 'name="3 Band EQ"' "${cache:-/dev/null}"
}

# tp_crash writes through a null pointer in processReplacing, hosted by Ardour
# directly and then through Tattlebox, each in a session of its own (the two
# share a unique ID). Ardour must die the same way both times, and Tattlebox's
# log file must hold the report, its frames resolving to the crashing function.
test_crash() {
    need_display
    local crasher=$build/testplugins/tp_crash.so
    if [ ! -f "$crasher" ]; then
        fail "$crasher is missing: build first"
        exit 1
    fi
    # A core of Ardour per run would only cost time and disk.
    ulimit -c 0
    mkdir -p "$work/direct"
    cp -p "$crasher" "$work/direct/"
    local target=$work/direct/tp_crash.so
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$target"
    sed -i 's/rememberTarget="1"/rememberTarget="1" logToFile="1"/' "$work/vst/Tattlebox.xml"

    # The scanner opens and closes the plug-in without processing; TP_CRASH
    # is set for the sessions only all the same.
    unset TP_CRASH
    local lib status cache
    for lib in "$target" "$work/vst/Tattlebox.so"; do
        scan "$lib" "$work/scan-${lib##*/}.log"
        status=$?
        expect "scan of ${lib##*/} exits with 0 (status $status)" equals $status 0
        cache=$(cache_of "$lib")
        expect "scan cache records ${lib##*/} as tp_crash" grep -q 'name="tp_crash"' "${cache:-/dev/null}"
    done

    local how path statuses=() started
    for how in direct tattlebox; do
        [ $how = direct ] && path=$work/direct || path=$work/vst
        started=$SECONDS
        TP_CRASH=processReplacing LXVST_PATH=$path VST_PATH=$path \
            run_lua "$work/$how.log" crash.lua "$work/session-$how" tp_crash 100
        status=$?
        statuses+=("$status")
        echo "info: $how: ardour7-lua exited with status $status after $((SECONDS - started)) s"
        expect "$how: the plug-in was added" grep -q '^E2E added' "$work/$how.log"
        expect "$how: Ardour did not survive the crash" test "$(grep -c '^E2E survived' "$work/$how.log")" -eq 0
    done
    expect "direct: Ardour was killed by a signal (status ${statuses[0]})" test "${statuses[0]}" -gt 128 -a "${statuses[0]}" -lt 160
    expect "through Tattlebox: the same exit status as direct (${statuses[1]}, ${statuses[0]})" \
        equals "${statuses[1]}" "${statuses[0]}"

    local file=$work/vst/Tattlebox.log report
    logs+=("$file")
    report=$(grep -E "$(line_re tp_crash.so '(Crash: |#[0-9]+ )')" "$file" 2>/dev/null | sed -E 's/^[^)]*\) tp_crash\.so://')
    expect "the log file holds the headline" grep -qE \
        "^Crash: SIGSEGV \(address 0{16}\) on thread [0-9A-F]+ in the target's processReplacing, " <<< "$report"
    expect "the log file holds the code" grep -qx 'Crash: code SEGV_MAPERR (1)' <<< "$report"
    expect "the log file holds the module's path" grep -qx "Crash: module tp_crash.so is $target" <<< "$report"
    expect "the log file says where the crash went on" grep -qE '^Crash: handed on to ' <<< "$report"
    grep -E '^Crash: handed on to ' <<< "$report" | sed 's/^/info: /'

    # The crashing thread is the one that called processReplacing.
    local crashed last
    crashed=$(sed -nE 's/^Crash: SIGSEGV .* on thread ([0-9A-F]+) in .*/\1/p' <<< "$report" | head -n 1)
    last=$(grep -E "$(line_re tp_crash.so 'processReplacing\(')" "$file" | tail -n 1 | sed -nE 's/^[^(]*\(([0-9A-Fa-f]+)\).*/\1/p')
    expect "the headline's thread ($crashed) called processReplacing last ($last)" \
        test -n "$crashed" -a "${crashed^^}" = "${last^^}"

    local offsets function resolved=
    offsets=$(sed -nE 's/^#[0-9]+ tp_crash\.so\+(0x[0-9a-f]+)$/\1/p' <<< "$report")
    expect "frames in tp_crash.so" test -n "$offsets"
    for offset in $offsets; do
        function=$(addr2line -f -e "$target" "$offset" | head -n 1)
        [ "$function" = tpWriteThroughNull ] && resolved=$offset
    done
    expect "a frame resolves to tpWriteThroughNull (${resolved:-none of $(echo $offsets)})" test -n "$resolved"
}

# The session test's session (a track, rolling, parameters set, closed and
# reopened) with "Check Calls" and "Check Audio" on: each session ends with
# its summary, and what Ardour and the plug-in break is printed as info.
test_checks() {
    need_display
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    sed -i 's|rememberTarget="1"|rememberTarget="1" checkCalls="1" checkAudio="1"|' "$work/vst/Tattlebox.xml"
    scan "$work/vst/Tattlebox.so" "$work/scan.log"
    local log=$work/session.log status
    run_lua "$log" session.lua "$work/session" "3 Band EQ"
    status=$?
    expect "ardour7-lua exits with 0 (status $status)" equals $status 0
    expect "the script ran to its end" grep -q '^E2E closed again' "$log"
    expect "a check summary at each Close ($(count "$log" 3BandEQ-vst.so 'Check summary: '))" \
        has "$log" 3BandEQ-vst.so 'Check summary: '
    expect "the session stays transparent: no process call lost" \
        has "$log" 3BandEQ-vst.so 'processReplacing\('
    grep -E "$(line_re 3BandEQ-vst.so 'Check')" "$log" "$work/scan.log" | sed -E 's/^[^:]*:[^:]*:/info: /' | sort | uniq -c | sort -rn
}

# Record Session in a real host: Ardour rolls 3BandEQ through Tattlebox while
# its parameters change, recorded with the audio; tbreplay then plays the
# recording against 3BandEQ alone and must give every result and block as
# recorded. Ardour's main and audio threads interleave their calls, in the
# replay too but not alike: the logs are compared thread by thread, by role.
test_record() {
    need_display
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    sed -i 's/rememberTarget="1"/rememberTarget="1" recordSession="1" recordAudio="1" logToFile="1"/' "$work/vst/Tattlebox.xml"
    scan "$work/vst/Tattlebox.so" "$work/scan.log"
    # The scan is a session of its own: the session's recording and log start afresh.
    rm -f "$work/vst/Tattlebox.tbrec" "$work/vst/Tattlebox.log"

    local log=$work/session.log status
    run_lua "$log" record.lua "$work/session" "3 Band EQ"
    status=$?
    expect "ardour7-lua exits with 0 (status $status)" equals $status 0
    expect "the script ran to its end" grep -q '^E2E closed' "$log"

    local recording=$work/vst/Tattlebox.tbrec recorded=$work/vst/Tattlebox.log replay=$work/replay
    logs+=("$recorded" "$replay.err" "$work/log-diff")
    "$build/tbreplay" --info "$recording" >"$work/roles"
    local calls roles
    calls=$(sed -n 's/^.*:Recorded \([0-9]*\) calls$/\1/p' "$recorded")
    roles=$(sed -n 's/^.*, \([0-9]*\) thread roles, .*$/\1/p' "$work/roles")
    expect "the session was recorded whole (${calls:-no} calls)" test "${calls:-0}" -gt 100
    expect "Ardour's threads have roles of their own (${roles:-none})" test "${roles:-0}" -ge 2

    local started
    started=$(date +%s%N)
    "$build/tbreplay" --log --compare "$recording" "$eq" >"$replay.log" 2>"$replay.err"
    status=$?
    echo "info: $calls calls in $roles thread roles, replayed in $((($(date +%s%N) - started) / 1000000)) ms"
    expect "tbreplay --compare exits with 0 (status $status)" equals $status 0
    expect "tbreplay finds no difference: $(sed -n 's/^tbreplay: compared //p' "$replay.err")" \
        grep -qE '^tbreplay: compared [0-9]+ calls: 0 differences' "$replay.err"
    sh "$here/../../tools/compare-replay-log.sh" "$recorded" "$replay.log" "$work/roles" "$replay.err" >"$work/log-diff"
    status=$?
    expect "the replay logs each role's calls as recorded ($(head -n 1 "$work/log-diff"))" equals $status 0
}

case $test in
    session) test_session ;;
    checks) test_checks ;;
    copies) test_copies ;;
    timing) test_timing ;;
    latency) test_latency ;;
    scanner-nodisplay) test_scanner_nodisplay ;;
    crash) test_crash ;;
    record) test_record ;;
    *) echo "unknown sub-command: $test"; exit 2 ;;
esac
[ "$failures" -eq 0 ]
