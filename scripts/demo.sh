#!/bin/sh
# The demo: tbhost loads BUILD/Tattlebox.so as its plug-in; Tattlebox asks for
# the target in its file dialog (answered by the scripted zenity, or by you
# with TB_DEMO_INTERACTIVE=1 on a real display), hosts it, and its log shows
# every call between the two. Usage: sh scripts/demo.sh BUILD_DIR
set -e
build=$(cd "${1:-build}" && pwd)
target=${TB_DEMO_TARGET:-/usr/lib/vst/3BandEQ-vst.so}
head_lines=${TB_DEMO_HEAD:-45}
tail_lines=${TB_DEMO_TAIL:-12}

for f in "$build/Tattlebox.so" "$build/tbhost"; do
    [ -e "$f" ] || { echo "demo: $f is missing; run make first" >&2; exit 1; }
done

if [ "${TB_DEMO_INTERACTIVE:-0}" = 1 ] && [ -n "$DISPLAY" ]; then
    echo "== Choose a VST 2 plug-in (.so) in the dialog on $DISPLAY"
else
    [ -e "$target" ] || { echo "demo: $target is not installed (dpf-plugins-vst)" >&2; exit 1; }
    PATH="$build/fakebin:$PATH"
    TB_ZENITY_ANSWER=$target
    export PATH TB_ZENITY_ANSWER
    unset TB_ZENITY_ANSWERS TB_ZENITY_LOG
    echo "== The file dialog is answered with $target"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# With a display, the session holds the plug-in's editor open for a moment, and
# a picture of Tattlebox's control window is taken meanwhile.
hold=""
shot=""
if [ -n "$DISPLAY" ] && command -v xdotool >/dev/null && command -v import >/dev/null; then
    hold="--editor 2500"
    mkdir -p "$build/screens"
    shot="$build/screens/demo-window.png"
    logshot="$build/screens/demo-log-page.png"
    (
        for _ in $(seq 2400); do
            id=$(xdotool search --onlyvisible --name '^Tattlebox - ' 2>/dev/null | head -n 1)
            [ -n "$id" ] && break
            sleep 0.05
        done
        [ -n "$id" ] || exit 0
        sleep 0.7
        xdotool windowraise "$id" 2>/dev/null
        sleep 0.2
        timeout 10 import -window "$id" "$shot" 2>/dev/null
        # The Log page (the fifth tab) with the session's lines so far.
        xdotool mousemove --window "$id" 103 242 click 1 2>/dev/null
        sleep 0.5
        xdotool windowraise "$id" 2>/dev/null
        sleep 0.2
        timeout 10 import -window "$id" "$logshot" 2>/dev/null
    ) &
    shooter=$!
fi

echo "== tbhost --blocks 4 $hold $build/Tattlebox.so"
status=0
"$build/tbhost" --blocks 4 $hold "$build/Tattlebox.so" >"$work/summary" 2>"$work/stderr" || status=$?
if [ -n "$shot" ]; then
    kill "$shooter" 2>/dev/null || true
    wait "$shooter" 2>/dev/null || true
fi

# Tattlebox's lines are those with its "(thread) name:" prefix; the rest is the host's own chatter.
grep -E '^([0-9:.]+ )?\([0-9A-F]+\) ' "$work/stderr" >"$work/log" || true
total=$(wc -l <"$work/log")

echo
echo "== Tattlebox log ($total lines)"
if [ "$total" -le $((head_lines + tail_lines + 5)) ]; then
    cat "$work/log"
else
    head -n "$head_lines" "$work/log"
    echo "   ... $((total - head_lines - tail_lines)) lines left out; by call:"
    sed -n "$((head_lines + 1)),$((total - tail_lines))p" "$work/log" \
        | sed -E 's/^([0-9:.]+ )?\([0-9A-F]+\) [^:]*://; s/[( ].*//' \
        | sort | uniq -c | sort -rn | sed 's/^/   /'
    echo "   ..."
    tail -n "$tail_lines" "$work/log"
fi

echo
echo "== tbhost summary (exit status $status)"
cat "$work/summary"
[ -s "$build/Tattlebox.xml" ] && echo "== State file: $build/Tattlebox.xml"
[ -n "$shot" ] && [ -s "$shot" ] && echo "== Control window picture: $shot"
[ -n "$shot" ] && [ -s "$logshot" ] && echo "== Log page picture: $logshot"
exit $status
