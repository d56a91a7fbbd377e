#!/usr/bin/env bash
# orvalda-check against pandas on a 1,000,000-row recording (check_bench.py):
#   bench/check_bench.sh [ROWS]
# Installs Debian's python3-pandas when missing (for this benchmark only),
# builds the orvalda-check users run (build/bin/orvalda-check: optimised, no
# sanitizers) and runs the comparison. The
# recording is kept in build/check-bench/ for the next run.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_deps
if ! /usr/bin/python3 -c 'import pandas' 2>/dev/null; then
  log "installing python3-pandas (for this benchmark only)"
  sudo=""
  [ "$(id -u)" = 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq python3-pandas >/dev/null
fi
build_tools >/dev/null
mkdir -p "$BUILD/check-bench"
/usr/bin/python3 "$ROOT/bench/check_bench.py" "$TOOLS/orvalda-check" "${1:-1000000}" "$BUILD/check-bench"
