# Helpers of the Ardour cases (bash, sourced by ardour_e2e.sh once it has set
# build, work, here, the tools' paths and the limit): the copies and state
# files of Tattlebox, Tattlebox's log lines, and Ardour's scanner and Lua tool.
# shellcheck disable=SC2154

# A copy, not the build's file: the build may be relinked while we run. -p
# keeps the build's mtime: a library newer than its scan cache is rescanned
# by Ardour, and new_plugin then finds nothing.
copy_plugin() {  # copy_plugin NAME.so
    cp -p "$build/Tattlebox.so" "$work/vst/$1"
}


# Lines of FILE after the first line matching FROM, before the next one matching TO.
between() {  # between FILE FROM TO
    awk -v from="$2" -v to="$3" '!on && $0 ~ from { on = 1; next } on && $0 ~ to { exit } on' "$1"
}
equals() { [ "$1" -eq "$2" ]; }
in_range() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
dialogs() {  # number of dialogs the scripted zenity logged
    if [ -f "$1" ]; then grep -c '^end$' "$1"; else echo 0; fi
}

scan() {  # scan LIBRARY LOG: Ardour's scanner, as Ardour runs it
    logs+=("$2")
    LD_LIBRARY_PATH=/usr/lib/ardour7 timeout -k 10 "$limit" "$scanner" -f "$1" > "$2" 2>&1
}

cache_of() {  # the scanner's cache file recording LIBRARY
    grep -l "binary=\"$1\"" "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null | head -n 1
}

run_lua() {  # run_lua LOG SCRIPT ARGS...
    local log=$1
    shift
    logs+=("$log")
    timeout -k 10 "$limit" "$lua_tool" "$here/$1" "${@:2}" > "$log" 2>&1
}

need_display() {
    if [ -z "${DISPLAY:-}" ]; then
        fail "no X display: run under scripts/with-display.sh"
        exit 1
    fi
}
