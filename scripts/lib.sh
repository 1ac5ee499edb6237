# Shared functions of the scripts; sourced, not run.
# shellcheck shell=bash

TW_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tw_log() { printf '[tidewell] %s\n' "$*" >&2; }
tw_die() { tw_log "error: $*"; exit 1; }

# ---- Wine ----------------------------------------------------------------

# The 64-bit loader. Debian's `wine` launcher runs the 32-bit loader, so the
# 64-bit one is looked up by itself.
tw_find_wine64() {
  local candidate
  for candidate in "${TIDEWELL_WINE64:-}" /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
                   "$(command -v wine64 2>/dev/null || true)" /opt/wine-stable/bin/wine64; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then printf '%s\n' "$candidate"; return 0; fi
  done
  return 1
}

tw_find_wine32() {
  local candidate
  for candidate in "${TIDEWELL_WINE32:-}" /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine \
                   /opt/wine-stable/bin/wine; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then printf '%s\n' "$candidate"; return 0; fi
  done
  return 1
}

# The server binary itself: Debian's wineserver wrapper always adds -p0.
tw_find_wineserver() {
  local candidate
  for candidate in "${TIDEWELL_WINESERVER:-}" /usr/lib/wine/wineserver64 /usr/lib/x86_64-linux-gnu/wine/wineserver \
                   /opt/wine-stable/bin/wineserver "$(command -v wineserver 2>/dev/null || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then printf '%s\n' "$candidate"; return 0; fi
  done
  return 1
}

# True when the kernel runs 32-bit (i386) programs. A kernel built without
# 32-bit emulation refuses every i386 ELF file ("Exec format error"), whatever
# is installed, so this runs one: a 96-byte static i386 ELF executable that
# does nothing but exit with status 42 (mov eax,1; mov ebx,42; int 0x80).
tw_host_runs_i386() {
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/tw-i386-probe.XXXXXX") || return 1
  printf '%b' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [[ $status -eq 42 ]]
}

# True when this host can run 32-bit Windows programs: it runs i386 programs
# and Wine's 32-bit loader is installed and starts.
tw_can_run_32bit() {
  local loader
  tw_host_runs_i386 || return 1
  loader=$(tw_find_wine32) || return 1
  timeout 20 "$loader" --version >/dev/null 2>&1
}

# "i386", "x86_64" or "" for a PE file, from the machine field of its header.
tw_pe_machine() {
  local file=$1 offset machine
  offset=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ') || return 0
  [[ -n "$offset" ]] || return 0
  machine=$(od -An -t x2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')
  case "$machine" in
    014c) echo i386 ;;
    8664) echo x86_64 ;;
  esac
}

tw_wine_env() {
  export WINEPREFIX=$1
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko: nothing here needs them, and their installers would ask.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
  # Wine's Recycle Bin is the XDG trash of $XDG_DATA_HOME: one beside the
  # prefix (on its file system, which Wine needs to move files in), so that
  # no test ever fills the user's own trash.
  export XDG_DATA_HOME="$1-xdg"
}

# The build folder (the one that holds CMakeCache.txt) at or above PATH.
tw_build_dir_above() {
  local dir=$1
  [[ -d "$dir" ]] || dir=$(dirname "$dir")
  dir=$(cd "$dir" && pwd) || return 1
  while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do dir=$(dirname "$dir"); done
  [[ -f "$dir/CMakeCache.txt" ]] || return 1
  printf '%s\n' "$dir"
}

# The prefix of a test: WINEPREFIX when it is set, else the prefix of the
# build folder above PATH; exported with the rest of tw_wine_env.
tw_use_prefix() {
  local build
  if [[ -z "${WINEPREFIX:-}" ]]; then
    build=$(tw_build_dir_above "$1") || tw_die "no build folder above $1; set WINEPREFIX"
    WINEPREFIX="$build/wineprefix"
  fi
  tw_wine_env "$WINEPREFIX"
}

