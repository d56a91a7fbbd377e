#!/usr/bin/env bash
# A week of unattended recording in about a minute: the real orvalda.exe
# --record PATTERN --daily --utc --compress under a wall clock that
# libfaketime moves (timers stay on real time). Two symbols fed in turns
# cross three midnights; Orvalda is then ended and started again two days
# later. Done for "{symbol}\{date}.csv" and for "{date}-{symbol}".
#   week_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE
# WINEPREFIX and DISPLAY are set by the caller (scripts/test.sh); the run
# gets a copy of the prefix and a wineserver of its own, both under the
# moved clock.
# Checks: every tick the feeder had answered is in exactly one day file,
# once, in order, in the file of its date; right after each midnight and at
# the end, every closed day is one single-member .gz and no day is both
# plain and .gz; no .gz.gz, no .part.
set -uo pipefail

EXE="${1:-}" FEED="${2:-}" DRIVE="${3:-}"
for f in "$EXE" "$FEED" "$DRIVE"; do
  [ -f "$f" ] || { echo "usage: week_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE (no file at '$f')"; exit 2; }
done
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || { echo "week_test.sh: WINEPREFIX is not a prefix"; exit 2; }
FAKETIME_LIB=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
[ -f "$FAKETIME_LIB" ] || { echo "week_test.sh: faketime is not installed"; exit 1; }
PATIENCE=60  # seconds any one event may take on a loaded machine

DIR="$(mktemp -d)"
ORVALDA_PID=""
cleanup() {
  [ -n "$ORVALDA_PID" ] && kill "$ORVALDA_PID" 2>/dev/null
  faked wineserver -k 2>/dev/null
  rm -rf "$DIR"
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# Wine, its server and every program in it see the clock of $DIR/offset.
# Linked where it can be (the prefix is large; Wine replaces a registry
# file it saves, never writes into it), the registry copied.
cp -al "$WINEPREFIX" "$DIR/prefix" 2>/dev/null || { rm -rf "$DIR/prefix" && cp -a "$WINEPREFIX" "$DIR/prefix"; } ||
  { echo "week_test.sh: cannot copy the prefix"; exit 1; }
cp --remove-destination "$WINEPREFIX"/*.reg "$DIR/prefix/"
echo "+0" >"$DIR/offset"
faked() {
  WINEPREFIX="$DIR/prefix" WINEDEBUG=-all LD_PRELOAD="$FAKETIME_LIB" FAKETIME_TIMESTAMP_FILE="$DIR/offset" \
    FAKETIME_CACHE_DURATION=1 FAKETIME_DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1 "$@"
}
faked wineserver -f -p &
# Ready once its socket is there (a program started before would start a server of its own);
# Debian's Wine keeps it in a folder of a random name.
SERVER="$(printf 'server-%x-%x' $(stat -c '%d %i' "$DIR/prefix"))"
server_ready() {
  local socket
  for socket in /tmp/.wine-"$(id -u)"/"$SERVER"/socket /tmp/wine-*/"$SERVER"/socket; do [ -S "$socket" ] && return 0; done
  return 1
}
set_clock() { printf '%+d\n' $(($(date -u -d "$1" +%s) - $(date +%s))) >"$DIR/offset"; }

fail() {
  echo "FAILED: $*"
  if [ -n "${REC:-}" ] && [ -d "$REC" ]; then
    echo "   the files:" && (cd "$REC" && find . -type f | sort | sed 's/^/     /')
    echo "   the log:" && (cd "$REC" && cat ${LOGS[*]} 2>/dev/null) | sed 's/^/     /'
  fi
  [ -s "$DIR/orvalda.out" ] && echo "   orvalda.exe said:" && tail -n 20 "$DIR/orvalda.out" | sed 's/^/     /'
  exit 1
}
# Waits for a command to succeed, up to PATIENCE seconds.
wait_for() {
  local what="$1" deadline=$((SECONDS + PATIENCE))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$what"
    sleep 0.05
  done
}
LOGS=('orvalda.log')  # the one log, in the folder the pattern names before its fields
logged() { (cd "$REC" && grep -qsF -- "$1" ${LOGS[*]}); }

# Each symbol's ticks carry prices that count up, so the files tell whether
# each answered tick is there once and in order; the feeder's exit status
# says every tick of the batch was answered.
declare -A SENT=([EURUSD]=0 [GBPUSD]=0)
feed_batch() {
  local symbol="$1" pair="${1:0:3}/${1:3:3}" base=100000 batch="$DIR/batch.csv" i
  [ "$symbol" = GBPUSD ] && base=120000
  : >"$batch"
  for i in 1 2 3 4 5 6 7 8; do
    local n=$((SENT[$symbol] + i))
    printf '%s,20260101 00:00:00.000,%d.%05d,%d.%05d\n' "$pair" $(((base + n) / 100000)) $(((base + n) % 100000)) \
      $(((base + n + 2) / 100000)) $(((base + n + 2) % 100000)) >>"$batch"
  done
  faked wine "$FEED" --file "$(winpath "$batch")" --speed max --symbol "$symbol" >"$DIR/feed.err" 2>&1 ||
    fail "the feeder's ticks of $symbol were not all answered: $(cat "$DIR/feed.err")"
  SENT[$symbol]=$((SENT[$symbol] + 8))
}

