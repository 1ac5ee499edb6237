#!/usr/bin/env bash
# Removes "Tidewell Fixture Leftovers" end to end with
# `tidewell-cli.exe uninstall NAME --delete-leftovers --yes` in the prefix of
# the removable fixtures: its own uninstaller leaves its program file, a data
# folder and a Run value, and the leftover deletion must take all of them and
# nothing else (the neighbour folder "...LeftoversX" and its Run value stay).
# Then the registry backup the deletion wrote must bring the Run value back
# when regedit imports it.
#
# Usage: check_cli_delete.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_delete.sh tidewell-cli.exe"
cli=$1
[[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the prefix the removable fixtures are installed in"
tw_wine_env "$WINEPREFIX"
wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"

name="Tidewell Fixture Leftovers"
run='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
folder="$WINEPREFIX/drive_c/Program Files/Tidewell Fixture Leftovers"
neighbour="$WINEPREFIX/drive_c/Program Files/Tidewell Fixture LeftoversX"
backups="$(dirname "$cli")/Backups"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
value_exists() { "$wine64" reg query "$run" /v "$1" </dev/null >"$work/reg.log" 2>&1; }
fail() { cat "$work/out.txt" "$work/err.txt" >&2 2>/dev/null || true; tw_die "$*"; }

[[ -f "$folder/leftovers.exe" && -f "$folder/data/settings.ini" ]] || tw_die "not installed: $folder"
value_exists TidewellLeftoversTray || tw_die "not registered: the Run value"
rm -rf "$backups"

status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" uninstall "$name" --delete-leftovers --yes >"$work/out.txt" 2>"$work/err.txt" ||
  status=$?
(( status == 0 )) || fail "tidewell-cli.exe uninstall --delete-leftovers exited with $status"
grep -q '"outcome":"complete"' "$work/out.txt" || fail "the deletion did not report complete"
# The watch lines, the trace and the deletion report, against docs/schema/.
python3 "$here/validate_cli_output.py" uninstall "$work/out.txt" || fail "the output does not match its schemas"
grep -q 'All leftovers have been completely removed.' "$work/out.txt" || fail "no completion message"

[[ ! -e "$folder" ]] || fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
! value_exists TidewellLeftoversTray || fail "the Run value TidewellLeftoversTray is still there"
[[ -f "$neighbour/keep.txt" ]] || fail "the neighbour folder was touched"
value_exists TidewellLeftoversNeighbour || fail "the neighbour's Run value was deleted"

backup=$(find "$backups" -name '*.reg' 2>/dev/null | head -1)
[[ -n "$backup" ]] || fail "no registry backup in $backups"
head -c 2 "$backup" | od -An -tx1 | grep -q 'ff fe' || fail "the backup has no UTF-16 byte-order mark"
"$wine64" regedit /s "$(printf 'Z:%s' "${backup//\//\\}")" </dev/null >"$work/regedit.log" 2>&1 ||
  fail "regedit could not import $backup"
tries=0
until value_exists TidewellLeftoversTray; do
  tries=$((tries + 1))
  (( tries < 20 )) || fail "importing the backup did not restore the Run value"
  sleep 0.5
done

# Leave the prefix as other tests expect it: the restored value and the
# neighbour go again.
"$wine64" reg delete "$run" /v TidewellLeftoversTray /f </dev/null >/dev/null 2>&1 || true
"$wine64" reg delete "$run" /v TidewellLeftoversNeighbour /f </dev/null >/dev/null 2>&1 || true
rm -rf "$neighbour" "$backups"
tw_log "removed end to end, nothing else touched, and the backup restored the Run value"
