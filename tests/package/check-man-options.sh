#!/bin/sh
# The manual pages name exactly the options the programs take: for moratutor-convert, the
# options of its --help usage lines in the synopsis, and every option its --help lists as the
# items of the options section, English and Russian alike; for moratutor, which takes a file
# name only, none.
#
#   check-man-options.sh MORATUTOR_CONVERT MAN_DIR
set -eu
convert=${1:?usage: check-man-options.sh MORATUTOR_CONVERT MAN_DIR}
man=${2:?usage: check-man-options.sh MORATUTOR_CONVERT MAN_DIR}
faults=0

# Options as they stand in text: "-o", "--groups", ... one a line, sorted, each once.
options() { grep -oE '(^|[^a-z0-9-])(-[a-z]|--[a-z][a-z-]*)' | sed 's/^[^-]*//' | sort -u; }
# A page's source with roff's "\-" made plain, comments left out.
plain() { sed -e '/^\.\\"/d' -e 's/\\-/-/g' "$1"; }
# The lines of one section, from ".SH NAME" to the next ".SH".
section() { awk -v name="$2" '/^\.SH /{on = ($0 ~ "^\\.SH \"?" name "\"?$"); next} on' ; }
# The tag lines of a section's items: the line after each ".TP".
tags() { awk 'tp {print; tp = 0} /^\.TP/ {tp = 1}'; }

compare() {
    if [ "$2" != "$3" ]; then
        echo "FAULT: $1 differs from --help"
        echo "  --help: $(echo "$2" | tr '\n' ' ')"
        echo "  page:   $(echo "$3" | tr '\n' ' ')"
        faults=$((faults + 1))
    fi
}

text=$("$convert" --help)
help=$(echo "$text" | options)
usage=$(echo "$text" | sed '/^$/q' | options)
[ -n "$help" ] && [ -n "$usage" ] || { echo "FAULT: moratutor-convert --help names no options"; exit 1; }
for page in "$man/moratutor-convert.1:SYNOPSIS:OPTIONS" "$man/ru/moratutor-convert.1:СИНТАКСИС:ПАРАМЕТРЫ"; do
    file=${page%%:*}
    rest=${page#*:}
    synopsis=${rest%%:*}
    items=${rest#*:}
    compare "$file ($synopsis)" "$usage" "$(plain "$file" | section x "$synopsis" | options)"
    compare "$file ($items)" "$help" "$(plain "$file" | section x "$items" | tags | options)"
done
for file in "$man/moratutor.1" "$man/ru/moratutor.1"; do
    named=$(plain "$file" | section x "SYNOPSIS|СИНТАКСИС|OPTIONS|ПАРАМЕТРЫ" | options)
    if [ -n "$named" ]; then
        echo "FAULT: $file names options moratutor does not take: $(echo "$named" | tr '\n' ' ')"
        faults=$((faults + 1))
    fi
done

[ "$faults" -eq 0 ] || exit 1
echo "the manual pages name the options --help names: $(echo "$help" | tr '\n' ' ')"
