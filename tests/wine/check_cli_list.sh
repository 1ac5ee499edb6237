#!/usr/bin/env bash
# Runs `tidewell-cli.exe list` under Wine in the prefix that holds the fixture
# programs (tests/fixtures/install-fixtures.sh) and checks its JSON Lines: one
# object per delivered program, in sorted order, and for every fixture the
# same derived fields the in-process inventory suite expects.
#
# Usage: check_cli_list.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_list.sh tidewell-cli.exe"
cli=$1
[[ -f "$cli" ]] || tw_die "no $cli"

# The test command's prefix, else the build folder's, as wine-run.sh picks it.
tw_use_prefix "$cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The folders the expectations are made of, as this prefix names them.
"$TW_ROOT/scripts/wine-run.sh" cmd /c set >"$work/environment.txt" 2>/dev/null ||
  tw_die "cannot read the environment of the prefix"

status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" list >"$work/list.jsonl" 2>"$work/list.err" || status=$?
if (( status != 0 )); then
  cat "$work/list.err" >&2
  tw_die "tidewell-cli.exe list exited with $status"
fi

# Every line against docs/schema/list.schema.json.
python3 "$here/validate_cli_output.py" list "$work/list.jsonl"

python3 - "$work/environment.txt" "$work/list.jsonl" <<'PY'
import json
import sys

env_file, list_file = sys.argv[1], sys.argv[2]
env = {}
with open(env_file, encoding="utf-8", errors="replace") as f:
    for line in f:
        line = line.rstrip("\r\n")
        if "=" in line:
            key, value = line.split("=", 1)
            env[key.upper()] = value

def folder(name):
    value = env.get(name.upper(), "")
    if not value:
        sys.exit(f"the prefix's environment has no {name}")
    return value if value.endswith("\\") else value + "\\"

def lower_ascii(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)

local = folder("LOCALAPPDATA")
program_files = folder("ProgramW6432") if env.get("PROGRAMW6432") else folder("ProgramFiles")
program_files_x86 = folder("ProgramFiles(x86)")
windows = folder("SystemRoot")
msiexec = windows + "system32\\msiexec.exe"

UNINSTALL = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
UNINSTALL32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
INSTALLER_CODE = "{6E1C9A52-3B7D-4F08-9A61-2C5D7E8F0A13}"
ORPHAN_CODE = "{A4D2E7B9-0C61-4E35-B8F2-93E5C1A7D026}"

failures = []
def check(condition, message):
    if not condition:
        failures.append(message)

records = []
with open(list_file, "rb") as f:
    for number, raw in enumerate(f, 1):
        text = raw.decode("utf-8").rstrip("\r\n")
        if not text.strip():
            continue
        try:
            records.append(json.loads(text))
        except json.JSONDecodeError as error:
            sys.exit(f"line {number} is not JSON ({error}): {text!r}")

fields = ["name", "name_low", "publisher", "version", "install_location", "uninstall_string",
          "display_icon", "display_icon_id", "install_reg_path", "is64"]
for record in records:
    missing = [field for field in fields if field not in record]
    check(not missing, f"{record.get('name')!r} lacks {missing}")

# Delivery order: ordinal by lower-case name (UTF-16 code units; the names
# here are ASCII, where that is code point order), each name once.
keys = [record.get("name_low", "") for record in records]
for record in records:
    check(record.get("name_low") == lower_ascii(record.get("name", "")),
          f"name_low {record.get('name_low')!r} is not the lower-casing of {record.get('name')!r}")
    check(record.get("is64") in (1, True), f"{record.get('name')!r}: is64 is {record.get('is64')!r}")
    icon_id = record.get("display_icon_id")
    check(isinstance(icon_id, int) and icon_id >= 0, f"{record.get('name')!r}: display_icon_id {icon_id!r}")
    location = record.get("install_location", "")
    check(location == "" or location.endswith("\\"), f"{record.get('name')!r}: install_location {location!r}")
for before, after in zip(keys, keys[1:]):
    check(before.encode("utf-16-be") < after.encode("utf-16-be"), f"out of order or twice: {before!r}, {after!r}")

by_key = {record.get("name_low"): record for record in records}

def expect(name, **wanted):
    record = by_key.get(lower_ascii(name))
    if record is None:
        failures.append(f"{name!r} is not listed")
        return
    check(record["name"] == name, f"{name!r} is listed as {record['name']!r}")
    for field, value in wanted.items():
        got = record.get(field)
        ok = value(got) if callable(value) else got == value
        check(ok, f"{name}: {field} is {got!r}, expected {value if not callable(value) else 'a match'}")

legacy = program_files_x86 + "Tidewell Fixture Legacy\\"
expect("Tidewell Fixture Legacy",
       publisher="Tidewell Fixtures", version="1.4.2", install_location=legacy,
       uninstall_string=f'"{legacy}uninst.exe" /S', display_icon=legacy + "legacy.exe", display_icon_id=0,
       install_reg_path="HKLM|" + UNINSTALL32 + "TidewellFixtureLegacy")

quoted = program_files + "Tidewell Fixture Quoted\\"
expect("Tidewell Fixture Quoted",
       publisher="Tidewell Fixtures", version="2.0", install_location=quoted,
       uninstall_string=f'"{quoted}uninstall.exe"', display_icon=quoted + "TidewellQuoted.exe",
       display_icon_id=65535, install_reg_path="HKLM|" + UNINSTALL + "TidewellFixtureQuoted")

per_user = local + "Programs\\Tidewell Fixture Per-User\\"
expect("Tidewell Fixture Per-User",
       publisher="Tidewell Fixtures", version="0.9.1-beta", install_location=per_user,
       uninstall_string=f'"{per_user}unins000.exe" /S', display_icon=per_user + "peruser.exe", display_icon_id=0,
       install_reg_path="HKCU|" + UNINSTALL + "TidewellFixturePerUser")

product_icon_tail = lower_ascii(f"\\installer\\{INSTALLER_CODE}\\installer_fixture.exe")
expect("Tidewell Fixture Installer",
       publisher="Tidewell Fixtures", version="2.5.0", install_location="",
       uninstall_string="MsiExec.exe /I" + INSTALLER_CODE,
       display_icon=lambda icon: isinstance(icon, str) and lower_ascii(icon).startswith(lower_ascii(windows))
       and lower_ascii(icon).endswith(product_icon_tail),
       display_icon_id=65535, install_reg_path="HKLM|" + UNINSTALL32 + INSTALLER_CODE)

expect("Tidewell Fixture Orphan",
       publisher="Tidewell Fixtures", version="1.0.7", install_location="",
       uninstall_string="MsiExec.exe /I" + ORPHAN_CODE,
       display_icon=lambda icon: isinstance(icon, str) and lower_ascii(icon) == lower_ascii(msiexec),
       display_icon_id=65535, install_reg_path="")

pair = program_files + "Tidewell Fixture Pair\\"
expect("Tidewell Fixture Pair",
       publisher="Tidewell Fixtures", version="3.0.1", install_location=pair,
       uninstall_string=f'"{pair}pair-remove.exe" /S', display_icon=pair + "pair.exe", display_icon_id=1,
       install_reg_path="HKLM|" + UNINSTALL + "TidewellFixturePair")
check(sum(1 for key in keys if key == "tidewell fixture pair") == 1, "the case-variant pair is not listed once")

if failures:
    print(f"tidewell-cli list: {len(failures)} failed expectation(s) over {len(records)} programs:")
    for failure in failures:
        print("  " + failure)
    sys.exit(1)
print(f"tidewell-cli list: {len(records)} programs, every fixture as expected")
PY
