#!/bin/sh
# The printing tests' side on Linux: the PDF queue's files, and what an
# independent reader makes of them.
#   take MARKER DEST   waits (up to 50 s) for the PDF whose title holds MARKER
#                      in the TavixPDF queue's folder, moves it to DEST
#   pages PDF OUT      the page count (pdfinfo) into OUT
#   ocr PDF PAGE OUT   the page's text as tesseract reads it (Japanese and
#                      English, 300 dpi rendering by pdftoppm) into OUT
# The queue and its folder come from the set-up script (scripts/setup-packages.sh).
set -eu
case "$1" in
  take)
    conf=/etc/cups/cups-pdf-TavixPDF.conf
    [ -f "$conf" ] || { echo "no TavixPDF queue configuration: run scripts/setup-packages.sh" >&2; exit 2; }
    out=$(sed -n 's/^Out //p' "$conf")
    i=0
    while [ $i -lt 250 ]; do
      for f in "$out"/*.pdf; do
        # The file name holds only the start of the document's name, the
        # title all of it; complete once pdfinfo reads it (cups-pdf writes in place).
        if [ -f "$f" ] && pdfinfo "$f" 2>/dev/null | grep -q "^Title:.*$2"; then
          mv "$f" "$3"
          exit 0
        fi
      done
      i=$((i + 1))
      sleep 0.2
    done
    echo "no PDF for $2 in $out" >&2
    exit 1
    ;;
  pages)
    pdfinfo "$2" | sed -n 's/^Pages: *//p' > "$3"
    ;;
  ocr)
    stem="$4.page"
    pdftoppm -r 300 -gray -f "$3" -l "$3" -png -singlefile "$2" "$stem"
    tesseract "$stem.png" - -l jpn+eng --psm 6 > "$4" 2>/dev/null
    rm -f "$stem.png"
    ;;
  *)
    echo "usage: $0 take|pages|ocr ..." >&2
    exit 2
    ;;
esac
