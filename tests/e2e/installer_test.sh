#!/usr/bin/env bash
# End-to-end test of the Windows installer under Wine:
#   installer_test.sh SETUP_EXE DRIVE_EXE
# SETUP_EXE is orvalda-<version>-win64-setup.exe, DRIVE_EXE the orvalda_drive
# tool; WINEPREFIX and DISPLAY are set by the caller (scripts/test.sh).
#
# Checks that the installer and its uninstaller ask for no elevation (their
# manifests: "asInvoker"). Shows the installer's components page (Next from
# the start) and checks that every component's name fits its list, then ends
# the installer there. Installs silently into a folder of its own (/S /D=...),
# checks the files (the same as in the zip beside the installer, when there
# is one), the user's Start-menu entries and the uninstall registry key under
# HKCU, and nothing under HKLM; starts Orvalda through
# its Start-menu entry, finds its main window, checks that it is the
# installed program, records once (so that it keeps its settings under
# HKCU\Software\Orvalda), closes it with Yes; starts "Check a recording..." and
# cancels the file dialog it opens; uninstalls silently and waits for
# the end; checks that the folder, the Start-menu entries and the three registry
# keys are gone, and that this install made no Startup shortcut. Then installs
# again, into the default folder (the user's AppData\Local\Programs\Orvalda),
# choosing the optional Startup shortcut (/STARTUP=1): checks the shortcut's
# target and arguments, starts Orvalda through it (it must take the arguments
# and start minimized), uninstalls, and checks the shortcut is gone.
#
# The uninstaller is run as NSIS runs it from the Start menu - a copy outside
# the folder, told the folder with _?= - but from a copy of the test's own,
# so the test can wait for it and then remove the copy: the program's folder
# is then empty of everything, the uninstaller included.
set -uo pipefail

SETUP="${1:-}"
DRIVE="${2:-}"
FAILURES=0
STEP=""

step() { STEP="$*"; printf '== %s\n' "$*"; }
fail() { printf 'FAILED (%s): %s\n' "$STEP" "$*"; FAILURES=$((FAILURES + 1)); }
# A check that has to hold for the rest to make sense.
require() { fail "$*"; finish; }
check() { # check DESCRIPTION COMMAND...
  local what="$1"; shift
  if "$@"; then printf '   ok: %s\n' "$what"; else fail "$what"; fi
}

[ -f "$SETUP" ] || { echo "usage: installer_test.sh SETUP_EXE DRIVE_EXE (no installer at '$SETUP')"; exit 2; }
[ -f "$DRIVE" ] || { echo "usage: installer_test.sh SETUP_EXE DRIVE_EXE (no orvalda_drive at '$DRIVE')"; exit 2; }
[ -n "${WINEPREFIX:-}" ] || { echo "installer_test.sh: WINEPREFIX is not set"; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "installer_test.sh: DISPLAY is not set"; exit 2; }
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop menu entries in the user's home for the shortcuts the installer makes.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"

SETUP_NAME="$(basename "$SETUP")"
VERSION="$(sed -n 's/^orvalda-\(.*\)-win64-setup\.exe$/\1/p' <<<"$SETUP_NAME")"
[ -n "$VERSION" ] || { echo "installer_test.sh: cannot tell the version from '$SETUP_NAME'"; exit 2; }
ZIP="$(dirname "$SETUP")/orvalda-$VERSION-win64.zip"

# /D= must come last and unquoted, so the folder has no spaces.
FOLDER_NAME="OrvaldaInstallerTest$$"
INSTALL_WIN="C:\\$FOLDER_NAME\\Orvalda"
INSTALL_DIR="$WINEPREFIX/drive_c/$FOLDER_NAME/Orvalda"
UNINST_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalda'
# A per-user install writes nothing for the whole machine.
MACHINE_KEYS=('HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvalda' 'HKLM\Software\Orvalda')
# Orvalda's own settings for the user; kept aside while the test runs when this
# prefix had them (the end-to-end tests run Orvalda in it), and put back.
USER_KEY='HKCU\Software\Orvalda'
USER_KEY_SAVED="$WINEPREFIX/drive_c/$FOLDER_NAME-settings.reg"
RECORDING_WIN="C:\\$FOLDER_NAME-recording.csv"
COPY_DIR="$WINEPREFIX/drive_c/$FOLDER_NAME-uninstaller"
FILES=(orvalda.exe orvalda-feed.exe zentavor-probe.exe orvalda-check.exe orvalda-export.exe orvalda-compare.exe tools-README.txt README.txt LICENSE.txt uninstall.exe)
CHECK_ENTRY="Check a recording…"  # the Start-menu entry of orvalda-check, with its ellipsis
EXPORT_ENTRY="Export a recording…"  # and of orvalda-export's dialog

