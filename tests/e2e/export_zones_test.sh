#!/usr/bin/env bash
# orvalda-export's time zones against Python's zoneinfo: a row every 37
# minutes from 2024 to 2027 in UTC, written on the clocks of trading centres
# on every continent (and two old names of theirs), across every
# daylight-saving switch:
#   export_zones_test.sh ORVALDA_EXPORT            the native program (the tz database)
#   export_zones_test.sh wine ORVALDA_EXPORT_EXE   the Windows one, under Wine (Windows' zones)
# (WINEPREFIX comes from the caller.)
set -uo pipefail
[ "$#" -ge 1 ] || { echo "usage: export_zones_test.sh [wine] ORVALDA_EXPORT"; exit 2; }
ZONES=(America/New_York America/Chicago Europe/London Europe/Berlin Europe/Athens Europe/Moscow Asia/Tokyo
       Asia/Kolkata Asia/Calcutta Asia/Singapore Australia/Sydney Pacific/Auckland Africa/Johannesburg US/Eastern NY+7)
DIR="$(mktemp -d)"
trap 'rm -rf "$DIR"' EXIT
cd "$DIR" || exit 2
/usr/bin/python3 - <<'PY'
from datetime import datetime, timedelta, timezone
utc = timezone.utc
t, rows = datetime(2024, 1, 1, tzinfo=utc), []
while t.year < 2028:
    rows.append("EUR/USD,%s.000,1.08150,1.08160" % t.strftime("%Y%m%d %H:%M:%S"))
    t += timedelta(minutes=37)
open("rows.csv", "w", newline="").write("\r\n".join(rows) + "\r\n")
PY
failed=0
for i in "${!ZONES[@]}"; do
  zone="${ZONES[$i]}"
  "$@" --to template --template '{time:%Y-%m-%d %H:%M:%S}' --tz "$zone" --out "out$i" rows.csv >/dev/null
  code=$?
  /usr/bin/python3 - "$zone" "out$i/EURUSD.csv" "$code" <<'PY' || failed=1
import sys
from datetime import datetime, timedelta, timezone
from zoneinfo import ZoneInfo
name, path, code = sys.argv[1], sys.argv[2], sys.argv[3]
clock = (lambda t: t.astimezone(ZoneInfo("America/New_York")).replace(tzinfo=None) + timedelta(hours=7)) if name == "NY+7" \
    else (lambda t: t.astimezone(ZoneInfo(name)).replace(tzinfo=None))
want, t = [], datetime(2024, 1, 1, tzinfo=timezone.utc)
while t.year < 2028:
    want.append(clock(t).strftime("%Y-%m-%d %H:%M:%S"))
    t += timedelta(minutes=37)
try:
    got = open(path, newline="").read().split("\r\n")[:-1]
except OSError:
    got = []
wrong = [(i, g, w) for i, (g, w) in enumerate(zip(got, want)) if g != w]
print("%-20s exit code %s, %d rows, %d wrong %s" % (name, code, len(got), len(wrong), wrong[:3]))
sys.exit(0 if code == "0" and got == want else 1)
PY
done
exit "$failed"
