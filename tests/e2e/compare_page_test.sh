#!/usr/bin/env bash
# End-to-end test of orvalda-compare's page (the native build's) in a real
# browser:
#   compare_page_test.sh ORVALDA_COMPARE [KEEP_DIR]
# Two brokers' recordings of one EUR/USD price path are made: Beta's prices
# 250 ms after Alpha's, wider by 10 points from 20:00 UTC, silent for five
# minutes, and with one tick far off the market. The --html page of them is
# opened in headless Chromium: its text tells the lag (as the JSON does), the
# outage and the bad tick with its file and line, and the screenshot shows the lag curve, both
# sides' spreads, the price difference and the outage band drawn. A page is
# never written over a recording. With KEEP_DIR, the page and the screenshot
# are left there.
set -uo pipefail

COMPARE="${1:-}"
KEEP="${2:-}"
[ -x "$COMPARE" ] || { echo "usage: compare_page_test.sh ORVALDA_COMPARE [KEEP_DIR]"; exit 2; }
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
source "$(dirname "$0")/page_lib.sh"

echo "== two brokers' recordings of one price path"
mkdir -p "$DIR/alpha" "$DIR/beta"
python3 - "$DIR/alpha/EURUSD.csv" "$DIR/beta/EURUSD.csv" <<'PY'
import random, sys, datetime
rng = random.Random(7)
start = datetime.datetime(2026, 12, 7, 18, 0)
t, price, alpha, beta = 0, 108150, [], []
silent = (3600_000, 3900_000)   # Beta hears nothing from 19:00 to 19:05
spike_at = 9000                 # Beta's tick far off the market
while t < 4 * 3600_000:
    t += rng.randint(150, 900)
    price += rng.choice((-2, -1, 1, 2))
    wide = 10 if t >= 2 * 3600_000 else 0
    alpha.append((t, price, price + 12))
    tb = t + 250
    if not silent[0] <= tb < silent[1]:
        beta.append((tb, price + (400 if len(beta) == spike_at else 0), price + 14 + wide + (400 if len(beta) == spike_at else 0)))
def write(path, rows):
    with open(path, "wb") as f:
        for ms, bid, ask in rows:
            stamp = (start + datetime.timedelta(milliseconds=ms)).strftime("%Y%m%d %H:%M:%S.%f")[:-3]
            f.write(b"EUR/USD,%s,%d.%05d,%d.%05d\r\n" % (stamp.encode(), bid // 100000, bid % 100000, ask // 100000, ask % 100000))
write(sys.argv[1], alpha)
write(sys.argv[2], beta)
print("   spike on line", spike_at + 1, "of", len(beta))
PY
"$COMPARE" --names "Alpha,Beta" --html "$DIR/page.html" "$DIR/alpha" --against "$DIR/beta" >"$DIR/summary.txt" 2>"$DIR/err.txt"
rc=$?
sed 's/^/   | /' "$DIR/summary.txt" "$DIR/err.txt"
check "exit code 0 (got $rc)" test "$rc" = 0
check "a page written" test -s "$DIR/page.html"
cp "$DIR/beta/EURUSD.csv" "$DIR/before.csv"
"$COMPARE" --names "Alpha,Beta" --json "$DIR/alpha" --against "$DIR/beta" >"$DIR/comparison.json"
lag="$(python3 -c 'import json, math, sys; print(math.floor(json.load(open(sys.argv[1]))["pairs"][0]["lag_ms"] + 0.5))' "$DIR/comparison.json")"
check "a lag found, Beta later (the JSON says ${lag:-none} ms)" test "${lag:-0}" -gt 0
"$COMPARE" --html "$DIR/beta/EURUSD.csv" "$DIR/alpha" --against "$DIR/beta" >/dev/null 2>"$DIR/over.txt"
rc=$?
check "never over a recording: exit code 2, one line, the recording as it was (got $rc: $(head -1 "$DIR/over.txt"))" \
  bash -c '[ "$1" = 2 ] && [ "$(wc -l <"$2")" = 1 ] && cmp -s "$3" "$4"' _ "$rc" "$DIR/over.txt" "$DIR/before.csv" "$DIR/beta/EURUSD.csv"

echo "== the page in headless Chromium"
screenshot_and_dom 1200,2400
for text in "<title>Broker comparison: Alpha and Beta</title>" "<h2>EUR/USD</h2>" "Beta's prices come ${lag:-?} ms after Alpha's" \
  "Spread in points, by hour of the day (UTC)" "Price difference and outages" "Beta silent 1 time, the longest 5 min" \
  "Alpha silent 0 times" "beta/EURUSD.csv</td><td>9001</td>" "Bad ticks</th><td>1 (listed below)"; do
  check "the page says: $text" grep -q -F -- "$text" "$DIR/dom.html"
done
drawn "lag-curve #2b8a3e 300" "Alpha #1f6fd1 1500" "Beta #d9480f 1500" "difference #7048e8 300" "outage #fbd9c8 2000"

if [ -n "$KEEP" ]; then
  mkdir -p "$KEEP" && cp "$DIR/page.html" "$DIR/page.png" "$KEEP/" && echo "== kept in $KEEP"
fi
if [ "$FAILURES" -gt 0 ]; then
  echo "orvalda-compare page test: $FAILURES check(s) failed"
  exit 1
fi
echo "orvalda-compare page test: passed"
