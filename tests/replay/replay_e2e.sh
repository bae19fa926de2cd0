#!/bin/bash
# A real plug-in's session, recorded and replayed: scripts/replay-sweep.sh on
# a folder that holds only PLUGIN. The replay must give the recorded results,
# texts and audio bit for bit (tbreplay --compare exits with 0), and its log
# must hold the recorded session's calls call for call.
#
#   replay_e2e.sh BUILD_DIR PLUGIN
#
# Exits 77 (CTest's SKIP_RETURN_CODE) where PLUGIN is not installed.

set -u

build=$(cd "${1:?build folder}" && pwd)
plugin=${2:?plug-in}
here=$(cd "$(dirname "$0")" && pwd)

[ -f "$plugin" ] || { echo "skipped: $plugin is not installed"; exit 77; }
for f in Tattlebox.so tbhost tbreplay fakebin/zenity; do
    [ -e "$build/$f" ] || { echo "FAIL: $build/$f is missing: build first"; exit 1; }
done
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display: run under scripts/with-display.sh"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tb-replay.XXXXXX")
# shellcheck source=../support/checks.sh
. "$here/../support/checks.sh"
trap finish_checks EXIT

mkdir "$work/vst"
ln -s "$plugin" "$work/vst/"
name=${plugin##*/}
runs=$work/runs
logs+=("$work/table" "$runs/$name.replay.err" "$runs/$name.log-diff")
TB_SWEEP_DIR=$work/vst TB_SWEEP_WORK=$runs sh "$here/../../scripts/replay-sweep.sh" "$build" >"$work/table" 2>&1
status=$?

read -r _ det _ calls replay results log _ audio <<< "$(grep -F "$name " "$work/table" | head -n 1)"
expect "the plug-in is deterministic on its own (det: ${det:-none})" test "${det:-}" = yes
expect "the session was recorded (${calls:-no} calls)" test "${calls:-0}" -gt 0
expect "tbreplay --compare exits with 0 (${replay:-not run}; results differing: ${results:--}; audio: ${audio:--})" \
    test "${replay:-}" = ok
expect "the replay logs the recorded calls call for call (${log:--})" test "${log:-}" = same
expect "the sweep exits with 0 (status $status)" test "$status" -eq 0
grep '^tbreplay: compared ' "$runs/$name.replay.err" | sed 's/^tbreplay: /info: /'
