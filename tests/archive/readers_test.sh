#!/usr/bin/env bash
# Engines read the tree while a closed day is compressed in it:
#   readers_test.sh ARCHIVE_SWEEP NODE_FOLDER
# A tree holds a large closed day as a plain file, a compressed day and
# today's plain file. DuckDB counts the tree's rows in a loop while
# archive_sweep (the archiver's sweep, natively) compresses the large day:
# every read must succeed with the tree's rows, the large day counted once,
# whether before or after its swap.
set -uo pipefail

SWEEP="${1:-}" NODE_FOLDER="${2:-}"
HERE="$(cd "$(dirname "$0")" && pwd)"
for f in "$SWEEP" "$NODE_FOLDER/node_modules/@duckdb/node-api/package.json"; do
  [ -e "$f" ] || { echo "readers_test.sh: '$f' is missing"; exit 2; }
done
SWEEP="$(realpath "$SWEEP")" NODE_FOLDER="$(realpath "$NODE_FOLDER")"
LIMIT=300  # seconds for anything awaited, generous for a loaded machine
WORK="$(mktemp -d /tmp/orvalda-readers.XXXXXX)"
ROOT="$WORK/ticks"
READER_PID=""
cleanup() {
  [ -n "$READER_PID" ] && kill "$READER_PID" 2>/dev/null && wait "$READER_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; sed "s/^/   | /" "$WORK/reads"; exit 1; }
await() { # await COMMAND...: at most LIMIT seconds
  local end=$((SECONDS + LIMIT))
  until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.1; done
}

# The tree; prints its row count.
ROWS=$(/usr/bin/python3 - "$ROOT" <<'PY'
import gzip, pathlib, sys
root = pathlib.Path(sys.argv[1])
def day(symbol, date, count, name="ticks.csv", pack=lambda b: b):
    folder = root / f"symbol={symbol}" / f"date={date}"
    folder.mkdir(parents=True)
    pair = symbol[:3] + "/" + symbol[3:]
    text = "".join(f"{pair},{date} {i // 3600000 % 24:02}:{i // 60000 % 60:02}:{i // 1000 % 60:02}.{i % 1000:03},"
                   f"1.{8000 + i % 997},1.{8020 + i % 997}\r\n" for i in range(count))
    (folder / name).write_bytes(pack(text.encode()))
    return count
print(day("EURUSD", 20261206, 600_000) + day("GBPUSD", 20261205, 3000, "ticks.csv.gz", gzip.compress)
      + day("GBPUSD", 20261207, 500))
PY
) || fail "the tree could not be made"

node "$HERE/duckdb_read.mjs" "$NODE_FOLDER" "$ROOT" --count-until "$WORK/swept" > "$WORK/reads" 2>&1 &
READER_PID=$!
await grep -q "^rows " "$WORK/reads" || fail "DuckDB gave no first read: $(head -3 "$WORK/reads")"
BEFORE=$(wc -l < "$WORK/reads")
"$SWEEP" "$ROOT/symbol={symbol}/date={date}/ticks.csv" 20261207 > "$WORK/sweep.txt" || fail "the sweep failed"
DURING=$(($(wc -l < "$WORK/reads") - BEFORE))
touch "$WORK/swept"
wait "$READER_PID"; READER_PID=""
cat "$WORK/sweep.txt"
grep -q "^Compressed .*date=20261206.*verified" "$WORK/sweep.txt" || fail "the large day was not compressed"
[ -e "$ROOT/symbol=EURUSD/date=20261206/ticks.csv.gz" ] && [ ! -e "$ROOT/symbol=EURUSD/date=20261206/ticks.csv" ] ||
  fail "the large day is not one compressed file"
[ -z "$(find "$ROOT" -name '*.part')" ] || fail "a part is left: $(find "$ROOT" -name '*.part')"
echo "$(wc -l < "$WORK/reads") reads, $DURING of them ended while the day was compressed"
[ "$DURING" -ge 2 ] || fail "too few reads met the compression to tell"
BAD=$(grep -cv "^rows $ROWS\$" "$WORK/reads")
[ "$BAD" = 0 ] || fail "$BAD of the reads did not give the tree's $ROWS rows: $(grep -v "^rows $ROWS\$" "$WORK/reads" | sort | uniq -c | head -5)"
echo "readers test: passed"
