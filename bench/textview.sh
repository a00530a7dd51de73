#!/usr/bin/env bash
# The text view with a 100 MB Shift-JIS log: open to first paint, memory,
# scrolling page by page to the end, and a search for a word that occurs
# once, at the end (plain, fuzzy, regular expression), beside grep -c on
# the same file natively.
# Targets: first paint < 1 s, memory < 2 x the file, plain search >= 200 MB/s.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${TAVIX_BUILD_DIR:-$root/build/x86_64}
size_mb=${1:-100}
out=$dir/textview-bench
mkdir -p "$out"
log=$out/log-${size_mb}mb.sjis
cmake --build "$dir" --target textview_bench >/dev/null

if [ ! -f "$log" ]; then
  python3 - "$log" "$size_mb" <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2]) * 1000000
random.seed(18)
levels = ["INFO", "WARN", "ERROR", "DEBUG"]
texts = ["接続を受け付けました", "ファイルを書庫に追加しました", "展開先: C:\\作業\\一時フォルダ",
         "ﾀｲﾑｱｳﾄしました。再試行します", "設定ファイル「Tavix.ini」を読み込みました", "user=山田太郎 mail=yamada@example.jp",
         "http://www.example.com/download/tavix.lzh を取得", "処理時間=%dms 件数=%d", "\tスタック: 0x%08X"]
with open(path, "wb") as f:
    written, n = 0, 0
    while written < size:
        n += 1
        t = random.choice(texts)
        if "%" in t:
            t = t % tuple(random.randrange(1, 1 << 31) if "X" in t else random.randrange(1, 5000) for _ in range(t.count("%")))
        line = "2026-12-08 %02d:%02d:%02d.%03d [%s] %s (#%d)\r\n" % (
            n // 3600000 % 24, n // 60000 % 60, n // 1000 % 60, n % 1000, random.choice(levels), t, n)
        data = line.encode("cp932")
        f.write(data)
        written += len(data)
    f.write("最後の行: 終端マーカー\r\n".encode("cp932"))
PY
fi

run() {
  if [ -n "${DISPLAY:-}" ]; then "$root/scripts/wine-run" "$dir/bin/textview_bench.exe" "$@"
  else xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-run" "$dir/bin/textview_bench.exe" "$@"; fi
}
winpath="Z:$(echo "$log" | tr / '\\')"
run "$winpath" | tr -d '\r'

echo "grep -c natively on the same file, for scale (the regular expression on a UTF-8 copy:"
echo "grep cannot match characters of Shift-JIS, whose trail bytes may be '[' or '\\'):"
word=$(printf '終端マーカー' | iconv -f UTF-8 -t CP932)
utf8=$out/log-${size_mb}mb.utf8
[ -f "$utf8" ] || iconv -f CP932 -t UTF-8 "$log" >"$utf8"
timed() {  # name file command...
  local name=$1 file=$2 start end count bytes
  shift 2
  bytes=$(stat -c %s "$file")
  start=$(date +%s.%N)
  count=$("$@" "$file" || true)
  end=$(date +%s.%N)
  awk -v b="$bytes" -v s="$start" -v e="$end" -v n="$name" -v c="$count" \
    'BEGIN { printf "grep %-22s %8.3f s  %7.0f MB/s  (%s line)\n", n, e - s, b / 1e6 / (e - s), c }'
}
timed "-F (plain)" "$log" env LC_ALL=C grep -c -F "$word"
timed "-F -i (no case)" "$log" env LC_ALL=C grep -c -F -i "$word"
timed "-E (regex, UTF-8)" "$utf8" env LC_ALL=C.UTF-8 grep -c -E '終端マ.カー'
timed "-i (UTF-8, no case)" "$utf8" env LC_ALL=C.UTF-8 grep -c -i '終端マーカー'
