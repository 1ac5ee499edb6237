#!/usr/bin/env bash
# Removes "Tidewell Fixture Leftovers" through the windows, end to end, in the
# prefix of tests/fixtures/prepare-gui-prefix.sh: select it, Run Analysis,
# the Analyzing page, the report of its files and registry entries, Complete
# Uninstall (its own uninstaller runs and leaves its program file, a data
# folder and a Run value), the wait page, Scan Leftovers (only what is left,
# not what the uninstaller removed), Delete Leftovers.
# Afterwards nothing of it is left on disk or in the registry, its neighbour
# (the folder "...LeftoversX" and its Run value) and the other programs are
# untouched, and the registry backup lies in Backups beside tidewell.exe.
# Also checks the vendor groups of the list. Screenshots of every page go to
# ARTIFACT_DIR.
#
# Usage: check_gui_uninstall.sh tidewell.exe gui_driver.exe ARTIFACT_DIR
set -euo pipefail
# shellcheck source=tests/wine/gui/lib_gui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib_gui.sh"
gui_init "$@"

name="Tidewell Fixture Leftovers"
folder_dos='C:\Program Files\Tidewell Fixture Leftovers'
folder="$WINEPREFIX/drive_c/Program Files/Tidewell Fixture Leftovers"
neighbour="$WINEPREFIX/drive_c/Program Files/Tidewell Fixture LeftoversX"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TidewellFixtureLeftovers'
[[ -f "$folder/leftovers.exe" && -f "$folder/uninstall.exe" ]] || tw_die "not installed: $folder"
reg_exists "$run_key" TidewellLeftoversTray || tw_die "not registered: the Run value TidewellLeftoversTray"

gui_start
gui_wait_inventory

# ---- The list: every program in its vendor's group ---------------------------
gui_programs "$GUI_WORK/list.txt"
expect_line "$GUI_WORK/list.txt" "$name"$'\t'"1" "the program list"
expect_line "$GUI_WORK/list.txt" "Tidewell Demo Notes"$'\t'"1" "the program list"
expect_line "$GUI_WORK/list.txt" "Tidewell Demo Photo Studio"$'\t'"3" "Adobe's group"
expect_line "$GUI_WORK/list.txt" "Tidewell Demo Visual C++ Runtime"$'\t'"10" "the Visual C++ group (before Microsoft's)"
expect_line "$GUI_WORK/list.txt" "Tidewell Demo Sync"$'\t'"8" "the group of other Microsoft programs"
gui_shot step1-list

# ---- Entries found by name alone show unticked -----------------------------
# (tests/fixtures/names.nsi: its data folders and settings keys carry its
# vendor's and its product's names.)
drv click-program "Tidewell Names App Pro 2.1"
drv click runAnalysisButton
drv wait-visible reportPage 60
drv report-rows reportRegistryList >"$GUI_WORK/names-registry.txt"
drv report-rows reportFilesList >"$GUI_WORK/names-files.txt"
grep -qxF '[ ] HKCU|Software\Tidewell Names Vendor\Tidewell Names App Pro' "$GUI_WORK/names-registry.txt" ||
  gui_fail "the vendor's settings key is not an unticked row: $(tr '\n' ';' <"$GUI_WORK/names-registry.txt")"
grep -qx '\[x\] HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TidewellNamesAppPro' \
  "$GUI_WORK/names-registry.txt" || gui_fail "the uninstall entry is not a ticked row"
grep -q '^\[ \] C:.*\\Tidewell Names Vendor\\Tidewell Names App Pro$' "$GUI_WORK/names-files.txt" ||
  gui_fail "no unticked data folder: $(tr '\n' ';' <"$GUI_WORK/names-files.txt")"
expect_no_line_containing "$GUI_WORK/names-files.txt" "Tidewell Names App\\" "the neighbour's rows"
drv click reportRegistryTabButton
drv wait-visible reportRegistryList 5
gui_shot step2-name-matches
drv click reportBackButton
gui_wait_inventory
drv wait-visible programListPage 10

