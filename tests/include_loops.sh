#!/bin/sh
# Fails when the logic's folders include each other in a loop. Each #include "..." in a file
# of one of them that names a file of another is an edge from the one folder to the other (a
# name is looked up beside the including file first, as the compiler does); tsort refuses a
# graph with a loop and names the folders on it.
cd "${1:-.}" || exit 2
folders="app power hotkeys tray web platform/model platform"
for from in $folders; do
    for file in "$from"/*.h "$from"/*.cpp; do
        [ -f "$file" ] || continue
        sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" | while read -r name; do
            if [ -f "$from/$name" ]; then path="$from/$name"; else path="$name"; fi
            to=$(dirname "$path")
            case " $folders " in *" $to "*) echo "$from $to" ;; esac
        done
    done
done | tsort >/dev/null
