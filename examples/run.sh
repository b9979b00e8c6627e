#!/usr/bin/env bash
# `./folium run`: runs a page script against a real PDF in the reader simulator with the
# component loaded, and writes the resulting PDF, page pictures and the journal of the
# reader calls the script caused.
#   run.sh <repo root> <windows build folder> PAGE_SCRIPT.js --pdf INPUT.pdf --out OUTPUT.pdf
#          [--png DIR] [--journal FILE]
# Exit 0 when everything was written; 1 bad command line, 2 a PDF that cannot be read or
# written, 3 the page script stopped with an error.
set -euo pipefail
root=$1 build=$2
shift 2
usage() {
    echo "usage: ./folium run PAGE_SCRIPT.js --pdf INPUT.pdf --out OUTPUT.pdf [--png DIR] [--journal FILE]" >&2
    exit 1
}
script="" pdf="" out="" png="" journal=""
while (($#)); do
    case $1 in
        --pdf | --out | --png | --journal)
            (($# >= 2)) || usage
            case $1 in
                --pdf) pdf=$2 ;;
                --out) out=$2 ;;
                --png) png=$2 ;;
                --journal) journal=$2 ;;
            esac
            shift 2
            ;;
        -*) usage ;;
        *)
            [ -z "$script" ] || usage
            script=$1
            shift
            ;;
    esac
done
[ -n "$script" ] && [ -n "$pdf" ] && [ -n "$out" ] || usage
[ -f "$script" ] || { echo "folium run: no page script $script" >&2; exit 1; }
[ -f "$pdf" ] || { echo "folium run: no PDF $pdf" >&2; exit 2; }
winpath() {
    local p
    p=$(realpath -m -- "$1")
    echo "Z:${p//\//\\}"
}
tool=$root/build/native/bin/folium-pdf
export WINEPREFIX=$build/wineprefix FOLIUM_PDF_TOOL=$tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
journal_arg=()
[ -z "$journal" ] || journal_arg=("$(winpath "$work/journal.txt")")
set +e
"$root/cmake/wine-run.sh" cscript //nologo "$(winpath "$root/examples/run/run-page-script.js")" \
    "$(winpath "$script")" "$(winpath "$pdf")" "$(winpath "$out")" "${journal_arg[@]}" | tee "$work/log"
status=${PIPESTATUS[0]}
set -e
# The runner writes the journal as UTF-16, the script host's own Unicode text.
if [ -n "$journal" ] && [ -f "$work/journal.txt" ]; then
    iconv -f UTF-16 -t UTF-8 "$work/journal.txt" | tr -d '\r' >"$journal"
    echo "Journal of reader calls: $journal"
fi
# cscript exits 0 even when a script stops on an error: the run worked only when the
# runner's last line says so.
if [ "$(tail -n 1 "$work/log" | tr -d '\r')" != "Page script finished." ]; then
    exit $((status == 0 ? 1 : status))
fi
if [ -n "$png" ]; then
    "$tool" render "$out" "$png"
fi
