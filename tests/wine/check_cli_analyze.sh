#!/usr/bin/env bash
# Runs `tidewell-cli.exe analyze` under Wine in the prefix that holds the
# trace fixtures (tests/fixtures/install-fixtures.sh) and checks its JSON:
# the listed program "Tidewell Trace Foo" and a Force Remove of its folder
# give every file, folder and registry line the in-process trace suite
# expects, with the counts of their reports; nothing of the neighbour in
# "Tidewell Trace FooBar" is claimed; a refused folder and an unknown name
# exit with 2 and one line on stderr.
#
# Usage: check_cli_analyze.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_analyze.sh tidewell-cli.exe"
cli=$1
[[ -f "$cli" ]] || tw_die "no $cli"

# The test command's prefix, else the build folder's, as wine-run.sh picks it.
tw_use_prefix "$cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() { "$TW_ROOT/scripts/wine-run.sh" "$@"; }

run cmd /c set >"$work/environment.txt" 2>/dev/null || tw_die "cannot read the environment of the prefix"
program_files=$(tr -d '\r' <"$work/environment.txt" | sed -n 's/^ProgramW6432=//Ip' | head -1)
[[ -n "$program_files" ]] || program_files='C:\Program Files'
foo="${program_files%\\}\\Tidewell Trace Foo"

# The user hive that holds Foo's compatibility layer (the current user's).
layers='\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers'
hive=
for candidate in $(run reg query HKU 2>/dev/null | tr -d '\r' | sed -n 's/^HKEY_USERS\\//p'); do
  if run reg query "HKU\\$candidate$layers" /v "$foo\\foo.exe" >/dev/null 2>&1; then hive=$candidate; fi
done
[[ -n "$hive" ]] || tw_die "no user hive holds the layer of $foo\\foo.exe"

analyze() {
  local name=$1 status=0
  shift
  run "$cli" analyze "$@" >"$work/$name.json" 2>"$work/$name.err" || status=$?
  echo "$status" >"$work/$name.status"
}
analyze listed "Tidewell Trace Foo"
analyze forced --folder "$foo"
analyze refused --folder 'C:\windows\system32\Foo'
# The other folders a Force Remove never starts from, as this prefix names
# them: the drive root, both Program Files folders and a Common Files
# folder, ProgramData, the Users folder and the user's profile.
value_of() { tr -d '\r' <"$work/environment.txt" | sed -n "s/^$1=//Ip" | head -1; }
profile=$(value_of USERPROFILE)
guarded=('C:\' "$program_files" "$(value_of 'ProgramFiles(x86)')" "$(value_of 'CommonProgramFiles(x86)')"
         "$(value_of ProgramData)" "${profile%\\*}" "$profile")
for i in "${!guarded[@]}"; do
  [[ -n "${guarded[$i]}" ]] || tw_die "the prefix's environment lacks guarded folder $i"
  analyze "guarded$i" --folder "${guarded[$i]}"
  printf '%s' "${guarded[$i]}" >"$work/guarded$i.folder"
done
analyze unknown "Tidewell Trace Nothing Like It"
# What analyze printed, against docs/schema/trace.schema.json.
for printed in listed forced; do python3 "$here/validate_cli_output.py" analyze "$work/$printed.json"; done

python3 - "$work" "$foo" "$hive" <<'PY'
import json
import os
import sys

work, foo, hive = sys.argv[1:4]
failures = []
def check(condition, message):
    if not condition:
        failures.append(message)

def read(name):
    with open(os.path.join(work, name), encoding="utf-8", errors="replace") as f:
        return f.read()

def utf16_sorted(lines):
    return sorted(lines, key=lambda line: line.encode("utf-16-be"))

def result(name):
    status = int(read(name + ".status"))
    if status != 0:
        failures.append(f"analyze ({name}) exited with {status}: {read(name + '.err').strip()}")
        return None
    text = read(name + ".json").strip()
    try:
        return json.loads(text)
    except json.JSONDecodeError as error:
        failures.append(f"analyze ({name}) printed no JSON object ({error}): {text[:200]!r}")
        return None

classes = "HKLM|SOFTWARE\\Classes\\"
control = "{7A3C52E1-94B0-4D6F-A218-3E5B9C0D71F4}"
libid = "{0D5E8A41-6B27-4C93-B1F0-52A7E3D9C684}"
areas = [
    classes + "TidewellFoo.Document", classes + "TidewellFoo.Template", classes + ".twfoo", classes + ".twfoox",
    "HKCR|\\TidewellFoo.Document", "HKCR|\\TidewellFoo.Template",
    "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|" + foo + "\\foo.dll",
    classes + "TypeLib\\" + libid,
    # TypeLib is shared by both registry views: the 32-bit variants list it too.
    "HKLM|SOFTWARE\\Wow6432Node\\Classes\\TypeLib\\" + libid,
    "HKLM|SOFTWARE\\Classes\\Wow6432Node\\TypeLib\\" + libid,
    classes + "CLSID\\" + control, classes + "TidewellFoo.Control.1",
    classes + "CLSID\\{7A3C52E2-94B0-4D6F-A218-3E5B9C0D71F4}",
    "HKLM|SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{7A3C52E3-94B0-4D6F-A218-3E5B9C0D71F4}",
    "HKLM|SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7A3C52E3-94B0-4D6F-A218-3E5B9C0D71F4}",
    classes + "Interface\\{E4B17C30-2A95-4F6D-8C01-9D3E6B52A7F8}",
    classes + "Interface\\{E4B17C31-2A95-4F6D-8C01-9D3E6B52A7F8}",
    "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved|" + control,
    "HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar|" + control.lower(),
    "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\" + control,
    "HKU|" + hive + "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers|" + foo + "\\foo.exe",
    "HKCU|Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache\\|" + foo
    + "\\foo.exe.FriendlyAppName",
    "HKU|" + hive + "\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache\\|" + foo + "\\foo.exe",
    "HKCU|Software\\Shared Components\\Tidewell Foo\\Filters",
    "HKLM|SOFTWARE\\Microsoft\\Internet Explorer\\Low Rights\\ElevationPolicy\\{B58E0F17-3C42-4A9D-9E61-0F2D7C84A5B3}",
    "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooTray",
    "HKLM|SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooHelper32",
    "HKCU|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooAgent",
]
subfolders = ["cache", "linked", "plugins", "plugins\\lang"]
files = ["foo.dll", "foo.exe", "foo.tlb", "plugins\\lang\\en.txt", "plugins\\tools.dll", "plugins\\tools.ini",
         "readme.txt", "uninst.exe"]

