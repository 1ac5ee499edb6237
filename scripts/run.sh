#!/usr/bin/env bash
# Builds tidewell.exe and starts it under Wine, in a prefix of its own in the
# build folder, on a virtual X display (Xvfb) when no display is set. Runs the
# i686 build where this host can run 32-bit programs, else the x86_64 build of
# the same sources. Returns when the program exits.
#
# The first run prepares the prefix with programs to look at and remove
# (tests/fixtures/prepare-gui-prefix.sh): programs of four vendors in three
# groups, two programs whose own uninstallers remove everything, one whose
# uninstaller leaves leftovers behind, and one MSI package. Later runs keep
# the prefix as the last run left it; TIDEWELL_RUN_RESET=1 makes it anew.
# tidewell.exe runs as C:\Tidewell\tidewell.exe in the prefix, so that its
# state files and its Backups folder stay there too.
#
# TIDEWELL_RUN_SECONDS=N ends the program after N seconds, saving a picture of
# the screen to $TIDEWELL_SCREENSHOT first when that is set.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

"$TW_ROOT/scripts/install-deps.sh"

if tw_can_run_32bit; then
  folder=win32
  loader=$(tw_find_wine32)
else
  folder=win64
  loader=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"
  tw_log "this host cannot run 32-bit programs; running the x86_64 build"
fi
# The sleeper helper is the program file the prepared programs install.
"$TW_ROOT/scripts/build.sh" "$folder" -- tidewell tw_sleeper

build="$TW_ROOT/build/$folder"
exe="$build/app/tidewell.exe"
payload="$build/tests/tw_sleeper.exe"
prefix="$build/wineprefix-run"

cleanup() {
  tw_wine_stop
  tw_xvfb_stop
}
trap cleanup EXIT

tw_xvfb_start
if [[ -f "$prefix/system.reg" && "${TIDEWELL_RUN_RESET:-}" != 1 ]]; then
  tw_wine_env "$prefix"
else
  tw_wine_fresh_prefix "$prefix"
fi
WINEPREFIX=$prefix bash "$TW_ROOT/tests/fixtures/prepare-gui-prefix.sh" --once "$build/run-programs" "$payload"

mkdir -p "$prefix/drive_c/Tidewell"
cp -f "$exe" "$prefix/drive_c/Tidewell/tidewell.exe"
program='C:\Tidewell\tidewell.exe'

tw_log "starting $program in $prefix"
if [[ -n "${TIDEWELL_RUN_SECONDS:-}" ]]; then
  "$loader" "$program" &
  running=$!
  sleep "$TIDEWELL_RUN_SECONDS"
  if [[ -n "${TIDEWELL_SCREENSHOT:-}" ]]; then
    import -window root "$TIDEWELL_SCREENSHOT" && tw_log "screenshot saved to $TIDEWELL_SCREENSHOT"
  fi
  tw_wine_stop
  wait "$running" 2>/dev/null || true
else
  "$loader" "$program"
fi
