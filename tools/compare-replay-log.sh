#!/bin/sh
# compare-replay-log.sh RECORDED_LOG REPLAY_LOG [RECORDED_ROLES REPLAY_ROLES]
# Whether `tbreplay --log` made the calls of the recorded session's log
# (Tattlebox.log) call for call. Threads interleave differently in a replay,
# so each thread's lines are compared as a sequence of their own. A thread is
# named by its role where the roles files say ("role N: thread X" lines:
# `tbreplay --info` for the recording, the standard error of `tbreplay --log`
# for the replay), else by the order it first logs in (the plug-in's own
# threads). Addresses change from run to run and are masked: 16 hex digits,
# and in decimal the speaker arrangements' pluginInput=, GetTime's TimeInfo=
# and effEditGetRect's result (JUCE's plug-ins answer with the rectangle's
# address). Tattlebox's own lines that are not calls are left out. Prints the
# first differences as a diff of "thread<TAB>line"; exit status 0 same,
# 1 different, 2 unreadable.

[ $# -eq 2 ] || [ $# -eq 4 ] || { echo "usage: $0 RECORDED_LOG REPLAY_LOG [RECORDED_ROLES REPLAY_ROLES]" >&2; exit 2; }
for f in "$@"; do [ -r "$f" ] || { echo "$0: cannot read $f" >&2; exit 2; }; done

# calls LOG ROLES [KNOWN]: "thread<TAB>line" per call line, sorted by thread
# and in order within each. Roles are taken only where KNOWN has them too: a
# role the replay never played a call on (a plug-in thread's callbacks) is
# one of the plug-in's own threads there.
calls() {
    sed -E -e 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} //' \
        -e '/^\([0-9A-Fa-f]+\) [^:]*:(Tattlebox - |Loaded |Unloaded |Recording the session |Recorded [0-9]+ calls|DLL_|Remembered target |[0-9]{1,2} [A-Z][a-z]+ [0-9]{4} )/d' \
        -e 's/\b[0-9A-Fa-f]{16}\b/ADDRESS/g' -e 's/\b(pluginInput|TimeInfo)=[0-9]+/\1=ADDRESS/g' \
        -e 's/(:effEditGetRect returned long=)[0-9]{2,}/\1ADDRESS/' "$1" \
    | awk -v roles="$2" -v known="${3:-$2}" '
        function readRoles(file, into,    line, w) {
            while (file != "" && (getline line < file) > 0)
                if (match(line, /role [0-9]+: thread [0-9A-Fa-f]+$/)) {
                    split(substr(line, RSTART), w, /[ :]+/)
                    into[toupper(w[4])] = w[2]
                }
        }
        BEGIN {
            readRoles(known, other)
            for (t in other) played[other[t]] = 1
            readRoles(roles, mine)
            for (t in mine) if (mine[t] in played) name[t] = "role " mine[t]
        }
        match($0, /^\([0-9A-Fa-f]+\) /) {
            t = toupper(substr($0, 2, RLENGTH - 3))
            if (!(t in name)) name[t] = "thread " ++others
            print name[t] "\t" substr($0, RLENGTH + 1)
        }' | sort -s -t "	" -k1,1
}

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
calls "$1" "${3:-}" "${4:-}" >"$tmp/recorded"
calls "$2" "${4:-}" "${3:-}" >"$tmp/replayed"
if diff -u "$tmp/recorded" "$tmp/replayed" >"$tmp/diff"; then
    echo "same: $(wc -l <"$tmp/recorded") call lines"
    exit 0
fi
tail -n +3 "$tmp/diff" | head -n 60
exit 1
