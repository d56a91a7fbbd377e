#!/usr/bin/env bash
# Installs what is missing, builds both ways and the native tools users run
# (build/bin/orvalda-check, optimised), and runs every test: the native unit
# tests (sanitizers) and the end-to-end tests of the real orvalda.exe under
# Wine, all in one ctest run.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_deps test
ensure_node_modules
# A compiler warning fails the test command (build_win makes them errors too).
build_win
build_tools
build_native -DORVALDA_WIN_BUILD_DIR="$WIN" -DORVALDA_NODE_DIR="$NODE_DIR" -DORVALDA_WERROR=ON
wine_env
ensure_display
trap stop_display EXIT
cd "$NATIVE"
ctest --output-on-failure --timeout 600 "$@"
