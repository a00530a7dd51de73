# Sourced by the benchmarks that drive the main window: a scratch folder on
# tmpfs where there is one (many small files would otherwise measure the
# disk), removed at the end, and a benchmark program run on the display or
# on a virtual one. Needs root and build set; sets work.
scratch_on_tmpfs() {
  local base=$build
  [ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
  work=$(mktemp -d "$base/tavix-bench-$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
win() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# run_windowed PROGRAM ARGS...: BENCH_WRAP may put a tool (strace, perf) in front.
run_windowed() {
  local program=$build/bin/$1
  shift
  if [ -n "${DISPLAY:-}" ]; then nice ${BENCH_WRAP:-} "$root/scripts/wine-run" "$program" "$@"
  else nice xvfb-run -a -s "-screen 0 1024x768x24" ${BENCH_WRAP:-} "$root/scripts/wine-run" "$program" "$@"; fi
}
