#!/bin/sh
# Creates the Wine prefix named by WINEPREFIX (64-bit, code page 936) and waits until it is ready.
set -e
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 || true
wineserver -w
test -f "$WINEPREFIX/system.reg"
touch "$WINEPREFIX/.folium-ready"
