#!/usr/bin/env bash
# The self-running demo: Orvalda under Wine (on Xvfb when there is no display)
# with the tester probe and the feeder. A feeder announces EURUSD and sends a
# first tick, "Live Data" is ticked, a recording is started through the real
# save dialog, the bundled sample (data/sample_eurusd.csv, a recording Orvalda
# made of a feeder's stream) is replayed at ORVALDA_DEMO_SPEED times its pace
# (default 10), a screenshot is taken half way, the recording is stopped and
# Orvalda closed with Yes. Everything lands in a new folder it prints:
#   recording.csv      what Orvalda recorded
#   probe-log.csv      every message the tester probe received
#   probe-summary.txt  the probe's counts
#   feed.log           the feeder's output
#   screenshot.png     Orvalda half way through the replay
#   orvalda.log        Wine's messages for Orvalda, if any
# Exits non-zero, saying why, when any step fails or a tick is missing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

SAMPLE="$ROOT/data/sample_eurusd.csv"
SPEED="${ORVALDA_DEMO_SPEED:-10}"
START_SECONDS=$SECONDS

step() { printf '\033[1;34m[%2ds]\033[0m %s\n' "$((SECONDS - START_SECONDS))" "$*"; }
die() {
  printf '\n\033[1;31mDEMO FAILED: %s\033[0m\n' "$*" >&2
  [ -n "${OUT:-}" ] && printf 'what there is so far: %s\n' "$OUT" >&2
  exit 1
}

# A Unix path as Wine's Z: drive sees it.
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

ensure_deps
build_win >/dev/null
wine_env
ensure_display

EXE="$WIN/app/orvalda.exe"
FEED="$WIN/tools/orvalda-feed.exe"
PROBE="$WIN/tools/zentavor-probe.exe"
DRIVE="$WIN/tests/e2e/orvalda_drive.exe"
for f in "$EXE" "$FEED" "$PROBE" "$DRIVE" "$SAMPLE"; do [ -f "$f" ] || die "missing $f"; done

OUT="$BUILD/demo-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
CSV="$OUT/recording.csv"
PROBE_LOG="$OUT/probe-log.csv"
SHOT="$OUT/screenshot.png"

ORVALDA_PID="" PROBE_PID="" FEED_PID=""
cleanup() {
  local pid
  for pid in $FEED_PID $PROBE_PID $ORVALDA_PID; do kill "$pid" 2>/dev/null || true; done
  stop_display
}
trap cleanup EXIT

drive() { wine "$DRIVE" "$@" || die "orvalda_drive $1 failed"; }
rows() { wc -l <"$1" | tr -d ' '; }
# Runs a check every 50 ms until it holds (status 0) or SECONDS have passed (status 1).
wait_for() { local n=$(($1 * 20)); shift; until "$@"; do ((n-- > 0)) || return 1; sleep 0.05; done; }

step "output folder: $OUT"
step "display $DISPLAY; starting Orvalda under Wine"
wine "$EXE" >"$OUT/orvalda.log" 2>&1 &
ORVALDA_PID=$!
drive wait-main 30000

step "starting the tester probe (a window titled Zentavor), logging to probe-log.csv"
wine "$PROBE" --log "$(winpath "$PROBE_LOG")" >"$OUT/probe-summary.txt" 2>"$OUT/probe.err" &
PROBE_PID=$!
drive wait-window Zentavor 20000

step "a feeder announces EURUSD with 5 digits and sends one tick: \"Live Data\" becomes usable"
wine "$FEED" --synthetic 1 --symbol EURUSD --digits 5 >"$OUT/first-tick.log" 2>&1 || die "the first tick was not taken: $(cat "$OUT/first-tick.log")"
drive status

step "ticking \"Live Data\": Orvalda connects to the probe"
drive click-live
# click-live returns once Orvalda answers it, and Orvalda answers while it still
# waits on its sends to the probe: the connect sequence may land a little later.
wait_for 10 grep -q '^[0-9:.]*,1282,1,0$' "$PROBE_LOG" || die "the probe got no connect sequence within 10 s"

step "START RECORDING: typing $(winpath "$CSV") into the save dialog, Save"
drive start-recording "$(winpath "$CSV")"

