#!/usr/bin/env bash
# orvalda-compare against pandas on a month of two feeds (2 x 1,000,000 rows,
# a .csv.gz a day; compare_bench.py), and its peak memory on a week and on
# the month:
#   bench/compare_bench.sh
# Installs what is missing (pandas comes with the tests' packages,
# scripts/lib.sh), builds the orvalda-compare users run (build/bin: optimised,
# no sanitizers) and runs the comparison. The month is kept in
# build/compare-bench/ for the next run.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_deps test
build_tools >/dev/null
mkdir -p "$BUILD/compare-bench"
/usr/bin/python3 "$ROOT/bench/compare_bench.py" "$TOOLS/orvalda-compare" "$BUILD/compare-bench"