def expect(name, mode, install_location, first_line):
    got = result(name)
    if got is None:
        return
    for field in ["mode", "name", "install_location", "files_folders", "registry", "file_folder_reports",
                  "file_folder_count", "registry_reports", "registry_count"]:
        check(field in got, f"{name}: no field {field}")
    check(got.get("mode") == mode, f"{name}: mode {got.get('mode')!r}")
    check(got.get("name") == ("Tidewell Trace Foo" if mode == 1 else ""), f"{name}: name {got.get('name')!r}")
    check(got.get("install_location") == install_location,
          f"{name}: install_location {got.get('install_location')!r}, expected {install_location!r}")
    rows = utf16_sorted([install_location] + [foo + "\\" + sub for sub in subfolders])
    rows += utf16_sorted([foo + "\\" + file for file in files])
    check(got.get("files_folders") == rows,
          f"{name}: files_folders\n    {got.get('files_folders')!r}\n  expected\n    {rows!r}")
    check(got.get("file_folder_reports") == len(rows) and got.get("file_folder_count") == len(rows),
          f"{name}: {got.get('file_folder_reports')!r} file and folder reports, last count "
          f"{got.get('file_folder_count')!r}; expected {len(rows)}")
    lines = [first_line] + areas
    registry = got.get("registry") or []
    check(registry == utf16_sorted(lines),
          f"{name}: registry lines\n    " + "\n    ".join(registry) + "\n  expected\n    "
          + "\n    ".join(utf16_sorted(lines)))
    check(got.get("registry_reports") == len(lines) and got.get("registry_count") == len(lines),
          f"{name}: {got.get('registry_reports')!r} registry reports, last count {got.get('registry_count')!r}; "
          f"expected {len(lines)}")
    for line in got.get("files_folders", []) + registry:
        check("FOOBAR" not in line.upper(), f"{name}: claims the neighbour with {line!r}")
    # One object per distinct entry, each with the area that found it; all
    # of these point into the folder and are offered ticked.
    entries = got.get("entries") or []
    by_entry = {e.get("entry"): e for e in entries}
    wanted = set(rows) | {line for line in lines if line}
    check(len(entries) == len(by_entry) and set(by_entry) == wanted,
          f"{name}: entries {sorted(by_entry)!r}\n  expected {sorted(wanted)!r}")
    for e in entries:
        check(e.get("evidence") == "points into the folder" and e.get("default_tick") is True and e.get("area"),
              f"{name}: entry {e!r}")
    for entry, area in [(foo + "\\foo.dll", "Install folder"), (classes + "CLSID\\" + control, "COM registrations"),
                        ("HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|TidewellFooTray",
                         "Elevation policies and Run lists"), (classes + ".twfoo", "File types (HKLM)"),
                        ("HKCR|\\TidewellFoo.Document", "File types (HKCR)")]:
        check(by_entry.get(entry, {}).get("area") == area, f"{name}: {entry!r} found by {by_entry.get(entry)!r}")

expect("listed", 1, foo + "\\", "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TidewellTraceFoo")
expect("forced", 2, foo, "")

refusals = [("refused", "C:\\windows\\system32\\Foo"), ("unknown", "Tidewell Trace Nothing Like It")]
refusals += sorted((name[:-len(".folder")], read(name)) for name in os.listdir(work) if name.endswith(".folder"))
for name, wanted in refusals:
    status = int(read(name + ".status"))
    err = read(name + ".err").strip().splitlines()
    check(status == 2, f"analyze ({name}, {wanted!r}) exited with {status}, expected 2")
    check(read(name + ".json").strip() == "", f"analyze ({name}) printed {read(name + '.json')[:200]!r}")
    check(len(err) == 1 and err[0].startswith("tidewell-cli: ") and wanted in err[0],
          f"analyze ({name}) stderr does not name {wanted!r} in one line: {err!r}")

if failures:
    print(f"tidewell-cli analyze: {len(failures)} failed expectation(s):")
    for failure in failures:
        print("  " + failure)
    sys.exit(1)
print("tidewell-cli analyze: the listed trace and the Force Remove of Tidewell Trace Foo as expected; "
      "refusals exit with 2")
PY
