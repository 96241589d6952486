#!/usr/bin/env bash
# Every include between folders of src/ points down this order: a folder may
# include itself and the folders before it, never one after it. A new folder
# must be given its place here. Usage: check-layers.sh [tree] (default: this one)
set -uo pipefail
cd "${1:-$(dirname "$0")/..}" || exit 1
order="text pixels model protocol settings framework skin controls config release browser signin session app clientupdate"

# "floor/…" from src/, or "../floor/…" relative to a floor's own folder.
grep -rn --include='*.h' --include='*.cpp' --include='*.c' --include='*.rc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src |
    awk -v order="$order" -v folders="$(ls src | tr '\n' ' ')" '
    BEGIN {
        n = split(order, floors, " ")
        for (i = 1; i <= n; i++) rank[floors[i]] = i
        m = split(folders, present, " ")
        for (i = 1; i <= m; i++) {
            isFolder[present[i]] = 1
            if (!(present[i] in rank)) { print "src/" present[i] " has no place in the order of floors"; bad = 1 }
        }
    }
    {
        split($0, at, ":"); file = at[1]; line = at[2]
        split(file, parts, "/"); from = parts[2]
        if (!match($0, /"(\.\.\/)*[a-z_]+\//)) next
        to = substr($0, RSTART + 1, RLENGTH - 2); sub(/^(\.\.\/)*/, "", to)
        if (!(to in isFolder)) next
        checked++
        if (!(to in rank) || !(from in rank)) next
        if (rank[to] > rank[from]) { print file ":" line ": " from " includes " to ", a floor above it"; bad = 1 }
    }
    END {
        if (bad) { print "floors, bottom first: " order; exit 1 }
        print "includes point down (" checked " between src/ folders checked)"
    }'
