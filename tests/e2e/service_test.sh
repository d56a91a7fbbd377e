#!/usr/bin/env bash
# The service as systemd runs it, for two brokers at once: scripts/orvalda-service
# installs instances A and B (the unit passes systemd-analyze verify), and the
# unit's own ExecStart and ExecStop lines, read from the installed unit, are
# run here as the user manager would run them (no user manager runs on these
# machines), Restart=on-failure honoured (without its pause).
#   service_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE
# WINEPREFIX is set by the caller: each instance's prefix is a copy of it.
# Checks:
#  - two feeders send the same pair to A and B at once: every tick is in its
#    own instance's files, once and in order, and none in the other's;
#  - orvalda.log's lines reach the unit's output (the journal);
#  - the stop ends the recording cleanly (its files ended in the log, exit 0);
#  - a killed Orvalda is started again, and the next start's log tells the
#    file left open with its last row; every answered tick is kept.
set -uo pipefail

EXE="${1:-}" FEED="${2:-}" DRIVE="${3:-}"
for f in "$EXE" "$FEED" "$DRIVE"; do
  [ -f "$f" ] || { echo "usage: service_test.sh ORVALDA_EXE FEED_EXE DRIVE_EXE (no file at '$f')"; exit 2; }
done
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || { echo "service_test.sh: WINEPREFIX is not a prefix"; exit 2; }
SERVICE="$(cd "$(dirname "$0")/../.." && pwd)/scripts/orvalda-service"
PATIENCE=120  # seconds any one event may take on a loaded machine
PATTERN='C:\ticks\{symbol}\{symbol}-{date}.csv'

