#!/usr/bin/env bash
# Installs what is missing, builds orvalda.exe and runs it under Wine.
#   scripts/run.sh         with a display: Orvalda on your screen;
#                          without one: the self-running demo under Xvfb.
#   scripts/run.sh demo    the self-running demo, on your display if you have one.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_deps
build_win
build_tools
log "orvalda-check, which checks recordings: $TOOLS/orvalda-check"
log "orvalda-export, which writes recordings as other programs import them: $TOOLS/orvalda-export"
log "orvalda-compare, which lays two brokers' recordings side by side: $TOOLS/orvalda-compare"
wine_env

have_display() { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }

if [ "${1:-}" = demo ] || ! have_display; then
  exec bash "$ROOT/scripts/demo.sh"
fi
log "starting Orvalda on $DISPLAY"
exec wine "$WIN/app/orvalda.exe"
