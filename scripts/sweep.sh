#!/bin/sh
# sweep.sh [BUILD_DIR]: runs every VST 2 plug-in in the system folders through
# tbhost twice directly and once through Tattlebox (the scripted zenity picks
# the plug-in), and prints a table:
#   direct   the plug-in loads and runs on its own (tbhost's exit status)
#   det      its two direct runs gave byte-identical audio
#   tattle   the same through Tattlebox ("-" when there is no Tattlebox.so)
#   audio    "same": byte-identical output; "same*": the plug-in's own two runs
#            already differ, so only equal length and finite samples count;
#            "DIFF": not transparent
#   summary  tbhost's summary equal apart from the name line
#   lines    Tattlebox's log lines on standard error
#   crash    runs that ended by a signal; runs that hit the timeout show "T"
# Needs an X display (run it through scripts/with-display.sh; `make sweep`
# does). Exit status 1 when a run crashed or a deterministic plug-in differed.
# Environment: TB_SWEEP_DIR (folders, blank-separated; default /usr/lib/vst and
# /usr/lib/lxvst; links are followed, and a file reached twice runs once), TB_SWEEP_TIMEOUT (seconds
# per run, default 60), TB_SWEEP_FILTER (only paths containing this text),
# TB_SWEEP_TATTLEBOX (another Tattlebox.so than BUILD_DIR's), TB_SWEEP_WORK
# (folder for the run files, default BUILD_DIR/sweep; emptied first),
# TB_SWEEP_CHECKS=1 (the runs through Tattlebox with "Check Calls" and
# "Check Audio" on: a column "checks" with the number of rules broken, and
# WORK/checks.txt with each plug-in's "Check summary" lines).
# Sourced with SWEEP_LIB=1 (and SWEEP_NAME for its messages and its folder in
# BUILD_DIR), it sets all this up and gives its helpers to another sweep.

set -u
BUILD=$(cd "${1:-build}" && pwd) || exit 2
VST_DIRS=${TB_SWEEP_DIR:-/usr/lib/vst /usr/lib/lxvst}
TIMEOUT=${TB_SWEEP_TIMEOUT:-60}
FILTER=${TB_SWEEP_FILTER:-}
TBHOST=$BUILD/tbhost
TATTLEBOX=${TB_SWEEP_TATTLEBOX:-$BUILD/Tattlebox.so}
NAME=${SWEEP_NAME:-sweep}
WORK=${TB_SWEEP_WORK:-$BUILD/$NAME}

if [ ! -x "$TBHOST" ]; then
    echo "$NAME: $TBHOST is missing; build the tbhost target first" >&2
    exit 2
fi
if [ ! -x "$BUILD/fakebin/zenity" ]; then
    echo "$NAME: $BUILD/fakebin/zenity is missing; configure $BUILD first" >&2
    exit 2
fi
[ -f "$TATTLEBOX" ] || echo "$NAME: no $TATTLEBOX: direct runs only"

rm -rf "$WORK"
mkdir -p "$WORK"

# run NAME PLUGIN [VAR=VALUE...]: one tbhost run; leaves NAME.out/.err/.raw in
# $WORK and prints the run's exit status (124 when it timed out).
run() {
    name=$1 plugin=$2
    shift 2
    env "$@" timeout -k 5 "$TIMEOUT" "$TBHOST" --dump-audio "$WORK/$name.raw" "$plugin" \
        >"$WORK/$name.out" 2>"$WORK/$name.err" </dev/null
    echo $?
}

# Status word of a run: ok, fail (exit status), T (timeout), or sig N.
outcome() {
    case $1 in
        0) echo ok ;;
        124|137) echo T ;;
        *) if [ "$1" -gt 128 ]; then echo "sig$(($1 - 128))"; else echo "fail$1"; fi ;;
    esac
}

is_crash() { [ "$1" -gt 128 ] && [ "$1" -ne 137 ]; }

# count_run STATUS LETTER: a crashed run's LETTER ("T" for a timeout) into the
# crash column ($crash) and the counts.
count_run() {
    is_crash "$1" && { crash="${crash}$2"; crashes=$((crashes + 1)); }
    [ "$1" -eq 124 ] || [ "$1" -eq 137 ] && { crash="${crash}T"; timeouts=$((timeouts + 1)); }
    return 0
}

# Packages install plug-ins through folder links (iem-plugin-suite-vst's
# iem.at): follow them, and keep the first path of each real file. Writes
# $WORK/plugins, those that pass the filter.
list_plugins() {
    # shellcheck disable=SC2086
    find -L $VST_DIRS -name '*.so' -type f 2>/dev/null | sort \
        | while IFS= read -r f; do printf '%s\t%s\n' "$(readlink -f "$f")" "$f"; done \
        | awk -F '\t' '!seen[$1]++ { print $2 }' | grep -F -- "$FILTER" >"$WORK/plugins"
}

