#!/usr/bin/env bash
# orvalda-check against pandas on a 1,000,000-row recording (check_bench.py):
#   bench/check_bench.sh [ROWS]
# Installs what is missing (pandas comes with the tests' packages,
# scripts/lib.sh), builds the orvalda-check users run (build/bin/orvalda-check: optimised, no
# sanitizers) and runs the comparison. The
# recording is kept in build/check-bench/ for the next run.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_deps test
build_tools >/dev/null
mkdir -p "$BUILD/check-bench"
/usr/bin/python3 "$ROOT/bench/check_bench.py" "$TOOLS/orvalda-check" "${1:-1000000}" "$BUILD/check-bench"
