#!/usr/bin/env bash
# tidewell-cli's commands for administrators, under Wine, in the prefix that
# tests/fixtures/install-quiet.sh installed the quiet-uninstall fixtures into:
#  - --version, list and export (JSON, CSV and HTML files parsed back and
#    compared with list);
#  - one `uninstall --quiet` call that removes an NSIS program (whose
#    uninstaller restarts itself from a temporary copy) and a Windows
#    Installer product, and reports a name nobody installed: their files and
#    entries gone the moment the call returns, exit codes recorded, and the
#    call back within seconds of the uninstallers' end (the times printed);
#  - a program without a quiet form refused and left installed, then
#    removed with force-remove;
#  - every output validated against docs/schema/.
#
# Usage: check_cli_quiet.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_quiet.sh tidewell-cli.exe"
cli=$1
[[ -f "$cli" ]] || tw_die "no $cli"
[[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the prefix of the quiet-uninstall fixtures"
tw_wine_env "$WINEPREFIX"
wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { "$TW_ROOT/scripts/wine-run.sh" "$@"; }
reg_has() { "$wine64" reg query "$1" </dev/null >"$work/reg.log" 2>&1; }
validate() { python3 "$here/validate_cli_output.py" "$1" "$2" || tw_die "$1 output does not match its schema"; }
dos() { printf 'Z:%s' "${1//\//\\}"; }

run cmd /c set >"$work/environment.txt" 2>/dev/null || tw_die "cannot read the environment of the prefix"
value_of() { tr -d '\r' <"$work/environment.txt" | sed -n "s/^$1=//Ip" | head -1; }
host_of() { printf '%s/drive_c/%s' "$WINEPREFIX" "$(printf '%s' "${1:3}" | tr '\\' '/')"; }
pf64=$(value_of ProgramW6432)
pf32=$(value_of 'ProgramFiles(x86)')
[[ "$pf64" == [Cc]:\\* && "$pf32" == [Cc]:\\* ]] || tw_die "the prefix's environment lacks the Program Files folders"
nsis_dir=$(host_of "$pf64\\Tidewell Fixture Quiet NSIS")
msi_dir=$(host_of "$pf32\\Tidewell Fixture Quiet MSI")
unknown_dir=$(host_of "$pf64\\Tidewell Fixture No Quiet Form")
u64='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
u32='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
nsis_key="$u64\\TidewellFixtureQuietNsis"
msi_key="$u32\\{7C2E9A41-5B3D-4F68-A1C7-D94E2B6F0853}"
unknown_key="$u64\\TidewellFixtureNoQuietForm"
for path in "$nsis_dir/uninst.exe" "$msi_dir/quiet-msi.exe" "$unknown_dir/remover.exe"; do
  [[ -f "$path" ]] || tw_die "not installed: $path"
done
for key in "$nsis_key" "$msi_key" "$unknown_key"; do reg_has "$key" || tw_die "not registered: $key"; done

# ---- --version, list, export ---------------------------------------------
run "$cli" --version >"$work/version.json" 2>"$work/version.err" || tw_die "--version failed"
validate version "$work/version.json"
# An entry whose texts begin as spreadsheet formulas: the CSV export must
# open them as text. It goes again once the files are written.
hostile_key="$u64\\TidewellHostileCsv"
reg_set() { "$wine64" reg add "$hostile_key" /v "$1" /t REG_SZ /d "$2" /f </dev/null >"$work/reg.log" 2>&1 ||
  tw_die "reg add $1 failed: $(cat "$work/reg.log")"; }
reg_set DisplayName '=HYPERLINK(1)+cmd'
reg_set Publisher '@SUM(1)'
reg_set DisplayVersion '-2+3'
reg_set UninstallString 'C:\hostile\uninst.exe'
run "$cli" list >"$work/list.jsonl" 2>"$work/list.err" || tw_die "list failed: $(cat "$work/list.err")"
validate list "$work/list.jsonl"
for format in json csv html; do
  status=0
  run "$cli" export --format "$format" "$(dos "$work/inventory.$format")" >"$work/export-$format.json" \
    2>"$work/export-$format.err" || status=$?
  (( status == 0 )) || tw_die "export --format $format exited with $status: $(cat "$work/export-$format.err")"
  validate export "$work/export-$format.json"
done
validate export-json "$work/inventory.json"
"$wine64" reg delete "$hostile_key" /f </dev/null >"$work/reg.log" 2>&1 || tw_die "the hostile entry could not be removed"

python3 - "$work" <<'PY'
import csv
import html.parser
import json
import os
import sys

work = sys.argv[1]
listed = [json.loads(line) for line in open(os.path.join(work, "list.jsonl"), encoding="utf-8") if line.strip()]
failures = []
def check(condition, message):
    if not condition:
        failures.append(message)

names = [p["name"] for p in listed]
for wanted in ("Tidewell Fixture Quiet NSIS", "Tidewell Fixture Quiet MSI", "Tidewell Fixture No Quiet Form"):
    check(wanted in names, f"list lacks {wanted!r}")

exported = json.load(open(os.path.join(work, "inventory.json"), encoding="utf-8"))
check(exported == listed, "the JSON export differs from list")

raw = open(os.path.join(work, "inventory.csv"), "rb").read()
check(raw.startswith(b"\xef\xbb\xbf"), "the CSV file has no UTF-8 byte-order mark")
check(b"\r\n" in raw, "the CSV file's lines do not end in CRLF")
rows = list(csv.reader(raw.decode("utf-8-sig").splitlines()))
header, body = rows[0], rows[1:]
check(header == list(listed[0].keys()), f"CSV header {header!r}")
# A text that begins as a formula carries a leading apostrophe; nothing else changes.
def cell(v):
    return "'" + v if isinstance(v, str) and v[:1] in ("=", "+", "-", "@", "\t", "\r") else str(v)
check([dict(zip(header, r)) for r in body] == [{k: cell(v) for k, v in p.items()} for p in listed],
      "the CSV rows differ from list")
check(any(p["name"] == "=HYPERLINK(1)+cmd" and p["publisher"] == "@SUM(1)" for p in listed),
      "the entry with formula texts is not listed")
check(not any(c[:1] in ("=", "+", "-", "@") for r in body for c in r), "a CSV field opens as a formula")
first_data_line = raw.decode("utf-8-sig").split("\r\n")[1]
check(first_data_line.startswith('"') and first_data_line.count('","') == len(header) - 1,
      f"CSV fields are not all quoted: {first_data_line[:120]!r}")

class Table(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.cell, self.heads, self.external, self.scripts = [], None, [], [], 0
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "script":
            self.scripts += 1
        for name in ("src", "href"):
            if name in attrs:
                self.external.append((tag, attrs[name]))
    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None
    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data

page = Table()
page.feed(open(os.path.join(work, "inventory.html"), encoding="utf-8").read())
check(page.rows and page.rows[0] == list(listed[0].keys()), f"HTML heading row {page.rows[:1]!r}")
check(page.rows[1:] == [[str(v) for v in p.values()] for p in listed], "the HTML rows differ from list")
check(page.scripts == 1, "the HTML page has no sorting script of its own")
check(not page.external, f"the HTML page loads from outside: {page.external!r}")

if failures:
    print("export: " + "; ".join(failures))
    sys.exit(1)
print(f"export: JSON, CSV and HTML hold the {len(listed)} programs of list")
PY

# ---- One quiet call, two installer kinds ----------------------------------
started=$(date +%s.%N)
status=0
run "$cli" uninstall "Tidewell Fixture Quiet NSIS" "Tidewell Fixture Quiet MSI" "Tidewell Fixture Nobody Installed" \
  --quiet --timeout 120 >"$work/quiet.jsonl" 2>"$work/quiet.err" || status=$?
took=$(tw_seconds_since "$started")
# Looked at the moment the call returned: no waiting here.
left=()
[[ -e "$nsis_dir" ]] && left+=("$nsis_dir")
[[ -e "$msi_dir" ]] && left+=("$msi_dir")
reg_has "$nsis_key" && left+=("$nsis_key")
reg_has "$msi_key" && left+=("$msi_key")
cat "$work/quiet.jsonl"
(( status == 0 )) || { cat "$work/quiet.err" >&2; tw_die "uninstall --quiet exited with $status after $took s"; }
validate quiet-uninstall "$work/quiet.jsonl"

# ---- Refused: no quiet form -------------------------------------------------
refused_status=0
run "$cli" uninstall "Tidewell Fixture No Quiet Form" --quiet >"$work/refused.jsonl" 2>"$work/refused.err" ||
  refused_status=$?
validate quiet-uninstall "$work/refused.jsonl"
still=0
[[ -f "$unknown_dir/remover.exe" ]] && reg_has "$unknown_key" && still=1

python3 - "$work" "$took" "$refused_status" "$still" "${left[@]+"${left[@]}"}" <<'PY'
import json
import os
import sys

work, took, refused_status, still = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == "1"
left = sys.argv[5:]
failures = []
def check(condition, message):
    if not condition:
        failures.append(message)

lines = [json.loads(l) for l in open(os.path.join(work, "quiet.jsonl"), encoding="utf-8") if l.strip()]
check([l["name"] for l in lines] == ["Tidewell Fixture Quiet NSIS", "Tidewell Fixture Quiet MSI",
                                     "Tidewell Fixture Nobody Installed"], f"names {[l['name'] for l in lines]!r}")
if len(lines) == 3:
    nsis, msi, nobody = lines
    check(nsis["source"] == "nsis" and nsis["command"].endswith('uninst.exe" /S'), f"NSIS command {nsis['command']!r}")
    check(nsis["exit_code"] == 0 and nsis["outcome"] == "done", f"NSIS {nsis!r}")
    # The uninstaller and the copy it restarts as, at the least.
    check(nsis["processes"] >= 2, f"NSIS followed {nsis['processes']} process(es)")
    # The copy lingers 4 s before it removes anything.
    check(nsis["seconds"] >= 4.0, f"NSIS took {nsis['seconds']} s: the call did not wait for the copy")
    check(msi["source"] == "windows_installer" and
          msi["command"] == "MsiExec.exe /X{7C2E9A41-5B3D-4F68-A1C7-D94E2B6F0853} /qn /norestart",
          f"MSI command {msi['command']!r}")
    check(msi["exit_code"] == 0 and msi["outcome"] == "done", f"MSI {msi!r}")
    check(nsis["entry_removed"] is True and msi["entry_removed"] is True, "an entry was reported as still there")
    check(nobody["outcome"] == "not_installed" and nobody["exit_code"] is None and nobody["command"] == "",
          f"unknown name {nobody!r}")
    uninstalling = nsis["seconds"] + msi["seconds"]
    # Two inventory scans' worth of start-up at most beside the uninstallers.
    check(took - uninstalling < 25, f"the call took {took} s for {uninstalling:.1f} s of uninstalling")
    print(f"uninstall --quiet: {took:.1f} s in all; NSIS {nsis['seconds']:.1f} s, MSI {msi['seconds']:.1f} s, "
          f"so {took - uninstalling:.1f} s besides the uninstallers")
check(not left, f"left the moment the call returned: {left!r}")

refused = [json.loads(l) for l in open(os.path.join(work, "refused.jsonl"), encoding="utf-8") if l.strip()]
check(refused_status == 1, f"the refused call exited with {refused_status}, expected 1")
check(len(refused) == 1 and refused[0]["outcome"] == "refused" and refused[0]["command"] == "" and
      "no quiet form" in refused[0]["message"], f"refusal {refused!r}")
check(still, "the program without a quiet form was touched")
if failures:
    print("uninstall --quiet: " + "; ".join(failures))
    sys.exit(1)
PY

# ---- The refused program, removed with force-remove -----------------------
status=0
run "$cli" force-remove "$pf64\\Tidewell Fixture No Quiet Form" --yes >"$work/force.jsonl" 2>"$work/force.err" || status=$?
(( status == 0 )) || { cat "$work/force.jsonl" "$work/force.err" >&2; tw_die "force-remove exited with $status"; }
validate force-remove "$work/force.jsonl"
[[ ! -e "$unknown_dir" ]] || tw_die "force-remove left $unknown_dir"
tw_log "quiet uninstall, export and every output's schema checked ($took s for the quiet call)"
