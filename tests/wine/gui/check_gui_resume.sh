#!/usr/bin/env bash
# The leftovers page after the program's own uninstaller, and its resume.
# First "Tidewell Demo Clean", whose uninstaller removes everything: Step 3
# says so in place of its lists, and nothing stays pending. Then an uninstall
# left on the leftovers page survives closing Tidewell: a file the user made
# in the folder of "Tidewell Fixture Removable" outlives its uninstaller,
# which removes everything it installed; Step 3 offers just that file and the
# folders holding it. The window is closed there (No keeps it open, Yes
# closes it), tidewell.exe started again must open on Step 3 with the same
# rows, then the leftovers are deleted, after which the state files are gone
# and Close asks nothing.
#
# Usage: check_gui_resume.sh tidewell.exe gui_driver.exe ARTIFACT_DIR
set -euo pipefail
# shellcheck source=tests/wine/gui/lib_gui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib_gui.sh"
gui_init "$@"

name="Tidewell Fixture Removable"
folder="$WINEPREFIX/drive_c/Program Files/Tidewell Fixture Removable"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TidewellFixtureRemovable'
[[ -f "$folder/removable.exe" ]] || tw_die "not installed: $folder"

step3_rows() {
  { gui_rows leftoverFilesList; gui_rows leftoverRegistryList; } | sort >"$1"
  [[ -s "$1" ]] || gui_fail "the Step 3 lists are empty"
}

gui_start
gui_wait_inventory

# ---- Nothing left: the page says so ------------------------------------------
clean="Tidewell Demo Clean"
drv click-program "$clean"
drv click runAnalysisButton
drv wait-visible reportPage 60
drv click runUninstallerButton
drv expect-message "Are you sure you want to uninstall $clean ?" yes 10 >/dev/null
drv wait-visible uninstallWaitPage 15
drv wait-enabled scanLeftoversButton 90
drv click scanLeftoversButton
drv wait-visible leftoversPage 10
drv wait-visible nothingLeftLabel 5
drv expect-text nothingLeftLabel "The program's own uninstaller removed everything: no leftovers were found." 5 >/dev/null
drv wait-hidden leftoverTabs 2
[[ -z "$(drv report-rows leftoverFilesList)" && -z "$(drv report-rows leftoverRegistryList)" ]] ||
  gui_fail "Step 3 lists rows although nothing is left"
for state in SIConfig.txt SLF_FI.txt SLF_FL.txt SLF_RG.txt; do
  [[ ! -e "$GUI_DIR/$state" ]] || gui_fail "$state stays although nothing is left to delete"
done
gui_shot step3-nothing-left
# Back asks nothing: the uninstall is over.
drv click leftoversBackButton
drv expect-no-message 2
gui_wait_inventory
drv wait-visible programListPage 10

# ---- Leftovers, closed and resumed --------------------------------------------
# A file the user made: the trace finds it, the uninstaller leaves it.
printf 'user settings\r\n' >"$folder/data/user.cfg"
drv click-program "$name"
drv click runAnalysisButton
drv wait-visible reportPage 60
drv click runUninstallerButton
drv expect-message "Are you sure you want to uninstall $name ?" yes 10 >/dev/null
drv wait-visible uninstallWaitPage 15
drv wait-enabled scanLeftoversButton 90
! reg_exists "$entry" || gui_fail "the program's own uninstaller did not remove its entry"
drv click scanLeftoversButton
drv wait-visible leftoversPage 10
step3_rows "$GUI_WORK/before.txt"
dos='C:\Program Files\Tidewell Fixture Removable'
printf '%s\n' "$dos\\" "$dos\data" "$dos\data\user.cfg" | sort | cmp -s - "$GUI_WORK/before.txt" ||
  gui_fail "Step 3 offers more than what the uninstaller left: $(tr '\n' ';' <"$GUI_WORK/before.txt")"
gui_shot step3-left

# ---- Close on Step 3 with the state on disk: asked; No keeps the window ----------
drv click closeButton
drv expect-message "Are you sure you want to exit Tidewell now?" no 10 >/dev/null
drv wait-visible leftoversPage 5
drv click closeButton
drv expect-message "The current uninstall process has not yet completed." yes 10 >/dev/null
gui_wait_exit
for state in SIConfig.txt SLF_FI.txt SLF_FL.txt SLF_RG.txt; do
  [[ -f "$GUI_DIR/$state" ]] || gui_fail "closing removed $state"
done

# ---- Started again: the inventory ends on Step 3 with the same rows --------------
gui_start
gui_wait_inventory
drv wait-visible leftoversPage 15
drv expect-text leftoversNameLabel "$name" 5 >/dev/null
drv expect-text leftoversPublisherLabel "Publisher: Tidewell Fixtures" 5 >/dev/null
step3_rows "$GUI_WORK/after.txt"
cmp -s "$GUI_WORK/before.txt" "$GUI_WORK/after.txt" ||
  gui_fail "Step 3 after the restart differs: $(diff "$GUI_WORK/before.txt" "$GUI_WORK/after.txt" | tr '\n' ';')"
gui_shot step3-resumed

drv click deleteLeftoversButton
drv expect-message "Are you sure you want to delete all leftovers?" yes 10 >/dev/null
drv expect-message "All leftovers have been completely removed." ok 60 >/dev/null
[[ ! -e "$folder" ]] || gui_fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
for state in SIConfig.txt SLF_FI.txt SLF_FL.txt SLF_RG.txt AppLogo.ico; do
  [[ ! -e "$GUI_DIR/$state" ]] || gui_fail "$state is still there after the deletion"
done

# Nothing pending any more: Close on Step 3 asks nothing.
drv click closeButton
drv expect-no-message 2
gui_wait_exit
tw_log "the uninstall of $name resumed on Step 3 after a restart with the same rows, and was finished"
