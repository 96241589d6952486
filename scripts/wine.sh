#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's prefix and display:
#   scripts/wine.sh build/win/tests/core_tests.exe [args]
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_display || exit 1
trap wine_cleanup EXIT
wine_prefix
"$WINE" "$@"
