#!/bin/sh
# resolve-frames.sh [LOG]: the frames of the crash reports in a Tattlebox log
# (a file, or standard input), each with its function and source line:
#   #3 MyDelay.so+0x1a2f0  ->  #3 MyDelay.so+0x1a2f0 process(float**, int) at src/Delay.cpp:88
# Each module is read from the path its "Crash: module NAME is PATH" line
# gives; TB_FRAMES_PATH (folders, colon-separated) is searched first, for a
# module that has moved or a copy with its debug information. Windows paths
# ("Z:\plugins\MyDelay.dll") are read from their Linux place under Wine's Z:,
# and a module's relative offset gets its image base added, as addr2line
# wants. Needs binutils (addr2line, objdump; x86_64-w64-mingw32-objdump or
# objdump for Windows modules).
set -eu
log=${1:--}
lines=$(sed -E 's/^([0-9:.]+ )?\([0-9A-Fa-f]+\) [^:]*://' "$log")

module_path() {  # the file of module NAME
    name=$1
    old_ifs=$IFS; IFS=:
    for folder in ${TB_FRAMES_PATH:-}; do
        [ -f "$folder/$name" ] && { IFS=$old_ifs; echo "$folder/$name"; return; }
    done
    IFS=$old_ifs
    printf '%s\n' "$lines" | sed -n "s/^Crash: module $(printf '%s' "$name" | sed 's/[.[\*^$]/\\&/g') is //p" | head -n 1 \
        | sed -E 's/^[Zz]:\\/\//; s/\\/\//g'
}

image_base() {  # 0 for an ELF file; a PE file's ImageBase
    case "$1" in
        *.dll|*.DLL|*.exe|*.EXE)
            dump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
            "$dump" -p "$1" 2>/dev/null | awk '/^ImageBase/ { print "0x" $2; exit }' ;;
        *) echo 0 ;;
    esac
}

printf '%s\n' "$lines" | while IFS= read -r line; do
    case "$line" in
        "#"[0-9]*" "*+0x*) ;;
        *) continue ;;
    esac
    frame=${line%% *}
    place=${line#* }
    name=${place%+0x*}
    offset=0x${place##*+0x}
    file=$(module_path "$name")
    where="??"
    if [ -n "$file" ] && [ -f "$file" ]; then
        base=$(image_base "$file")
        address=$(printf '0x%x' $(( ${base:-0} + offset )))
        where=$(addr2line -f -C -e "$file" "$address" 2>/dev/null | { read -r function; read -r source; echo "$function at $source"; })
    fi
    echo "$frame $place $where"
done
