#!/usr/bin/env bash
# The self-running demo: Orvalda under Wine (on Xvfb when there is no display)
# with the tester probe and the feeder. A feeder announces EURUSD and sends a
# first tick, "Live Data" is ticked, a recording is started through the real
# save dialog, the bundled sample (data/sample_eurusd.csv, a recording Orvalda
# made of a feeder's stream) is replayed at ORVALDA_DEMO_SPEED times its pace
# (default 10), a screenshot is taken half way, the recording is stopped and
# Orvalda closed with Yes. Then a second, unattended run: Orvalda started in
# the output folder with --record "unattended\{symbol}-{date}.csv" --daily
# --live, a new probe, and the sample's first 300 ticks from the feeder; no
# clicks. Everything lands in a new folder it prints:
#   recording.csv      what Orvalda recorded
#   probe-log.csv      every message the tester probe received
#   probe-summary.txt  the probe's counts
#   feed.log           the feeder's output
#   screenshot.png     Orvalda half way through the replay
#   wine-stderr.txt    what Wine wrote to standard error for Orvalda, if anything
#   unattended/EURUSD-<date>.csv   what the second run recorded, and its
#   unattended-*       sample part, probe log and summary, feeder output, Wine's
#                      standard error
# Each recording is then checked with orvalda-check (build/bin/orvalda-check),
# which must call it clean.
# Exits non-zero, saying why, when any step fails, a tick is missing or a
# recording is not clean.
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
build_tools >/dev/null
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
wine "$EXE" >"$OUT/wine-stderr.txt" 2>&1 &
ORVALDA_PID=$!
drive wait-main 60000

step "starting the tester probe (a window titled Zentavor), logging to probe-log.csv"
wine "$PROBE" --log "$(winpath "$PROBE_LOG")" >"$OUT/probe-summary.txt" 2>"$OUT/probe.err" &
PROBE_PID=$!
drive wait-window Zentavor 60000

step "a feeder announces EURUSD with 5 digits and sends one tick: \"Live Data\" becomes usable"
wine "$FEED" --synthetic 1 --symbol EURUSD --digits 5 >"$OUT/first-tick.log" 2>&1 || die "the first tick was not taken: $(cat "$OUT/first-tick.log")"
drive status

step "ticking \"Live Data\": Orvalda connects to the probe"
drive click-live
# click-live returns once Orvalda has handled the click, connect sequence and all.
wait_for 30 grep -q '^[0-9:.]*,1282,1,0$' "$PROBE_LOG" || die "the probe got no connect sequence within 30 s"

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
# Orvalda's own window, else the whole screen.
window_shot "$SHOT" || import -display "$DISPLAY" -window root "$SHOT" || die "cannot take the screenshot"
step "screenshot taken half way ($(rows "$PROBE_LOG") messages at the probe so far)"

feed_status=0
wait "$FEED_PID" || feed_status=$?
FEED_PID=""
sed 's/^/    /' "$OUT/feed.log"
[ "$feed_status" = 0 ] || die "the feeder ended with status $feed_status"

step "STOP RECORDING"
drive stop-recording

step "closing Orvalda: Close, \"Are you sure?\" Yes (this also disconnects the probe)"
drive close-yes
wait "$ORVALDA_PID" 2>/dev/null || true
ORVALDA_PID=""

step "closing the probe"
drive close-window Zentavor
wait "$PROBE_PID" 2>/dev/null || true
PROBE_PID=""