# Makes the prefix of tw_use_prefix on first use. ctest may start several
# tests at once: one makes it while the others wait on a lock beside it.
tw_prefix_ready() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [[ -f "$WINEPREFIX/system.reg" ]] || tw_wine_fresh_prefix "$WINEPREFIX"
  flock -u 9
  exec 9>&-
}

# A fresh prefix at $1: removed, made again with wineboot -i, and its server
# kept running (wineserver -p) until tw_wine_stop.
tw_wine_fresh_prefix() {
  local prefix=$1 wine64 server started
  wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found (install wine64)"
  server=$(tw_find_wineserver) || tw_die "no wineserver found"
  tw_wine_env "$prefix"
  if [[ -d "$prefix" ]]; then
    "$server" -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  mkdir -p "$(dirname "$prefix")"
  started=$(date +%s.%N)
  "$wine64" wineboot -i >/dev/null 2>&1 || tw_die "wineboot -i failed for $prefix"
  "$server" -w >/dev/null 2>&1 || true
  "$server" -p >/dev/null 2>&1 || true
  tw_log "Wine prefix $prefix ready in $(tw_seconds_since "$started") s"
}

# The prefixes the test suites make in a build folder: the main one and
# those of the suites that run apart (beside the prefixes of run.sh and of
# the benchmarks, which are not the suites').
tw_test_prefixes() {
  local prefix
  for prefix in "$1"/*prefix*/ "$1"/tests/wine/*prefix*/; do
    prefix=${prefix%/}
    case "${prefix##*/}" in wineprefix-run|bench-prefix) continue ;; esac
    [[ -d "$prefix" ]] && printf '%s\n' "$prefix"
  done
  return 0
}

# Stops the servers of the test prefixes of a build folder; with --remove
# also removes the prefixes, so that the next run makes them anew.
tw_wine_stop_all() {
  local server prefix remove=0
  if [[ "$1" == --remove ]]; then remove=1; shift; fi
  server=$(tw_find_wineserver) || return 0
  while IFS= read -r prefix; do
    WINEPREFIX=$prefix "$server" -k >/dev/null 2>&1 || true
    if (( remove )); then rm -rf "$prefix"; fi
  done < <(tw_test_prefixes "$1")
}

tw_wine_stop() {
  local server
  server=$(tw_find_wineserver) || return 0
  [[ -n "${WINEPREFIX:-}" ]] || return 0
  "$server" -k >/dev/null 2>&1 || true
}

# ---- X display -------------------------------------------------------------

TW_XVFB_PID=

# Starts Xvfb on a free display when no display is set.
tw_xvfb_start() {
  if [[ -n "${DISPLAY:-}" ]]; then return 0; fi
  command -v Xvfb >/dev/null || tw_die "DISPLAY is not set and Xvfb is not installed"
  local display=99
  while [[ -e /tmp/.X${display}-lock || -e /tmp/.X11-unix/X${display} ]]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  TW_XVFB_PID=$!
  local tries=0
  until [[ -e /tmp/.X11-unix/X${display} ]]; do
    tries=$((tries + 1))
    if (( tries > 100 )) || ! kill -0 "$TW_XVFB_PID" 2>/dev/null; then tw_die "Xvfb did not start on :$display"; fi
    sleep 0.1
  done
  export DISPLAY=":$display"
  tw_log "Xvfb on $DISPLAY"
}

tw_xvfb_stop() {
  if [[ -n "$TW_XVFB_PID" ]]; then
    kill "$TW_XVFB_PID" 2>/dev/null || true
    wait "$TW_XVFB_PID" 2>/dev/null || true
    TW_XVFB_PID=
  fi
}

# ---- Timing ------------------------------------------------------------------

tw_seconds_since() {
  local now
  now=$(date +%s.%N)
  awk -v a="$1" -v b="$now" 'BEGIN { printf "%.1f", b - a }'
}
