#!/bin/sh
# Runs a command with an X display. Where none is set, starts Xvfb and a small
# window manager (JUCE provokes X errors without one), and stops both after.
if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$@"
fi
num=99
while [ -e /tmp/.X$num-lock ] || [ -e /tmp/.X11-unix/X$num ]; do num=$((num + 1)); done
Xvfb :$num -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:$num
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm=$!
sleep 0.5
"$@"
status=$?
kill $wm $xvfb 2>/dev/null
wait $wm $xvfb 2>/dev/null
exit $status
