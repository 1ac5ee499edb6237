#!/usr/bin/env bash
# Builds tidewell.exe and starts it under Wine, in a prefix of its own in the
# build folder, on a virtual X display (Xvfb) when no display is set. Runs the
# i686 build where this host can run 32-bit programs, else the x86_64 build of
# the same sources. Returns when the program exits.
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
"$TW_ROOT/scripts/build.sh" "$folder" -- tidewell

exe="$TW_ROOT/build/$folder/app/tidewell.exe"
prefix="$TW_ROOT/build/$folder/wineprefix-run"

cleanup() {
  tw_wine_stop
  tw_xvfb_stop
}
trap cleanup EXIT

tw_xvfb_start
if [[ -f "$prefix/system.reg" ]]; then
  tw_wine_env "$prefix"
else
  tw_wine_fresh_prefix "$prefix"
fi

tw_log "starting $exe"
if [[ -n "${TIDEWELL_RUN_SECONDS:-}" ]]; then
  "$loader" "$exe" &
  program=$!
  sleep "$TIDEWELL_RUN_SECONDS"
  if [[ -n "${TIDEWELL_SCREENSHOT:-}" ]]; then
    import -window root "$TIDEWELL_SCREENSHOT" && tw_log "screenshot saved to $TIDEWELL_SCREENSHOT"
  fi
  tw_wine_stop
  wait "$program" 2>/dev/null || true
else
  "$loader" "$exe"
fi
