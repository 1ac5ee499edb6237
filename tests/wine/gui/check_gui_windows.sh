#!/usr/bin/env bash
# The windows of tidewell.exe in the prefix of the fixture programs
# (tests/fixtures/install-fixtures.sh): the loading window over the main
# window during the inventory, the program list with every fixture in its
# group, the details panel of a clicked program, the search, Refresh, the
# about and why-use windows, the Force Remove page and the messages of the
# first page. Saves screenshots of the main window, the loading window, the
# about and the why-use window into ARTIFACT_DIR.
#
# Usage: check_gui_windows.sh tidewell.exe gui_driver.exe ARTIFACT_DIR VERSION
set -euo pipefail
# shellcheck source=tests/wine/gui/lib_gui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib_gui.sh"

[[ $# -eq 4 ]] || tw_die "usage: check_gui_windows.sh tidewell.exe gui_driver.exe ARTIFACT_DIR VERSION"
version=$4
gui_init "$@"

# The fixture programs every inventory must list; all of them are published
# by "Tidewell Fixtures", which no vendor rule matches: group 1.
fixtures=(
  "Tidewell Fixture Installer"
  "Tidewell Fixture Legacy"
  "Tidewell Fixture Orphan"
  "Tidewell Fixture Pair"
  "Tidewell Fixture Per-User"
  "Tidewell Fixture Quoted"
  "Tidewell Trace Foo"
  "Tidewell Trace FooBar"
  "Tidewell Trace Msi"
)

check_full_list() {
  local file=$1 name previous="" key
  for name in "${fixtures[@]}"; do
    expect_line "$file" "$name"$'\t'"1" "the program list"
  done
  # Within a group the rows come in the inventory's sorted (lower-case) order.
  while IFS=$'\t' read -r name group; do
    [[ "$group" == 1 ]] || continue
    key=$(LC_ALL=C tr '[:upper:]' '[:lower:]' <<<"$name")
    if [[ -n "$previous" ]] && ! LC_ALL=C expr "$previous" \< "$key" >/dev/null; then
      gui_fail "the program list is not sorted: '$previous' before '$key'"
    fi
    previous=$key
  done <"$file"
}

# ---- Start: the loading window over the main window --------------------------
gui_start
drv wait-visible programListPage 10
drv wait-disabled programsFunctionButton 5
drv wait-enabled forceRemoveFunctionButton 5
drv expect-text searchBox "Search..." 5 >/dev/null
drv wait-window TidewellWindow Loading 30 >/dev/null
drv expect-centred TidewellWindow Loading >/dev/null
drv expect-text loadingTipLabel "Analyzing and loading the information of installed program" 5 >/dev/null
gui_shot loading-window
drv wait-gone TidewellWindow Loading 90

# ---- The list, and the details of a clicked program ---------------------------
gui_programs "$GUI_WORK/list.txt"
check_full_list "$GUI_WORK/list.txt"
all_rows=$(wc -l <"$GUI_WORK/list.txt")
hidden_height=$(gui_height selectedProgramPanel)
(( hidden_height <= 1 )) || gui_fail "the details panel is $hidden_height pixels high before any click"

drv click-program "Tidewell Fixture Legacy"
drv expect-text selectedNameLabel "Tidewell Fixture Legacy" 5 >/dev/null
drv expect-text selectedVersionLabel "Version: 1.4.2" 5 >/dev/null
drv expect-text selectedPublisherLabel "Publisher: Tidewell Fixtures" 5 >/dev/null
drv expect-text selectedLocationLabel 'Install Location: C:\Program Files (x86)\Tidewell Fixture Legacy\' 5 >/dev/null
[[ $(gui_height selectedProgramPanel) -eq 160 ]] || gui_fail "the details panel is not shown at 160 pixels after the click"
gui_shot main-window

# A second click shows the other program's fields (a per-user entry, whose
# version is not a dotted number).
drv click-program "Tidewell Fixture Per-User"
drv expect-text selectedVersionLabel "Version: 0.9.1-beta" 5 >/dev/null

# ---- Search -------------------------------------------------------------------
drv type searchBox "TRACE"
drv click searchButton
gui_wait_program_count 3 "$GUI_WORK/search.txt"
for name in "Tidewell Trace Foo" "Tidewell Trace FooBar" "Tidewell Trace Msi"; do
  expect_line "$GUI_WORK/search.txt" "$name"$'\t'"1" "the list after searching for TRACE"
done
[[ "$(cut -f1 "$GUI_WORK/search.txt" | tr '\n' ';')" == "Tidewell Trace Foo;Tidewell Trace FooBar;Tidewell Trace Msi;" ]] ||
  gui_fail "the search results are not in sorted order: $(cut -f1 "$GUI_WORK/search.txt" | tr '\n' ';')"
gui_shot search-results

# No match keeps the rows; blanks ask for keywords.
drv type searchBox "no such program anywhere"
drv click searchButton
drv expect-message "Sorry, no software found." ok 10 >/dev/null
gui_wait_program_count 3 "$GUI_WORK/search.txt"
drv type searchBox "   "
drv click searchButton
drv expect-message "Please enter the program keywords, such as Adobe Photoshop, Office 2010..." ok 10 >/dev/null

# ---- Refresh: the loading window again, the full list, no selection -----------
drv click refreshButton
gui_wait_inventory
gui_wait_program_count "$all_rows" "$GUI_WORK/refreshed.txt"
check_full_list "$GUI_WORK/refreshed.txt"
(( $(gui_height selectedProgramPanel) <= 1 )) || gui_fail "the details panel is still shown after Refresh"
drv click runAnalysisButton
drv expect-message "Please select the program you want to uninstall on the right." ok 10 >/dev/null

# ---- About and why-use windows -------------------------------------------------
drv click aboutButton
drv wait-window TidewellWindow id:aboutVersionLabel 10 >/dev/null
drv expect-centred TidewellWindow id:aboutVersionLabel >/dev/null
shown=$(drv text aboutVersionLabel)
[[ "$shown" == "Version: $version" ]] || gui_fail "the about window shows '$shown', expected 'Version: $version'"
drv expect-text aboutNameLabel "Tidewell" 5 >/dev/null
gui_shot about-window
drv click aboutCloseButton
drv wait-gone TidewellWindow id:aboutVersionLabel 10

drv click supportButton
drv wait-window TidewellWindow id:whyUseDescriptionLabel 10 >/dev/null
drv expect-centred TidewellWindow id:whyUseDescriptionLabel >/dev/null
drv expect-text whyUseTitleLabel "Why use Tidewell?" 5 >/dev/null
drv expect-text whyUseDescriptionLabel "program residue analysis engine" 5 >/dev/null
gui_shot why-use-window
drv click whyUseIKnowButton
drv wait-gone TidewellWindow id:whyUseDescriptionLabel 10

# ---- Force Remove page and back ----------------------------------------------------
drv click forceRemoveFunctionButton
drv wait-visible forceRemoveFunctionPage 10
drv wait-hidden programListPage 5
drv wait-enabled programsFunctionButton 5
drv wait-disabled forceRemoveFunctionButton 5
drv expect-text forceRemoveTitleLabel "Force Remove Wizard" 5 >/dev/null
drv click forceRemoveScanButton
drv expect-message "Please specify the program install directory." ok 10 >/dev/null
drv click programsFunctionButton
drv wait-visible programListPage 10
drv wait-disabled programsFunctionButton 5

# ---- Close on the first page: no question ----------------------------------------
drv click closeButton
drv expect-no-message 2
gui_wait_exit
tw_log "GUI windows: list of $all_rows programs, details, search, refresh, about, why-use, Force Remove page; screenshots in $GUI_ARTIFACTS"
