#!/usr/bin/env bash
# End-to-end test of orvalda-check (the native build's) and its page in a real
# browser:
#   check_page_test.sh ORVALDA_CHECK SAMPLE_CSV [KEEP_DIR]
# SAMPLE_CSV is a recording Orvalda made (data/sample_eurusd.csv). The test
# checks that it is clean (exit code 0); damages a copy by hand, one problem of
# each kind, a repeated row (a note) and a silence, and checks that they are
# found at their lines (exit code 1, --json), and that the copy and the
# sample, given together, overlap; that a bad command line (one line of
# message) and a missing file give exit code 2, and a page that cannot be
# written is named as asked. Then it opens the --html page of both files in headless Chromium,
# takes a screenshot and checks it: the charts are drawn (pixels of the bid,
# ask, tick and spread colours, and the silence band), and the page's text
# holds the figures (the silences found) and the problems with their lines,
# and a pair of one row is drawn as a point. With KEEP_DIR, the
# page and the screenshot are left there.
set -uo pipefail

CHECK="${1:-}"
SAMPLE="${2:-}"
KEEP="${3:-}"
[ -x "$CHECK" ] && [ -f "$SAMPLE" ] || { echo "usage: check_page_test.sh ORVALDA_CHECK SAMPLE_CSV [KEEP_DIR]"; exit 2; }
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
source "$(dirname "$0")/page_lib.sh"

echo "== the sample Orvalda recorded is clean"
"$CHECK" "$SAMPLE" >"$DIR/sample.txt"
rc=$?
sed 's/^/   | /' "$DIR/sample.txt"
check "exit code 0 (got $rc)" test "$rc" = 0

echo "== a copy damaged by hand: one problem of each kind, and a silence of 4 s"
python3 - "$SAMPLE" "$DIR/damaged.csv" <<'PY'
import sys, datetime
rows = open(sys.argv[1], "rb").read().split(b"\r\n")[:-1]
def fields(line): return rows[line - 1].split(b",")
def stamp(text, seconds):
    t = datetime.datetime.strptime(text.decode(), "%Y%m%d %H:%M:%S.%f") + datetime.timedelta(seconds=seconds)
    return t.strftime("%Y%m%d %H:%M:%S.%f")[:-3].encode()
