#!/usr/bin/env bash
# The end-to-end benchmark under Wine (on Xvfb when there is no display): the
# same stream of ticks sent back to back to a bare window, to Orvalda idle,
# recording, and recording and forwarding to the tester probe, and to two bare
# windows in a chain; microseconds per tick (median, 99th and 99.9th
# percentile, maximum), the ratios against the bare window and the chain,
# Orvalda's peak memory and its start-up time. The output also goes to build/bench-<time>/bench.txt.
#   scripts/bench.sh [--ticks N] [--rounds R] [--starts S]
# Fails when a tick of a recording round is missing from the recording or
# from the probe's log, or is out of order.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_deps
build_win >/dev/null
wine_env
ensure_display
trap stop_display EXIT

OUT="$BUILD/bench-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
log "benchmark on $DISPLAY, output in $OUT ($(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"

status=0
wine "$WIN/bench/e2e_bench.exe" \
  --orvalda "$WIN/app/orvalda.exe" \
  --probe "$WIN/tools/zentavor-probe.exe" \
  --bare "$WIN/bench/bare_window.exe" \
  --out "$OUT" "$@" 2>&1 | sed -u 's/\r$//' | tee "$OUT/bench.txt" || status=$?
exit "$status"
