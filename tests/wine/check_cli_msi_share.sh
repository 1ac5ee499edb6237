#!/usr/bin/env bash
# Two Windows Installer products that share one component (one component
# code, one file in Common Files), under Wine with the real tidewell-cli, in
# the prefix of tests/fixtures/install-msi-share.sh:
#  - `analyze "Tidewell Share First"` and `analyze --folder` of its folder
#    claim at most the first product's value in the shared component's key,
#    never the key whole, nothing of the second product's records and not
#    the shared file;
#  - `uninstall "Tidewell Share First" --quiet --delete-leftovers --yes`
#    removes the first product, and the second stays installed as it was:
#    listed, its files and the shared file there, its uninstall entry, its
#    Installer product keys, its own component and its value in the shared
#    component's key unchanged.
#
# Usage: check_cli_msi_share.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cli_check_prelude.sh"
tw_cli_check_start check_cli_msi_share.sh "the shared-component fixtures" "$@"


# The codes of install-msi-share.sh, packed as the Installer's keys name them
# (D4C3...8E3F is the second product's own component).
first_entry='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\{6E1A2B3C-4D5E-4F60-8172-93A4B5C6D7E1}'
second_entry='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\{7F2B3C4D-5E6F-4071-8283-A4B5C6D7E8F1}'
userdata='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18'
first_packed=C3B2A1E6E5D406F41827394A5B6C7D1E
second_packed=D4C3B2F7F6E5170428384A5B6C7D8E1F
component="$userdata\\Components\\12E8B3D5F4A670C49B2EF1A7C0D3E846"
programs="$WINEPREFIX/drive_c/Program Files (x86)"
shared_file="$programs/Common Files/TidewellShared/shared.dll"
[[ -f "$programs/Tidewell Share First/app.exe" && -f "$programs/Tidewell Share Second/app.exe" && -f "$shared_file" ]] ||
  tw_die "the fixtures are not installed"

# What must outlive the first product's removal, as it is now.
records() {
  recorded "$second_entry" /s
  recorded "$userdata\\Products\\$second_packed" /s
  recorded "$component" /v "$second_packed"
  recorded "$userdata\\Components\\D4C3B2F7F6E5170428384A5B6C7D8E3F" /s
  recorded "HKLM\\SOFTWARE\\Classes\\Installer\\Products\\$second_packed" /s
  recorded "HKLM\\SOFTWARE\\Classes\\Installer\\Features\\$second_packed" /s
}
records >"$work/before.txt"
! grep -q '^missing: ' "$work/before.txt" || tw_die "the second product's records are not all there: $(cat "$work/before.txt")"

failures=0
fail() { tw_log "FAILED: $*"; failures=$((failures + 1)); }

# ---- The traces of the first product, listed and as a Force Remove of its
# folder.
trace_claims_only_the_first() {
  run "$cli" analyze "$@" >"$work/trace.txt" 2>"$work/err.txt" || tw_die "analyze $* failed: $(cat "$work/err.txt")"
  python3 "$here/validate_cli_output.py" analyze "$work/trace.txt" || fail "the trace does not match its schema"
  python3 - "$work/trace.txt" "${userdata/HKLM\\/HKLM|}" "$first_packed" "$second_packed" "${component/HKLM\\/HKLM|}" <<'PY' ||
import json, sys
trace = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
userdata, first, second, component = (a.upper() for a in sys.argv[2:6])
lines = [l.upper() for l in trace["registry"]]
problems = [f"claims the shared component's key whole: {l}" for l in lines if l == component]
problems += [f"claims the second product's records: {l}" for l in lines if second in l or "{7F2B3C4D-" in l]
problems += [f"claims the shared file: {p}" for p in trace["files_folders"] if "TIDEWELLSHARED" in p.upper()]
if userdata + "\\PRODUCTS\\" + first not in lines:
    problems.append("the first product's own UserData key is not found at all")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY
    fail "analyze $*: the trace of the first product claims what the second one uses"
}
trace_claims_only_the_first "Tidewell Share First"
trace_claims_only_the_first --folder 'C:\Program Files (x86)\Tidewell Share First'

# ---- The quiet removal of the first product.
tw_quiet_removal "Tidewell Share First" <<'PY'
assert any("\\Tidewell Share First" in p for p in line["leftovers"]["removed_paths"]), line
PY

[[ ! -e "$programs/Tidewell Share First" ]] || fail "the first product's folder is still there"
query "$first_entry" >/dev/null && fail "the first product's uninstall entry is still there"
[[ -f "$shared_file" ]] || fail "the shared file in Common Files is gone"
[[ -f "$programs/Tidewell Share Second/app.exe" ]] || fail "the second product lost its program file"
records >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/records.diff" ||
  fail "the second product's records changed: $(cat "$work/records.diff")"
run "$cli" list >"$work/list.txt" 2>"$work/err.txt" || fail "list failed: $(cat "$work/err.txt")"
grep -q '"name":"Tidewell Share Second"' "$work/list.txt" || fail "the second product is no longer listed"
grep -q '"name":"Tidewell Share First"' "$work/list.txt" && fail "the first product is still listed"

(( failures == 0 )) || tw_die "$failures check(s) failed"
tw_log "the first product went; the second kept its files, the shared file and its Installer records"
