#!/usr/bin/env bash
# The folder tree Orvalda keeps with --compress, read by other engines:
#   engines_test.sh ORVALDA_EXE FEED_EXE ORVALDA_CHECK NODE_FOLDER
# WINEPREFIX and DISPLAY come from the caller (scripts/test.sh); NODE_FOLDER
# holds node_modules with @duckdb/node-api.
#
# Three earlier days of two symbols lie as plain files in
# symbol={symbol}\date={date}\ticks.csv, one of them beside a compressed part
# of the same day, with a part left by a cut-short compression. orvalda.exe,
# started with --daily --compress, compresses each earlier day at its start
# (verified, logged), removes the part and records today's ticks as a plain
# file. DuckDB then reads the whole tree, plain and compressed, with the
# folders' symbol and date as columns, every row checked; pandas reads a
# .csv.gz; orvalda-check finds in a .csv.gz what it finds in the plain file.
set -uo pipefail

ORVALDA="${1:-}" FEED="${2:-}" CHECK="${3:-}" NODE_FOLDER="${4:-}"
HERE="$(cd "$(dirname "$0")" && pwd)"
for f in "$ORVALDA" "$FEED" "$CHECK" "$NODE_FOLDER/node_modules/@duckdb/node-api/package.json"; do
  [ -e "$f" ] || { echo "engines_test.sh: '$f' is missing"; exit 2; }
done
ORVALDA="$(realpath "$ORVALDA")" FEED="$(realpath "$FEED")" CHECK="$(realpath "$CHECK")"
NODE_FOLDER="$(realpath "$NODE_FOLDER")"
[ -n "${WINEPREFIX:-}" ] || { echo "engines_test.sh: WINEPREFIX is not set"; exit 2; }
export WINEDEBUG="${WINEDEBUG:--all}"
LIMIT=180  # seconds for anything awaited, generous for a loaded machine
FAILURES=0
check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then printf '   ok: %s\n' "$what"; else printf 'FAILED: %s\n' "$what"; FAILURES=$((FAILURES + 1)); fi
}
# Waits for a condition, at most LIMIT seconds.
await() { # await COMMAND...
  local end=$((SECONDS + LIMIT))
  until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.2; done
}

WORK="$(mktemp -d /tmp/orvalda-engines.XXXXXX)"
ROOT="$WORK/ticks"
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# The earlier days, and every row they hold, as DuckDB is to give them back.
/usr/bin/python3 - "$ROOT" "$WORK/expected.csv" <<'PY'
import datetime, gzip, pathlib, sys
root, expected = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
lines = []
today = datetime.date.today()
for symbol in ("EURUSD", "GBPUSD"):
    pair = symbol[:3] + "/" + symbol[3:]
    for back in (3, 2, 1):
        day = (today - datetime.timedelta(days=back)).strftime("%Y%m%d")
        folder = root / f"symbol={symbol}" / f"date={day}"
        folder.mkdir(parents=True)
        rows = [f"{pair},{day} {i // 3600 % 24:02}:{i // 60 % 60:02}:{i % 60:02}.{i % 1000:03},1.08{150 + i % 40},1.08{170 + i % 40}"
                for i in range(2000)]
        if symbol == "EURUSD" and back == 2:  # compressed once, recorded to again
            (folder / "ticks.csv.gz").write_bytes(gzip.compress("".join(r + "\r\n" for r in rows[:700]).encode()))
            (folder / "ticks.csv").write_bytes("".join(r + "\r\n" for r in rows[700:]).encode())
        else:
            (folder / "ticks.csv").write_bytes("".join(r + "\r\n" for r in rows).encode())
        if symbol == "GBPUSD" and back == 3:
            (folder / "ticks.csv.gz.part").write_bytes(b"\x1f\x8b\x08\x00cut")
        lines += [f"{r},{symbol},{day}" for r in rows]
expected.write_text("".join(l + "\n" for l in lines))
PY
EARLIER=$(find "$ROOT" -name ticks.csv | sort)

