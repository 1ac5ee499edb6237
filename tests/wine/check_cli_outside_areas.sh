#!/usr/bin/env bash
# The areas outside a program's folder end to end with the real tidewell-cli,
# in the prefix of the outside-areas fixture: `analyze "Tidewell Outside
# Paint"` finds its shortcuts (both Start Menus and Desktops, and the Start
# Menu folders that hold nothing else), App Paths entries, context-menu verbs
# and handlers and firewall rules, and nothing of "Tidewell Outside Paint
# Pro", whose folder name extends the program's; then `uninstall NAME
# --delete-leftovers --yes` runs the program's own uninstaller (which leaves
# all of these) and deletes them, while every entry of the neighbour and
# every key above the deleted ones stays.
#
# Usage: check_cli_outside_areas.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cli_check_prelude.sh"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=};winemenubuilder.exe=d"
tw_cli_check_start check_cli_outside_areas.sh "the outside-areas fixture" "$@"
fail() { cat "$work"/*.err >&2 2>/dev/null || true; tw_die "$*"; }

name="Tidewell Outside Paint"
status=0
run "$cli" analyze "$name" >"$work/analyze.json" 2>"$work/analyze.err" || status=$?
(( status == 0 )) || fail "analyze exited with $status"
python3 "$here/validate_cli_output.py" analyze "$work/analyze.json" || fail "analyze's output does not match its schema"

# Every registry entry of both programs, as reg.exe names them: KEY, or
# KEY /v VALUE. The program's must be found and deleted, the neighbour's
# neither; the keys above them must stay.
cat >"$work/entries.py" <<'PY'
classes = "Software\\Classes"
rules = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules"
app_paths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"
def entries(suffix, digit):
    key = "TidewellOutsidePaint" + suffix.replace(" ", "")
    exe = "outsidepaint" + suffix.replace(" ", "").lower()
    clsid = "{3B7E2C90-5A14-4D6F-8E21-C09A4F6B1D0%s}" % digit
    return {
        # line as the trace writes it: (root, key, value or None)
        "HKLM|" + app_paths + "\\" + exe + ".exe": ("HKLM", app_paths + "\\" + exe + ".exe", None),
        "HKCU|" + app_paths + "\\" + exe + "-user.exe": ("HKCU", app_paths + "\\" + exe + "-user.exe", None),
        "HKLM|SOFTWARE\\Classes\\*\\shell\\" + key + "Edit": ("HKLM", classes + "\\*\\shell\\" + key + "Edit", None),
        "HKCU|Software\\Classes\\Directory\\Background\\shell\\" + key + "Here":
            ("HKCU", classes + "\\Directory\\Background\\shell\\" + key + "Here", None),
        "HKLM|SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\" + key + "Menu":
            ("HKLM", classes + "\\*\\shellex\\ContextMenuHandlers\\" + key + "Menu", None),
        "HKLM|SOFTWARE\\Classes\\Directory\\shellex\\ContextMenuHandlers\\" + clsid:
            ("HKLM", classes + "\\Directory\\shellex\\ContextMenuHandlers\\" + clsid, None),
        "HKLM|" + rules + "|{3B7E2C91-5A14-4D6F-8E21-C09A4F6B1D0%s}" % digit:
            ("HKLM", rules, "{3B7E2C91-5A14-4D6F-8E21-C09A4F6B1D0%s}" % digit),
        "HKLM|" + rules + "|{3B7E2C92-5A14-4D6F-8E21-C09A4F6B1D0%s}" % digit:
            ("HKLM", rules, "{3B7E2C92-5A14-4D6F-8E21-C09A4F6B1D0%s}" % digit),
    }
program = entries("", "1")
neighbour = entries(" Pro", "2")
above = [("HKLM", classes + "\\*\\shell"), ("HKLM", classes + "\\*\\shellex\\ContextMenuHandlers"),
         ("HKLM", classes + "\\Directory\\shellex\\ContextMenuHandlers"),
         ("HKCU", classes + "\\Directory\\Background\\shell"), ("HKLM", app_paths), ("HKCU", app_paths),
         ("HKLM", rules)]
# Shortcuts: the end of each path as the trace lists it.
program_links = ["\\Programs\\Tidewell Outside Paint\\Tidewell Outside Paint.lnk",
                 "\\Programs\\Tidewell Outside Paint\\Uninstall Tidewell Outside Paint.lnk",
                 "\\Programs\\Tidewell Outside Paint Tools\\Tidewell Outside Paint Settings.lnk",
                 "\\Desktop\\Tidewell Outside Paint.lnk", "\\Desktop\\Tidewell Outside Paint (user).lnk"]
program_menu_folders = ["\\Programs\\Tidewell Outside Paint", "\\Programs\\Tidewell Outside Paint Tools"]
PY

python3 - "$work" <<'PY' || fail "analyze did not find exactly the program's entries"
import json, sys
sys.path.insert(0, sys.argv[1])
from entries import *
got = json.loads(open(sys.argv[1] + "/analyze.json", encoding="utf-8").read())
paths, lines = got["files_folders"], got["registry"]
failures = []
for line in program:
    if line not in lines: failures.append("not found: " + line)
for line in lines:
    if "Paint Pro" in line or "PaintPro" in line or line in neighbour: failures.append("the neighbour's: " + line)
for end in program_links + program_menu_folders:
    if sum(1 for p in paths if p.lower().endswith(end.lower())) != 1: failures.append("not found once: " + end)
for p in paths:
    if "Paint Pro" in p: failures.append("the neighbour's: " + p)
    if p.lower().endswith("\\programs") or p.lower().endswith("\\desktop") or p.lower().endswith("\\start menu"):
        failures.append("a Start Menu or Desktop folder itself: " + p)
open(sys.argv[1] + "/links.txt", "w", encoding="utf-8").write(
    "\n".join(p for p in paths if any(p.lower().endswith(e.lower()) for e in program_links + program_menu_folders)))
print("\n".join(failures), file=sys.stderr)
sys.exit(1 if failures else 0)
PY

# The host paths of the program's shortcuts and the neighbour's.
host_path() { local p=${1//\\//}; printf '%s/drive_c%s' "$WINEPREFIX" "${p:2}"; }
mapfile -t program_paths < <(tr -d '\r' <"$work/links.txt")
(( ${#program_paths[@]} == 7 )) || fail "expected 7 shortcut paths and folders, got ${#program_paths[@]}"
for p in "${program_paths[@]}"; do [[ -e "$(host_path "$p")" ]] || fail "not on disk before: $p"; done
mapfile -t neighbour_links < <(find "$WINEPREFIX/drive_c" -iname '*Paint Pro*.lnk')
(( ${#neighbour_links[@]} == 5 )) || fail "expected 5 shortcuts of the neighbour, found ${#neighbour_links[@]}"

# Registry state through reg.exe: one line per entry, "1" when it exists.
registry_state() {
  python3 - "$work" <<'PY' >"$work/queries.txt"
import sys
sys.path.insert(0, sys.argv[1])
from entries import *
for line, (root, key, value) in list(program.items()) + list(neighbour.items()):
    print("%s\t%s\\%s\t%s" % (line, root, key, value or ""))
for root, key in above:
    print("above %s\\%s\t%s\\%s\t" % (root, key, root, key))
PY
  : >"$work/$1.state"
  local tries
  while IFS=$'\t' read -r line key value; do
    # reg.exe itself failed once on a loaded machine for an entry that was
    # there; before the removal, where every entry must be, a miss is asked
    # again before it counts.
    for tries in 1 2 3; do
      if [[ -n "$value" ]]; then
        "$wine64" reg query "$key" /v "$value" </dev/null >/dev/null 2>&1 && present=1 || present=0
      else
        "$wine64" reg query "$key" </dev/null >/dev/null 2>&1 && present=1 || present=0
      fi
      [[ $present == 0 && $1 == before ]] || break
      sleep 1
    done
    printf '%s\t%s\n' "$present" "$line" >>"$work/$1.state"
  done <"$work/queries.txt"
}
registry_state before
if grep -q $'^0\t' "$work/before.state"; then fail "not registered before: $(grep $'^0\t' "$work/before.state" | cut -f2 | tr '\n' ' ')"; fi

status=0
run "$cli" uninstall "$name" --delete-leftovers --yes >"$work/uninstall.out" 2>"$work/uninstall.err" || status=$?
(( status == 0 )) || fail "uninstall --delete-leftovers exited with $status: $(tail -3 "$work/uninstall.out")"
grep -q '"outcome":"complete"' "$work/uninstall.out" || fail "the deletion did not report complete: $(tail -1 "$work/uninstall.out")"

registry_state after
python3 - "$work" <<'PY' || fail "the deletion did not take exactly the program's entries"
import sys
sys.path.insert(0, sys.argv[1])
from entries import *
state = dict(reversed(l.rstrip("\n").split("\t", 1)) for l in open(sys.argv[1] + "/after.state", encoding="utf-8"))
failures = [("left: " + l) for l in program if state[l] != "0"]
failures += [("deleted: " + l) for l in neighbour if state[l] != "1"]
failures += [("deleted above: " + l) for l in state if l.startswith("above ") and state[l] != "1"]
print("\n".join(failures), file=sys.stderr)
sys.exit(1 if failures else 0)
PY
for p in "${program_paths[@]}"; do [[ ! -e "$(host_path "$p")" ]] || fail "left behind: $p"; done
for link in "${neighbour_links[@]}"; do [[ -f "$link" ]] || fail "the neighbour's shortcut was deleted: $link"; done
[[ -f "$WINEPREFIX/drive_c/Program Files/Tidewell Outside Paint Pro/outsidepaintpro.exe" ]] ||
  fail "the neighbour's folder was touched"
[[ ! -e "$WINEPREFIX/drive_c/Program Files/Tidewell Outside Paint" ]] || fail "the program's folder is left"
for folder in "$WINEPREFIX"/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs \
              "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs \
              "$WINEPREFIX"/drive_c/users/Public/Desktop "$WINEPREFIX"/drive_c/users/*/Desktop; do
  [[ -d "$folder" ]] || fail "a Start Menu or Desktop folder went: $folder"
done
tw_log "outside areas: found and removed the program's entries, the neighbour's untouched"