# ---- Analysis -----------------------------------------------------------------
drv click-program "$name"
drv expect-text selectedNameLabel "$name" 5 >/dev/null
drv click runAnalysisButton
drv wait-visible analyzingPage 10
drv expect-text analyzingNameLabel "$name" 5 >/dev/null
drv expect-text analyzingTipLabel "The program's installation information is being analyzed, please wait..." 5 >/dev/null
gui_shot analyzing
drv wait-visible reportPage 60
drv wait-hidden analyzingPage 5
drv expect-text reportNameLabel "$name" 5 >/dev/null

gui_rows reportFilesList >"$GUI_WORK/files.txt"
gui_rows reportRegistryList >"$GUI_WORK/registry.txt"
for path in "$folder_dos\\" "$folder_dos\\leftovers.exe" "$folder_dos\\data" "$folder_dos\\data\\settings.ini" \
            "$folder_dos\\uninstall.exe"; do
  expect_line "$GUI_WORK/files.txt" "$path" "the Step 2 files list"
done
expect_no_line_containing "$GUI_WORK/files.txt" "LeftoversX" "the Step 2 files list"
expect_line "$GUI_WORK/registry.txt" 'HKLM|SOFTWARE\Microsoft\Windows\CurrentVersion\Run|TidewellLeftoversTray' \
  "the Step 2 registry list"
expect_line "$GUI_WORK/registry.txt" 'HKLM|SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TidewellFixtureLeftovers' \
  "the Step 2 registry list"
expect_no_line_containing "$GUI_WORK/registry.txt" "TidewellLeftoversNeighbour" "the Step 2 registry list"
# Every row starts ticked.
if drv report-rows reportRegistryList | grep -q '^\[ \]'; then gui_fail "a Step 2 row is not ticked"; fi

files=$(wc -l <"$GUI_WORK/files.txt")
entries=$(wc -l <"$GUI_WORK/registry.txt")
tip=$(drv text reportTipLabel)
[[ "$tip" == "Analysis completed. $files files/folders and $entries registry entries found." ]] ||
  gui_fail "the Step 2 tip reads '$tip' for $files file/folder rows and $entries registry rows"

drv wait-visible reportFilesList 5
gui_shot step2-files

# While an uninstall is under way the Force Remove function is refused.
drv click forceRemoveFunctionButton
drv expect-message "Switching failed: Current uninstall hasn't Completed." ok 10 >/dev/null
drv wait-visible reportPage 5
drv click reportRegistryTabButton
drv wait-visible reportRegistryList 5
drv wait-hidden reportFilesList 5
drv wait-disabled reportRegistryTabButton 5
gui_shot step2-registry

# ---- Complete Uninstall: its own uninstaller, then the wait page -----------------
# No starts nothing and stays on Step 2; Yes starts the program's uninstaller.
drv click runUninstallerButton
drv expect-message "Are you sure you want to uninstall $name ?" no 10 >/dev/null
drv expect-no-message 2
drv wait-visible reportPage 2
[[ -f "$folder/uninstall.exe" ]] || gui_fail "the uninstaller ran although the answer was No"
drv click runUninstallerButton
drv expect-message "Are you sure you want to uninstall $name ?" yes 10 >/dev/null
drv wait-visible uninstallWaitPage 15
drv expect-text waitTitleLabel "Please wait while Tidewell initializes the uninstall process." 5 >/dev/null
drv wait-disabled scanLeftoversButton 10
gui_shot wait-uninstalling
drv wait-enabled scanLeftoversButton 90
drv wait-visible uninstallWaitPage 2

# The uninstaller really ran: its entry and its own file are gone, the
# leftovers it leaves are still there, and the pending state is on disk.
! reg_exists "$entry" || gui_fail "the program's own uninstaller did not remove its entry"
[[ ! -e "$folder/uninstall.exe" ]] || gui_fail "the program's own uninstaller did not run"
[[ -f "$folder/leftovers.exe" ]] || gui_fail "the leftovers are gone before Delete Leftovers"
for state in SIConfig.txt SLF_FI.txt SLF_FL.txt SLF_RG.txt; do
  [[ -f "$GUI_DIR/$state" ]] || gui_fail "no $state beside tidewell.exe after the uninstaller's step"
done