# name_plugin PATH: $label, the path within its folder, and $id, the run files' name.
name_plugin() {
    label=$1
    for dir in $VST_DIRS; do
        case $1 in "${dir%/}"/*) label=${1#"${dir%/}"/}; break ;; esac
    done
    id=$(echo "$label" | tr '/ ' '__')
}

# direct_runs PLUGIN: its two runs on its own ($s1, $s2) and $det.
direct_runs() {
    s1=$(run "$id.direct1" "$1")
    s2=$(run "$id.direct2" "$1")
    count_run "$s1" D
    count_run "$s2" D
    det=-
    if [ "$s1" -eq 0 ] && [ "$s2" -eq 0 ]; then
        if cmp -s "$WORK/$id.direct1.raw" "$WORK/$id.direct2.raw"; then det=yes; else det=no; fi
    fi
}

# next_plugin PLUGIN: counted, named, and run twice on its own.
next_plugin() {
    total=$((total + 1))
    name_plugin "$1"
    crash=""
    direct_runs "$1"
}

crashes=0 timeouts=0
[ "${SWEEP_LIB:-0}" = 1 ] && return 0

CHECKS=${TB_SWEEP_CHECKS:-0}

# With the checks, a copy of the library whose state file switches them on,
# written anew before each run (Close writes it back).
if [ "$CHECKS" = 1 ] && [ -f "$TATTLEBOX" ]; then
    mkdir -p "$WORK/checked"
    cp "$TATTLEBOX" "$WORK/checked/Tattlebox.so"
    TATTLEBOX=$WORK/checked/Tattlebox.so
fi
checks_state() {
    [ "$CHECKS" = 1 ] || return 0
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<Tattlebox><Logger><Parameters checkCalls="1" checkAudio="1"/></Logger></Tattlebox>\n' \
        >"$WORK/checked/Tattlebox.xml"
}

total=0 loaded=0 transparent=0 differing=0 tattle_loaded=0
printf '%-44s %-7s %-4s %-7s %-6s %-8s %7s %-5s %s\n' plugin direct det tattle audio summary lines crash checks

list_plugins
while IFS= read -r plugin; do
    next_plugin "$plugin"
    [ "$s1" -eq 0 ] && loaded=$((loaded + 1))

    tattle=- audio=- summary=- lines=- checks=-
    if [ -f "$TATTLEBOX" ]; then
        checks_state
        st=$(run "$id.tattle" "$TATTLEBOX" PATH="$BUILD/fakebin:$PATH" TB_ZENITY_ANSWER="$plugin" TB_ZENITY_ANSWERS=)
        tattle=$(outcome "$st")
        count_run "$st" B
        [ "$st" -eq 0 ] && tattle_loaded=$((tattle_loaded + 1))
        # Tattlebox's lines: optional time of day, then "(<thread id in hex>) ".
        lines=$(grep -cE '^([0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} )?\([0-9A-F]+\) ' "$WORK/$id.tattle.err")
        if [ "$CHECKS" = 1 ]; then
            sed -nE "s/^.*:Check summary: (.*)$/$(printf '%s' "$label" | sed 's/[\/&]/\\&/g')\t\1/p" "$WORK/$id.tattle.err" >>"$WORK/checks.txt"
            checks=$(grep -cE ':Check summary: .*: [0-9]+$' "$WORK/$id.tattle.err")
        fi

        if [ "$s1" -eq 0 ] && [ "$st" -eq 0 ]; then
            if [ "$det" = yes ]; then
                if cmp -s "$WORK/$id.direct1.raw" "$WORK/$id.tattle.raw"; then
                    audio=same
                else
                    audio=DIFF
                fi
            elif [ "$(wc -c <"$WORK/$id.direct1.raw")" -eq "$(wc -c <"$WORK/$id.tattle.raw")" ] \
                && grep -q '^non-finite samples: 0$' "$WORK/$id.tattle.out"; then
                audio='same*'
            else
                audio=DIFF
            fi
            if [ "$audio" = DIFF ]; then differing=$((differing + 1)); else transparent=$((transparent + 1)); fi

            grep -v '^name: ' "$WORK/$id.direct1.out" >"$WORK/$id.direct1.summary"
            grep -v '^name: ' "$WORK/$id.tattle.out" >"$WORK/$id.tattle.summary"
            if cmp -s "$WORK/$id.direct1.summary" "$WORK/$id.tattle.summary"; then
                summary=same
            else
                summary=differs
            fi
        elif [ "$s1" -ne 0 ] && [ "$st" -ne 0 ]; then
            audio=n/a
        else
            audio=DIFF
            differing=$((differing + 1))
        fi
    fi

    printf '%-44s %-7s %-4s %-7s %-6s %-8s %7s %-5s %s\n' "$label" "$(outcome "$s1")" "$det" "$tattle" "$audio" "$summary" "$lines" "${crash:--}" "$checks"
done <"$WORK/plugins"

echo
echo "plug-ins: $total, loaded directly: $loaded, through Tattlebox: $tattle_loaded, transparent: $transparent," \
     "not transparent: $differing, crashed runs: $crashes, timeouts: $timeouts"
echo "(crash column: D direct run, B run through Tattlebox, T timeout; run files in $WORK)"

[ "$crashes" -eq 0 ] && [ "$differing" -eq 0 ]
