# What the page tests share (sourced, with DIR set to the test's scratch
# folder): counted checks, headless Chromium on DIR/page.html, and pixels of
# a colour in DIR/page.png.
CHROMIUM="$(command -v chromium || command -v chromium-browser || true)"
[ -n "$CHROMIUM" ] || { echo "chromium is not installed (scripts/lib.sh's ensure_deps installs it)"; exit 2; }
FAILURES=0
check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then printf '   ok: %s\n' "$what"; else printf 'FAILED: %s\n' "$what"; FAILURES=$((FAILURES + 1)); fi
}
browse() { # browse OPTION... : Chromium on the page, headless, with a profile of its own
  "$CHROMIUM" --headless --no-sandbox --disable-gpu --no-first-run --hide-scrollbars \
    --user-data-dir="$DIR/profile" "$@" "file://$DIR/page.html" 2>>"$DIR/chromium.log"
}
# The page's screenshot (at that window size) and its text as the browser holds it.
screenshot_and_dom() { # screenshot_and_dom WIDTH,HEIGHT
  browse --window-size="$1" --screenshot="$DIR/page.png" >/dev/null
  check "a screenshot (chromium: $(grep -v -i 'dbus\|fontconfig\|unexpected operator' "$DIR/chromium.log" | tail -1))" test -s "$DIR/page.png"
  browse --dump-dom >"$DIR/dom.html"
}
# Pixels of a colour (within a few percent) in the screenshot.
pixels() { convert "$DIR/page.png" -alpha off -fuzz 6% -fill black -opaque "$1" -fill white +opaque black \
  -colorspace gray -format '%[fx:round((1-mean)*w*h)]' info: 2>/dev/null; }
# Each "NAME #RRGGBB LEAST": at least LEAST pixels of that colour.
drawn() {
  local name hex least n
  for colour in "$@"; do
    read -r name hex least <<<"$colour"
    n="$(pixels "$hex")"
    check "the $name drawn: $n pixels of $hex, at least $least" test "${n:-0}" -ge "$least"
  done
}
