#!/usr/bin/env bash
# Data folders and settings keys tied to a program by its names alone, on
# real installers (tests/fixtures/names.nsi) in the prefix of the removable
# fixtures: "Tidewell Names App" by "Tidewell Names Vendor", beside
# "Tidewell Names App Pro" of the same vendor and "Tidewell Other Game",
# another vendor's program whose install folder is named "Tidewell Names App"
# and which keeps a folder and a key under that bare name.
#  - analyze finds every data folder and settings key of the program with
#    evidence "name" and default tick false, and nothing of either neighbour,
#    of the bare name, or the vendor's shared folders and keys;
#  - the deletion keeps them unless --include-name-matches (the dry run's
#    plan), and with it removes the program's and nothing of the neighbours'
#    or the vendor's shared places, after the program's own uninstaller.
#
# Usage: check_cli_names.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_names.sh tidewell-cli.exe"
cli=$1
[[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the prefix the removable fixtures are installed in"
tw_wine_env "$WINEPREFIX"
wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"

name="Tidewell Names App"
# Listed under its display name, which carries its version.
display="$name 2.1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { cat "$work/out.txt" "$work/err.txt" >&2 2>/dev/null || true; tw_die "$*"; }
key_exists() { "$wine64" reg query "$1" </dev/null >"$work/reg.log" 2>&1; }

# The prefix's data folders, as it names them, and where they are on the host.
"$TW_ROOT/scripts/wine-run.sh" cmd /c set >"$work/environment.txt" 2>/dev/null || tw_die "cannot read the environment"
env_of() { sed -n "s/^$1=//ip" "$work/environment.txt" | tr -d '\r' | head -1; }
appdata=$(env_of APPDATA)
localappdata=$(env_of LOCALAPPDATA)
programdata=$(env_of ProgramData)
for folder in "$appdata" "$localappdata" "$programdata"; do
  [[ "$folder" == [Cc]:\\* ]] || tw_die "the prefix's environment lacks a data folder on C: ($folder)"
done
host() { printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "${1:3}" | tr '\\' '/')"; }
[[ -f "$(host "$appdata")/Tidewell Names Vendor/$name/settings.ini" ]] || tw_die "not installed: $name's data"
[[ -f "$(host "$appdata")/$name/save.ini" ]] || tw_die "not installed: the other vendor's bare-name folder"

run_cli() {
  local status=0
  "$TW_ROOT/scripts/wine-run.sh" "$cli" "$@" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  return "$status"
}

run_cli analyze "$display" || fail "analyze exited with $?"
python3 "$here/validate_cli_output.py" analyze "$work/out.txt" || fail "analyze does not match its schema"
cp "$work/out.txt" "$work/analyze.json"
run_cli uninstall "$display" --delete-leftovers --yes --dry-run || fail "the dry run exited with $?"
cp "$work/out.txt" "$work/dry.txt"
run_cli uninstall "$display" --delete-leftovers --yes --dry-run --include-name-matches || fail "the dry run exited with $?"
cp "$work/out.txt" "$work/dry-names.txt"

vendor="Tidewell Names Vendor"
own=("$appdata\\$vendor\\$name" "$localappdata\\$vendor\\$name" "$programdata\\$vendor\\$name"
     "HKCU|Software\\$vendor\\$name" "HKLM|SOFTWARE\\$vendor\\$name")
python3 - "$work" "${own[@]}" <<'PY' || fail "the entries found by name are not the program's own"
import json, os, sys
work, own = sys.argv[1], sys.argv[2:]
failures = []
def lines(name):
    return [json.loads(l) for l in open(os.path.join(work, name), encoding="utf-8") if l.strip()]
trace = lines("analyze.json")[0]
by_name = {e["entry"]: e for e in trace["entries"] if e["evidence"] == "name"}
if sorted(by_name) != sorted(own):
    failures.append(f"found by name {sorted(by_name)!r}, expected {sorted(own)!r}")
for e in by_name.values():
    if e["default_tick"] is not False or e["area"] not in ("Data folders by name", "Settings keys by name"):
        failures.append(f"entry {e!r}")
for e in trace["entries"]:
    text = e["entry"].upper()
    if "APP PRO" in text or "OTHER" in text or text.rstrip("\\").endswith("TIDEWELL NAMES VENDOR"):
        failures.append(f"claims a neighbour's or the vendor's shared place: {e!r}")
for dry, action in (("dry.txt", "keep"), ("dry-names.txt", "delete")):
    plan = lines(dry)[-1]
    actions = {p["entry"]: p["action"] for p in plan["files_folders"] + plan["registry"]}
    for entry in own:
        if actions.get(entry) != action:
            failures.append(f"{dry}: {entry!r} is planned {actions.get(entry)!r}, expected {action!r}")
if failures:
    print("\n".join(failures))
    sys.exit(1)
PY

# The real deletion, with the name matches, after the program's own uninstaller.
run_cli uninstall "$display" --delete-leftovers --yes --include-name-matches || fail "uninstall exited with $?"
python3 "$here/validate_cli_output.py" uninstall "$work/out.txt" || fail "the output does not match its schemas"
grep -q '"outcome":"complete"' "$work/out.txt" || fail "the deletion did not report complete"
for folder in "${own[@]:0:3}"; do
  [[ ! -e "$(host "$folder")" ]] || fail "left behind: $folder"
done
! key_exists "HKCU\\Software\\$vendor\\$name" || fail "the program's HKCU key is still there"
! key_exists "HKLM\\Software\\$vendor\\$name" || fail "the program's HKLM key is still there"
# Nothing of the neighbours, of the bare name, or the vendor's shared places.
for base in "$appdata" "$localappdata" "$programdata"; do
  [[ -d "$(host "$base")/$vendor/$name Pro" ]] || fail "the neighbour's folder in $base went"
  [[ -d "$(host "$base")/Tidewell Other Studio/Tidewell Other Game" ]] || fail "the other vendor's folder in $base went"
done
[[ -f "$(host "$appdata")/$name/save.ini" ]] || fail "the bare-name folder of the other vendor went"
for key in "HKCU\\Software\\$vendor\\$name Pro" "HKLM\\Software\\$vendor\\$name Pro" "HKCU\\Software\\$vendor" \
           "HKLM\\Software\\$vendor" "HKCU\\Software\\$name" "HKCU\\Software\\Tidewell Other Studio\\Tidewell Other Game"; do
  key_exists "$key" || fail "$key went"
done
tw_log "found by name: the program's data folders and settings keys only; deleted only when asked for, neighbours untouched"
