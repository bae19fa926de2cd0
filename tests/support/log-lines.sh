# Shared by the DAW tests (bash, sourced): the state file that remembers a
# target, Tattlebox's log lines by logger and text, and what two copies of
# Tattlebox hosting two plug-ins show.

# remember_target STATE_FILE TARGET [ATTRIBUTES]: a state file that names the
# target, so that the library loads it without asking; log_time=1 for times.
log_time=0
remember_target() {
    cat > "$1" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<Tattlebox>
  <LastDir>$(dirname "$2")</LastDir>
  <Target>$2</Target>
  <Logger>
    <Parameters logParameters="1" logReturnParameters="1" logTime="$log_time" rememberTarget="1" ${3:-}/>
  </Logger>
</Tattlebox>
EOF
}

# Tattlebox's lines: optional "hh:mm:ss.mmm ", "(thread) ", "logger:", text.
line_re() {  # line_re LOGGER TEXT_REGEX
    local logger=${1//./\\.}
    printf '^([0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} )?\\([0-9A-Fa-f]+\\) %s:%s' "$logger" "$2"
}
count() {  # count FILE LOGGER TEXT_REGEX
    grep -cE "$(line_re "$2" "$3")" "$1"
}
has() { [ "$(count "$@")" -gt 0 ]; }

# Each copy loaded its target once, processed, closed and unloaded it once.
two_copies_hosted() {  # two_copies_hosted LOG EQ_PATH MVERB_PATH
    local logger target
    for logger in 3BandEQ-vst.so MVerb-vst.so; do
        [ "$logger" = 3BandEQ-vst.so ] && target=$2 || target=$3
        expect "$logger: target loaded once" equals "$(count "$1" "$logger" "Loaded $target\$")" 1
        expect "$logger: processReplacing calls" has "$1" "$logger" 'processReplacing\('
        expect "$logger: one effClose" equals "$(count "$1" "$logger" 'effClose')" 1
        expect "$logger: Unloaded" equals "$(count "$1" "$logger" "Unloaded $target\$")" 1
    done
}
