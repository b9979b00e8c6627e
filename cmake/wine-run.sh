#!/bin/sh
# Runs a Windows program under Wine in the build's private prefix, with code page 936.
: "${WINEPREFIX:=${FOLIUM_WINEPREFIX:-$(pwd)/wineprefix}}"
export WINEPREFIX
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
