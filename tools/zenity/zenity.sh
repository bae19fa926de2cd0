#!/bin/sh
# Scripted stand-in for zenity, for tests and the demo: put its folder first on
# PATH and JUCE's file chooser runs it instead of the real dialog.
#   TB_ZENITY_LOG      file to which each call appends "cwd: <folder>", one
#                      "arg: <argument>" line per argument, and "end"
#   TB_ZENITY_ANSWERS  file of answers, one line per dialog: the first line is
#                      taken and removed
#   TB_ZENITY_ANSWER   the answer when TB_ZENITY_ANSWERS names no file
# An empty answer, "CANCEL" or no answer at all cancels (no output, status 1);
# any other answer is printed as the chosen path (status 0).

if [ -n "$TB_ZENITY_LOG" ]; then
    {
        printf 'cwd: %s\n' "$(pwd -P)"
        for arg in "$@"; do
            printf 'arg: %s\n' "$arg"
        done
        echo end
    } >> "$TB_ZENITY_LOG"
fi

if [ -n "$TB_ZENITY_ANSWERS" ] && [ -f "$TB_ZENITY_ANSWERS" ]; then
    answer=$(sed -n 1p "$TB_ZENITY_ANSWERS")
    # Rewritten in place, not replaced: the caller may hold the file's name only.
    rest=$(sed 1d "$TB_ZENITY_ANSWERS"; echo x)
    printf '%s' "${rest%x}" > "$TB_ZENITY_ANSWERS"
else
    answer=$TB_ZENITY_ANSWER
fi

case "$answer" in
    ""|CANCEL) exit 1 ;;
esac

printf '%s\n' "$answer"
exit 0
