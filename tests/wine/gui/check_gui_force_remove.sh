#!/usr/bin/env bash
# Force Remove through the windows: the folder of "Tidewell Fixture Removable
# CLI" picked with the folder picker, confirmed, traced, shown on Step 3 and
# deleted; Back returns to the Force Remove page. Then a folder below
# C:\windows\system32 is refused with its message and nothing starts.
#
# Usage: check_gui_force_remove.sh tidewell.exe gui_driver.exe ARTIFACT_DIR
set -euo pipefail
# shellcheck source=tests/wine/gui/lib_gui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib_gui.sh"
gui_init "$@"

target_dos='C:\Program Files (x86)\Tidewell Fixture Removable CLI'
target="$WINEPREFIX/drive_c/Program Files (x86)/Tidewell Fixture Removable CLI"
[[ -f "$target/removable-cli.exe" ]] || tw_die "not installed: $target"
system_dos='C:\windows\system32\Foo'
# The picker shows the folder as the program sees it: the 32-bit build on
# 64-bit Windows sees SysWOW64 where it names System32. The folder is made in
# the one this build sees.
system_folder="$WINEPREFIX/drive_c/windows/system32/Foo"
[[ $(tw_pe_machine "$GUI_EXE") == i386 ]] && system_folder="$WINEPREFIX/drive_c/windows/syswow64/Foo"

gui_start
gui_wait_inventory

# ---- The Force Remove page ------------------------------------------------------
drv click forceRemoveFunctionButton
drv wait-visible forceRemoveFunctionPage 10
drv expect-text forceRemoveDescriptionLabel "If the program you want to uninstall is not listed in Tidewell" 5 >/dev/null
drv click chooseFolderButton
drv type-folder "$target_dos" 20
drv expect-text forceRemoveFolderBox "Tidewell Fixture Removable CLI" 5 >/dev/null
picked=$(drv text forceRemoveFolderBox)
gui_shot force-remove

# ---- Scan: confirmed, traced, Step 3 ---------------------------------------------
drv click forceRemoveScanButton
drv expect-message "Are you sure to scan and analyze the associated program install information of $picked directory?" \
  yes 10 >/dev/null
drv wait-visible analyzingPage 10
drv expect-text analyzingNameLabel "Tidewell Fixture Removable CLI" 5 >/dev/null
gui_shot force-remove-analyzing
drv wait-visible leftoversPage 60
drv expect-text leftoversNameLabel "Tidewell Fixture Removable CLI" 5 >/dev/null
drv expect-text leftoversPublisherLabel "Publisher: N/A" 5 >/dev/null
gui_rows leftoverFilesList >"$GUI_WORK/files.txt"
for file in removable-cli.exe notes.txt uninstall.exe; do
  expect_line "$GUI_WORK/files.txt" "$target_dos\\$file" "the Force Remove Step 3 list"
done
# No pending state in this mode: nothing brings it back after a restart.
[[ ! -e "$GUI_DIR/SLF_FI.txt" && ! -e "$GUI_DIR/SIConfig.txt" ]] || gui_fail "Force Remove wrote pending-uninstall files"
gui_shot force-remove-step3

drv click deleteLeftoversButton
drv expect-message "Are you sure you want to delete all leftovers?" yes 10 >/dev/null
drv expect-message "All leftovers have been completely removed." ok 60 >/dev/null
[[ ! -e "$target" ]] || gui_fail "left behind: $(find "$target" | head -5 | tr '\n' ' ')"
[[ -f "$WINEPREFIX/drive_c/Program Files (x86)/Tidewell Fixture Removable MSI/removable-msi.exe" ]] ||
  gui_fail "another program's files were deleted"

# Back (lists empty, no question) returns to the Force Remove page.
drv click leftoversBackButton
drv expect-no-message 2
drv wait-visible forceRemoveFunctionPage 10

# ---- A system folder is refused ----------------------------------------------------
mkdir -p "$system_folder"
trap 'status=$?; rmdir "$system_folder" 2>/dev/null; (exit $status); gui_cleanup' EXIT
drv click chooseFolderButton
drv type-folder "$system_dos" 20
picked=$(drv text forceRemoveFolderBox)
[[ "${picked,,}" == "${system_dos,,}" ]] || gui_fail "the folder box reads '$picked' after picking $system_dos"
drv click forceRemoveScanButton
refusal=$(drv expect-message "As $picked directory is highly associated with Windows system and files," ok 10)
[[ "$refusal" == *"we do not recommend to scan this directory"* ]] || gui_fail "the refusal reads '$refusal'"
drv expect-no-message 2
drv wait-visible forceRemoveFunctionPage 5
[[ -d "$system_folder" ]] || gui_fail "the refused folder was touched"

drv click closeButton
drv expect-no-message 2
gui_wait_exit
tw_log "Force Remove: $target_dos traced and deleted, $system_dos refused"
