# Shared functions of the GUI suites: start a copy of tidewell.exe in the
# prefix, drive its windows with gui_driver.exe, take screenshots, check the
# prefix from the host. Sourced, not run.
# shellcheck shell=bash

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../../scripts/lib.sh"

# Usage of every suite: SUITE.sh tidewell.exe gui_driver.exe ARTIFACT_DIR
gui_init() {
  [[ $# -ge 3 ]] || tw_die "usage: $(basename "$0") tidewell.exe gui_driver.exe ARTIFACT_DIR"
  GUI_EXE=$1
  GUI_DRIVER=$2
  GUI_ARTIFACTS=$3
  [[ -f "$GUI_EXE" ]] || tw_die "no $GUI_EXE"
  [[ -f "$GUI_DRIVER" ]] || tw_die "no $GUI_DRIVER"
  # The prefix the fixture programs went into: the test's, else the build
  # folder's, as wine-run.sh and install-fixtures.sh pick it.
  tw_use_prefix "$GUI_EXE"
  [[ -f "$WINEPREFIX/system.reg" ]] || tw_die "no Wine prefix at $WINEPREFIX"
  GUI_WINE=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"
  command -v import >/dev/null || tw_die "import (ImageMagick) is not installed"
  mkdir -p "$GUI_ARTIFACTS"
  rm -f "$GUI_ARTIFACTS"/*.png
  GUI_WORK=$(mktemp -d)
  GUI_PID=
  # Tidewell runs from a folder of its own in the prefix: its state files and
  # its Backups folder go there, not into the build folder.
  GUI_DIR="$WINEPREFIX/drive_c/Tidewell"
  GUI_DOS_EXE='C:\Tidewell\tidewell.exe'
  rm -rf "$GUI_DIR"
  mkdir -p "$GUI_DIR"
  cp -f "$GUI_EXE" "$GUI_DIR/tidewell.exe"
  trap gui_cleanup EXIT
  tw_xvfb_start
}

gui_cleanup() {
  local status=$?
  if [[ -n "$GUI_PID" ]] && kill -0 "$GUI_PID" 2>/dev/null; then
    kill "$GUI_PID" 2>/dev/null || true
    wait "$GUI_PID" 2>/dev/null || true
  fi
  if (( status != 0 )) && [[ -f "$GUI_WORK/tidewell.log" ]]; then
    tw_log "output of tidewell.exe:"
    tail -20 "$GUI_WORK/tidewell.log" >&2 || true
  fi
  rm -rf "$GUI_WORK"
  tw_xvfb_stop
}

# One driver command; its output goes to stdout. On failure the suite ends
# with the driver's message and a screenshot of the moment.
drv() {
  local status=0
  "$GUI_WINE" "$GUI_DRIVER" "$@" </dev/null 2>"$GUI_WORK/driver.err" || status=$?
  if (( status != 0 )); then
    cat "$GUI_WORK/driver.err" >&2
    gui_shot "failure" || true
    tw_die "step failed: $*"
  fi
}

# A driver command that may fail; true when it succeeded.
drv_try() { "$GUI_WINE" "$GUI_DRIVER" "$@" </dev/null >/dev/null 2>&1; }

gui_fail() {
  gui_shot "failure" || true
  tw_die "$*"
}

# Starts the copy of tidewell.exe and waits for its main window.
gui_start() {
  "$GUI_WINE" "$GUI_DOS_EXE" </dev/null >>"$GUI_WORK/tidewell.log" 2>&1 &
  GUI_PID=$!
  drv wait-window TidewellMain Tidewell 60 >/dev/null
}

# Waits for the inventory of a start or a Refresh: the loading window comes
# up, then closes when the last program is in the list. A quick inventory can
# open and close it between two looks of the driver (each look is a new Wine
# process, slow on a busy machine): then the list is full and no loading
# window is left.
gui_wait_inventory() {
  if drv_try wait-window TidewellWindow Loading 30; then
    drv wait-gone TidewellWindow Loading 90
    return
  fi
  drv wait-gone TidewellWindow Loading 1
  [[ -n $(drv list-programs) ]] || gui_fail "no loading window and no program listed after 30 s"
}

# Waits until the process of tidewell.exe has ended.
gui_wait_exit() {
  drv wait-gone TidewellMain Tidewell 20
  local tries=0
  while kill -0 "$GUI_PID" 2>/dev/null; do
    tries=$((tries + 1))
    (( tries < 100 )) || tw_die "tidewell.exe did not end after its window closed"
    sleep 0.1
  done
  wait "$GUI_PID" 2>/dev/null || true
  GUI_PID=
}

# A screenshot of the main window's area (the secondary windows and message
# boxes lie over it) as ARTIFACT_DIR/NAME.png.
gui_shot() {
  local name=$1 geometry
  # A box just answered is still on the screen for a moment under Wine (its
  # window goes first, the picture of it a little later).
  "$GUI_WINE" "$GUI_DRIVER" wait-no-message 10 </dev/null >/dev/null 2>&1 || true
  sleep 1
  geometry=$("$GUI_WINE" "$GUI_DRIVER" geometry TidewellMain Tidewell </dev/null 2>/dev/null) || geometry=
  local crop=()
  if [[ -n "$geometry" ]]; then crop=(-crop "$geometry" +repage); fi
  import -window root "${crop[@]}" "$GUI_ARTIFACTS/$name.png" 2>/dev/null ||
    { tw_log "screenshot $name failed"; return 1; }
}

# The rows of the program list, "caption TAB group", into a file.
gui_programs() { drv list-programs >"$1"; }

# Polls the program list until it has exactly N rows (a search or a refresh
# fills it on the GUI thread after the click returned).
gui_wait_program_count() {
  local wanted=$1 file=$2 tries=0
  while :; do
    drv list-programs >"$file"
    [[ $(wc -l <"$file") -eq $wanted ]] && return 0
    tries=$((tries + 1))
    (( tries < 20 )) || gui_fail "the program list has $(wc -l <"$file") rows, expected $wanted: $(cut -f1 "$file" | tr '\n' ';')"
    sleep 0.5
  done
}

# The height in pixels of a control.
gui_height() {
  local geometry
  geometry=$(drv geometry-of "$1")
  geometry=${geometry#*x}
  printf '%s\n' "${geometry%%+*}"
}

# Report rows of a list without the check-box mark, one per line.
gui_rows() { drv report-rows "$1" | sed 's/^\[.\] //'; }

# True when the registry key, or the value NAME of it, exists in the prefix.
reg_exists() {
  if [[ $# -eq 2 ]]; then
    "$GUI_WINE" reg query "$1" /v "$2" </dev/null >/dev/null 2>&1
  else
    "$GUI_WINE" reg query "$1" </dev/null >/dev/null 2>&1
  fi
}

# Fails unless the file (of lines) holds the line exactly.
expect_line() {
  local file=$1 line=$2 what=$3
  grep -qxF -- "$line" "$file" || gui_fail "$what: no line '$line' in: $(tr '\n' ';' <"$file")"
}

expect_no_line_containing() {
  local file=$1 text=$2 what=$3
  ! grep -qiF -- "$text" "$file" || gui_fail "$what: a line contains '$text': $(grep -iF -- "$text" "$file" | head -3 | tr '\n' ';')"
}
