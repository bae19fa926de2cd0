#!/bin/sh
# replay-sweep.sh [BUILD_DIR]: for every VST 2 plug-in in the system folders,
# records a tbhost session through Tattlebox ("Record Session" with the
# audio), replays the recording against the plug-in alone with
# `tbreplay --compare`, and prints a table:
#   det      the plug-in's two direct runs gave byte-identical audio
#   record   the run through Tattlebox (tbhost's exit status, as sweep.sh says it)
#   calls    calls recorded ("Recorded N calls")
#   replay   tbreplay's outcome: ok, differs, failN, sigN, T
#   results  results, values and texts that differ from the recording's
#   log      the replay's log against the recorded one, call for call;
#            "dropped": the recorded log lost lines (its writer fell behind)
#   crash    runs that ended by a signal or hit the timeout
#   audio    "same", or the first block whose output differs
# A plug-in whose det is yes must replay with no difference at all. Needs an
# X display (`make replay-sweep` gives one); the environment of sweep.sh
# applies (TB_SWEEP_FILTER, TB_SWEEP_TIMEOUT, ...; files in
# BUILD_DIR/replay-sweep; TB_SWEEP_TBREPLAY for another tbreplay). Exit status 1 when a run crashed or a
# deterministic plug-in's replay differed.

# shellcheck source=sweep.sh
SWEEP_NAME=replay-sweep SWEEP_LIB=1 . "$(dirname "$0")/sweep.sh"
TBREPLAY=${TB_SWEEP_TBREPLAY:-$BUILD/tbreplay}
COMPARE_LOG=$(cd "$(dirname "$0")/../tools" && pwd)/compare-replay-log.sh
if [ ! -x "$TBREPLAY" ] || [ ! -f "$TATTLEBOX" ]; then
    echo "$NAME: $TBREPLAY or $TATTLEBOX is missing: build first" >&2
    exit 2
fi

# One copy of Tattlebox; each run's state file names its target and is
# written anew (Close writes it back), its recording and log moved aside after.
mkdir -p "$WORK/record"
cp "$TATTLEBOX" "$WORK/record/Tattlebox.so"
record() {  # record PLUGIN: the tbhost run through Tattlebox; prints its status
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<Tattlebox><Target>%s</Target><Logger><Parameters rememberTarget="1" recordSession="1" recordAudio="1" logToFile="1"/></Logger></Tattlebox>\n' \
        "$1" >"$WORK/record/Tattlebox.xml"
    rm -f "$WORK/record/Tattlebox.tbrec" "$WORK/record/Tattlebox.log"
    run "$id.record" "$WORK/record/Tattlebox.so"
    mv "$WORK/record/Tattlebox.tbrec" "$WORK/$id.tbrec" 2>/dev/null
    mv "$WORK/record/Tattlebox.log" "$WORK/$id.record.log" 2>/dev/null
}

# The editor's calls too (tbhost asks for its size): the display is there.
replay() {  # replay PLUGIN: prints tbreplay's status
    timeout -k 5 "$TIMEOUT" "$TBREPLAY" --editor --log --compare "$WORK/$id.tbrec" "$1" \
        >"$WORK/$id.replay.log" 2>"$WORK/$id.replay.err" </dev/null
    echo $?
}

total=0 recorded=0 identical=0 dropped=0 faults=0 differing=0
row='%-44s %-4s %-7s %6s %-8s %7s %-8s %-5s %s\n'
# shellcheck disable=SC2059
printf "$row" plugin det record calls replay results log crash audio

list_plugins
while IFS= read -r plugin; do
    next_plugin "$plugin"

    st=$(record "$plugin")
    count_run "$st" B
    calls=$(sed -n 's/^.*:Recorded \([0-9]*\) calls.*$/\1/p' "$WORK/$id.record.log" 2>/dev/null | tail -n 1)
    replayed=- results=- audio=- log=-
    if [ "${calls:-0}" -gt 0 ]; then
        recorded=$((recorded + 1))
        rs=$(replay "$plugin")
        count_run "$rs" R
        case $rs in 0) replayed=ok ;; 4) replayed=differs ;; *) replayed=$(outcome "$rs") ;; esac
        # "compared N calls: M differences (R in results, values and texts; A in blocks' audio, the first in block B)"
        summary=$(grep '^tbreplay: compared ' "$WORK/$id.replay.err")
        if [ -n "$summary" ]; then
            results=$(echo "$summary" | sed -n 's/.*(\([0-9]*\) in results.*/\1/p')
            [ -n "$results" ] || results='?'
            block=$(echo "$summary" | sed -n 's/.*the first in block \([0-9]*\)).*/\1/p')
            if [ -n "$block" ]; then audio="block $block"; else audio=same; fi
        fi
        "$TBREPLAY" --info "$WORK/$id.tbrec" >"$WORK/$id.roles" 2>/dev/null
        case $replayed in ok|differs)
            if grep -q ' lines dropped by the background writer$' "$WORK/$id.record.log"; then log=dropped
            elif sh "$COMPARE_LOG" "$WORK/$id.record.log" "$WORK/$id.replay.log" "$WORK/$id.roles" "$WORK/$id.replay.err" \
                >"$WORK/$id.log-diff" 2>&1; then log=same; else log=differs; fi ;;
        esac
        if [ "$replayed" = ok ] && [ "$log" = same ]; then
            identical=$((identical + 1))
        elif [ "$replayed" = ok ] && [ "$log" = dropped ]; then
            dropped=$((dropped + 1))
        elif [ "$det" = yes ]; then
            faults=$((faults + 1))
        else
            differing=$((differing + 1))
        fi
    fi
    # shellcheck disable=SC2059
    printf "$row" "$label" "$det" "$(outcome "$st")" "${calls:--}" "$replayed" "$results" "$log" "${crash:--}" "$audio"
done <"$WORK/plugins"

echo
echo "plug-ins: $total, recorded: $recorded, replayed identically: $identical (and $dropped whose recorded log lost lines)," \
     "deterministic ones that differ: $faults, others that differ: $differing, crashed runs: $crashes, timeouts: $timeouts"
echo "(crash column: D direct run, B run through Tattlebox, R replay, T timeout; run files in $WORK)"

[ "$crashes" -eq 0 ] && [ "$faults" -eq 0 ]