# ---- Step 3 and the deletion ------------------------------------------------------
drv click scanLeftoversButton
drv wait-visible leftoversPage 10
drv expect-text leftoversNameLabel "$name" 5 >/dev/null
drv expect-text leftoversPublisherLabel "Publisher: Tidewell Fixtures" 5 >/dev/null
drv wait-visible leftoverFilesList 5
gui_rows leftoverFilesList | sort >"$GUI_WORK/step3-files.txt"
gui_rows leftoverRegistryList | sort >"$GUI_WORK/step3-registry.txt"
# Step 3 offers what Step 2 found less what the program's own uninstaller
# removed (its uninstall.exe and its entry).
grep -vxF "$folder_dos\\uninstall.exe" "$GUI_WORK/files.txt" | sort | cmp -s - "$GUI_WORK/step3-files.txt" ||
  gui_fail "Step 3 lists other files than Step 2 less uninstall.exe: $(tr '\n' ';' <"$GUI_WORK/step3-files.txt")"
grep -vxF 'HKLM|SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\TidewellFixtureLeftovers' "$GUI_WORK/registry.txt" |
  sort | cmp -s - "$GUI_WORK/step3-registry.txt" ||
  gui_fail "Step 3 lists other registry entries than Step 2 less the entry: $(tr '\n' ';' <"$GUI_WORK/step3-registry.txt")"
drv wait-hidden nothingLeftLabel 2
gui_shot step3
drv click leftoverRegistryTabButton
drv wait-visible leftoverRegistryList 5
gui_shot step3-registry

drv click deleteLeftoversButton
drv expect-message "Are you sure you want to delete all leftovers?" yes 10 >/dev/null
drv expect-message "All leftovers have been completely removed." ok 60 >/dev/null
drv wait-visible leftoversPage 5
[[ -z "$(drv report-rows leftoverFilesList)" && -z "$(drv report-rows leftoverRegistryList)" ]] ||
  gui_fail "the Step 3 lists are not empty after the deletion"
gui_shot step3-deleted

# Nothing of the program is left; its neighbour and the others are untouched.
[[ ! -e "$folder" ]] || gui_fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
! reg_exists "$run_key" TidewellLeftoversTray || gui_fail "the Run value TidewellLeftoversTray is still there"
! reg_exists "$entry" || gui_fail "the uninstall entry is still there"
[[ -f "$neighbour/keep.txt" ]] || gui_fail "the neighbour folder was touched"
reg_exists "$run_key" TidewellLeftoversNeighbour || gui_fail "the neighbour's Run value was deleted"
# (A vendor program: the other suites of this prefix remove the removable
# fixtures, in whatever order ctest runs them.)
reg_exists 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TidewellDemoNotes' ||
  gui_fail "another program's entry was deleted"
[[ -f "$WINEPREFIX/drive_c/Program Files/Tidewell Demo Notes/TidewellDemoNotes.exe" ]] ||
  gui_fail "another program's files were deleted"
for state in SIConfig.txt SLF_FI.txt SLF_FL.txt SLF_RG.txt AppLogo.ico; do
  [[ ! -e "$GUI_DIR/$state" ]] || gui_fail "$state is still beside tidewell.exe after the deletion"
done

# The backup of the deleted registry entries, beside tidewell.exe.
# (The other suites of this prefix may have left backups of their own there.)
backup=
while IFS= read -r candidate; do
  if iconv -f UTF-16 -t UTF-8 "$candidate" 2>/dev/null | grep -q 'TidewellLeftoversTray'; then backup=$candidate; fi
done < <(find "$GUI_DIR/Backups" -name "*$name.reg" 2>/dev/null)
[[ -n "$backup" ]] || gui_fail "no registry backup of $name holding the Run value in C:\\Tidewell\\Backups"

# ---- Back with empty lists: no question, the first page with a fresh list -----------
drv click leftoversBackButton
gui_wait_inventory
drv wait-visible programListPage 10
gui_programs "$GUI_WORK/after.txt"
expect_no_line_containing "$GUI_WORK/after.txt" "$name"$'\t' "the list after the removal"
expect_line "$GUI_WORK/after.txt" "Tidewell Demo Notes"$'\t'"1" "the list after the removal"

drv click closeButton
drv expect-no-message 2
gui_wait_exit
tw_log "removed $name through the windows; neighbour and other programs untouched; backup $(basename "$backup")"
