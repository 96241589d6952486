#!/usr/bin/env bash
# Every name of our own code as .clang-tidy has it (clang-tidy's identifier
# naming), over both builds' compile databases: the portable files through the
# native one, the rest through the Windows one with mingw-w64's headers, and
# the fuzz targets through theirs.
# Usage: check-names.sh [--fix]   (--fix renames, then formats)
# NAMES_JOBS: how many clang-tidy run at once (default: one a core).
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
root=${BUILD_ROOT:-build}
tidy=$(command -v clang-tidy-16) || { echo "clang-tidy-16 is missing (scripts/install-deps.sh)"; exit 1; }
for db in native win; do
    [ -f "$root/$db/compile_commands.json" ] || { echo "no $root/$db/compile_commands.json: build first"; exit 1; }
done
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
out=$root/names
rm -rf "$out"
mkdir -p "$out/fixes"

# file<TAB>database for each of our translation units, each once.
python3 - "$top" "$root" >"$out/units" <<'PY'
import json, sys
top, root = sys.argv[1], sys.argv[2]
seen = set()
for db in ("native", "win", "fuzz"):
    try:
        entries = json.load(open(f"{root}/{db}/compile_commands.json"))
    except FileNotFoundError:  # the fuzz build is optional
        continue
    for entry in entries:
        f = entry["file"]
        if (f.startswith(top + "/") and not f.startswith(f"{top}/{root}/") and f not in seen
                and f.endswith((".c", ".cpp"))):
            seen.add(f)
            print(f"{f}\t{db}")
PY

check_one() { # file database
    local extra=() name
    if [ "$2" = win ]; then
        extra=(--extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++
            "--extra-arg=-isystem$gcc_dir/include/c++"
            "--extra-arg=-isystem$gcc_dir/include/c++/x86_64-w64-mingw32"
            "--extra-arg=-isystem$gcc_dir/include/c++/backward")
    fi
    name=$(echo "${1#"$top"/}" | tr / _)
    "$tidy" --quiet --header-filter="^$top/(src|tests|bench|tools|fuzz)/" -p "$root/$2" "${extra[@]}" ${fix:+--export-fixes="$out/fixes/$name.yaml"} "$1" \
        >"$out/$name.log" 2>&1
}
export -f check_one
export tidy top root out gcc_dir
fix=""
[ "${1:-}" = --fix ] && fix=1
export fix
tr '\t' ' ' <"$out/units" | xargs -P "${NAMES_JOBS:-$(nproc)}" -L1 bash -c 'check_one "$0" "$1"'

if [ -n "$fix" ]; then
    clang-apply-replacements-16 "$out/fixes"
    exec scripts/check-format.sh --fix
fi
# One line per misnamed declaration, each once (a header shows in every unit
# that includes it).
grep -h 'warning: .*\[readability-identifier-naming\]' "$out"/*.log | sort -u >"$out/findings"
grep -h 'error: ' "$out"/*.log | sort -u >"$out/errors"
if [ -s "$out/errors" ]; then
    head -20 "$out/errors"
    echo "clang-tidy could not read some files (the list: $out/errors)"
    exit 1
fi
if [ -s "$out/findings" ]; then
    sed "s|^$top/||" "$out/findings" | head -40
    echo "$(wc -l <"$out/findings") names break the naming rule (.clang-tidy); scripts/check-names.sh --fix renames"
    exit 1
fi
echo "$(wc -l <"$out/units") files checked, every name as .clang-tidy has it"
