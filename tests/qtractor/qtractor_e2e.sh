#!/bin/bash
# Tattlebox in a real host: Debian's Qtractor (a Qt GUI program, no headless
# mode) on a display of its own (Xvfb and openbox), a JACK server of its own
# (the dummy backend) and a stand-in for the ALSA sequencer, preloaded, where
# the machine has no sound hardware. Checks are made on Tattlebox's call log
# (Qtractor's stderr), on the sessions Qtractor saves and on how it exits, the
# same session with the target inserted directly being the reference.
#
#   qtractor_e2e.sh BUILD_DIR session|scan|editor|copies|options [SEQ_STAND_IN]
#   qtractor_e2e.sh BUILD_DIR exit-times [SEQ_STAND_IN] [RUNS]
#
# SEQ_STAND_IN is the preload library (tests/qtractor/seq_stand_in.c).
# exit-times is not a test: it prints how long Qtractor takes to exit after
# SIGTERM, RUNS times through Tattlebox and RUNS times with the target alone
# (median and maximum). TB_EXIT_CAPTURE=true lets Qtractor capture stderr (the
# lines go to Tattlebox's log file then), TB_EXIT_ROLLING=1 quits while the
# transport rolls, TB_EXIT_ATTRIBUTES adds options to the state file and
# TB_EXIT_STRACE=1 keeps an strace of each exit through Tattlebox.
# Exits 77 (CTest's SKIP_RETURN_CODE) where Qtractor, JACK or a target is
# missing. Each run works in a fresh folder, kept and printed when a check fails.

set -u

build=$(cd "${1:?build folder}" && pwd)
test=${2:?sub-command}
seq_lib=${3:-$build/tests/qtractor/libtb_qtractor_seq.so}
runs=${4:-20}
here=$(cd "$(dirname "$0")" && pwd)

qtractor=/usr/bin/qtractor
scanner=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
eq=/usr/lib/vst/3BandEQ-vst.so
mverb=/usr/lib/vst/MVerb-vst.so
limit=30    # seconds for any one wait before it counts as hung
rate=48000 block=512

skip() { echo "skipped: $*"; exit 77; }

[ -x "$qtractor" ] && [ -x "$scanner" ] || skip "Qtractor is not installed (apt-get install qtractor)"
for tool in jackd jack_transport jack_lsp; do
    command -v $tool >/dev/null || skip "$tool is not installed (apt-get install jackd2)"
done
for target in "$eq" "$mverb"; do
    [ -f "$target" ] || skip "$target is not installed (dpf-plugins-vst)"
done
for file in "$build/Tattlebox.so" "$build/fakebin/zenity" "$seq_lib"; do
    if [ ! -e "$file" ]; then
        echo "FAIL: $file is missing: build first"
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tb-qtractor-$test.XXXXXX")
mkdir -p "$work/vst" "$work/home" "$work/cache" "$work/config/rncbc.org" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
# Qtractor reads VST_PATH and VST2_PATH too; a folder in two of them is
# scanned twice.
export LXVST_PATH=$work/vst
unset VST_PATH VST2_PATH
export PATH=$build/fakebin:$PATH
unset TB_ZENITY_ANSWER TB_ZENITY_ANSWERS TB_ZENITY_LOG
# libjack would otherwise start a default server of its own where ours is gone.
export JACK_NO_START_SERVER=1

# shellcheck source=../support/checks.sh
. "$here/../support/checks.sh"
# shellcheck source=../support/log-lines.sh
. "$here/../support/log-lines.sh"

pids=()     # what this script started, stopped at exit, newest first
# A Qtractor that failed half-way may sit in a dialog and never end on SIGTERM.
stop_all() {
    local i n
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || continue
        for ((n = 0; n < 50; n++)); do
            kill -0 "${pids[i]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "${pids[i]}" 2>/dev/null
        wait "${pids[i]}" 2>/dev/null
    done
}
trap 'status=$?; stop_all; (exit $status); finish_checks' EXIT

# Polls a command every 50 ms, for at most `limit` seconds.
wait_until() {  # wait_until DESCRIPTION COMMAND...
    local what=$1 deadline=$((SECONDS + limit))
    shift
    until "$@"; do
        if [ $SECONDS -ge $deadline ]; then
            fail "timed out waiting for $what"
            return 1
        fi
        sleep 0.05
    done
}

