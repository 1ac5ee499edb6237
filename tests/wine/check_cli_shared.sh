#!/usr/bin/env bash
# What a suite shares stays its owners' on the quiet road, under Wine with
# the real tidewell-cli: `uninstall "Tidewell Share Suite" --quiet
# --delete-leftovers --yes` removes the suite, while
#  - the listed updater inside the suite's folder keeps its files;
#  - HKLM\Software\Classes\.txt keeps every value Windows had in it, and
#    the other program's OpenWithProgids value; only the suite's default
#    value and its own OpenWithProgids value go (the uninstaller left both);
#  - the per-user entry's folder of the same name (in the user's profile) stays.
#
# Usage: check_cli_shared.sh tidewell-cli.exe OUT_DIR (install-shared.sh's)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 2 ]] || tw_die "usage: check_cli_shared.sh tidewell-cli.exe OUT_DIR"
cli=$1
out=$2
[[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the shared fixture's prefix"
tw_wine_env "$WINEPREFIX"
wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { "$TW_ROOT/scripts/wine-run.sh" "$@"; }
query() { "$wine64" reg query "$@" </dev/null 2>/dev/null | tr -d '\r'; }

run cmd /c set >"$work/environment.txt" 2>/dev/null || tw_die "cannot read the environment of the prefix"
value_of() { tr -d '\r' <"$work/environment.txt" | sed -n "s/^$1=//Ip" | head -1; }
host_of() { printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "${1:3}" | tr '\\' '/')"; }
suite=$(host_of "$(value_of ProgramW6432)\\TidewellShare")
thesis=$(host_of "$(value_of USERPROFILE)")
thesis="$thesis/TidewellThesis"
[[ -f "$suite/suite.exe" && -f "$suite/Updater/updater.exe" ]] || tw_die "not installed: $suite"
[[ -n "$thesis" && -f "$thesis/chapter1.txt" ]] || tw_die "the per-user folder was not made"

status=0
run "$cli" uninstall "Tidewell Share Suite" --quiet --delete-leftovers --yes >"$work/out.jsonl" 2>"$work/err.txt" ||
  status=$?
cat "$work/out.jsonl"
(( status == 0 )) || tw_die "the quiet uninstall exited with $status: $(cat "$work/err.txt")"

failures=0
fail() { tw_log "FAILED: $*"; failures=$((failures + 1)); }
[[ ! -e "$suite/suite.exe" ]] || fail "the suite's program is still there"
for kept in "$suite/Updater/updater.exe" "$suite/Updater/updater.ini"; do
  [[ -f "$kept" ]] || fail "the listed updater lost $kept"
done
[[ -f "$thesis/chapter1.txt" ]] || fail "the per-user entry's folder lost its file"

# Every value Windows kept in .txt before the install is there with its data.
txt='HKLM\Software\Classes\.txt'
query "$txt" /s >"$work/txt-after.log"
python3 - "$out/txt-before.log" "$work/txt-after.log" <<'PY' || failures=$((failures + 1))
import re
import sys

def values(path):
    key, found = None, {}
    for line in open(path, encoding="utf-8", errors="replace"):
        line = line.rstrip("\r\n")
        if line.startswith("HKEY_"):
            key = line.strip()
            continue
        match = re.match(r"^\s{4}(.*?)\s{4}(REG_\w+)\s{4}?(.*)$", line)
        if match and key:
            found[(key.upper(), match.group(1))] = (match.group(2), match.group(3))
    return found

before, after = values(sys.argv[1]), values(sys.argv[2])
problems = []
root = "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\.TXT"
for (key, name), data in before.items():
    # The default the suite took over (and its uninstaller left naming the
    # suite) is the suite's, and goes; Windows then falls back to its own.
    if (key, name) == (root, "(Default)"):
        continue
    if after.get((key, name)) != data:
        problems.append(f"{key} {name!r}: {data} before, {after.get((key, name))} after")
if (root + "\\OPENWITHPROGIDS", "TidewellOther.Text") not in after:
    problems.append("the other program's OpenWithProgids value went")
if (root + "\\OPENWITHPROGIDS", "TidewellShare.Text") in after:
    problems.append("the suite's OpenWithProgids value stayed")
default = after.get((root, "(Default)"))
if default and "TidewellShare" in default[1]:
    problems.append(f".txt still names the suite: {default}")
if not before:
    problems.append("nothing was read from .txt before the install")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY
(( failures == 0 )) || tw_die "$failures check(s) failed"
tw_log "the quiet road removed the suite and left the updater, Windows' .txt and the user's folder"
