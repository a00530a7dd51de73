#!/usr/bin/env bash
# Makes the text-code fixtures from the UTF-8 sources with iconv (glibc):
# the same text in Shift-JIS, EUC-JP and ISO-2022-JP, plus JIS78 and
# half-width katakana variants. Run from anywhere; writes beside itself.
set -euo pipefail
cd "$(dirname "$0")"
for name in sample kana; do
  iconv -f UTF-8 -t SHIFT_JIS "$name.utf8.txt" >"$name.sjis"
  iconv -f UTF-8 -t EUC-JP "$name.utf8.txt" >"$name.euc"
done
iconv -f UTF-8 -t ISO-2022-JP sample.utf8.txt >sample.jis
# JIS78 designation (ESC $ @) for the same codes.
sed 's/\x1b\$B/\x1b$@/g' sample.jis >sample.jis78
# ISO-2022-JP has no half-width katakana: the full-width text of the same
# sounds (NFKC, with the lone sound marks as the spacing marks ゛ and ゜).
python3 -c '
import sys, unicodedata
text = unicodedata.normalize("NFKC", open("kana.utf8.txt", encoding="utf-8").read())
sys.stdout.write(text.replace("\u3099", "\u309b").replace("\u309a", "\u309c"))
' | iconv -f UTF-8 -t ISO-2022-JP >kana-full.jis
