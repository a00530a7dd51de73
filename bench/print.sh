#!/usr/bin/env bash
# Prints a 100,000-line Shift-JIS log in two columns with line numbers, a
# header and a footer to the TavixPDF queue (scripts/setup-packages.sh makes
# it): the string-list printer under Wine, then enscript natively on the same
# file (enscript knows no Japanese: its pages show the bytes). Prints the time
# each takes until its PDF is written, and their peak memory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TAVIX_BUILD_DIR:-$root/build/x86_64}
lines=${1:-100000}
out=$dir/print-bench
mkdir -p "$out"
cmake --build "$dir" --target print_bench >/dev/null
queue_dir=$(sed -n 's/^Out //p' /etc/cups/cups-pdf-TavixPDF.conf)
stamp=pb$$x$(date +%s)
log=$out/log-$stamp.txt
python3 - "$log" "$lines" <<'PY'
import random, sys
path, count = sys.argv[1], int(sys.argv[2])
random.seed(23)
texts = ["接続を受け付けました", "ファイルを書庫に追加しました", "展開先: C:\\作業\\一時フォルダ",
         "ﾀｲﾑｱｳﾄしました。再試行します", "設定ファイル「Tavix.ini」を読み込みました",
         "\tスタック: 0x%08X", "処理時間=%dms 件数=%d"]
with open(path, "wb") as f:
    for n in range(1, count + 1):
        t = random.choice(texts)
        if "%" in t:
            t = t % tuple(random.randrange(1, 1 << 31) if "X" in t else random.randrange(1, 5000) for _ in range(t.count("%")))
        f.write(("2026-12-08 %02d:%02d:%02d [INFO] %s (#%d)\r\n" % (n // 3600 % 24, n // 60 % 60, n % 60, t, n)).encode("cp932"))
PY

# Waits (up to 30 minutes) for the queue's PDF whose name or title holds $1,
# moves it to $2; the seconds since $3.
wait_pdf() {
  for _ in $(seq 1 3600); do
    for f in "$queue_dir"/*.pdf; do
      [ -f "$f" ] || continue
      case "$f" in
        *"$1"*) pdfinfo "$f" >/dev/null 2>&1 || continue ;;
        *) pdfinfo "$f" 2>/dev/null | grep -q "^Title:.*$1" || continue ;;
      esac
      mv "$f" "$2"
      awk -v a="$(date +%s.%N)" -v b="$3" 'BEGIN { printf "%.1f", a - b }'
      return 0
    done
    sleep 0.5
  done
  echo "no PDF for $1" >&2
  return 1
}

run() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$@"; fi
}

echo "== Tavix: $lines lines =="
start=$(date +%s.%N)
/usr/bin/time -f "whole Wine process: %e s, peak resident %M KB" \
  bash -c "$(declare -f run); root='$root'; run '$dir/bin/print_bench.exe' 'Z:$(echo "$log" | tr / '\\')'" 2>&1 | tr -d '\r'
echo "until the PDF was written: $(wait_pdf "$stamp" "$out/tavix.pdf" "$start") s, $(pdfinfo "$out/tavix.pdf" | sed -n 's/^Pages: *//p') pages"

echo "== enscript natively, the same file (two columns, line numbers, header) =="
start=$(date +%s.%N)
/usr/bin/time -f "enscript: %e s, peak resident %M KB" \
  enscript -q -2 -C -t "$stamp-enscript" -p "$out/enscript.ps" "$log" 2>&1
lp -d TavixPDF -t "$stamp-enscript" "$out/enscript.ps" >/dev/null
echo "until the PDF was written: $(wait_pdf "$stamp-enscript" "$out/enscript.pdf" "$start") s, $(pdfinfo "$out/enscript.pdf" | sed -n 's/^Pages: *//p') pages"
rm -f "$log"