# ---------------------------------------------------------------------------
# Checks that a recording and a probe log hold every tick of a sample file,
# the same prices in the same order, and that the feeder sent them all:
#   check_ticks SAMPLE_FILE RECORDING PROBE_LOG FEED_LOG
check_ticks() {
  local sample="$1" csv="$2" probe_log="$3" feed_log="$4" expected sent answered recorded forwarded
  expected=$(rows "$sample")
  sent=$(sed -n 's/.*: sent \([0-9]*\), answered 1: \([0-9]*\),.*/\1 \2/p' "$feed_log")
  read -r sent answered <<<"${sent:-0 0}"
  recorded=$(rows "$csv")
  forwarded=$(grep -c '^[0-9:.]*,1024,' "$probe_log" || true)
  printf 'ticks sent by the feeder: %s (answered 1: %s)\n' "$sent" "$answered"
  printf 'rows in the recording:    %s\n' "$recorded"
  printf 'ticks at the probe:       %s\n' "$forwarded"
  local problems=()
  [ "$sent" = "$expected" ] && [ "$answered" = "$expected" ] || problems+=("the feeder sent $sent of $expected ticks, $answered answered 1")
  [ "$recorded" = "$sent" ] || problems+=("the recording has $recorded rows for $sent ticks sent")
  [ "$forwarded" = "$sent" ] || problems+=("the probe got $forwarded ticks for $sent sent")
  # Same prices in the same order: the recording against the sample, and the
  # probe's ask,bid points against the sample's.
  cut -d, -f3,4 "$sample" | tr -d '\r' >"$OUT/.sample-prices"
  cut -d, -f3,4 "$csv" | tr -d '\r' | cmp -s - "$OUT/.sample-prices" || problems+=("the recorded prices differ from the sample's (order or values)")
  awk -F, '{gsub(/\r/,""); a=$4; b=$3; sub(/\./,"",a); sub(/\./,"",b); print a+0 "," b+0}' "$sample" >"$OUT/.sample-points"
  grep '^[0-9:.]*,1024,' "$probe_log" | cut -d, -f3,4 | cmp -s - "$OUT/.sample-points" || problems+=("the ticks at the probe differ from the sample's (order or values)")
  rm -f "$OUT/.sample-prices" "$OUT/.sample-points"
  if [ "${#problems[@]}" -gt 0 ]; then
    printf '  %s\n' "${problems[@]}" >&2
    die "ticks missing or out of order"
  fi
  echo "every tick is in the recording and at the probe, in order"
}

# A recording orvalda-check calls clean (exit code 0), its summary shown.
check_clean() {
  local code=0
  "$TOOLS/orvalda-check" "$1" >"$OUT/.check.txt" || code=$?
  sed 's/^/    /' "$OUT/.check.txt"
  rm -f "$OUT/.check.txt"
  [ "$code" = 0 ] || die "orvalda-check does not call $1 clean (exit code $code)"
}

echo
echo "First rows of $CSV:"
head -n 5 "$CSV" | tr -d '\r' | sed 's/^/    /'
echo
check_ticks "$SAMPLE" "$CSV" "$PROBE_LOG" "$OUT/feed.log"
check_clean "$CSV"
echo
echo "Probe summary:"
sed 's/^/    /' "$OUT/probe-summary.txt"
echo
echo "Screenshot: $SHOT"

# ---------------------------------------------------------------------------
# The second run, unattended: Orvalda started with options records and
# forwards by itself, into a file named from a pattern, in a folder it makes.
PART="$OUT/unattended-sample.csv"
PART_LOG="$OUT/unattended-probe-log.csv"
head -n 300 "$SAMPLE" >"$PART"
echo
step "second run, unattended, started in the output folder: orvalda.exe --record \"unattended\\{symbol}-{date}.csv\" --daily --live"
(cd "$OUT" && exec wine "$EXE" --record 'unattended\{symbol}-{date}.csv' --daily --live) >"$OUT/unattended-wine-stderr.txt" 2>&1 &
ORVALDA_PID=$!
drive wait-main 60000
wine "$PROBE" --log "$(winpath "$PART_LOG")" >"$OUT/unattended-probe-summary.txt" 2>"$OUT/unattended-probe.err" &
PROBE_PID=$!
drive wait-window Zentavor 60000

step "the feeder replays the sample's first $(rows "$PART") ticks; nobody touches Orvalda"
wine "$FEED" --file "$(winpath "$PART")" --speed "$SPEED" >"$OUT/unattended-feed.log" 2>&1 \
  || die "the feeder failed: $(tail -n 1 "$OUT/unattended-feed.log")"
drive status
grep -q '^[0-9:.]*,1282,1,0$' "$PART_LOG" || die "Orvalda did not connect to the probe by itself"

step "closing Orvalda with Yes, and the probe"
drive close-yes
wait "$ORVALDA_PID" 2>/dev/null || true
ORVALDA_PID=""
drive close-window Zentavor
wait "$PROBE_PID" 2>/dev/null || true
PROBE_PID=""

shopt -s nullglob
made=("$OUT"/unattended/*.csv)
shopt -u nullglob
[ "${#made[@]}" = 1 ] && [[ "${made[0]}" == "$OUT"/unattended/EURUSD-[0-9]*.csv ]] \
  || die "expected one recording unattended/EURUSD-<date>.csv, found: ${made[*]:-nothing}"
echo
echo "Orvalda made ${made[0]}"
if [ -f "$OUT/unattended/orvalda.log" ]; then
  echo "and its log, unattended/orvalda.log:"
  sed 's/^/    /' "$OUT/unattended/orvalda.log"
fi
check_ticks "$PART" "${made[0]}" "$PART_LOG" "$OUT/unattended-feed.log"
check_clean "${made[0]}"

echo
echo "Folder:     $OUT"
step "demo done"
