#!/usr/bin/env bash
# Rows reach the disk within about a second, and no tick waits for it:
# orvalda.exe records 2,000 ticks sent over 10 s under strace, which shows
# each row's write and each flush Wine makes of the recording (FlushFileBuffers
# is an fsync under Wine).
#   flush_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE
# WINEPREFIX and DISPLAY are set by the caller (scripts/test.sh).
# Checks: a flush at least every 2 s while rows flow and one after the last
# row, and far fewer flushes than rows.
set -uo pipefail

EXE="${1:-}" FEED="${2:-}" DRIVE="${3:-}"
for f in "$EXE" "$FEED" "$DRIVE"; do
  [ -f "$f" ] || { echo "usage: flush_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE (no file at '$f')"; exit 2; }
done
[ -n "${WINEPREFIX:-}" ] || { echo "flush_test.sh: WINEPREFIX is not set"; exit 2; }
command -v strace >/dev/null || { echo "flush_test.sh: strace is not installed"; exit 1; }
export WINEDEBUG="${WINEDEBUG:--all}"

DIR="$(mktemp -d)"
ORVALDA_PID=""
cleanup() {
  [ -n "$ORVALDA_PID" ] && kill "$ORVALDA_PID" 2>/dev/null
  rm -rf "$DIR"
}
trap cleanup EXIT
TRACE="$DIR/trace"
WINDIR="Z:$(printf '%s' "$DIR" | tr / '\\')"

# Only the traced calls stop the program (seccomp), so it runs at its pace.
strace -f --seccomp-bpf -y -ttt -e trace=write,pwrite64,fsync,fdatasync -o "$TRACE" \
  wine "$EXE" --record "$WINDIR\\{symbol}.csv" >/dev/null 2>&1 &
ORVALDA_PID=$!
wine "$DRIVE" wait-main 120000 >/dev/null || { echo "FAILED: orvalda.exe's window did not come"; exit 1; }
echo "== 2,000 ticks at 200 a second"
wine "$FEED" --synthetic 2000 --rate 200 --symbol EURUSD --no-timeout >/dev/null ||
  { echo "FAILED: the feeder did not send its ticks"; exit 1; }

# The flush after the last row comes within about a second; waited for
# until it shows in the trace, up to a generous deadline (a loaded machine).
analyse() {
  /usr/bin/python3 - "$TRACE" "$1" <<'PY'
import re, sys
trace, final = sys.argv[1], sys.argv[2] == "final"
writes, flushes = [], []
for line in open(trace, errors="replace"):
    m = re.match(r"\s*\d+\s+([\d.]+)\s+(\w+)\(\d+<([^>]*)>", line)
    if not m or not m.group(3).endswith("EURUSD.csv"):
        continue
    (flushes if m.group(2) in ("fsync", "fdatasync") else writes).append(float(m.group(1)))
if not final:
    sys.exit(0 if len(writes) >= 2000 and flushes and flushes[-1] > writes[-1] else 1)
failed = 0
def check(what, ok):
    global failed
    print(("   ok: " if ok else "FAILED: ") + what)
    failed += 0 if ok else 1
check(f"{len(writes)} rows written (2000)", len(writes) == 2000)
during = [t for t in flushes if writes[0] < t <= writes[-1]]
after = [t for t in flushes if t > writes[-1]]
points = [writes[0]] + during + after[:1]
gap = max(b - a for a, b in zip(points, points[1:])) if len(points) > 1 else float("inf")
check(f"a flush at least every 2 s while rows flow (longest gap {gap:.2f} s, {len(during)} flushes)", gap <= 2.0)
check("a flush after the last row", bool(after))
check(f"far fewer flushes than rows ({len(flushes)} for {len(writes)})", 0 < len(flushes) <= len(writes) // 20)
sys.exit(1 if failed else 0)
PY
}
DEADLINE=$((SECONDS + 180))
until analyse waiting || [ "$SECONDS" -ge "$DEADLINE" ]; do sleep 0.1; done
wine "$DRIVE" close-yes 60000 >/dev/null || echo "   (orvalda.exe did not close by itself; ended)"
wait "$ORVALDA_PID" 2>/dev/null
ORVALDA_PID=""
if analyse final; then echo "flush test: passed"; else echo "flush test: failed"; exit 1; fi
