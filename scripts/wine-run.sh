#!/usr/bin/env bash
# Runs a Windows program under Wine, in the prefix of the current test run:
#
#   wine-run.sh PROGRAM [ARGUMENTS...]   run it (making the prefix if missing)
#   wine-run.sh --fresh                  replace the prefix with a new one
#   wine-run.sh --shutdown               end the prefix's wineserver and programs
#
# The prefix is $VELMORA_WINEPREFIX, else velmora-wine-<uid> in the temp
# folder. Nothing in it can prompt: no Mono or Gecko installers, no crash
# dialog. The programs need an X display (the tests run under xvfb-run).
set -euo pipefail

export WINEPREFIX="${VELMORA_WINEPREFIX:-${TMPDIR:-/tmp}/velmora-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine refuses a prefix that belongs to another user; the prefix is ours.
unset WINEARCH

make_prefix() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  # A crash must end the program, not wait for someone to close a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Wine's own fonts (MS Sans Serif, which the dialogs name, and Marlett for
  # the title-bar buttons) are not found where this Wine looks: the prefix
  # gets them, as Windows has them in its Fonts folder.
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  wineserver -w
  # One server and one set of Wine's own system processes for the whole run,
  # started here with nothing of a test's own: those that a test's program
  # would start keep that test's output pipes open, and the test runner
  # waits for them until the run's end.
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.velmora-ready"
}

# Tests run in parallel: one of them makes the prefix, the others wait.
with_lock() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  "$@"
  exec 9>&-
}

ensure_prefix() {
  [ -f "$WINEPREFIX/.velmora-ready" ] || make_prefix
}

case "${1:-}" in
  --fresh)
    with_lock make_prefix
    ;;
  --shutdown)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    ;;
  "")
    echo "usage: $0 PROGRAM [ARGUMENTS...] | --fresh | --shutdown" >&2
    exit 2
    ;;
  *)
    [ -f "$WINEPREFIX/.velmora-ready" ] || with_lock ensure_prefix
    exec wine "$@"
    ;;
esac
