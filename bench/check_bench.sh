#!/usr/bin/env bash
# orvalda-check against pandas on a 1,000,000-row recording (check_bench.py):
#   bench/check_bench.sh [ROWS]
# Installs Debian's python3-pandas when missing (for this benchmark only),
# builds the optimised orvalda-check of the native build
# (build/native/bench/orvalda-check-plain) and runs the comparison. The
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
[ -f "$NATIVE/build.ninja" ] || cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
log "building orvalda-check-plain (optimised, no sanitizers)"
cmake --build "$NATIVE" --target orvalda-check-plain -j "$JOBS" >/dev/null
mkdir -p "$BUILD/check-bench"
/usr/bin/python3 "$ROOT/bench/check_bench.py" "$NATIVE/bench/orvalda-check-plain" "${1:-1000000}" "$BUILD/check-bench"
