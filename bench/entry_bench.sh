#!/usr/bin/env bash
# The value of connection reuse as a figure: Entry calls per second against
# the stand-in service over one kept-open connection, then with the service
# closing the connection after every reply. Usage: bench/entry_bench.sh [CALLS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
calls=${1:-2000}
build=build/bench-native
cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMARIN_SANITIZE=OFF >/dev/null
cmake --build $build --target entry_bench >/dev/null

pf=$build/devservice.port
rm -f "$pf"
python3 devservice/server.py --quiet --port 0 --port-file "$pf" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$pf" ] && break; sleep 0.1; done
base=http://127.0.0.1:$(cat "$pf")
control() { python3 -c 'import sys,urllib.request; urllib.request.urlopen(urllib.request.Request(sys.argv[1], data=sys.argv[2].encode(), headers={"Content-Type": "application/json"})).read()' "$base/control/$1" "$2"; }

kept=$($build/bin/entry_bench "$base" "$calls")
control fault "{\"fault\": \"connection_close\", \"count\": $((calls + 10))}"
closed=$($build/bin/entry_bench "$base" "$calls")
echo "kept-open connection:     $kept"
echo "Connection: close:        $closed"
python3 - "$kept" "$closed" <<'PY'
import sys
rate = lambda s: float(s.split(",")[-1].split()[0])
print(f"reuse speed-up:           {rate(sys.argv[1]) / rate(sys.argv[2]):.2f}x")
PY