echo "== orvalda.exe --record ...\\symbol={symbol}\\date={date}\\ticks.csv --daily --compress"
PATTERN="$(winepath -w "$ROOT")\\symbol={symbol}\\date={date}\\ticks.csv"
(cd "$WORK" && exec wine "$ORVALDA" --record "$PATTERN" --daily --compress --another --minimized) &
APP_PID=$!
all_compressed() {
  local f
  for f in $EARLIER; do [ ! -e "$f" ] && [ -e "$f.gz" ] || return 1; done
  [ -z "$(find "$ROOT" -name '*.part')" ]
}
check "every earlier day compressed at the start, the part removed" await all_compressed
WIN_ROOT="$(winepath -w "$ROOT" | sed 's/\\/\\\\/g')"  # as grep reads it
all_logged() {  # a line of the one log, in the pattern's fixed folder, for each file, verified
  local f
  for f in $EARLIER; do
    grep -qa "Compressed $WIN_ROOT$(echo "${f#"$ROOT"}" | sed 's|/|\\\\|g'), .* bytes, .* to .*ticks.csv.gz.*, .* times smaller, verified" \
      "$ROOT/orvalda.log" 2>/dev/null || return 1
  done
}
check "a line of the log for each, verified" await all_logged

echo "== today's ticks, from the feeder"
fed() { wine "$FEED" --synthetic 40 --rate 400 >/dev/null 2>&1; }
check "the feeder sent 40 ticks" await fed
TODAY_FILE="$(find "$ROOT" -path "*symbol=EURUSD*" -name ticks.csv)"
check "today's file is plain, beside the earlier days ($TODAY_FILE)" test -n "$TODAY_FILE"
kill "$APP_PID" 2>/dev/null; wait "$APP_PID" 2>/dev/null; APP_PID=""
today_day="$(basename "$(dirname "$TODAY_FILE")")"
tr -d '\r' < "$TODAY_FILE" | sed "s/\$/,EURUSD,${today_day#date=}/" >> "$WORK/expected.csv"
check "today's file has the 40 rows" test "$(wc -l < "$TODAY_FILE")" = 40

echo "== DuckDB: read_csv('.../*/*/*.csv*', hive_partitioning = true)"
node "$HERE/duckdb_read.mjs" "$NODE_FOLDER" "$ROOT" > "$WORK/duckdb.csv" 2> "$WORK/duckdb.err"
check "every row, with symbol and date as columns ($(wc -l < "$WORK/duckdb.csv") rows)" \
  cmp -s <(sort "$WORK/duckdb.csv") <(sort "$WORK/expected.csv")
check "in the files' order" cmp -s <(sort -s -t, -k5,6 "$WORK/duckdb.csv") <(sort -s -t, -k5,6 "$WORK/expected.csv")
[ -s "$WORK/duckdb.err" ] && sed 's/^/   | /' "$WORK/duckdb.err"

echo "== the user guide's typed recipes, as written there, for DuckDB and pandas"
typed_recipes() {  # typed_recipes ENGINE: the guide's recipe for it gives every row with its types
  /usr/bin/python3 - "$1" "$HERE/../../docs/user-guide.md" "$ROOT" "$WORK" "$NODE_FOLDER" "$HERE" <<'PY'
import datetime, decimal, re, subprocess, sys
engine, guide, root, work, node_folder, here = sys.argv[1:]
blocks = re.findall(r"```(\w+)\n(.*?)```", open(guide, encoding="utf-8").read(), re.S)
recipe = [text for lang, text in blocks if lang == {"duckdb": "sql", "pandas": "python"}[engine]
          and ("CREATE VIEW ticks" in text or "def read_day" in text)]
if len(recipe) != 1:
    sys.exit(f"the guide has {len(recipe)} {engine} recipes")
recipe = recipe[0].replace("D:/ticks", root)
want = []
for line in open(f"{work}/expected.csv"):
    pair, stamp, bid, ask, symbol, day = line.rstrip("\n").split(",")
    want.append((pair, datetime.datetime.strptime(stamp, "%Y%m%d %H:%M:%S.%f"),
                 datetime.datetime.strptime(day, "%Y%m%d").date(), symbol, decimal.Decimal(bid), decimal.Decimal(ask)))
if engine == "duckdb":
    open(f"{work}/view.sql", "w").write(recipe)
    out = subprocess.run(["node", f"{here}/duckdb_read.mjs", node_folder, "-", "--view", f"{work}/view.sql"],
                         capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(out.stderr)
    types, *lines = out.stdout.splitlines()
    if types != "VARCHAR,TIMESTAMP,DATE,VARCHAR,DECIMAL(18,8),DECIMAL(18,8)":
        sys.exit(f"DuckDB's types: {types}")
    got = []
    for line in lines:
        pair, stamp, day, symbol, bid, ask = line.split(",")
        got.append((pair, datetime.datetime.fromisoformat(stamp), datetime.date.fromisoformat(day), symbol,
                    decimal.Decimal(bid), decimal.Decimal(ask)))
else:
    scope = {}
    exec(recipe, scope)
    ticks = scope["ticks"]
    kinds = {c: {type(v).__name__ for v in ticks[c]} for c in ("pair", "date", "symbol", "bid", "ask")}
    if str(ticks["stamp"].dtype) != "datetime64[ns]" or kinds != {
            "pair": {"str"}, "date": {"date"}, "symbol": {"str"}, "bid": {"Decimal"}, "ask": {"Decimal"}}:
        sys.exit(f"pandas' types: {ticks.dtypes.to_dict()} {kinds}")
    got = [(r.pair, r.stamp.to_pydatetime(), r.date, r.symbol, r.bid, r.ask) for r in ticks.itertuples()]
if sorted(got) != sorted(want):
    sys.exit(f"{engine}: {len(got)} rows, {len(set(got) - set(want))} not as recorded, of {len(want)}")
PY
}
check "DuckDB's view: a timestamp, the date, the pair, decimals; every row" typed_recipes duckdb
check "pandas: the same types and rows" typed_recipes pandas

echo "== pandas: read_csv('....csv.gz')"
BOTH="$(find "$ROOT" -path '*symbol=EURUSD*' -name ticks.csv.gz | sort | sed -n 2p)"
pandas_reads() {
  /usr/bin/python3 - "$BOTH" "$WORK/expected.csv" <<'PY'
import sys, pandas
df = pandas.read_csv(sys.argv[1], header=None, names=["pair", "stamp", "bid", "ask"], dtype=str)
day = sys.argv[1].split("date=")[1][:8]
want = [l.rsplit(",", 2)[0] for l in open(sys.argv[2]) if l.rstrip("\n").endswith(",EURUSD," + day)]
got = [",".join(r) for r in df.itertuples(index=False)]
sys.exit(0 if got == want and len(got) == 2000 else 1)
PY
}
check "pandas reads the day that had both files: its 2000 rows, in order" pandas_reads

echo "== orvalda-check on .csv.gz and on the same rows plain"
mkdir -p "$WORK/plain" "$WORK/gz"
gzip -dc "$BOTH" > "$WORK/plain/day.csv"
cp "$BOTH" "$WORK/gz/day.csv"  # the same name in the report
(cd "$WORK/plain" && "$CHECK" day.csv > ../check-plain.txt; echo "exit $?" >> ../check-plain.txt)
(cd "$WORK/gz" && "$CHECK" day.csv > ../check-gz.txt; echo "exit $?" >> ../check-gz.txt)
check "the same findings and exit code" cmp -s "$WORK/check-plain.txt" "$WORK/check-gz.txt"
check "2000 rows read" grep -q "2000 rows" "$WORK/check-gz.txt"

[ "$FAILURES" = 0 ] && echo "engines test: passed" || echo "engines test: $FAILURES failed"
[ "$FAILURES" = 0 ]