def moved(price, points):
    whole, fraction = price.split(b".")
    p = int(whole + fraction) + points
    return b"%d.%0*d" % (p // 10 ** len(fraction), len(fraction), p % 10 ** len(fraction))
f = fields(100); rows[99] = b",".join(f[:3])                                 # torn: the ask is missing
f = fields(200); f[1] = f[1][:9] + b"25" + f[1][11:]; rows[199] = b",".join(f)  # unparsable: hour 25
f = fields(300); f[1] = stamp(fields(299)[1], -1); rows[299] = b",".join(f)     # order: a second back
rows[400] = rows[399]                                                          # a repeat (a note): line 401 = line 400
f = fields(500); f[2], f[3] = f[3], f[2]; rows[499] = b",".join(f)             # crossed: bid and ask swapped
f = fields(600); f[2], f[3] = moved(f[2], 400), moved(f[3], 400); rows[599] = b",".join(f)  # spike
for i in range(1999, len(rows)):                                               # silence before line 2000
    f = rows[i].split(b","); f[1] = stamp(f[1], 4); rows[i] = b",".join(f)
open(sys.argv[2], "wb").write(b"\r\n".join(rows) + b"\r\n")
PY
printf 'EUR/USD,20261207 09:00:00.000,1.08150,1.08160\r\nUSD/JPY,20261207 09:00:00.100,150.123,150.140\r\n' >"$DIR/one-row-each.csv"
"$CHECK" --gap 2 --json --html "$DIR/page.html" "$DIR/damaged.csv" "$SAMPLE" "$DIR/one-row-each.csv" >"$DIR/report.json"
rc=$?
check "exit code 1 (got $rc)" test "$rc" = 1
check "each problem found at its line, and the silence" python3 - "$DIR/report.json" <<'PY'
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
damaged, sample, _ = report["files"]
found = [(p["kind"], p["line"]) for p in damaged["problems"]]
want = [("torn", 100), ("unparsable", 200), ("order", 300), ("crossed", 500), ("spike", 600)]
gaps = [(g["line"], round(g["seconds"])) for g in damaged["gaps"]]
print("   problems:", found, "gaps:", gaps, "rows:", damaged["rows"], "notes:", damaged["notes"])
ok = found == want and gaps == [(2000, 4)] and damaged["rows"] == 2998
ok = ok and damaged["notes"] == [{"kind": "repeat", "count": 1, "lines": [401]}]
# Two files of one symbol are one recording: the sample, starting where the copy starts, overlaps it.
ok = ok and damaged["first"] == sample["first"] and [p["kind"] for p in sample["problems"]] == ["overlap"]
ok = ok and sample["gaps"] == [] and sample["notes"] == []
sys.exit(0 if ok else 1)
PY
"$CHECK" --gap never "$SAMPLE" >/dev/null 2>"$DIR/bad-option.txt"
rc=$?
check "a bad command line: exit code 2 and one line (got $rc: $(head -1 "$DIR/bad-option.txt"))" \
  bash -c '[ "$1" = 2 ] && grep -q -- "--gap.*see --help" "$2" && [ "$(wc -l <"$2")" = 1 ]' _ "$rc" "$DIR/bad-option.txt"
"$CHECK" --html "$DIR/no-such-folder/page.html" "$SAMPLE" >/dev/null 2>"$DIR/unwritable.txt"
check "a page that cannot be written is named as asked ($(head -1 "$DIR/unwritable.txt"))" \
  bash -c 'grep -q "no-such-folder/page.html'"'"':" "$1" && ! grep -q "\.tmp" "$1"' _ "$DIR/unwritable.txt"
python3 -c 'import sys
for i in range(1001):
    pair, bid, ask = ("EUR/USD", "1.08150", "1.08166") if i % 2 == 0 else ("USD/JPY", "150.123", "150.123")
    sys.stdout.write("%s,20261207 09:%02d:%02d.000,%s,%s\r\n" % (pair, i // 60, i % 60, bid, ask))
' >"$DIR/alternating.csv"
"$CHECK" --json "$DIR/one-row-each.csv" "$DIR/alternating.csv" >"$DIR/pairs.json"
check "the JSON: each pair its own figures, pair changes counted" python3 - "$DIR/pairs.json" <<'PY'
import json, sys
one, alternating = json.load(open(sys.argv[1], encoding="utf-8"))["files"]
def schema(f):
    ok = list(f["per_symbol"]) == f["symbols"] and len(f["symbol_changes"]) == min(10, f["symbol_change_count"])
    for figures in f["per_symbol"].values():
        ok = ok and set(figures) == {"rows", "first", "last", "decimals", "spread_points", "ticks_per_hour"}
        ok = ok and set(figures["spread_points"]) == {"min", "median", "p99", "max"}
        ok = ok and set(figures["ticks_per_hour"]) == {"min", "median", "max"}
    return ok
eur, jpy = alternating["per_symbol"]["EUR/USD"], alternating["per_symbol"]["USD/JPY"]
print("   EUR/USD:", eur, "USD/JPY:", jpy, "changes:", alternating["symbol_change_count"])
ok = schema(one) and schema(alternating) and alternating["symbol_change_count"] == 1000
ok = ok and one["per_symbol"]["USD/JPY"] == {"rows": 1, "first": "20261207 09:00:00.100", "last": "20261207 09:00:00.100",
    "decimals": 3, "spread_points": {"min": 17, "median": 17, "p99": 17, "max": 17}, "ticks_per_hour": {"min": 1, "median": 1, "max": 1}}
ok = ok and eur["rows"] == 501 and eur["spread_points"]["median"] == 16 and jpy["spread_points"]["median"] == 0
ok = ok and eur["last"] == "20261207 09:16:40.000" and jpy["first"] == "20261207 09:00:01.000"
sys.exit(0 if ok else 1)
PY
"$CHECK" "$DIR/no-such-file.csv" >/dev/null 2>"$DIR/missing.txt"
rc=$?
check "a file that cannot be read: exit code 2 and a message (got $rc: $(head -1 "$DIR/missing.txt"))" \
  bash -c '[ "$1" = 2 ] && grep -q "cannot open" "$2"' _ "$rc" "$DIR/missing.txt"

echo "== the page in headless Chromium"
screenshot_and_dom 1200,2000
for text in "Recording check" "damaged.csv" "5 problems, 1 silence" "1 problem" "Bid and ask" "Ticks per minute" \
  "Spread in points" "3 fields where a row has 4" "time goes back 1.000 s" "1 repeat (line 401)" "the files overlap" \
  "above ask" "bid jumps up" "is not of the form YYYYMMDD HH:MM:SS.mmm" "<td>2000</td>" \
  "<th>Silences</th><td>1 longer than 2 s, the longest 4." "<th>Silences</th><td>none longer than 2 s" \
  "ask (lowest and highest price of each pixel column)" "USD/JPY, 1 row<"; do
  check "the page says: $text" grep -q -F -- "$text" "$DIR/dom.html"
done
check "a pair of one row is a point, not a line" python3 - "$DIR/dom.html" <<'PY'
import re, sys
section = open(sys.argv[1], encoding="utf-8").read().split("one-row-each.csv</h2>")[-1]
strokes = [d.count("M") for d in re.findall(r'<path class="(?:bid|ask)" d="([^"]*)"', section)]
print("   strokes of each bid and ask path:", strokes)
sys.exit(0 if strokes == [1, 1, 1, 1] else 1)
PY
size="$(identify -format '%w %h' "$DIR/page.png" 2>/dev/null)"
read -r width height <<<"${size:-0 0}"
nonwhite="$(convert "$DIR/page.png" -alpha off -fuzz 2% -fill black +opaque white -fill white -opaque white \
  -colorspace gray -format '%[fx:round((1-mean)*w*h)]' info: 2>/dev/null)"
echo "   screenshot ${width}x${height}, ${nonwhite:-?} pixels not white"
check "not blank: at least 8 % of the pixels drawn" test "${nonwhite:-0}" -gt $((width * height * 8 / 100))
drawn "bid #1f6fd1 2000" "ask #d9480f 2000" "ticks #2b8a3e 5000" "spread #7048e8 2000" "silence #ffd8d3 3000"

if [ -n "$KEEP" ]; then
  mkdir -p "$KEEP" && cp "$DIR/page.html" "$DIR/page.png" "$DIR/damaged.csv" "$KEEP/" && echo "== kept in $KEEP"
fi
if [ "$FAILURES" -gt 0 ]; then
  echo "orvalda-check page test: $FAILURES check(s) failed"
  exit 1
fi
echo "orvalda-check page test: passed"