# A process that ended: a background job stays a zombie until waited for,
# and kill -0 still finds it.
ended() { ! kill -0 "$1" 2>/dev/null || grep -q '^State:.*Z' "/proc/$1/status" 2>/dev/null; }
server_is() { [ "$(tr -d ' ' <"/tmp/.X$1-lock" 2>/dev/null)" = "$2" ] && xdpyinfo >/dev/null 2>&1; }
server_up_or_ended() { server_is "$1" "$2" || ended "$2"; }
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wm_up_or_ended() { wm_up || ended "$1"; }

# A display of our own, numbered from 99 up as the other GUI tests do: Xvfb's
# own choice (-displayfd) takes :0 where no server runs, and tests that unset
# DISPLAY would then meet it (the framework falls back to :0). Two tests may
# race for a number: Xvfb refuses a taken one and the next is tried.
start_display() {  # start_display [WIDTHxHEIGHT]
    local number=99 xvfb
    while [ $number -lt 200 ]; do
        if [ ! -e /tmp/.X$number-lock ] && [ ! -e /tmp/.X11-unix/X$number ]; then
            Xvfb :$number -screen 0 "${1:-1280x1024}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
            xvfb=$!
            export DISPLAY=:$number
            # Ours once its lock file names it: a server another test started
            # on the same number answers xdpyinfo too.
            wait_until "Xvfb on :$number" server_up_or_ended $number $xvfb
            if server_is $number $xvfb; then
                pids+=($xvfb)
                break
            fi
            kill $xvfb 2>/dev/null
            wait $xvfb 2>/dev/null
        fi
        number=$((number + 1))
    done
    if [ $number -ge 200 ]; then
        fail "Xvfb did not start"
        exit 1
    fi
    # JUCE's windows provoke X errors without a window manager. One that
    # gave up (a loaded machine, a server still settling) is started again.
    local try wm
    for try in 1 2 3; do
        openbox >>"$work/openbox.log" 2>&1 &
        wm=$!
        pids+=($wm)
        wait_until "openbox" wm_up_or_ended $wm
        if wm_up; then
            return 0
        fi
        wait $wm 2>/dev/null
        echo "info: openbox ended before it managed the display (try $try): $(tail -n 1 "$work/openbox.log")"
    done
    fail "no window manager on $DISPLAY"
}

# First of all: Qtractor's first session on a new server starts only about
# 3.5 s after the server did, whatever else was done meanwhile. A JACK
# client's socket is named after the client alone (/dev/shm/jack_Qtractor_0_0),
# not its server: two Qtractors, even on two servers, take each other's, and
# the second fails to open. So one test with JACK at a time on the machine,
# in this run or any other.
start_jack() {
    exec 9>"${TMPDIR:-/tmp}/tb-qtractor-jack.lock"
    if ! flock -w 240 9; then
        fail "another test held JACK's client names for 240 s"
        exit 1
    fi
    export JACK_DEFAULT_SERVER=tb-qtractor-$test-$$
    jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r $rate -p $block >"$work/jackd.log" 2>&1 &
    pids+=($!)
    logs+=("$work/jackd.log")
}

# jack_wait looks once a second; jack_lsp answers as soon as the server does
# (given the server by JACK_DEFAULT_SERVER: with -s as well it may crash).
wait_jack() {
    jack_up() { jack_lsp >/dev/null 2>&1; }
    wait_until "jackd" jack_up || exit 1
}

# Plug-ins' stderr stays on Qtractor's stderr (by default Qtractor captures it
# into its Messages pane); Qtractor's own messages go to a file, which says
# when a session is open.
configure_qtractor() {  # configure_qtractor [CAPTURE=false]
    cat > "$XDG_CONFIG_HOME/rncbc.org/Qtractor.conf" <<EOF
[Options]
Display\\StdoutCapture=${1:-false}
Logging\\MessagesLog=true
Logging\\MessagesLogPath=$work/messages.log
EOF
}

# A copy, not the build's file: the build may be relinked while we run.
copy_plugin() {  # copy_plugin NAME.so
    cp -p "$build/Tattlebox.so" "$work/vst/$1"
}