DIR="$(mktemp -d)"
export XDG_CONFIG_HOME="$DIR/config" XDG_DATA_HOME="$DIR/data"
SOURCE_PREFIX="$WINEPREFIX"
unset WINEPREFIX DISPLAY  # as a user manager starts it: each instance brings its own
declare -A RUN=()         # NAME -> the pid of its ExecStart
cleanup() {
  local name
  for name in "${!RUN[@]}"; do
    kill "${RUN[$name]}" 2>/dev/null
    wait "${RUN[$name]}" 2>/dev/null
  done
  rm -rf "$DIR"
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
here() { echo "$XDG_DATA_HOME/orvalda/$1"; }
ticks() { echo "$(here "$1")/prefix/drive_c/ticks"; }

fail() {
  echo "FAILED: $*"
  [ -s "$DIR/drive.out" ] && echo "   orvalda_drive said: $(cat "$DIR/drive.out")"
  local name
  for name in A B; do
    [ -d "$(ticks $name)" ] && echo "   $name's log:" && tr -d '\r' <"$(ticks $name)/orvalda.log" | sed 's/^/     /'
    [ -s "$DIR/journal.$name" ] && echo "   $name's unit said:" && tail -n 30 "$DIR/journal.$name" | sed 's/^/     /'
  done
  exit 1
}
wait_for() { # wait_for WHAT COMMAND...: up to PATIENCE seconds
  local what="$1" deadline=$((SECONDS + PATIENCE))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$what"
    sleep 0.1
  done
}

echo "== install A and B"
for name in A B; do
  "$SERVICE" install "$name" --record "$PATTERN" --exe "$EXE" --no-start >"$DIR/install.out" 2>&1 ||
    fail "install $name: $(cat "$DIR/install.out")"
  # A copy of the caller's prefix, linked where it can be (Wine replaces a
  # registry file it saves, never writes into it), the registry copied.
  mkdir -p "$(here "$name")"
  cp -al "$SOURCE_PREFIX" "$(here "$name")/prefix" 2>/dev/null ||
    { rm -rf "$(here "$name")/prefix" && cp -a "$SOURCE_PREFIX" "$(here "$name")/prefix"; } || fail "cannot copy the prefix"
  cp --remove-destination "$SOURCE_PREFIX"/*.reg "$(here "$name")/prefix/"
done
UNIT="$XDG_CONFIG_HOME/systemd/user/orvalda@.service"
mkdir -m 700 "$DIR/runtime"
verified="$(cd "$(dirname "$UNIT")" && XDG_RUNTIME_DIR="$DIR/runtime" systemd-analyze verify --user "$UNIT" 2>&1)" &&
  [ -z "$verified" ] || fail "systemd-analyze verify: $verified"
echo "   ok: installed, and the unit verified"

# The unit's command line for an instance, as systemd reads it: %i the
# instance, %% a %, double quotes around a word.
unit_command() { # unit_command KEY NAME: the words in COMMAND
  local line
  line="$(sed -n "s/^$1=//p" "$UNIT")"
  [ -n "$line" ] || fail "the unit has no $1"
  line="${line//%i/$2}"
  eval "COMMAND=($(printf '%s' "${line//%%/%}"))"
}
start() {
  unit_command ExecStart "$1"
  "${COMMAND[@]}" >>"$DIR/journal.$1" 2>&1 &
  RUN[$1]=$!
  wait_for "$1's display did not come" test -s "$(here "$1")/display"
  # A window busy for 5 s while its prefix's Wine starts counts as hung: asked again.
  wait_for "$1's Orvalda showed no window that answers" main_answers "$1"
}
main_answers() { "$SERVICE" exec "$1" wine "$DRIVE" wait-main 120000 >"$DIR/drive.out" 2>&1; }
# ExecStop, then the end of ExecStart: its exit code in ENDED.
stop() {
  unit_command ExecStop "$1"
  "${COMMAND[@]}" >"$DIR/stop.out" 2>&1 || fail "ExecStop of $1: $(cat "$DIR/stop.out")"
  wait "${RUN[$1]}"
  ENDED=$?
  unset "RUN[$1]"
}
restart_policy() { sed -n 's/^Restart=//p' "$UNIT"; }

# A batch of ticks for an instance: the pair EURUSD, prices that count up
# from BASE, so a file tells whether each is there once and in order.
declare -A SENT=([A]=0 [B]=0)
declare -A BASE=([A]=110000 [B]=130000)
batch() { # batch NAME COUNT: the feeder's file
  local name="$1" count="$2" i n
  for ((i = 1; i <= count; i++)); do
    n=$((BASE[$name] + SENT[$name] + i))
    printf 'EUR/USD,20260101 00:00:00.000,%d.%05d,%d.%05d\n' $((n / 100000)) $((n % 100000)) \
      $(((n + 3) / 100000)) $(((n + 3) % 100000))
  done >"$DIR/batch.$name.csv"
  SENT[$name]=$((SENT[$name] + count))
}
feed() { # feed NAME...: each instance's batch by its own feeder, all at once
  local name pids=()
  for name in "$@"; do
    "$SERVICE" exec "$name" wine "$FEED" --file "$(winpath "$DIR/batch.$name.csv")" --speed max --symbol EURUSD \
      >"$DIR/feed.$name" 2>&1 &
    pids+=($!)
  done
  for name in "$@"; do
    wait "${pids[0]}" || fail "$name's feeder: not every tick was answered: $(cat "$DIR/feed.$name")"
    pids=("${pids[@]:1}")
  done
}
# Every tick sent to NAME in its files, once, in order; nothing else.
check_files() {
  python3 - "$(ticks "$1")/EURUSD" "${BASE[$1]}" "${SENT[$1]}" <<'PY' || fail "$1's files"
import glob, sys
folder, base, sent = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
bids = []
for name in sorted(glob.glob(folder + "/EURUSD-*.csv")):
    for row in open(name, newline="").read().split("\r\n")[:-1]:
        bids.append(round(float(row.split(",")[2]) * 100000))
want = list(range(base + 1, base + sent + 1))
if bids != want:
    others = [b for b in bids if not base < b <= base + sent]
    print(f"   {len(bids)} rows for {sent} ticks sent; {len(others)} not its own ticks, such as {others[:3]}")
    sys.exit(1)
PY
  echo "   ok: $1's ${SENT[$1]} ticks, each once in order, none of the other's"
}
logged() { tr -d '\r' <"$(ticks "$1")/orvalda.log" 2>/dev/null | grep -qF -- "$2"; }

echo "== A and B started, fed the same pair at once"
start A
start B
batch A 1000
batch B 1000
feed A B
check_files A
check_files B
wait_for "orvalda.log's lines did not reach A's journal" grep -qF 'Recording to C:\ticks\EURUSD\EURUSD-' "$DIR/journal.A"
echo "   ok: orvalda.log's lines in the journal"

echo "== A stopped"
orvalda="$(cat "$(here A)/orvalda.pid")"
stop A
[ "$ENDED" = 0 ] || fail "A's ExecStart ended with $ENDED after the stop"
kill -0 "$orvalda" 2>/dev/null && fail "A's orvalda.exe still runs after the stop"
logged A 'Ended C:\ticks\EURUSD\EURUSD-' || fail "the stop did not end A's file in the log"
echo "   ok: ended cleanly, its file ended in the log"

echo "== A killed, and started again by its restart policy"
start A
batch A 500
feed A
kill -KILL "$(cat "$(here A)/orvalda.pid")"
wait "${RUN[A]}"
ended=$?
[ "$ended" != 0 ] && [ "$(restart_policy)" = on-failure ] || fail "killed, A ended with $ended: no restart"
start A
last=$((BASE[A] + SENT[A]))
told_left_open() { # told_left_open ",BID,ASK": the line ends with that row
  tr -d '\r' <"$(ticks A)/orvalda.log" 2>/dev/null |
    grep -F 'ended without closing C:\ticks\EURUSD\EURUSD-' | grep -F 'the last row it kept, of ' | grep -qF -- "$1"
}
wait_for "A's start did not tell the file the killed run left open, with its last row" told_left_open \
  "$(printf ',%d.%05d,%d.%05d' $((last / 100000)) $((last % 100000)) $(((last + 3) / 100000)) $(((last + 3) % 100000)))"
echo "   ok: started again, its log telling the file left open and its last row"
batch A 500
batch B 500
feed A B
stop A
stop B
[ "$ENDED" = 0 ] || fail "B's ExecStart ended with $ENDED after the stop"
check_files A
check_files B
echo "service test: passed"
