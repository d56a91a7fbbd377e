#!/usr/bin/env bash
# Makes again, from the programs themselves, every picture README.md and
# docs/user-guide.md show, so that none goes stale:
#   docs/orvalda-window.png      Orvalda's main window as it starts (under Wine,
#                                on Xvfb when there is no display)
#   docs/orvalda-check-page.png  orvalda-check's page (--gap 2 --html) of the
#                                damaged copy of the sample that the page's
#                                end-to-end test makes and checks, in headless
#                                Chromium
#   docs/orvalda-compare-page.png  orvalda-compare's page of the two brokers'
#                                recordings that its page's end-to-end test
#                                makes and checks, in headless Chromium
#   scripts/screenshots.sh
# Installs what is missing (the tests' packages: Chromium), builds, and fails,
# writing no picture of it, when the page test fails or a window never shows.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_deps test
build_win >/dev/null
build_tools >/dev/null
wine_env
ensure_display

WORK="$(mktemp -d)"
ORVALDA_PID=""
cleanup() {
  [ -z "$ORVALDA_PID" ] || kill "$ORVALDA_PID" 2>/dev/null || true
  stop_display
  rm -rf "$WORK"
}
trap cleanup EXIT
LIMIT=60  # seconds for anything awaited
# Runs a check every 200 ms until it holds; fails after LIMIT seconds.
await() { local end=$((SECONDS + LIMIT)); until "$@"; do [ "$SECONDS" -lt "$end" ] || return 1; sleep 0.2; done; }

# --- orvalda-check's page -------------------------------------------------
log "orvalda-check's page: the damaged copy from the page's test"
bash "$ROOT/tests/e2e/check_page_test.sh" "$TOOLS/orvalda-check" "$ROOT/data/sample_eurusd.csv" "$WORK/test" >"$WORK/test.log" ||
  { cat "$WORK/test.log" >&2; log "the page's test failed: no picture"; exit 1; }
cp "$WORK/test/damaged.csv" "$WORK/sample-damaged.csv"
rc=0
(cd "$WORK" && "$TOOLS/orvalda-check" --gap 2 --html page.html sample-damaged.csv >/dev/null) || rc=$?
[ "$rc" = 1 ] || { log "orvalda-check gave exit code $rc, not 1 (problems found)"; exit 1; }
CHROMIUM="$(command -v chromium || command -v chromium-browser)"
"$CHROMIUM" --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars --user-data-dir="$WORK/profile" \
  --window-size=1150,6000 --screenshot="$WORK/page.png" "file://$WORK/page.html" >/dev/null 2>&1
# Down to the page's end, with the margin it has at the top.
read -r height top <<<"$(convert "$WORK/page.png" -fuzz 1% -trim -format '%h %Y' info: | tr -d '+')"
convert "$WORK/page.png" -crop "1150x$((top + height + top))+0+0" +repage "$ROOT/docs/orvalda-check-page.png"
log "docs/orvalda-check-page.png: $(identify -format '%wx%h' "$ROOT/docs/orvalda-check-page.png")"

# --- orvalda-compare's page -----------------------------------------------
log "orvalda-compare's page: the two brokers from the page's test"
bash "$ROOT/tests/e2e/compare_page_test.sh" "$TOOLS/orvalda-compare" "$WORK/compare" >"$WORK/compare.log" ||
  { cat "$WORK/compare.log" >&2; log "the page's test failed: no picture"; exit 1; }
"$CHROMIUM" --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars --user-data-dir="$WORK/profile" \
  --window-size=1150,6000 --screenshot="$WORK/compare.png" "file://$WORK/compare/page.html" >/dev/null 2>&1
read -r height top <<<"$(convert "$WORK/compare.png" -fuzz 1% -trim -format '%h %Y' info: | tr -d '+')"
convert "$WORK/compare.png" -crop "1150x$((top + height + top))+0+0" +repage "$ROOT/docs/orvalda-compare-page.png"
log "docs/orvalda-compare-page.png: $(identify -format '%wx%h' "$ROOT/docs/orvalda-compare-page.png")"

# --- Orvalda's window -----------------------------------------------------
log "Orvalda's window as it starts"
DRIVE="$WIN/tests/e2e/orvalda_drive.exe"
wine "$WIN/app/orvalda.exe" >/dev/null 2>&1 &
ORVALDA_PID=$!
wine "$DRIVE" wait-main $((LIMIT * 1000)) >/dev/null
# Painted: drawn (not one plain colour), and two pictures a moment apart are alike.
painted() {
  window_shot "$WORK/a.png" && sleep 0.2 && window_shot "$WORK/b.png" &&
    [ "$(identify -format '%k' "$WORK/b.png")" -gt 16 ] &&
    [ "$(compare -metric AE "$WORK/a.png" "$WORK/b.png" null: 2>&1)" = 0 ]
}
await painted || { log "Orvalda's window did not show"; exit 1; }
cp "$WORK/b.png" "$ROOT/docs/orvalda-window.png"
log "docs/orvalda-window.png: $(identify -format '%wx%h' "$ROOT/docs/orvalda-window.png")"
wine "$DRIVE" close-yes >/dev/null
wait "$ORVALDA_PID" 2>/dev/null || true
ORVALDA_PID=""
