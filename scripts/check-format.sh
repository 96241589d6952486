#!/usr/bin/env bash
# Every C and C++ file as .clang-format has it: braces on every block, includes
# sorted within their blocks. Usage: check-format.sh [--fix]
set -uo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-16) || { echo "clang-format-16 is missing (scripts/install-deps.sh)"; exit 1; }
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    "$format" -i "${files[@]}"
    exit
fi
if ! "$format" --dry-run --Werror "${files[@]}" 2>"${TMPDIR:-/tmp}/check-format.$$"; then
    grep -o '^[^:]*:[0-9]*' "${TMPDIR:-/tmp}/check-format.$$" | sort -u | head -20
    rm -f "${TMPDIR:-/tmp}/check-format.$$"
    echo "not formatted: run scripts/check-format.sh --fix"
    exit 1
fi
rm -f "${TMPDIR:-/tmp}/check-format.$$"
echo "${#files[@]} files formatted"