# plugin_xml LIBRARY LABEL [INDEX=VALUE...]: one VST2 insert with saved values.
plugin_xml() {
    local lib=$1 label=$2 param
    shift 2
    printf '    <plugin type="VST2"><filename>%s</filename><index>0</index><label>%s</label><activated>1</activated>\n' "$lib" "$label"
    if [ $# -gt 0 ]; then
        printf '     <params>'
        for param in "$@"; do
            printf '<param index="%s">%s</param>' "${param%%=*}" "${param#*=}"
        done
        printf '</params>\n'
    fi
    printf '    </plugin>\n'
}

# write_session FILE PLUGIN_XML...: an audio track per insert, on Master.
write_session() {
    local file=$1 n=0 plugin
    shift
    mkdir -p "$(dirname "$file")"
    {
        cat <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qtractorSession>
<session version="Qtractor 0.9.31" name="$(basename "$file" .qtr)">
 <properties>
  <directory>$(dirname "$file")</directory>
  <sample-rate>$rate</sample-rate>
 </properties>
 <tracks>
EOF
        for plugin in "$@"; do
            n=$((n + 1))
            printf '  <track name="Audio %d" type="audio">\n   <properties><input-bus>Master</input-bus><output-bus>Master</output-bus></properties>\n   <plugins>\n%s\n   </plugins>\n  </track>\n' "$n" "$plugin"
        done
        printf ' </tracks>\n</session>\n'
    } > "$file"
}

# Qtractor, and the stand-in for the sequencer it needs to start its engine.
start_qtractor() {  # start_qtractor SESSION LOG
    logs+=("$2")
    [[ " ${logs[*]} " == *" $work/messages.log "* ]] || logs+=("$work/messages.log")
    opened_before=$(opened)
    LD_PRELOAD=$seq_lib "$qtractor" "$1" > "$2" 2>&1 &
    qtractor_pid=$!
    pids+=("$qtractor_pid")
}

qtractor_alive() { kill -0 "$qtractor_pid" 2>/dev/null; }
opened() { cat "$work/messages.log" 2>/dev/null | grep -c 'Open session: '; }
session_open() { [ "$(opened)" -gt "$opened_before" ]; }

# wait_open: until the session is open (Qtractor's own message) and, where a
# LOG is given, until Tattlebox logged the target's activation.
wait_open() {  # wait_open [LOG LOGGER]
    wait_until "Qtractor to open the session" session_open || return 1
    if [ $# -gt 0 ]; then
        wait_until "effMainsChanged state=1 in $1" has "$1" "$2" 'effMainsChanged state=1'
    else
        # No log to tell when the plug-in was activated: Qtractor does so
        # within tens of milliseconds of this message.
        sleep 0.5
    fi
}

# Rolls the transport: one jack_transport client, so that the two commands
# are apart by the sleep alone.
roll() {  # roll SECONDS
    { echo play; sleep "$1"; echo stop; } | jack_transport >/dev/null 2>&1
}

# save SESSION: SIGUSR1 makes Qtractor save its session under its own name.
save_session() {
    local before
    before=$(stat -c %Y.%s "$1" 2>/dev/null; md5sum < "$1")
    kill -USR1 "$qtractor_pid"
    saved_differs() { [ "$(stat -c %Y.%s "$1" 2>/dev/null; md5sum < "$1")" != "$before" ] && grep -q '</session>' "$1"; }
    wait_until "Qtractor to save $1" saved_differs "$1"
}

# quit: SIGTERM; sets exit_status and exit_ms (the signal to the exit).
quit_qtractor() {
    local started
    started=$(date +%s%N)
    quit_at=$(date +%T.%N | cut -c1-12)
    kill -TERM "$qtractor_pid"
    local deadline=$((SECONDS + limit))
    while qtractor_alive && [ $SECONDS -lt $deadline ]; do sleep 0.01; done
    exit_ms=$((($(date +%s%N) - started) / 1000000))
    if qtractor_alive; then
        fail "Qtractor still runs $limit s after SIGTERM"
        kill -KILL "$qtractor_pid"
    fi
    wait "$qtractor_pid"
    exit_status=$?
}

# The values a saved session holds for its first insert of LIBRARY, one
# "index=value" per line, in index order.
saved_params() {  # saved_params SESSION LIBRARY
    python3 - "$1" "$2" <<'EOF'
import sys, xml.etree.ElementTree as ET
for plugin in ET.parse(sys.argv[1]).iter("plugin"):
    if plugin.findtext("filename") == sys.argv[2]:
        params = {int(p.get("index")): p.text for p in plugin.iter("param")}
        for index in sorted(params):
            print("%d=%s" % (index, params[index]))
        break
EOF
}

# Lines from the first such line's time on, for 2000 ms (logTime on).
in_first_2s() {  # in_first_2s FILE LOGGER TEXT_REGEX
    grep -E "$(line_re "$2" "$3")" "$1" | awk '{ split($1, t, ":"); ms = (t[1] * 3600 + t[2] * 60 + t[3]) * 1000
        if (NR == 1) first = ms; if (ms - first < 2000) n++ } END { print n + 0 }'
}
equals() { [ "$1" = "$2" ]; }
in_range() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
dialogs() {  # number of dialogs the scripted zenity logged
    if [ -f "$1" ]; then grep -c '^end$' "$1"; else echo 0; fi
}
last_line_is() {  # last_line_is FILE LOGGER TEXT
    tail -n 1 "$1" | grep -qE "$(line_re "$2" "$3")\$"
}

# Rolls 2.5 s and sets rolled_blocks to the processReplacing calls of its
# first 2 s (logTime on). Where Qtractor reports an XRUN (JACK skipped cycles:
# the machine was too busy for them), again, at most three times; empty
# when every roll had one.
roll_blocks() {  # roll_blocks LOG
    local try from xruns
    rolled_blocks=
    for try in 1 2 3; do
        from=$(wc -l < "$1")
        xruns=$(grep -c 'XRUN' "$work/messages.log")
        roll 2.5
        # Qtractor stops some blocks late, and its messages come from its GUI thread.
        sleep 0.3
        if [ "$(grep -c 'XRUN' "$work/messages.log")" -eq "$xruns" ]; then
            rolled_blocks=$(tail -n +"$((from + 1))" "$1" | in_first_2s /dev/stdin 3BandEQ-vst.so \
                'processReplacing\(inputs:[0-9A-F]{16}, outputs:[0-9A-F]{16}, sampleFrames:512\)')
            return
        fi
        echo "info: roll $try: JACK skipped cycles (Qtractor reported an XRUN)"
    done
}

# The session through Tattlebox, then the same with the target alone:
# Tattlebox remembers 3BandEQ; the session's saved values reach it, 2 s of
# rolling give one processReplacing per block, SIGUSR1 saves what the target
# holds, and SIGTERM closes it once and exits as Qtractor does without it.
# ATTRIBUTES are more of Tattlebox's options.
run_session() {  # run_session [ATTRIBUTES]
    start_jack
    start_display
    wait_jack
    configure_qtractor
    copy_plugin Tattlebox.so
    # The lines' times tell 2 s of processing apart from the transport's start
    # and stop, which Qtractor follows a few blocks late.
    log_time=1
    remember_target "$work/vst/Tattlebox.xml" "$eq" "${1:-}"
    local lib=$work/vst/Tattlebox.so how session log
    local statuses=() params=()
    for how in tattlebox direct; do
        session=$work/$how/session.qtr
        log=$work/$how.log
        if [ $how = tattlebox ]; then
            write_session "$session" "$(plugin_xml "$lib" 3_Band_EQ 0=0.25 3=0.75)"
        else
            write_session "$session" "$(plugin_xml "$eq" 3_Band_EQ 0=0.25 3=0.75)"
        fi
        start_qtractor "$session" "$log"
        if [ $how = tattlebox ]; then
            wait_open "$log" 3BandEQ-vst.so || return
        else
            wait_open || return
        fi
        [ $how = tattlebox ] && roll_blocks "$log"
        save_session "$session"
        params+=("$(saved_params "$session" "$([ $how = tattlebox ] && echo "$lib" || echo "$eq")" | xargs)")
        quit_qtractor
        statuses+=("$exit_status")
        echo "info: $how: exit status $exit_status, $exit_ms ms after SIGTERM"
    done

    log=$work/tattlebox.log
    expect "Tattlebox loads the remembered target" has "$log" Tattlebox.so "Remembered target $eq\$"
    expect "the saved Low reaches the target" has "$log" 3BandEQ-vst.so 'setParameter\(index: 0, parameter: 0\.250*\)'
    expect "the saved Master reaches the target" has "$log" 3BandEQ-vst.so 'setParameter\(index: 3, parameter: 0\.750*\)'

    # 2 s are 187.5 blocks.
    local expected=$((2 * rate / block))
    if [ -n "$rolled_blocks" ]; then
        expect "processReplacing calls in the first 2 s of rolling: $rolled_blocks, 2 s are $expected.5 blocks" \
            in_range "$rolled_blocks" "$expected" $((expected + 1))
    else
        echo "info: JACK lost cycles in every roll (XRUN, a loaded machine): the blocks were not counted"
    fi

    expect "the saved values are the target's, as saved without Tattlebox (${params[0]})" \
        equals "${params[0]}" "${params[1]}"
    expect "the saved values hold the session's (${params[0]})" grep -qE '^0=0\.25 1=.* 3=0\.75 .*5=' <<< "${params[0]}"
    expect "one effClose ($(count "$log" 3BandEQ-vst.so 'effClose'))" equals "$(count "$log" 3BandEQ-vst.so 'effClose')" 1
    expect "one Unloaded" equals "$(count "$log" 3BandEQ-vst.so "Unloaded $eq\$")" 1
    expect "DLL_PROCESS_DETACH is the last line" last_line_is "$log" 3BandEQ-vst.so DLL_PROCESS_DETACH
    expect "Qtractor exits as without Tattlebox (${statuses[0]}, ${statuses[1]})" equals "${statuses[0]}" "${statuses[1]}"
}

test_session() {
    run_session
}

# The session again with every option that changes how calls are handled on:
# the same checks pass, the trace is whole, and each check Qtractor's own
# behaviour breaks is printed.
test_options() {
    run_session 'writeInBackground="1" timeCalls="1" writeTrace="1" reportCrashes="1" checkCalls="1" checkAudio="1"'
    local log=$work/tattlebox.log
    local returns timed
    returns=$(count "$log" 3BandEQ-vst.so 'eff[A-Za-z]+ returned ')
    timed=$(count "$log" 3BandEQ-vst.so 'eff[A-Za-z]+ returned .*\(?[0-9]+\.[0-9] us\)$')
    expect "every return line carries its duration ($timed of $returns)" equals "$timed" "$returns"
    expect "a check summary at Close" has "$log" 3BandEQ-vst.so 'Check summary: '
    expect "the summary comes before Unloaded" test "$(grep -nE "$(line_re 3BandEQ-vst.so 'Check summary: ')" "$log" | cut -d: -f1 | head -n 1)" \
        -lt "$(grep -nE "$(line_re 3BandEQ-vst.so 'Unloaded ')" "$log" | cut -d: -f1 | head -n 1)"
    python3 "$here/../support/trace_check.py" "$work/vst/Tattlebox.trace.json" >"$work/trace-check" 2>&1
    expect "the trace is whole and nests: $(head -n 1 "$work/trace-check")" equals $? 0
    grep -E "$(line_re 3BandEQ-vst.so 'Check')" "$log" | sed -E 's/^([0-9:.]+ )?\([0-9A-F]+\) [^:]*:/info: /; s/, thread [0-9A-F]+$//' | sort | uniq -c | sort -rn
}

# Qtractor's scanner on Tattlebox: the same line as for the target alone but
# for the path; without Remember Target the dialog answers its two entry calls.
test_scan() {
    start_display
    copy_plugin Tattlebox.so
    local lib=$work/vst/Tattlebox.so status direct line
    scan() {  # scan LIBRARY OUT LOG
        logs+=("$3")
        echo "VST2:$1" | timeout -k 5 "$limit" "$scanner" > "$2" 2> "$3"
    }
    scan "$eq" "$work/direct.out" "$work/direct.log"
    direct=$(sed "s|$eq|PATH|" "$work/direct.out")
    expect "the target alone is listed ($direct)" grep -q '^VST|3 Band EQ|' <<< "$direct"

    remember_target "$work/vst/Tattlebox.xml" "$eq"
    scan "$lib" "$work/remembered.out" "$work/remembered.log"
    status=$?
    line=$(sed "s|$lib|PATH|" "$work/remembered.out")
    expect "scan exits with 0 (status $status)" equals $status 0
    expect "Tattlebox is listed as the target is ($line)" equals "$line" "$direct"

    rm "$work/vst/Tattlebox.xml"
    export TB_ZENITY_ANSWER=$eq TB_ZENITY_LOG=$work/zenity.log
    logs+=("$TB_ZENITY_LOG")
    scan "$lib" "$work/asked.out" "$work/asked.log"
    status=$?
    line=$(sed "s|$lib|PATH|" "$work/asked.out")
    expect "scan with the dialog exits with 0 (status $status)" equals $status 0
    expect "Tattlebox is listed as the target is, with the dialog ($line)" equals "$line" "$direct"
    expect "the dialog answers both entry calls ($(dialogs "$TB_ZENITY_LOG"))" equals "$(dialogs "$TB_ZENITY_LOG")" 2
    expect "both entry calls load the target" equals "$(count "$work/asked.log" 3BandEQ-vst.so "Loaded $eq\$")" 2
    expect "one effOpen and one effClose, from the first instance" \
        equals "$(count "$work/asked.log" 3BandEQ-vst.so 'effOpen'):$(count "$work/asked.log" 3BandEQ-vst.so 'effClose')" 1:1
    expect "DLL_PROCESS_DETACH is the last line" last_line_is "$work/asked.log" 3BandEQ-vst.so DLL_PROCESS_DETACH
}

# Qtractor's titles end in an em dash and "Qtractor" only in _NET_WM_NAME, and
# xdotool's patterns do not match there: they match the start.
window_of() {  # window_of TITLE_REGEX: the first visible one
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}
# The fraction of distinct colours says whether a window's area was drawn:
# an undrawn one is a single colour.
drawn() {  # drawn PICTURE WINDOW
    local geometry x y w h
    geometry=$(xwininfo -id "$2" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width/ {w=$2} /Height/ {h=$2} END {print x, y, w, h}')
    read -r x y w h <<< "$geometry"
    local colours
    colours=$(convert "$1" -crop "${w}x${h}+${x}+${y}" +repage -format '%k' info: 2>/dev/null)
    echo "info: window $2 at ${w}x${h}+${x}+${y}: $colours colours"
    [ "${colours:-0}" -gt 50 ]
}

# The target's editor through Qtractor's mixer: a double-click on the insert
# in the track's plug-in list opens it, closing Qtractor's window around it
# closes it, and a picture of both is kept in BUILD/screens.
test_editor() {
    start_jack
    start_display 1600x1200
    wait_jack
    configure_qtractor
    copy_plugin Tattlebox.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    local session=$work/session/session.qtr log=$work/session.log
    write_session "$session" "$(plugin_xml "$work/vst/Tattlebox.so" 3_Band_EQ 0=0.25)"
    start_qtractor "$session" "$log"
    wait_open "$log" 3BandEQ-vst.so || return

    local main mixer editor control
    wait_until "Qtractor's window" sh -c 'xdotool search --onlyvisible --name "session\.qtr" >/dev/null 2>&1' || return
    main=$(window_of 'session\.qtr')
    wait_until "Tattlebox's window" sh -c 'xdotool search --onlyvisible --name "^Tattlebox - 3BandEQ-vst.so$" >/dev/null 2>&1' || return
    control=$(window_of '^Tattlebox - 3BandEQ-vst.so$')
    # F9 shows the mixer; the track's strip lists its inserts. Tattlebox's
    # window may take the focus back just after: then again.
    local try
    for try in 1 2 3 4 5; do
        xdotool windowactivate --sync "$main" 2>/dev/null
        xdotool key F9 2>/dev/null
        sleep 0.5
        mixer=$(window_of '^Mixer')
        [ -n "$mixer" ] && break
    done
    if [ -z "$mixer" ]; then
        fail "Qtractor's mixer did not show"
        return
    fi
    xdotool windowactivate --sync "$mixer" 2>/dev/null
    # The insert's row in the first track strip, right of the input buses'.
    xdotool mousemove --window "$mixer" 205 47 click --repeat 2 --delay 80 1
    wait_until "the editor's window" sh -c 'xdotool search --onlyvisible --name "^3 Band EQ - Audio 1" >/dev/null 2>&1' || return
    editor=$(window_of '^3 Band EQ - Audio 1')
    wait_until "effEditIdle" has "$log" 3BandEQ-vst.so 'effEditIdle'
    # All four apart: Qtractor's main window top left, its mixer over it, the
    # editor below, Tattlebox's window right of them.
    xdotool windowmove "$main" 0 24 windowmove "$mixer" 40 140 windowmove "$editor" 300 700 \
        windowmove "$control" 820 60 2>/dev/null
    xdotool windowraise "$control" windowraise "$mixer" windowraise "$editor" 2>/dev/null
    sleep 1
    local screens=$build/screens picture
    mkdir -p "$screens"
    picture=$screens/qtractor-editor.png
    rm -f "$picture"
    timeout 10 import -window root "$picture"
    expect "picture $picture" test -s "$picture"
    expect "the editor is drawn" drawn "$picture" "$editor"
    expect "Qtractor's mixer is drawn" drawn "$picture" "$mixer"
    expect "Tattlebox's window is drawn" drawn "$picture" "$control"

    # The window manager's close button: Qtractor closes the editor.
    wmctrl -ic "$editor"
    wait_until "effEditClose" has "$log" 3BandEQ-vst.so 'effEditClose'
    quit_qtractor
    expect "Qtractor exits with 0 (status $exit_status)" equals "$exit_status" 0
    local open rect close idles
    open=$(grep -nE "$(line_re 3BandEQ-vst.so 'effEditOpen window=[0-9A-F]{16}')" "$log" | cut -d: -f1 | head -n 1)
    rect=$(grep -nE "$(line_re 3BandEQ-vst.so 'effEditGetRect returned long=1 rect=top\(0\), left\(0\), bottom\([0-9]+\), right\([0-9]+\)')" "$log" | cut -d: -f1 | head -n 1)
    close=$(grep -nE "$(line_re 3BandEQ-vst.so 'effEditClose')" "$log" | cut -d: -f1 | head -n 1)
    idles=$(count "$log" 3BandEQ-vst.so 'effEditIdle')
    expect "effEditOpen once" equals "$(count "$log" 3BandEQ-vst.so 'effEditOpen window=')" 1
    expect "effEditGetRect returns the editor's size after effEditOpen" test -n "$open" -a -n "$rect" -a "${rect:-0}" -gt "${open:-0}"
    expect "effEditClose once, after them" test "$(count "$log" 3BandEQ-vst.so 'effEditClose')" -eq 1 -a "${close:-0}" -gt "${rect:-0}"
    expect "effEditIdle while open ($idles)" test "$idles" -gt 5
    expect "no effEditIdle after effEditClose" test "$(tail -n +"${close:-1}" "$log" | grep -cE "$(line_re 3BandEQ-vst.so 'effEditIdle')")" -eq 0
    expect "one effClose, then Unloaded" equals "$(count "$log" 3BandEQ-vst.so 'effClose'):$(count "$log" 3BandEQ-vst.so "Unloaded $eq\$")" 1:1
}

# Two tracks, two copies of Tattlebox, each remembering its own target: no
# dialog, each copy's saved values reach its own target only.
test_copies() {
    start_jack
    start_display
    wait_jack
    configure_qtractor
    copy_plugin Tattlebox.so
    copy_plugin Tattlebox-2.so
    remember_target "$work/vst/Tattlebox.xml" "$eq"
    remember_target "$work/vst/Tattlebox-2.xml" "$mverb"
    export TB_ZENITY_LOG=$work/zenity.log
    local session=$work/session/session.qtr log=$work/session.log
    write_session "$session" "$(plugin_xml "$work/vst/Tattlebox.so" 3_Band_EQ 3=0.75)" \
        "$(plugin_xml "$work/vst/Tattlebox-2.so" MVerb 6=0.125)"
    start_qtractor "$session" "$log"
    wait_open "$log" 3BandEQ-vst.so || return
    wait_until "MVerb's activation" has "$log" MVerb-vst.so 'effMainsChanged state=1' || return
    roll 1
    save_session "$session"
    quit_qtractor
    expect "Qtractor exits with 0 (status $exit_status)" equals "$exit_status" 0
    expect "the saved session keeps 3BandEQ's value with Tattlebox.so" \
        grep -qx '3=0.75' <<< "$(saved_params "$session" "$work/vst/Tattlebox.so")"
    expect "the saved session keeps MVerb's value with Tattlebox-2.so" \
        grep -qx '6=0.125' <<< "$(saved_params "$session" "$work/vst/Tattlebox-2.so")"
    local eq_blocks mverb_blocks
    eq_blocks=$(count "$log" 3BandEQ-vst.so 'processReplacing\(')
    mverb_blocks=$(count "$log" MVerb-vst.so 'processReplacing\(')
    expect "both tracks process the same blocks ($eq_blocks, $mverb_blocks)" \
        in_range $((eq_blocks - mverb_blocks)) -1 1

    two_copies_hosted "$log" "$eq" "$mverb"
    expect "3BandEQ-vst.so: its saved value, and only its" \
        equals "$(count "$log" 3BandEQ-vst.so 'setParameter\(')/$(count "$log" 3BandEQ-vst.so 'setParameter\(index: 3, parameter: 0\.750*\)')" 1/1
    expect "MVerb-vst.so: its saved value, and only its" \
        equals "$(count "$log" MVerb-vst.so 'setParameter\(')/$(count "$log" MVerb-vst.so 'setParameter\(index: 6, parameter: 0\.1250*\)')" 1/1
    expect "Tattlebox.so logs as itself" has "$log" Tattlebox.so "Tattlebox - $work/vst/Tattlebox.so\$"
    expect "Tattlebox-2.so logs as itself" has "$log" Tattlebox-2.so "Tattlebox - $work/vst/Tattlebox-2.so\$"
    expect "two DLL_PROCESS_DETACH lines" equals "$(grep -c 'DLL_PROCESS_DETACH$' "$log")" 2
    expect "no dialog was shown" test ! -s "$TB_ZENITY_LOG"
}

# Not a test: RUNS exits through Tattlebox and RUNS with the target alone,
# alternating, each after the session opened and rolled for a moment.
test_exit_times() {
    start_jack
    start_display
    wait_jack
    configure_qtractor "${TB_EXIT_CAPTURE:-false}"
    copy_plugin Tattlebox.so
    log_time=1
    remember_target "$work/vst/Tattlebox.xml" "$eq" "${TB_EXIT_ATTRIBUTES:-}"
    [ "${TB_EXIT_CAPTURE:-false}" = true ] && sed -i 's/rememberTarget="1"/rememberTarget="1" logToFile="1"/' "$work/vst/Tattlebox.xml"
    local how i session log times_tattlebox=() times_direct=()
    write_session "$work/tattlebox/session.qtr" "$(plugin_xml "$work/vst/Tattlebox.so" 3_Band_EQ 0=0.25)"
    write_session "$work/direct/session.qtr" "$(plugin_xml "$eq" 3_Band_EQ 0=0.25)"
    for ((i = 1; i <= runs; i++)); do
        for how in tattlebox direct; do
            session=$work/$how/session.qtr
            log=$work/$how-$i.log
            start_qtractor "$session" "$log"
            # Where Qtractor captures stderr, its Messages pane has the lines.
            if [ "${TB_EXIT_CAPTURE:-false}" = true ]; then
                rm -f "$work/vst/Tattlebox.log"
                log=$work/vst/Tattlebox.log
            fi
            if [ $how = tattlebox ]; then wait_open "$log" 3BandEQ-vst.so || return; else wait_open || return; fi
            # TB_EXIT_ROLLING=1: SIGTERM while the transport rolls.
            if [ -n "${TB_EXIT_ROLLING:-}" ]; then
                roll 3 &
                pids+=($!)
                sleep 0.6
            else
                roll 0.3
                sleep 0.3
            fi
            [ -n "${TB_EXIT_STRACE:-}" ] && [ $how = tattlebox ] && \
                { strace -f -tt -p "$qtractor_pid" -o "$work/strace-$i.txt" 2>/dev/null & pids+=($!); sleep 0.5; }
            quit_qtractor
            if [ $how = tattlebox ]; then times_tattlebox+=("$exit_ms"); else times_direct+=("$exit_ms"); fi
            echo "$how $i: $exit_ms ms, status $exit_status, SIGTERM at $quit_at"
        done
    done
    local name
    for name in tattlebox direct; do
        local -n times=times_$name
        printf '%s\n' "${times[@]}" | sort -n | awk -v name="$name" '{ t[NR] = $1 }
            END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
                  printf "%s: %d exits, median %d ms, max %d ms\n", name, NR, m, t[NR] }'
    done
    echo "the run's files are in $work"
    trap - EXIT
    stop_all
}

case $test in
    session) test_session ;;
    options) test_options ;;
    scan) test_scan ;;
    editor) test_editor ;;
    copies) test_copies ;;
    exit-times) test_exit_times; exit 0 ;;
    *) echo "unknown sub-command: $test"; exit 2 ;;
esac
[ "$failures" -eq 0 ]
