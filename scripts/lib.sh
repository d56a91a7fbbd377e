# Shared by run.sh, test.sh and the demo: installing what a fresh Debian 12
# machine lacks, building both ways, and a Wine prefix and display of our own.
# Source it; it defines functions and sets ROOT and BUILD.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVALDA_BUILD:-$ROOT/build}"
NATIVE="$BUILD/native"
WIN="$BUILD/win64"
RELEASE="$BUILD/release"
TOOLS="$BUILD/bin"  # the native tools users run
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Debian packages, each with the command (looked up on PATH) or absolute path
# that shows it is there. A bare name is never tested as a file: run from the
# project root, "cmake" is our folder.
# What building and running need: run.sh, its demo under Xvfb and the
# orvalda-check run in it, and the release packages (zip, nsis).
RUN_PACKAGES='
cmake cmake
ninja-build ninja
g++ g++
g++-mingw-w64-x86-64 x86_64-w64-mingw32-g++
binutils-mingw-w64-x86-64 x86_64-w64-mingw32-windres
wine wine
wine64 /usr/lib/wine/wine64
xvfb Xvfb
x11-utils xwininfo
imagemagick /usr/bin/convert-im6.q16
fonts-wine /usr/share/wine/fonts/marlett.ttf
libcli11-dev /usr/include/CLI/CLI.hpp
libhowardhinnant-date-dev /usr/include/date/tz.h
tzdata /usr/share/zoneinfo/America/New_York
zlib1g-dev /usr/include/zlib.h
libz-mingw-w64-dev /usr/x86_64-w64-mingw32/lib/libz.a
zip zip
nsis makensis
'
# What only the tests, the benchmarks and the screenshots need (test.sh).
TEST_PACKAGES='
xdotool xdotool
libgtest-dev /usr/include/gtest/gtest.h
locales /usr/share/i18n/locales/de_DE
libbenchmark-dev /usr/include/benchmark/benchmark.h
python3-pandas /usr/lib/python3/dist-packages/pandas/__init__.py
nodejs node
npm npm
python3 python3
bsdutils script
chromium chromium
strace strace
faketime /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
postgresql /usr/lib/postgresql/15/bin/initdb
systemd systemd-analyze
'

