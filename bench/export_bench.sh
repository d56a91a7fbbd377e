#!/usr/bin/env bash
# orvalda-export against pandas on a 1,000,000-row recording (export_bench.py):
#   bench/export_bench.sh [ROWS]
# Builds the orvalda-export users run (build/bin/orvalda-export: optimised, no
# sanitizers) and runs the comparison; python3-pandas comes with the
# tests' packages (scripts/lib.sh). The recording is shared with
# bench/check_bench.sh in build/check-bench/.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_deps test
build_tools >/dev/null
mkdir -p "$BUILD/check-bench"
/usr/bin/python3 "$ROOT/bench/export_bench.py" "$TOOLS/orvalda-export" "${1:-1000000}" "$BUILD/check-bench"
