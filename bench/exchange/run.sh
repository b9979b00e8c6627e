#!/usr/bin/env bash
# Runs the exchange benchmark: documents of 1 MB and 32 MB stored on a fresh document
# server, WebOpen/WebSave through the component under Wine, and curl GET/POST of the
# same bytes on the same loopback.   bench/exchange/run.sh [iterations]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-5}
build=$root/build/win
server=$root/build/native/server/folium-server
bench=$build/bench/exchange/folium_exchange_bench.exe
state=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$state"' EXIT
# A simulator document padded to the size with an attachment.
make_doc() {
    python3 - "$1" "$2" <<'PY'
import base64, os, sys
size, path = int(sys.argv[1]), sys.argv[2]
head = '{"type":"PDF","pages":[{"width":595,"height":842,"text":[{"x":72,"y":700,"size":12,"text":"bench"}]}],"attachments":[{"name":"pad.bin","data":"'
tail = '"}]}'
room = size - len(head) - len(tail)
data = base64.b64encode(os.urandom(room * 3 // 4)).decode()[:room - room % 4]
open(path, "w").write(head + data + tail + " " * (room - len(data)))
PY
}
# A DBSTEP SAVEFILE packet carrying a file, for curl's POST.
make_packet() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
body = open(sys.argv[1], "rb").read()
fields = [(b"DBSTEP", b"DBSTEP"), (b"OPTION", b"SAVEFILE"), (b"RECORDID", b"CURL")]
block = b"".join(struct.pack("<II", len(n), len(v)) + n + v for n, v in fields)
head = b"DBSTEP" + struct.pack("<HIIIQ", 1, 1, len(fields), len(block), len(body))
open(sys.argv[2], "wb").write(head + block + body)
PY
}
make_doc $((1 << 20)) "$state/b1.json"
make_doc $((32 << 20)) "$state/b32.json"
"$server" --db "$state/store.db" --port 0 --port-file "$state/port" --max-packet 128M \
    --seed "B1=$state/b1.json" --seed "B32=$state/b32.json" </dev/null >/dev/null 2>"$state/server.log" &
pid=$!
for _ in $(seq 200); do [ -s "$state/port" ] && break; sleep 0.05; done
port=$(cat "$state/port")
export WINEPREFIX=$build/wineprefix
for rec in B1 B32; do
    echo "== $rec"
    "$root/cmake/wine-run.sh" "$bench" "http://127.0.0.1:$port/dbstep" "$rec" "$runs"
    make_packet "$state/${rec,,}.json" "$state/packet"
    get=() post=()
    for _ in $(seq "$runs"); do
        get+=("$(curl -s -o /dev/null -w '%{time_total}' "http://127.0.0.1:$port/documents/$rec")")
        post+=("$(curl -s -o /dev/null -w '%{time_total}' -H 'Content-Type: application/x-dbstep' \
            --data-binary @"$state/packet" "http://127.0.0.1:$port/dbstep")")
    done
    med() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
    size=$(stat -c %s "$state/${rec,,}.json")
    awk -v g="$(med "${get[@]}")" -v p="$(med "${post[@]}")" -v s="$size" \
        'BEGIN { mb = s / 1048576; printf "  curl GET %8.1f ms  %7.1f MB/s\n  curl POST%8.1f ms  %7.1f MB/s\n", g*1000, mb/g, p*1000, mb/p }'
done
