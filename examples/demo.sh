#!/usr/bin/env bash
# The demo's main job: starts the reference document server with the bundled sample stored
# under a record id, runs the demo page script against it through the reader simulator,
# and stops the server.   demo.sh <repo root> <windows build folder> [record id]
set -euo pipefail
root=$1 build=$2 record=${3:-DEMO-0001}
server=$root/build/native/server/folium-server
state=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$state"' EXIT
"$server" --db "$state/store.db" --port 0 --port-file "$state/port" \
    --seed "$record=$root/examples/sim/sample-contract.pdf" </dev/null >/dev/null 2>"$state/server.log" &
pid=$!
for _ in $(seq 200); do [ -s "$state/port" ] && break; sleep 0.05; done
[ -s "$state/port" ] || { echo "the document server did not start" >&2; cat "$state/server.log" >&2; exit 1; }
port=$(cat "$state/port")
echo "Document server on 127.0.0.1:$port with $record = examples/sim/sample-contract.pdf"
export FOLIUM_DEMO_URL="http://127.0.0.1:$port/dbstep" FOLIUM_DEMO_RECORD="$record"
export WINEPREFIX=$build/wineprefix
# The page script writes UTF-8 itself. cscript exits 0 even when a script stops on an
# error, so the demo has run only when the script's last line says so.
set +e
"$root/cmake/wine-run.sh" cscript //nologo "Z:${root//\//\\}\\examples\\demo.js" | tee "$state/script.log"
status=${PIPESTATUS[0]}
set -e
echo "Server log:"
sed 's/^/  /' "$state/server.log"
if [ "$status" -ne 0 ] || [ "$(tail -n 1 "$state/script.log" | tr -d '\r')" != "Page script finished." ]; then
    echo "Demo failed: the page script exited with status $status and ended with: $(tail -n 1 "$state/script.log")"
    exit $((status == 0 ? 1 : status))
fi
echo "Demo finished."
