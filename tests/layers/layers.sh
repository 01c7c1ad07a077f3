#!/bin/bash
# layers.sh NM WIDGETS_SO LINKED_OFFENDERS LIB...
# Fails when a library meant to be widget-free references a symbol that Qt
# Widgets defines, or links Qt Widgets (LINKED_OFFENDERS, worked out at
# configure time from the link lines; "-" when there are none).
set -u
nm=$1 widgets=$2 linked=$3
shift 3
status=0
if [ "$linked" != "-" ]; then
    echo "linked to Qt Widgets (directly or through a library they link): $linked"
    status=1
fi
exported=$(mktemp)
trap 'rm -f "$exported"' EXIT
"$nm" -D --defined-only "$widgets" | awk '{ sub(/@.*/, "", $3); print $3 }' | sort -u >"$exported"
if [ ! -s "$exported" ]; then
    echo "no symbols read from $widgets"
    exit 1
fi
for lib in "$@"; do
    used=$("$nm" --undefined-only "$lib" 2>/dev/null | awk '$1 == "U" { print $2 }' | sort -u |
        comm -12 - "$exported")
    if [ -n "$used" ]; then
        echo "$(basename "$lib") uses Qt Widgets:"
        echo "$used" | head -20 | c++filt | sed 's/^/    /'
        status=1
    fi
done
[ $status -eq 0 ] && echo "widget-free: $(for l in "$@"; do basename "$l"; done | tr '\n' ' ')"
exit $status
