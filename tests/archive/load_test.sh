#!/usr/bin/env bash
# Closed days loaded into PostgreSQL, each once:   load_test.sh ARCHIVE_SWEEP
# A cluster of the test's own (scripts/lib.sh's start_postgres). Days of two
# symbols, compressed by archive_sweep (the archiver's sweep), are loaded by
# scripts/orvalda-load: every row exactly as recorded, the files remembered
# with their size, checksum and rows. Loaded again: nothing new. A day that
# grew (rows recorded to it again, merged into its .gz by the next sweep):
# its rows replaced, no row twice. A day with a garbled row: not loaded at
# all, named, the others loaded.
set -uo pipefail

SWEEP="$(realpath "${1:-}")" || { echo "load_test.sh ARCHIVE_SWEEP"; exit 2; }
HERE="$(cd "$(dirname "$0")" && pwd)"
source "$HERE/../../scripts/lib.sh"
LOAD="$ROOT/scripts/orvalda-load"
WORK="$(mktemp -d /tmp/orvalda-load.XXXXXX)"
TREE="$WORK/ticks"
chmod 755 "$WORK"  # the cluster's user reaches its folder inside
cleanup() { stop_postgres "$WORK/pg"; rm -rf "$WORK"; }
trap cleanup EXIT
FAILURES=0
check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then printf '   ok: %s\n' "$what"; else printf 'FAILED: %s\n' "$what"; FAILURES=$((FAILURES + 1)); fi
}
start_postgres "$WORK/pg" || { echo "FAILED: PostgreSQL did not start"; exit 1; }
sql() { psql -X -q -A -t -v ON_ERROR_STOP=1 -c "$1"; }

# days DAY... : plain days of EURUSD and GBPUSD, rows numbered from FIRST (env), appended to expected.csv
days() {
  /usr/bin/python3 - "$TREE" "$WORK/expected.csv" "${FIRST:-0}" "$@" <<'PY'
import pathlib, sys
tree, expected, first, days = pathlib.Path(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4:]
with open(expected, "a") as out:
    for symbol, digits in (("EURUSD", 5), ("GBPUSD", 4)):
        for day in days:
            rows = [f"{symbol[:3]}/{symbol[3:]},{day} {i // 3600 % 24:02}:{i // 60 % 60:02}:{i % 60:02}.{i * 7 % 1000:03},"
                    f"{1 + (i * 37 % 90000) / 10**5:.{digits}f},{1 + (i * 37 % 90000 + 12) / 10**5:.{digits}f}"
                    for i in range(first, first + 3000)]
            folder = tree / f"symbol={symbol}" / f"date={day}"
            folder.mkdir(parents=True, exist_ok=True)
            with open(folder / "ticks.csv", "ab") as f:
                f.write("".join(r + "\r\n" for r in rows).encode())
            out.write("".join(r + "\n" for r in rows))
PY
  "$SWEEP" "$TREE/symbol={symbol}/date={date}/ticks.csv" 20991231 >/dev/null
}
load() { "$LOAD" "$TREE" > "$WORK/said" 2>&1; echo "exit $?" >> "$WORK/said"; cat "$WORK/said" | sed 's/^/   | /'; }
said() { grep -qF "$1" "$WORK/said"; }
# Every row as recorded: the typed columns written back as the recording has them.
rows_as_recorded() {
  sql "SELECT pair || ',' || to_char(stamp, 'YYYYMMDD HH24:MI:SS.MS') || ',' || bid || ',' || ask FROM ticks" |
    sort > "$WORK/got" && sort "$WORK/expected.csv" | cmp -s - "$WORK/got"
}
files_remembered() {  # each .csv.gz with its size, checksum and rows
  local f
  for f in $(find "$TREE" -name '*.csv.gz'); do
    [ "$(sql "SELECT bytes || ' ' || sha256 || ' ' || rows FROM ticks_loaded WHERE file = '$f'")" = \
      "$(stat -c %s "$f") $(sha256sum < "$f" | cut -c1-64) $(gzip -dc "$f" | wc -l)" ] || return 1
  done
}

echo "== five days of two symbols, compressed, loaded"
days 20261201 20261202 20261203 20261204 20261205
load
check "10 files loaded" said "10 files loaded, 30000 rows"
check "every row, typed, as recorded" rows_as_recorded
check "each file remembered: size, SHA-256, rows" files_remembered

echo "== loaded again"
sql "SELECT file, loaded_at FROM ticks_loaded ORDER BY file" > "$WORK/loaded-before"
load
check "nothing loaded" said "0 files loaded, 0 rows"
check "nothing touched" cmp -s "$WORK/loaded-before" <(sql "SELECT file, loaded_at FROM ticks_loaded ORDER BY file")
check "every row once" rows_as_recorded

echo "== a day that grew: recorded to again, merged into its .gz"
FIRST=3000 days 20261203
load
check "its two files loaded again" said "2 files loaded, 12000 rows"
check "every row once, the new ones too" rows_as_recorded
check "each file remembered: size, SHA-256, rows" files_remembered

echo "== a day with a garbled row, and a new day"
days 20261206
GARBLED="$TREE/symbol=GBPUSD/date=20261206/ticks.csv.gz"
gzip -dc "$GARBLED" | sed '1500s/,1\./,x./' | gzip > "$WORK/g" && mv "$WORK/g" "$GARBLED"
grep -v "^GBP/USD,20261206" "$WORK/expected.csv" > "$WORK/e" && mv "$WORK/e" "$WORK/expected.csv"
load
check "fails, naming the file" said "$GARBLED: not loaded"
check "the exit code says so" said "exit 1"
check "the new day of the other symbol loaded" said "1 file loaded, 3000 rows"
check "none of the garbled day's rows, every other row once" rows_as_recorded
check "the garbled day is not remembered" test -z "$(sql "SELECT file FROM ticks_loaded WHERE file = '$GARBLED'")"

[ "$FAILURES" = 0 ] && echo "load test: passed" || echo "load test: $FAILURES failed"
[ "$FAILURES" = 0 ]
