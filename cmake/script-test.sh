#!/bin/sh
# Runs one page-script test. Its verdict is read from its output (cscript exits 0 even on
# a syntax error or an uncaught exception), so a non-zero exit becomes a failure line too.
"$@"
status=$?
[ "$status" -eq 0 ] || echo "FAIL: exit status $status"
exit "$status"