SAMPLE_ROWS=$(rows "$SAMPLE")
step "replaying the sample: $SAMPLE_ROWS ticks recorded over $(awk -F'[ ,]' 'NR==1{a=$3} END{split(a,x,":"); split($3,y,":"); printf "%.0f", (y[1]-x[1])*3600+(y[2]-x[2])*60+(y[3]-x[3])}' "$SAMPLE") s, at ${SPEED}x"
wine "$FEED" --file "$(winpath "$SAMPLE")" --speed "$SPEED" >"$OUT/feed.log" 2>&1 &
FEED_PID=$!

# Half way: the probe has half the sample (plus the first connect lines).
half=$((SAMPLE_ROWS / 2 + 3))
for _ in $(seq 1 600); do
  [ "$(rows "$PROBE_LOG")" -ge "$half" ] && break
  kill -0 "$FEED_PID" 2>/dev/null || break
  sleep 0.05
done
drive status
# Orvalda's own window where the X server shows it, else the whole screen.
xid=$(xwininfo -root -tree 2>/dev/null | awk '/"Orvalda": \("orvalda.exe"/ && $0 ~ /[0-9][0-9][0-9]x[0-9][0-9][0-9]\+/ {print $1; exit}')
import -display "$DISPLAY" -window "${xid:-root}" "$SHOT" 2>/dev/null || import -display "$DISPLAY" -window root "$SHOT" \
  || die "cannot take the screenshot"
step "screenshot taken half way ($(rows "$PROBE_LOG") messages at the probe so far)"

feed_status=0
wait "$FEED_PID" || feed_status=$?
FEED_PID=""
sed 's/^/    /' "$OUT/feed.log"
[ "$feed_status" = 0 ] || die "the feeder ended with status $feed_status"

step "STOP RECORDING"
drive stop-recording

step "closing Orvalda: Close, \"Are you sure?\" Yes (this also disconnects the probe)"
drive close-yes 15000
wait "$ORVALDA_PID" 2>/dev/null || true
ORVALDA_PID=""

step "closing the probe"
drive close-window Zentavor
wait "$PROBE_PID" 2>/dev/null || true
PROBE_PID=""

# ---------------------------------------------------------------------------
echo
echo "First rows of $CSV:"
head -n 5 "$CSV" | tr -d '\r' | sed 's/^/    /'

sent=$(sed -n 's/.*: sent \([0-9]*\), answered 1: \([0-9]*\),.*/\1 \2/p' "$OUT/feed.log")
read -r SENT ANSWERED <<<"${sent:-0 0}"
RECORDED=$(rows "$CSV")
FORWARDED=$(grep -c '^[0-9:.]*,1024,' "$PROBE_LOG" || true)
echo
printf 'ticks sent by the feeder: %s (answered 1: %s)\n' "$SENT" "$ANSWERED"
printf 'rows in the recording:    %s\n' "$RECORDED"
printf 'ticks at the probe:       %s\n' "$FORWARDED"
problems=()
[ "$SENT" = "$SAMPLE_ROWS" ] && [ "$ANSWERED" = "$SAMPLE_ROWS" ] || problems+=("the feeder sent $SENT of $SAMPLE_ROWS ticks, $ANSWERED answered 1")
[ "$RECORDED" = "$SENT" ] || problems+=("the recording has $RECORDED rows for $SENT ticks sent")
[ "$FORWARDED" = "$SENT" ] || problems+=("the probe got $FORWARDED ticks for $SENT sent")
# Same prices in the same order: the recording against the sample, and the
# probe's ask,bid points against the sample's.
cut -d, -f3,4 "$SAMPLE" | tr -d '\r' >"$OUT/.sample-prices"
cut -d, -f3,4 "$CSV" | tr -d '\r' | cmp -s - "$OUT/.sample-prices" || problems+=("the recorded prices differ from the sample's (order or values)")
awk -F, '{gsub(/\r/,""); a=$4; b=$3; sub(/\./,"",a); sub(/\./,"",b); print a+0 "," b+0}' "$SAMPLE" >"$OUT/.sample-points"
grep '^[0-9:.]*,1024,' "$PROBE_LOG" | cut -d, -f3,4 | cmp -s - "$OUT/.sample-points" || problems+=("the ticks at the probe differ from the sample's (order or values)")
rm -f "$OUT/.sample-prices" "$OUT/.sample-points"
if [ "${#problems[@]}" -gt 0 ]; then
  printf '  %s\n' "${problems[@]}" >&2
  die "ticks missing or out of order"
fi
echo "every tick is in the recording and at the probe, in order"

echo
echo "Probe summary:"
sed 's/^/    /' "$OUT/probe-summary.txt"
echo
echo "Screenshot: $SHOT"
echo "Folder:     $OUT"
step "demo done"