# One file of a zip to standard output (python3 is there wherever the build is; unzip may not be).
zip_member() { python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' "$1" "$2"; }
export -f zip_member
reg_has_key() { wine reg query "$1" >/dev/null 2>&1; }
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# A shortcut's target, working folder and arguments, one a line, read from the
# .lnk file itself (the shell link format: header, item list, link info, strings).
lnk_fields() {
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", d, 0x14)[0]
at = 0x4C
if flags & 0x1:
    at += 2 + struct.unpack_from("<H", d, at)[0]
target = ""
if flags & 0x2:
    size, _, info_flags, _, base = struct.unpack_from("<5I", d, at)
    if info_flags & 0x1:
        target = d[at + base:d.index(b"\0", at + base)].decode("latin-1")
    at += size
fields = {}
for bit, name in ((0x4, "name"), (0x8, "path"), (0x10, "folder"), (0x20, "args"), (0x40, "icon")):
    if flags & bit:
        n = struct.unpack_from("<H", d, at)[0] * (2 if flags & 0x80 else 1)
        fields[name] = d[at + 2:at + 2 + n].decode("utf-16-le" if flags & 0x80 else "latin-1").rstrip("\0")
        at += 2 + n
print(target); print(fields.get("folder", "")); print(fields.get("args", ""))
PY
}

# The user's folders: Start-menu programs, Startup and Documents (where the
# optional shortcut goes and records to), and the local application data.
user_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
programs_win="$(reg_value "$user_folders" Programs)"
startup_win="$(reg_value "$user_folders" StartUp)"
DOCUMENTS_WIN="$(reg_value "$user_folders" Personal)"
LOCAL_WIN="$(reg_value "$user_folders" 'Local AppData')"
[ -n "$programs_win" ] && [ -n "$startup_win" ] && [ -n "$DOCUMENTS_WIN" ] && [ -n "$LOCAL_WIN" ] ||
  { echo "installer_test.sh: no Programs, StartUp, Personal or Local AppData folder in the prefix"; exit 2; }
PROGRAMS_DIR="$(winepath -u "$programs_win" 2>/dev/null | tr -d '\r')"
MENU_DIR="${PROGRAMS_DIR%/}/Orvalda"
STARTUP_LNK="$(winepath -u "$startup_win" 2>/dev/null | tr -d '\r')"
STARTUP_LNK="${STARTUP_LNK%/}/Orvalda.lnk"

found_before=0
{ reg_has_key "$UNINST_KEY" || reg_has_key "${MACHINE_KEYS[0]}" || reg_has_key "${MACHINE_KEYS[1]}" ||
  [ -e "$MENU_DIR" ] || [ -e "$STARTUP_LNK" ]; } && found_before=1
if reg_has_key "$USER_KEY"; then
  wine reg export "$USER_KEY" "$(winepath -w "$USER_KEY_SAVED" 2>/dev/null | tr -d '\r')" /y >/dev/null 2>&1 \
    || { echo "installer_test.sh: cannot keep $USER_KEY aside"; exit 2; }
  wine reg delete "$USER_KEY" /f >/dev/null 2>&1
fi

finish() {
  # Whatever a failure left: Orvalda closed, the installation removed.
  if [ "$FAILURES" -gt 0 ]; then
    wine "$DRIVE" close-yes >/dev/null 2>&1
    if [ -f "$INSTALL_DIR/uninstall.exe" ]; then
      mkdir -p "$COPY_DIR" && cp "$INSTALL_DIR/uninstall.exe" "$COPY_DIR/"
      wine "$COPY_DIR/uninstall.exe" /S "_?=$INSTALL_WIN" >/dev/null 2>&1
    fi
    # What a faulty uninstaller left, unless it was there before the test.
    if [ "$found_before" = 0 ]; then
      for key in "$UNINST_KEY" "${MACHINE_KEYS[@]}"; do wine reg delete "$key" /f >/dev/null 2>&1; done
      rm -rf "$MENU_DIR" "$STARTUP_LNK"
    fi
  fi
  wine reg delete "$USER_KEY" /f >/dev/null 2>&1
  if [ -f "$USER_KEY_SAVED" ]; then
    if wine reg import "$(winepath -w "$USER_KEY_SAVED" 2>/dev/null | tr -d '\r')" >/dev/null 2>&1; then
      rm -f "$USER_KEY_SAVED"
    else
      echo "installer_test.sh: could not put $USER_KEY back; it is kept in $USER_KEY_SAVED"
    fi
  fi
  rm -rf "$COPY_DIR" "$WINEPREFIX/drive_c/$FOLDER_NAME" "$WINEPREFIX/drive_c/$FOLDER_NAME-recording.csv"
  if [ "$FAILURES" -gt 0 ]; then
    echo "installer test: $FAILURES check(s) failed"
    exit 1
  fi
  echo "installer test: passed"
  exit 0
}

step "before: Orvalda is not installed in this prefix"
[ "$found_before" = 0 ] || require "the prefix already has $UNINST_KEY, ${MACHINE_KEYS[*]}, $MENU_DIR or $STARTUP_LNK: uninstall Orvalda first"

step "the installer and its uninstaller ask for no elevation"
# The level Windows reads from a program's manifest before it starts it.
asked_level() { grep -a -o 'requestedExecutionLevel level="[A-Za-z]*"' "$1" | head -1 | sed 's/.*level="//; s/"$//'; }
check "setup.exe: asInvoker ($(asked_level "$SETUP"))" test "$(asked_level "$SETUP")" = asInvoker

step "the components page: every name fits the list"
wine "$SETUP" &
setup_pid=$!
fits="$(wine "$DRIVE" components-fit "Orvalda $VERSION Setup" 2>&1 | tr -d '\r')"
rc=$?
echo "   $fits"
check "no name wider than the list" test "$rc" = 0
kill "$setup_pid" 2>/dev/null
wait "$setup_pid" 2>/dev/null

install_silently() { # install_silently [OPTION...]: into $INSTALL_WIN, or into the default folder with DEFAULT_FOLDER=1
  local folder=("/D=$INSTALL_WIN")
  [ "${DEFAULT_FOLDER:-0}" = 1 ] && folder=()
  step "silent install: $SETUP_NAME /S $* ${folder[*]}"
  wine "$SETUP" /S "$@" "${folder[@]}"
  rc=$?
  [ "$rc" = 0 ] || fail "the installer exited with $rc"
  [ -d "$INSTALL_DIR" ] || require "no folder $INSTALL_DIR after the install"
}

uninstall_silently() {
  step "silent uninstall, waited for: uninstall.exe /S _?=$INSTALL_WIN (run from a copy)"
  mkdir -p "$COPY_DIR" && cp "$INSTALL_DIR/uninstall.exe" "$COPY_DIR/" || require "cannot copy the uninstaller"
  wine "$COPY_DIR/uninstall.exe" /S "_?=$INSTALL_WIN"
  rc=$?
  [ "$rc" = 0 ] || fail "the uninstaller exited with $rc"
  rm -rf "$COPY_DIR"
}

install_silently

step "the installed files"
for f in "${FILES[@]}"; do check "$f" test -s "$INSTALL_DIR/$f"; done
check "uninstall.exe asks for no elevation ($(asked_level "$INSTALL_DIR/uninstall.exe"))" \
  test "$(asked_level "$INSTALL_DIR/uninstall.exe")" = asInvoker
extra="$(cd "$INSTALL_DIR" && ls -A | grep -v -x -F "$(printf '%s\n' "${FILES[@]}")")"
check "nothing else in the folder${extra:+ (found: $extra)}" test -z "$extra"
if [ -f "$ZIP" ]; then
  for f in orvalda.exe orvalda-feed.exe zentavor-probe.exe orvalda-check.exe orvalda-export.exe orvalda-compare.exe tools-README.txt README.txt LICENSE.txt; do
    check "$f is the zip's" bash -c 'zip_member "$1" "$2" | cmp -s - "$3"' _ "$ZIP" "orvalda-$VERSION-win64/$f" "$INSTALL_DIR/$f"
  done
else
  echo "   (no $ZIP beside the installer: not compared)"
fi

step "the Start-menu entries in $MENU_DIR"
check "Orvalda.lnk" test -s "$MENU_DIR/Orvalda.lnk"
check "Uninstall Orvalda.lnk" test -s "$MENU_DIR/Uninstall Orvalda.lnk"
check "Orvalda.lnk points at the installed orvalda.exe" \
  bash -c '{ strings -a "$1"; strings -a -el "$1"; } | grep -q -i -F "$2"' _ "$MENU_DIR/Orvalda.lnk" "$FOLDER_NAME\\Orvalda\\orvalda.exe"
check "$CHECK_ENTRY.lnk" test -s "$MENU_DIR/$CHECK_ENTRY.lnk"
check "$CHECK_ENTRY.lnk points at the installed orvalda-check.exe" \
  bash -c '{ strings -a "$1"; strings -a -el "$1"; } | grep -q -i -F "$2"' _ "$MENU_DIR/$CHECK_ENTRY.lnk" "$FOLDER_NAME\\Orvalda\\orvalda-check.exe"

check "no Startup shortcut (it is optional and was not chosen)" test ! -e "$STARTUP_LNK"

step "the uninstall registry key"
check "$UNINST_KEY DisplayName is Orvalda" test "$(reg_value "$UNINST_KEY" DisplayName)" = "Orvalda"
check "DisplayVersion is $VERSION" test "$(reg_value "$UNINST_KEY" DisplayVersion)" = "$VERSION"
check "InstallLocation is $INSTALL_WIN" test "$(reg_value "$UNINST_KEY" InstallLocation)" = "$INSTALL_WIN"
check "UninstallString runs $INSTALL_WIN\\uninstall.exe" \
  test "$(reg_value "$UNINST_KEY" UninstallString)" = "\"$INSTALL_WIN\\uninstall.exe\""
for key in "${MACHINE_KEYS[@]}"; do check "no $key" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$key"; done

# Starts Orvalda through a shortcut and waits for its main window: true when
# it is there (what orvalda_drive says of it in $found); a failure if not.
start_through() {
  wine start /unix "$1"
  found="$(wine "$DRIVE" wait-main 60000 | tr -d '\r')"
  [ -n "$found" ] || { fail "no Orvalda main window (a command line Orvalda cannot read shows the usage instead)"; return 1; }
  echo "   $found"
}

step "Orvalda started from its Start-menu entry"
if start_through "$MENU_DIR/Orvalda.lnk"; then
  check "the window belongs to the installed orvalda.exe" \
    bash -c '[[ "${1,,}" == *"${2,,}" ]]' _ "$found" "$INSTALL_WIN\\orvalda.exe"
  check "a recording to $RECORDING_WIN started and stopped" \
    bash -c 'wine "$1" start-recording "$2" && wine "$1" stop-recording' _ "$DRIVE" "$RECORDING_WIN"
  check "Orvalda keeps its settings under $USER_KEY" reg_has_key "$USER_KEY"
  closed="$(wine "$DRIVE" close-yes | tr -d '\r')"
  rc=$?
  echo "   $closed"
  check "closed with Yes, exit code 0" test -n "$closed" -a "$rc" = 0
fi

step "\"$CHECK_ENTRY\" from the Start menu: orvalda-check asks for a recording; Cancel ends it"
# (Wine's start waits on an error box for a shortcut that is not there.)
if [ -s "$MENU_DIR/$CHECK_ENTRY.lnk" ] && wine start /unix "$MENU_DIR/$CHECK_ENTRY.lnk" &&
  check "its file dialog \"Check a recording\" opens" bash -c 'wine "$1" wait-window "Check a recording" 30000 >/dev/null' _ "$DRIVE"; then
  closed="$(wine "$DRIVE" close-window "Check a recording" 15000 | tr -d '\r')"
  echo "   $closed"
  check "cancelled, orvalda-check ends with exit code 0" bash -c '[[ "$1" == *"exit code 0" ]]' _ "$closed"
fi

step "\"$EXPORT_ENTRY\" from the Start menu: orvalda-export's dialog opens; closing it ends it"
check "$EXPORT_ENTRY.lnk points at the installed orvalda-export.exe" \
  bash -c '{ strings -a "$1"; strings -a -el "$1"; } | grep -q -i -F "$2"' _ "$MENU_DIR/$EXPORT_ENTRY.lnk" "$FOLDER_NAME\\Orvalda\\orvalda-export.exe"
if [ -s "$MENU_DIR/$EXPORT_ENTRY.lnk" ] && wine start /unix "$MENU_DIR/$EXPORT_ENTRY.lnk" &&
  check "its dialog \"Export a recording\" opens" bash -c 'wine "$1" wait-window "Export a recording" 30000 >/dev/null' _ "$DRIVE"; then
  closed="$(wine "$DRIVE" close-window "Export a recording" 15000 | tr -d '\r')"
  echo "   $closed"
  check "closed, orvalda-export ends with exit code 0" bash -c '[[ "$1" == *"exit code 0" ]]' _ "$closed"
fi

uninstall_silently

step "nothing left"
left="$( [ -e "$INSTALL_DIR" ] && cd "$INSTALL_DIR" && ls -A | tr '\n' ' ')"
check "no folder $INSTALL_DIR${left:+ (still there: $left)}" test ! -e "$INSTALL_DIR"
check "no Start-menu folder $MENU_DIR" test ! -e "$MENU_DIR"
check "no registry key $UNINST_KEY" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$UNINST_KEY"
check "no registry key $USER_KEY" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$USER_KEY"
check "the parent folder C:\\$FOLDER_NAME is empty" bash -c '[ -z "$(ls -A "$1" 2>/dev/null)" ]' _ "$WINEPREFIX/drive_c/$FOLDER_NAME"

# The default folder: the user's own programs folder.
INSTALL_WIN="${LOCAL_WIN%\\}\\Programs\\Orvalda"
INSTALL_DIR="$(winepath -u "$INSTALL_WIN" 2>/dev/null | tr -d '\r')"
INSTALL_DIR="${INSTALL_DIR%/}"
[ ! -e "$INSTALL_DIR" ] || require "$INSTALL_WIN is there already: uninstall Orvalda first"
DEFAULT_FOLDER=1 install_silently /STARTUP=1

step "the Startup shortcut $STARTUP_LNK"
[ -s "$STARTUP_LNK" ] || require "no Startup shortcut after choosing it"
mapfile -t lnk < <(lnk_fields "$STARTUP_LNK")
check "its target is the installed orvalda.exe (${lnk[0]:-})" test "${lnk[0],,}" = "${INSTALL_WIN,,}\\orvalda.exe"
want_args="--record \"$DOCUMENTS_WIN\\Orvalda\\{symbol}-{date}.csv\" --daily --live --minimized"
check "its arguments are $want_args (${lnk[2]:-})" test "${lnk[2]:-}" = "$want_args"

step "Orvalda started through the Startup shortcut: it takes the arguments and starts minimized"
if start_through "$STARTUP_LNK"; then
  state="$(wine "$DRIVE" status | tr -d '\r')"
  echo "   $state"
  check "the window is minimized" bash -c '[[ "$1" == *"window: minimized"* ]]' _ "$state"
  check "closed with Yes" bash -c 'wine "$1" close-yes >/dev/null' _ "$DRIVE"
fi

uninstall_silently

step "nothing left"
check "no Startup shortcut" test ! -e "$STARTUP_LNK"
check "no folder $INSTALL_DIR" test ! -e "$INSTALL_DIR"
check "no registry key $UNINST_KEY" bash -c '! wine reg query "$1" >/dev/null 2>&1' _ "$UNINST_KEY"

finish