start_orvalda() {
  faked wine "$EXE" --record "$(winpath "$REC")\\$PATTERN" --daily --utc --compress >>"$DIR/orvalda.out" 2>&1 &
  ORVALDA_PID=$!
  # To a file, not a pipe: the services Wine starts for the prefix may keep a pipe open.
  faked wine "$DRIVE" wait-main 120000 >"$DIR/drive.out" 2>&1 || fail "orvalda.exe's window did not come: $(cat "$DIR/drive.out")"
}
stop_orvalda() {
  faked wine "$DRIVE" close-yes 60000 >"$DIR/drive.out" 2>&1 || fail "orvalda.exe did not close: $(cat "$DIR/drive.out")"
  wait "$ORVALDA_PID" 2>/dev/null
  ORVALDA_PID=""
}

# The plain file of a symbol's day, as the pattern names it, in $REC.
day_file() {
  local symbol="$1" day="$2"
  case "$PATTERN" in
    '{symbol}\{date}.csv') echo "$REC/$symbol/$day.csv" ;;
    '{date}-{symbol}') echo "$REC/$day-$symbol" ;;
  esac
}
new_days_recorded() { [ -e "$(day_file EURUSD "$1")" ] && [ -e "$(day_file GBPUSD "$1")" ]; }
# A compression that fails, even once, fails the test: it only waits for a retry.
day_compressed() {
  local symbol
  logged "Cannot compress" && fail "a compression failed"
  for symbol in EURUSD GBPUSD; do
    logged "Compressed $(winpath "$(day_file "$symbol" "$1")")," || return 1
  done
}

check_days() {
  python3 - "$REC" "$1" "${SENT[EURUSD]}" "${SENT[GBPUSD]}" <<'PY' || fail "the days on disk ($2)"
import os, re, sys, zlib
rec, last, sent = sys.argv[1], sys.argv[2], {"EURUSD": int(sys.argv[3]), "GBPUSD": int(sys.argv[4])}
problems, days = [], {}
for folder, _, names in os.walk(rec):
    for name in names:
        if name == "orvalda.log":
            continue
        rel = os.path.relpath(os.path.join(folder, name), rec)
        m = re.fullmatch(r"(?:(\w{6})/(\d{8})\.csv|(\d{8})-(\w{6}))(\.gz)?", rel)
        if not m:
            problems.append(f"a file no day has: {rel}")
            continue
        symbol, day = (m[1], m[2]) if m[1] else (m[4], m[3])
        data = open(os.path.join(folder, name), "rb").read()
        if m[5]:
            unpack = zlib.decompressobj(wbits=31)
            text = unpack.decompress(data)
            if not unpack.eof or unpack.unused_data:
                problems.append(f"{rel} is not one whole gzip member")
        else:
            text = data
            if day < last:
                problems.append(f"{rel}: a closed day not compressed")
        if (symbol, day) in days:
            problems.append(f"{symbol} {day} is both plain and compressed")
        days[(symbol, day)] = text.decode()
for symbol, count in sent.items():
    prices = []
    for (s, day), text in sorted(days.items()):
        if s != symbol:
            continue
        for row in text.splitlines():
            fields = row.split(",")
            if len(fields) != 4 or fields[1][:8] != day:
                problems.append(f"{symbol} {day}: a row out of place: {row!r}")
                continue
            prices.append(round(float(fields[2]) * 100000))
    base = 100000 if symbol == "EURUSD" else 120000
    want = [base + n for n in range(1, count + 1)]
    if prices != want:
        problems.append(f"{symbol}: {len(prices)} rows for {count} answered ticks, or not each once in order")
for p in problems:
    print("   " + p)
sys.exit(1 if problems else 0)
PY
  echo "   ok: $2"
}

wait_for "the wineserver did not start" server_ready

week() {
  PATTERN="$1" REC="$DIR/rec-$2"
  SENT=([EURUSD]=0 [GBPUSD]=0)
  echo "== $PATTERN"
  set_clock "2026-12-04 12:00:00"
  start_orvalda
  feed_batch EURUSD
  feed_batch GBPUSD
  local day
  for day in 20261205 20261206 20261207; do
    set_clock "$(date -u -d "$day -1 second" '+%F %T')"
    # In turns, until both symbols record to the new day.
    local deadline=$((SECONDS + PATIENCE))
    until new_days_recorded "$day"; do
      [ "$SECONDS" -lt "$deadline" ] || fail "no rows reached the files of $day"
      feed_batch EURUSD
      feed_batch GBPUSD
    done
    local closed
    closed="$(date -u -d "$day -1 day" +%Y%m%d)"
    wait_for "the day $closed was not compressed within $PATIENCE s" day_compressed "$closed"
    check_days "$day" "right after midnight $day"
  done
  stop_orvalda
  set_clock "2026-12-09 12:00:00"
  start_orvalda
  feed_batch EURUSD
  feed_batch GBPUSD
  wait_for "the day 20261207 was not compressed at the start" day_compressed 20261207
  stop_orvalda
  check_days 20261209 "two days later, ${SENT[EURUSD]} + ${SENT[GBPUSD]} ticks"
}

week '{symbol}\{date}.csv' symbol-folders
week '{date}-{symbol}' date-first
echo "week test: passed"
