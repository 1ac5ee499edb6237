#!/usr/bin/env bash
# Removes "Tidewell Fixture Leftovers" end to end with
# `tidewell-cli.exe uninstall NAME --delete-leftovers --yes` in the prefix of
# the removable fixtures: its own uninstaller leaves its program file, a data
# folder and a Run value, and the leftover deletion must take all of them and
# nothing else (the neighbour folder "...LeftoversX" and its Run value stay).
# The files and folders go to the Recycle Bin, which Wine keeps as the
# host's XDG trash: here the one beside the prefix that every Wine run of
# the tests gets (XDG_DATA_HOME, set by tw_wine_env), never the user's. They
# must be found there with their original paths. Then, the program having
# written its Run value anew ("installed again"), `restore` must leave that
# value and list it as a conflict, and `restore --overwrite` must bring the
# old data back; `force-remove --permanent` must delete a folder for good,
# leaving nothing in the trash.
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
# tw_wine_env put the trash beside the prefix (scripts/lib.sh).
trap 'rm -rf "$work" "$XDG_DATA_HOME"' EXIT
rm -rf "$XDG_DATA_HOME"
mkdir -p "$XDG_DATA_HOME"
trash="$XDG_DATA_HOME/Trash"
# The original paths the trash records (Path= of each .trashinfo, unescaped,
# with Wine's dosdevices links resolved).
trashed_paths() {
  python3 - "$trash/info" <<'PY'
import os, pathlib, sys, urllib.parse
folder = pathlib.Path(sys.argv[1])
for info in sorted(folder.glob("*.trashinfo")) if folder.is_dir() else []:
    for line in info.read_text(encoding="utf-8").splitlines():
        if line.startswith("Path="):
            print(os.path.realpath(urllib.parse.unquote(line[5:])))
PY
}
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
# What the program's own uninstaller removed (uninstall.exe, the entry) is
# no longer offered; what it left is, each entry with its area.
python3 - "$work/out.txt" <<'PY' || fail "the trace offers what the program's own uninstaller removed"
import json, sys
trace = [o for o in (json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()) if "mode" in o][0]
location = "C:\\Program Files\\Tidewell Fixture Leftovers\\"
rows = trace["files_folders"]
assert rows and rows[0].rstrip("\\") + "\\" == location, rows
want = [rows[0], location + "data", location + "data\\settings.ini", location + "leftovers.exe"]
assert rows == want, rows
assert trace["registry"] == ["HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellLeftoversTray"], trace
assert trace["file_folder_count"] == 4 and trace["registry_count"] == 1, trace
assert trace["file_folder_reports"] == 5, trace  # uninstall.exe was traced
areas = {e["entry"]: (e["area"], e["evidence"], e["default_tick"]) for e in trace["entries"]}
assert set(areas) == set(want) | set(trace["registry"]), areas
assert areas[location + "leftovers.exe"] == ("Install folder", "points into the folder", True), areas
assert areas[trace["registry"][0]] == ("Elevation policies and Run lists", "points into the folder", True), areas
PY

[[ ! -e "$folder" ]] || fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
! value_exists TidewellLeftoversTray || fail "the Run value TidewellLeftoversTray is still there"
[[ -f "$neighbour/keep.txt" ]] || fail "the neighbour folder was touched"
value_exists TidewellLeftoversNeighbour || fail "the neighbour's Run value was deleted"

# In the trash, under their original paths, with their content.
trashed_paths >"$work/trashed.txt"
grep -qxF "$(realpath -m "$folder")" "$work/trashed.txt" || fail "the program folder is not in the trash: $(cat "$work/trashed.txt")"
python3 - "$work/out.txt" <<'PY' || fail "the report does not list the folder as recycled"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
assert report["permanent_paths"] == [], report
assert any(p.rstrip("\\").endswith("Tidewell Fixture Leftovers") for p in report["recycled_paths"]), report
assert report["record_file"], report
PY
[[ -n "$(find "$trash/files" -name settings.ini 2>/dev/null)" ]] || fail "data/settings.ini is not in the trash"

backup=$(find "$backups" -name '*.reg' 2>/dev/null | head -1)
[[ -n "$backup" ]] || fail "no registry backup in $backups"
head -c 2 "$backup" | od -An -tx1 | grep -q 'ff fe' || fail "the backup has no UTF-16 byte-order mark"
record="${backup%.reg}.json"
[[ -f "$record" ]] || fail "no record beside the backup: $record"
python3 "$here/validate_cli_output.py" cleanup-record "$record" || fail "the record does not match its schema"

