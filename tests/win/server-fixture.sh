#!/bin/sh
# Starts or stops the reference document server for the Windows-side exchange tests.
#   server-fixture.sh start <server binary> <state dir> <seed file>
#   server-fixture.sh stop <state dir>
set -e
case "$1" in
start)
    server=$2 dir=$3 seed=$4
    if [ ! -x "$server" ]; then
        echo "folium-server not built at $server (build the native preset first)" >&2
        exit 1
    fi
    rm -rf "$dir" && mkdir -p "$dir"
    "$server" --db "$dir/store.db" --port 0 --port-file "$dir/port" --max-packet 64M \
        --seed "E2E-1=$seed" </dev/null >"$dir/server.out" 2>"$dir/server.log" &
    echo $! >"$dir/pid"
    i=0
    while [ ! -s "$dir/port" ]; do
        i=$((i + 1))
        if [ $i -gt 200 ]; then echo "server did not start" >&2; cat "$dir/server.log" >&2; exit 1; fi
        sleep 0.05
    done
    ;;
stop)
    dir=$2
    if [ -f "$dir/pid" ]; then
        kill "$(cat "$dir/pid")" 2>/dev/null || true
        rm -f "$dir/pid"
    fi
    ;;
esac
