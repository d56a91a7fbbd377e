#!/usr/bin/env bash
# scripts/orvalda-load against a hand loop of `gzip -dc | psql \copy`, one
# psql a file, into the same typed table, on a month of closed days (30
# days of 66,667 rows: 2,000,010 rows):   bench/load_bench.sh
# The month is kept in build/load-bench for the next run; a PostgreSQL
# cluster of its own in a temporary folder (scripts/lib.sh's start_postgres,
# fsync off for both); each way into an empty table, the best of three;
# prints both times and their ratio.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"

ensure_deps test
WORK="$BUILD/load-bench"
TREE="$WORK/ticks"
PG="$(mktemp -d /tmp/orvalda-load-bench.XXXXXX)"
chmod 755 "$PG"
mkdir -p "$WORK"
if [ ! -f "$TREE/.made" ]; then
  /usr/bin/python3 - "$TREE" <<'PY'
import gzip, pathlib, sys
tree = pathlib.Path(sys.argv[1])
for d in range(1, 31):
    day = f"202611{d:02}"
    folder = tree / "symbol=EURUSD" / f"date={day}"
    folder.mkdir(parents=True, exist_ok=True)
    n = 66667 if d < 30 else 66677
    ms = [i * 86_400_000 // n for i in range(n)]
    rows = "".join(f"EUR/USD,{day} {t // 3600000:02}:{t // 60000 % 60:02}:{t // 1000 % 60:02}.{t % 1000:03},"
                   f"1.{8000 + i % 997:04}{i % 10},1.{8002 + i % 997:04}{i % 10}\r\n" for i, t in enumerate(ms))
    (folder / "ticks.csv.gz").write_bytes(gzip.compress(rows.encode(), 6))
(tree / ".made").touch()
PY
fi
trap 'stop_postgres "$PG/pg"; rm -rf "$PG"' EXIT
start_postgres "$PG/pg"
psql -X -q -c "SET client_min_messages = warning; DROP TABLE IF EXISTS hand; CREATE TABLE hand (pair text NOT NULL, stamp timestamp(3) NOT NULL,
               bid numeric NOT NULL, ask numeric NOT NULL)"

best() {  # best TIMES_FILE: the smallest
  sort -g "$1" | head -1
}
: > "$WORK/hand.times"; : > "$WORK/load.times"
for round in 1 2 3; do
  psql -X -q -c "SET client_min_messages = warning; TRUNCATE hand; DROP TABLE IF EXISTS ticks, ticks_loaded"
  start=$(date +%s.%N)  # seconds, to the nanosecond
  for f in $(find "$TREE" -name '*.csv.gz' | sort); do
    gzip -dc "$f" | psql -X -q -c "\copy hand (pair, stamp, bid, ask) from stdin with (format csv)"
  done
  awk "BEGIN { print $(date +%s.%N) - $start }" >> "$WORK/hand.times"
  start=$(date +%s.%N)
  "$ROOT/scripts/orvalda-load" "$TREE" >/dev/null
  awk "BEGIN { print $(date +%s.%N) - $start }" >> "$WORK/load.times"
done
rows=$(psql -X -A -t -c "SELECT (SELECT count(*) FROM hand) || ' ' || (SELECT count(*) FROM ticks)")
hand=$(best "$WORK/hand.times") load=$(best "$WORK/load.times")
printf 'rows loaded (hand loop, orvalda-load): %s\n' "$rows"
printf 'hand loop (gzip -dc | psql \\copy, a psql a file): %.3f s\n' "$hand"
printf 'orvalda-load (two sessions, a transaction a file): %.3f s, %.2f times the hand loop'"'"'s speed\n' \
  "$load" "$(awk "BEGIN { print $hand / $load }")"
