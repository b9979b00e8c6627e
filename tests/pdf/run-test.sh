#!/usr/bin/env bash
# `./folium run` as users run it: the example page script against the generated sample
# PDF. The written PDF passes `qpdf --check` and imports again with exactly the script's
# changes; pictures of the remaining pages and the journal are written. Then the refusals:
# a file that is neither a PDF nor a fixture, and a page script that stops with an error.
#   run-test.sh <repo root> <windows build>
root=$1 build=$2
tool=$root/build/native/bin/folium-pdf sample=$root/build/native/pdf/sample-contract.pdf
fail() {
    echo "VERDICT FAIL run: $1"
    exit 1
}
[ -x "$tool" ] && [ -f "$sample" ] || fail "build the native preset first (folium-pdf and the sample PDF)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { bash "$root/examples/run.sh" "$root" "$build" "$@" >"$work/log" 2>&1; }

run "$root/examples/run/approve.js" --pdf "$sample" --out "$work/approved.pdf" --png "$work/pages" \
    --journal "$work/journal.txt"
status=$?
cat "$work/log"
[ "$status" -eq 0 ] || fail "exit status $status"
qpdf --check "$work/approved.pdf" >/dev/null || fail "qpdf --check finds errors"
"$tool" import "$sample" "$work/before.json" && "$tool" import "$work/approved.pdf" "$work/after.json" ||
    fail "the PDFs do not import"
/usr/bin/python3 - "$work/before.json" "$work/after.json" <<'EOF' || fail "the read-back PDF differs"
import json, sys
before, after = (json.load(open(p)) for p in sys.argv[1:3])
def check(cond, what):
    if not cond:
        print("UNEXPECTED:", what)
        sys.exit(1)
values = {f["fullName"]: f.get("value", "") for f in after["fields"]}
check(values["Seller"] == "Wei Wang", "Seller: %r" % values["Seller"])
check(values["contract.Buyer"] == "\u738b\u4f1f (Wang Wei)", "Buyer: %r" % values["contract.Buyer"])
check(values["Agree"] == "Yes", "the untouched check box changed")
check(len(after["pages"]) == 1 and len(before["pages"]) == 3, "pages 2 to 3 not deleted")
first, old = after["pages"][0], before["pages"][0]
check(first["text"] == old["text"], "the first page's text changed")
annots = first["annotations"]
check(annots[0]["contents"] == old["annotations"][0]["contents"], "the original note changed")
check([a["type"] for a in annots[1:]] == ["Text", "Stamp"], "added: %r" % [a["type"] for a in annots[1:]])
check(annots[1]["contents"] == "Amount checked.", "the comment's text")
check(annots[2]["rect"] == [360, 90, 540, 180], "the stamp's rectangle %r" % annots[2]["rect"])
check([w.get("name") for w in first.get("watermarks", [])] == ["draft"], "the watermark")
titles = lambda marks: [(m["title"], titles(m.get("children", []))) for m in marks]
check(titles(after["bookmarks"]) == titles(before["bookmarks"]), "the outline changed")
check(after["bookmarks"][0]["page"] == 1, "the first chapter no longer leads to page 1")
check(after["attachments"] == before["attachments"], "the attachments changed")
EOF
[ -f "$work/pages/page-1.png" ] && [ ! -e "$work/pages/page-2.png" ] ||
    fail "page pictures: $(ls "$work/pages" 2>&1)"
grep -q 'Pages.Delete("2-3")' "$work/journal.txt" || fail "the journal has no page deletion"

echo "not a PDF" >"$work/text.pdf"
run "$root/examples/run/approve.js" --pdf "$work/text.pdf" --out "$work/x.pdf"
status=$?
[ "$status" -eq 2 ] && grep -q "cannot open .*text.pdf: not a JSON object" "$work/log" || fail "a text file: status $status, $(cat "$work/log")"
echo 'say("before"); folium.NoSuchMember();' >"$work/broken.js"
run "$work/broken.js" --pdf "$sample" --out "$work/x.pdf"
status=$?
[ "$status" -eq 3 ] && grep -q "the page script stopped with an error" "$work/log" && [ ! -e "$work/x.pdf" ] ||
    fail "a broken script: status $status, $(cat "$work/log")"
echo "VERDICT PASS run"
