#!/usr/bin/env bash
# scripts/test.sh right after scripts/run.sh must rebuild nothing run.sh
# built: a build folder both configure gets the same options from each (an
# option that changes recompiles every file). The scripts' build lines are
# run with a cmake that only writes down how each folder is configured.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
OUT="$(mktemp -d)"
trap 'rm -rf "$OUT"' EXIT

for script in run.sh test.sh; do
  lines="$(grep -E '^build_(win|tools|native)\b' "$ROOT/scripts/$script")"
  [ -n "$lines" ] || { echo "FAILED: no build line in scripts/$script"; exit 1; }
  (
    export ORVALDA_BUILD="$OUT/build"
    source "$ROOT/scripts/lib.sh"
    NODE_DIR="$OUT/node"
    log() { :; }
    cmake() {
      local args=("$@") i
      [ "$1" = -S ] || return 0
      for ((i = 0; i < ${#args[@]}; i++)); do
        [ "${args[i]}" = -B ] && printf '%s\n' "${args[*]}" >"$OUT/$script.$(basename "${args[i + 1]}")"
      done
      return 0
    }
    eval "$lines"
  )
done

status=0 shared=0
for configured in "$OUT"/run.sh.*; do
  dir="${configured##*.}"
  [ -f "$OUT/test.sh.$dir" ] || continue
  shared=$((shared + 1))
  if ! diff <(tr ' ' '\n' <"$configured" | sort) <(tr ' ' '\n' <"$OUT/test.sh.$dir" | sort) >"$OUT/diff"; then
    echo "FAILED: build/$dir is configured one way by run.sh and another by test.sh:"
    sed 's/^/   /' "$OUT/diff"
    status=1
  fi
done
[ "$shared" -gt 0 ] || { echo "FAILED: run.sh and test.sh share no build folder"; exit 1; }
[ "$status" = 0 ] && echo "ok: the $shared build folders run.sh configures are configured alike by test.sh"
exit "$status"
