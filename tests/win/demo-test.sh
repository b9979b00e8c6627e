#!/usr/bin/env bash
# The demo as users run it, its output piped: the server, the page script, saving and
# reopening. Fails on a non-zero exit, a missing final line, any UNEXPECTED line, or
# Chinese text that does not come out as UTF-8.   demo-test.sh <repo root> <windows build>
root=$1 build=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
bash "$root/examples/demo.sh" "$root" "$build" DEMO-TEST | cat >"$log"
status=${PIPESTATUS[0]}
cat "$log"
fail() { echo "VERDICT FAIL demo: $1"; exit 1; }
[ "$status" -eq 0 ] || fail "exit status $status"
[ "$(tail -n 1 "$log")" = "Demo finished." ] || fail "the last line is not \"Demo finished.\""
! grep -q UNEXPECTED "$log" || fail "UNEXPECTED lines"
grep -q "Page script finished\." "$log" || fail "the page script did not finish"
# The sample's bookmark "第四条 签署" and the filled buyer name, as UTF-8.
grep -q "第四条" "$log" || fail "no bookmark title in UTF-8"
grep -q "维瑞丹示例公司" "$log" || fail "no buyer name in UTF-8"
echo "VERDICT PASS demo"
