#!/bin/sh
# Makes the CUPS print queue the printer-attribute test asks for through the Windows print
# spooler, when CUPS and cups-pdf are installed and the user may add queues.
#   printer-fixture.sh start <state file>   writes the queue's name to the state file
#   printer-fixture.sh stop <state file>
# Every step has a time limit; without CUPS it makes nothing, and the test then checks only
# the answers that need no printer.
queue=Hewlett_HP_Folium
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
state=$2
case "$1" in
start)
    rm -f "$state"
    if ! command -v cupsd >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1 || [ ! -f "$ppd" ]; then
        echo "CUPS or cups-pdf not installed: no print queue"
        exit 0
    fi
    if ! timeout 5 lpstat -r >/dev/null 2>&1; then
        timeout 10 cupsd >/dev/null 2>&1 || true
        i=0
        until timeout 5 lpstat -r >/dev/null 2>&1; do
            i=$((i + 1))
            if [ $i -gt 20 ]; then echo "cupsd did not start: no print queue"; exit 0; fi
            sleep 0.25
        done
    fi
    if ! timeout 10 lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" >/dev/null 2>&1; then
        echo "no print queue made (not allowed?)"
        exit 0
    fi
    echo "$queue" >"$state"
    ;;
stop)
    if [ -s "$state" ]; then timeout 10 lpadmin -x "$(cat "$state")" >/dev/null 2>&1 || true; fi
    rm -f "$state"
    ;;
esac
exit 0
