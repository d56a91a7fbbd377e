#!/usr/bin/env bash
# orvalda-export with 2,000 symbols, far beyond the 512 streams the C runtime
# opens on Windows: every symbol's file written whole, exit code 0.
#   export_many_test.sh [wine] ORVALDA_EXPORT
# (WINEPREFIX comes from the caller.)
set -uo pipefail
[ "$#" -ge 1 ] || { echo "usage: export_many_test.sh [wine] ORVALDA_EXPORT"; exit 2; }
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
cd "$DIR" || exit 2
/usr/bin/python3 -c '
rows = ["S%04d/USD,20261201 09:00:%02d.000,1.1,1.2" % (s, i) for i in range(3) for s in range(2000)]
open("many.csv", "w", newline="").write("\r\n".join(rows) + "\r\n")'
"$@" --to mt5 --out out many.csv >summary.txt 2>&1
code=$?
files=$(find out -name 'S*USD.csv' | wc -l)
short=$(for f in out/S*USD.csv; do [ "$(wc -l <"$f")" -eq 4 ] || echo "$f"; done | head -3)
echo "exit code $code, $files files, files not of a header and 3 rows: ${short:-none}"
[ "$code" -eq 0 ] && [ "$files" -eq 2000 ] && [ -z "$short" ] || { head -5 summary.txt; exit 1; }
