# Shared by the shell end-to-end tests (bash, sourced): ok/FAIL lines and a
# count of failures, the logs to show when a check failed, and the EXIT trap
# that shows them and keeps the run's folder ($work) for a look, or removes it.
failures=0
logs=()

pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# A log as printed on failure, with runs of process calls folded into one line.
show_log() {
    echo "----- $1"
    [ -f "$1" ] || { echo "(missing)"; return; }
    awk '/processReplacing|:process\(/ { n++; next }
         n { print "    ... " n " process calls"; n = 0 }
         { print }
         END { if (n) print "    ... " n " process calls" }' "$1"
}

finish_checks() {
    local status=$?
    if [ "$failures" -gt 0 ] || [ "$status" -ne 0 ]; then
        for f in "${logs[@]}"; do show_log "$f"; done
        echo "----- the run's files are kept in $work"
        [ "$status" -ne 0 ] || status=1
    else
        chmod -R u+w "$work" 2>/dev/null
        rm -rf "$work"
    fi
    exit "$status"
}
