#!/usr/bin/env bash
# Runs a test program (the words after this) under an X server of its own
# with an 8-bit PseudoColor screen, the palette screen of older machines.
set -euo pipefail
command -v xvfb-run >/dev/null || { echo "run-8bit: xvfb-run is missing" >&2; exit 1; }
exec xvfb-run -a -s "-screen 0 1024x768x8" "$@"
