#!/usr/bin/env bash
# orvalda.exe's command line answered in a Linux shell under Wine:
#   console_test.sh ORVALDA_EXE
# WINEPREFIX and DISPLAY are set by the caller (scripts/test.sh).
#
# `wine orvalda.exe --help` into a pipe, and a bad option on a terminal (a
# pseudo-terminal made by script(1)): the text is there, and Orvalda ends by
# itself, with exit code 0 and 2. A box would wait for an answer until the
# time limit ends the run. With no display, --record ends with exit code 4 and
# says what it needs, on the error stream and in orvalda.log.
set -uo pipefail

EXE="${1:-}"
[ -f "$EXE" ] || { echo "usage: console_test.sh ORVALDA_EXE (no orvalda.exe at '$EXE')"; exit 2; }
EXE="$(readlink -f "$EXE")"
[ -n "${WINEPREFIX:-}" ] || { echo "console_test.sh: WINEPREFIX is not set"; exit 2; }
export WINEDEBUG="${WINEDEBUG:--all}"
LIMIT=60
FAILURES=0

check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then printf '   ok: %s\n' "$what"; else printf 'FAILED: %s\n' "$what"; FAILURES=$((FAILURES + 1)); fi
}
has() { [[ "$1" == *"$2"* ]]; }

# The usage's first and last lines, and an option between.
check_usage() { # check_usage OUTPUT
  check "the usage's first line" has "$1" $'Usage: orvalda.exe [options]\n'
  check "--record PATTERN in it" has "$1" $'\n--record PATTERN\n'
  check "its last line" has "$1" $'\n    show this text'
}

echo "== wine orvalda.exe --help | ..."
out="$(timeout "$LIMIT" wine "$EXE" --help </dev/null 2>/dev/null | tr -d '\r')"
rc=${PIPESTATUS[0]}
printf '%s\n' "$out" | head -3 | sed 's/^/   | /'
check "exit code 0 (got $rc)" test "$rc" = 0
check_usage "$out"

echo "== wine orvalda.exe --record x.csv --sideways, on a terminal"
out="$(timeout "$LIMIT" script -qec "wine '$EXE' --record x.csv --sideways" /dev/null </dev/null | tr -d '\r')"
rc=${PIPESTATUS[0]}
printf '%s\n' "$out" | head -3 | sed 's/^/   | /'
check "exit code 2 (got $rc)" test "$rc" = 2
check "the reason first" has "$out" $'unknown option \'--sideways\'.\n\nUsage: orvalda.exe [options]\n'
check_usage "$out"

# A name in letters outside the ANSI code page reads right, on a terminal and in a pipe.
for way in terminal pipe; do
  echo "== wine orvalda.exe --record 'D:\Łukasz\{sym}.csv', into a $way"
  if [ "$way" = terminal ]; then
    out="$(timeout "$LIMIT" script -qec "wine '$EXE' --record 'D:\Łukasz\{sym}.csv'" /dev/null </dev/null | tr -d '\r')"
  else
    out="$(timeout "$LIMIT" wine "$EXE" --record 'D:\Łukasz\{sym}.csv' </dev/null 2>&1 | tr -d '\r')"
  fi
  printf '%s\n' "$out" | head -1 | sed 's/^/   | /'
  check "the path as given" has "$out" "'D:\Łukasz\{sym}.csv' has the unknown field {sym}"
done

echo "== wine orvalda.exe --record PATTERN --daily, with no display"
REC="$(mktemp -d)"
err="$(cd "$REC" && timeout "$LIMIT" env -u DISPLAY -u WAYLAND_DISPLAY wine "$EXE" --record 'ticks\{symbol}-{date}.csv' \
  --daily </dev/null 2>&1 >/dev/null | tr -d '\r')"
rc=${PIPESTATUS[0]}
printf '%s\n' "$err" | sed 's/^/   | /'
needs='it needs a window system, and none is there. Under Wine on Linux that is an X server'
check "exit code 4 (got $rc)" test "$rc" = 4
check "one line on the error stream saying what it needs and where the guide tells" \
  has "$(printf '%s\n' "$err" | grep -c .)/$err" "1/Orvalda did not start: $needs"
check "the guide's section named" has "$err" '"Running as a service"'
check "the same in orvalda.log" grep -qF "$needs" "$REC/ticks/orvalda.log"
rm -rf "$REC"

if [ "$FAILURES" -gt 0 ]; then
  echo "console test: $FAILURES check(s) failed"
  exit 1
fi
echo "console test: passed"
