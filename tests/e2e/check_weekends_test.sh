#!/usr/bin/env bash
# orvalda-check's weekly close against Python's zoneinfo, week by week from
# 2000 to 2035, across every daylight-saving switch:
#   check_weekends_test.sh ORVALDA_CHECK            the native program
#   check_weekends_test.sh wine ORVALDA_CHECK_EXE   the Windows one, under Wine
# (WINEPREFIX comes from the caller). Each week has a row 30 s before
# Friday 17:00 New York time and one 30 s after Sunday 17:00, as zoneinfo
# places them in UTC: with --gap 30 every weekend is a silence of exactly
# 60 s outside the close, and every week between a silence wholly outside it.
# The same rows written on London's clock and read with --from Europe/London
# give the same silences.
set -uo pipefail
[ "$#" -ge 1 ] || { echo "usage: check_weekends_test.sh [wine] ORVALDA_CHECK"; exit 2; }
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
/usr/bin/python3 - "$DIR/weeks.csv" "$DIR/want.json" "$DIR/london.csv" <<'PY'
import json, sys
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo
ny, utc, london = ZoneInfo("America/New_York"), timezone.utc, ZoneInfo("Europe/London")
stamp = lambda t: t.astimezone(utc).strftime("%Y%m%d %H:%M:%S.000")
rows, want = [], []
friday = datetime(2000, 1, 7, 17, 0, tzinfo=ny)
while friday.year < 2036:
    closes, opens = friday.timestamp(), (friday + timedelta(days=2)).timestamp()  # the same wall time two days on
    before = datetime.fromtimestamp(closes - 30, utc)
    after = datetime.fromtimestamp(opens + 30, utc)
    if rows:
        want.append(round(closes - 30 - last))  # a week wholly open
    want.append(60)
    rows += ["EUR/USD,%s,1.08150,1.08160" % stamp(before), "EUR/USD,%s,1.08151,1.08161" % stamp(after)]
    last = opens + 30
    friday += timedelta(days=7)
open(sys.argv[1], "w", newline="").write("\r\n".join(rows) + "\r\n")
def onLondon(row):
    pair, t, bid, ask = row.split(",")
    at = datetime.strptime(t, "%Y%m%d %H:%M:%S.000").replace(tzinfo=utc).astimezone(london)
    return ",".join([pair, at.strftime("%Y%m%d %H:%M:%S.000"), bid, ask])
open(sys.argv[3], "w", newline="").write("\r\n".join(map(onLondon, rows)) + "\r\n")
json.dump(want, open(sys.argv[2], "w"))
PY
status=0
for clock in UTC Europe/London; do
  FILE="$DIR/weeks.csv"
  [ "$clock" = UTC ] || FILE="$DIR/london.csv"
  if [ "$1" = wine ]; then FILE="Z:${FILE//\//\\}"; fi
  "$@" --json --gap 30 --from "$clock" "$FILE" >"$DIR/report.json"
  echo "orvalda-check --from $clock: exit code $?"
  /usr/bin/python3 - "$DIR/report.json" "$DIR/want.json" <<'PY' || status=1
import json, sys
report, want = json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))
got = [round(g["open_seconds"]) for g in report["files"][0]["gaps"]]
wrong = [(i, g, w) for i, (g, w) in enumerate(zip(got, want)) if g != w]
print("weekends and weeks: %d silences, %d expected, %d wrong %s" % (len(got), len(want), len(wrong), wrong[:5]))
sys.exit(0 if got == want and report["files"][0]["problems"] == [] else 1)
PY
done
exit "$status"