# Installs the packages of RUN_PACKAGES that are missing, and with "test"
# those of TEST_PACKAGES too:   ensure_deps [test]
ensure_deps() {
  local want=() pkg check list="$RUN_PACKAGES"
  [ "${1:-}" != test ] || list+="$TEST_PACKAGES"
  while read -r pkg check; do
    [ -n "$pkg" ] || continue
    case "$check" in
      /*) [ -e "$check" ] ;;
      *) command -v "$check" >/dev/null 2>&1 ;;
    esac || want+=("$pkg")
  done <<<"$list"
  if [ "${#want[@]}" -gt 0 ]; then
    log "installing: ${want[*]}"
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${want[@]}" >/dev/null
  fi
  # mingw-w64 comes with two thread models; either builds Orvalda.
  command -v x86_64-w64-mingw32-g++ >/dev/null || { echo "mingw-w64 g++ not found after install" >&2; return 1; }
}

build_native() {
  log "building natively (unit tests, sanitizers)"
  cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
  cmake --build "$NATIVE" -j "$JOBS"
}

# The native tools users run (orvalda-check, orvalda-export, orvalda-compare), optimised and without the
# sanitizers, in build/bin.
build_tools() {
  log "building the native tools into $TOOLS (optimised)"
  cmake -S "$ROOT" -B "$RELEASE" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVALDA_SANITIZE=OFF \
    -DORVALDA_TESTS=OFF -DORVALDA_TOOLS_DIR="$TOOLS" >/dev/null
  cmake --build "$RELEASE" --target orvalda-check orvalda-export orvalda-compare -j "$JOBS"
}

# The DuckDB package the engines test reads folder trees with, from npm, under
# the build folder (never in the source tree); npm is asked only when the
# version in tests/archive/package.json is not there yet.
NODE_DIR="$BUILD/node"
ensure_node_modules() {
  local want
  want="$(sed -n 's/.*"@duckdb\/node-api": *"\([^"]*\)".*/\1/p' "$ROOT/tests/archive/package.json")"
  if ! grep -qs "\"version\": \"$want\"" "$NODE_DIR/node_modules/@duckdb/node-api/package.json"; then
    log "installing @duckdb/node-api $want with npm into $NODE_DIR"
    mkdir -p "$NODE_DIR"
    cp "$ROOT/tests/archive/package.json" "$NODE_DIR/package.json"
    (cd "$NODE_DIR" && npm install --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}

# A PostgreSQL cluster of its own in FOLDER (made when missing), listening
# only on a socket there, for the tests and benchmarks that load recordings;
# PostgreSQL refuses to run as root, so root runs it as the postgres user.
# Sets PGHOST, PGUSER and PGDATABASE for psql:   start_postgres FOLDER
#   stop_postgres FOLDER
PG_BIN=/usr/lib/postgresql/15/bin
as_postgres() {
  if [ "$(id -u)" = 0 ]; then su -s /bin/sh postgres -c "$*"; else sh -c "$*"; fi
}
start_postgres() {
  local dir="$1"
  mkdir -p "$dir" && chmod 755 "$dir"
  [ "$(id -u)" != 0 ] || chown postgres "$dir"
  if [ ! -f "$dir/data/PG_VERSION" ]; then
    as_postgres "'$PG_BIN/initdb' -D '$dir/data' -A trust -U orvalda -E UTF8 --no-sync" >/dev/null || return 1
  fi
  as_postgres "'$PG_BIN/pg_ctl' -D '$dir/data' -l '$dir/log' -w -t 120 start \
    -o \"-k '$dir' -c listen_addresses= -c fsync=off\"" >/dev/null || { cat "$dir/log" >&2; return 1; }
  export PGHOST="$dir" PGUSER=orvalda PGDATABASE=postgres
}
stop_postgres() {
  as_postgres "'$PG_BIN/pg_ctl' -D '$1/data' -m fast -w stop" >/dev/null 2>&1 || true
}

# run.sh and test.sh build build/win64 with the same options, so that either
# after the other rebuilds nothing (a changed option recompiles every file):
# warnings are errors in both, as the tests require.
build_win() {
  log "cross-building orvalda.exe (mingw-w64)"
  cmake -S "$ROOT" -B "$WIN" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DORVALDA_WERROR=ON "$@" >/dev/null
  cmake --build "$WIN" -j "$JOBS"
}

# A Wine prefix of the project's own, never the user's ~/.wine; or the one
# WINEPREFIX already names (a feeder that runs under Wine reaches Orvalda
# only in the same prefix).
wine_env() {
  export WINEPREFIX="${WINEPREFIX:-$BUILD/wineprefix}"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No .NET or HTML engine installers, and no desktop entries in $HOME for
  # the shortcuts an installer makes inside the prefix.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
  # Wine reads the arguments and the current folder, and names files, in the
  # locale's character set. Under the C locale (plain ASCII) a name with any
  # other letter ("Łukasz-用") reaches the program as "?" and fails: take
  # UTF-8 then, as C.UTF-8, which every Debian has.
  if [ "$(locale charmap 2>/dev/null)" = ANSI_X3.4-1968 ]; then export LC_ALL=C.UTF-8; fi
  if [ ! -f "$WINEPREFIX/.orvalda-ready" ]; then
    log "preparing the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    # Without a window manager Wine waits about 2 s whenever a window is hidden,
    # unless its windows are unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.orvalda-ready"
  fi
  # Debian's Wine looks for the fonts it brings in <its data folder>/../fonts,
  # not in /usr/share/wine/fonts where the fonts-wine package puts them: it
  # finds none of them. Without Marlett the caption buttons and the window
  # menu draw as letters ("0 1 r"). The prefix's own Fonts folder is always
  # read: Marlett goes there, in prefixes made before this too. (Tahoma and
  # the others stay out: the windows keep the look they have.)
  local marlett=/usr/share/wine/fonts/marlett.ttf fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -f "$marlett" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    mkdir -p "$fonts" && cp "$marlett" "$fonts/"
  fi
}

XVFB_PID=""
# Starts Xvfb on a free display number when there is no display.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && { log "Xvfb on $DISPLAY (pid $XVFB_PID)"; return 0; }
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "$XVFB_PID" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# A picture of Orvalda's main window, where the X server shows it, in FILE;
# fails when the window is not there:   window_shot FILE
window_shot() {
  local xid
  xid=$(xwininfo -root -tree 2>/dev/null |
    awk '/"Orvalda": \("orvalda.exe"/ && $0 ~ /[0-9][0-9][0-9]x[0-9][0-9][0-9]\+/ {print $1; exit}')
  [ -n "$xid" ] && import -display "$DISPLAY" -window "$xid" "$1" 2>/dev/null
}

# Runs a program of the cross build under Wine with the project's prefix, in
# place of this shell (for the wrappers scripts/orvalda, scripts/orvalda-feed
# and scripts/zentavor-probe):   run_built app/orvalda.exe ARGS...
run_built() {
  local exe="$WIN/$1"
  shift
  [ -f "$exe" ] || { echo "$exe is not built yet: run scripts/run.sh (or scripts/test.sh) first" >&2; return 1; }
  wine_env
  exec wine "$exe" "$@"
}
