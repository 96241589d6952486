# The include-order check on small trees: what it must refuse and let pass.
set -uo pipefail
check=$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers.sh
tree=$(mktemp -d /tmp/velmarin-layers.XXXXXX)
trap 'rm -rf "$tree"' EXIT
problems=0
expect() { # wanted exit code, what
    local out rc
    out=$(bash "$check" "$tree" 2>&1)
    rc=$?
    [ "$rc" = "$1" ] || { echo "FAIL: $2 (exit $rc): $out"; problems=$((problems + 1)); }
}
mkdir -p "$tree/src/protocol" "$tree/src/session/core" "$tree/src/signin"
printf '#include "protocol/http_client.h"\n#include <string>\n' >"$tree/src/session/core/rules.h"
printf '#include "text/split.h"\n' >"$tree/src/protocol/http_client.h"
expect 0 "includes that point down"
printf '#include "session/core/rules.h"\n' >>"$tree/src/protocol/http_client.h"
expect 1 "an include from protocol up to session"
printf '#include "text/split.h"\n' >"$tree/src/protocol/http_client.h"
printf '#include "../session/session_resource.h"\n' >"$tree/src/signin/signin.rc"
expect 1 "a resource script's relative include up a floor"
printf '#include "../signin/signin_resource.h"\n' >"$tree/src/signin/signin.rc"
mkdir "$tree/src/newfloor"
expect 1 "a folder with no place in the order"
rmdir "$tree/src/newfloor"
expect 0 "the tree made right again"
[ "$problems" -eq 0 ] && echo "layer checks: all as expected"
exit "$problems"