"$TW_ROOT/scripts/wine-run.sh" "$cli" backups >"$work/backups.txt" 2>"$work/err.txt" || fail "backups failed"
python3 "$here/validate_cli_output.py" backups "$work/backups.txt" || fail "backups does not match its schema"
grep -q '"recycled":[1-9]' "$work/backups.txt" || fail "backups lists no recycled entry"

[[ -f "${backup%.reg}.regjson" ]] || fail "no exact backup beside the .reg"
python3 "$here/validate_cli_output.py" registry-backup "${backup%.reg}.regjson" ||
  fail "the exact backup does not match its schema"

# A copy of the record outside Backups is not read: refused with a message,
# nothing listed to bring back, the Run value not written.
cp "$record" "$WINEPREFIX/drive_c/users/Public/planted.json"
"$wine64" reg delete "$run" /v TidewellLeftoversTray /f </dev/null >/dev/null 2>&1 || true
status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" restore 'C:\users\Public\planted.json' --overwrite >"$work/restore.txt" \
  2>"$work/err.txt" || status=$?
(( status == 1 )) || fail "restore of a record outside Backups exited with $status, not 1"
grep -q 'does not lie in' "$work/err.txt" || fail "restore of a record outside Backups gave no reason: $(cat "$work/err.txt")"
[[ ! -s "$work/restore.txt" ]] || fail "restore of a record outside Backups listed something: $(cat "$work/restore.txt")"
! value_exists TidewellLeftoversTray || fail "restore of a record outside Backups wrote the Run value"
rm -f "$WINEPREFIX/drive_c/users/Public/planted.json"

# restore after a reinstall: the Run value written anew stays, as a conflict.
"$wine64" reg add "$run" /v TidewellLeftoversTray /t REG_SZ /d reinstalled /f </dev/null >/dev/null 2>&1 ||
  fail "cannot write the Run value anew"
status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" restore "$(basename "$record")" >"$work/restore.txt" 2>"$work/err.txt" ||
  status=$?
cp "$work/restore.txt" "$work/out.txt"
(( status == 1 )) || fail "restore over a value written anew exited with $status, not 1"
python3 "$here/validate_cli_output.py" restore "$work/restore.txt" || fail "restore does not match its schema"
grep -q '"result":"conflict"' "$work/restore.txt" || fail "restore lists no conflict"
grep -q '"conflicts":1' "$work/restore.txt" || fail "restore does not count one conflict"
value_exists TidewellLeftoversTray && grep -q reinstalled "$work/reg.log" || fail "restore changed the value written anew"

# restore --overwrite: the old data is back.
status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" restore "$(basename "$record")" --overwrite >"$work/restore.txt" \
  2>"$work/err.txt" || status=$?
cp "$work/restore.txt" "$work/out.txt"
(( status == 0 )) || fail "restore --overwrite exited with $status"
python3 "$here/validate_cli_output.py" restore "$work/restore.txt" || fail "restore does not match its schema"
grep -q '"registry_restored":1' "$work/restore.txt" || fail "restore did not report the registry restored"
grep -q '"result":"overwritten"' "$work/restore.txt" || fail "restore --overwrite lists nothing overwritten"
grep -q 'Tidewell Fixture Leftovers' "$work/restore.txt" || fail "restore lists no path to bring back"
value_exists TidewellLeftoversTray || fail "restore did not bring the Run value back"
! grep -q reinstalled "$work/reg.log" || fail "restore --overwrite left the value written anew"

# --permanent: a folder deleted for good, nothing more in the trash.
perm="$WINEPREFIX/drive_c/Program Files/Tidewell Permanent Check"
mkdir -p "$perm/sub"
echo data >"$perm/sub/file.txt"
before=$(trashed_paths | wc -l)
status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" force-remove 'C:\Program Files\Tidewell Permanent Check' --yes --permanent \
  >"$work/out.txt" 2>"$work/err.txt" || status=$?
(( status == 0 )) || fail "force-remove --permanent exited with $status"
python3 "$here/validate_cli_output.py" force-remove "$work/out.txt" || fail "the output does not match its schemas"
[[ ! -e "$perm" ]] || fail "force-remove --permanent left $perm"
(( $(trashed_paths | wc -l) == before )) || fail "force-remove --permanent put something in the trash"
grep -q '"permanent_paths":\["C:' "$work/out.txt" || fail "the report does not list the folder as deleted for good"

# Leave the prefix as other tests expect it: the restored value and the
# neighbour go again.
"$wine64" reg delete "$run" /v TidewellLeftoversTray /f </dev/null >/dev/null 2>&1 || true
"$wine64" reg delete "$run" /v TidewellLeftoversNeighbour /f </dev/null >/dev/null 2>&1 || true
rm -rf "$neighbour" "$backups"
tw_log "removed end to end into the trash, nothing else touched, restore kept the value written anew, --overwrite brought the old one back, --permanent deleted for good"
