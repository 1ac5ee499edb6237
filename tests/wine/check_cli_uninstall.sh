#!/usr/bin/env bash
# Runs `tidewell-cli.exe uninstall "Tidewell Fixture Removable CLI"` under Wine
# in the prefix that tests/fixtures/install-removable.sh has just installed
# the removable fixtures into, and checks what it prints and what it leaves:
# the watch's reports as JSON lines in their order and with the watch's own
# timing, then the trace of the program as `analyze` prints it, cut down to
# what the program's own uninstaller left (here nothing, said on stderr),
# exit code 0, and afterwards neither the program's files nor its uninstall
# entry. A name
# that no installed program has exits with 2.
#
# Usage: check_cli_uninstall.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_uninstall.sh tidewell-cli.exe"
cli=$1
[[ -f "$cli" ]] || tw_die "no $cli"
[[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the prefix the removable fixtures are installed in"
tw_wine_env "$WINEPREFIX"
wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"

name="Tidewell Fixture Removable CLI"
entry='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\TidewellFixtureRemovableCli'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

reg_has() { "$wine64" reg query "$1" </dev/null >"$work/reg.log" 2>&1; }

# The program's folder, as this prefix names it, and where that is on the host.
"$TW_ROOT/scripts/wine-run.sh" cmd /c set >"$work/environment.txt" 2>/dev/null ||
  tw_die "cannot read the environment of the prefix"
x86=$(sed -n 's/^ProgramFiles(x86)=//ip' "$work/environment.txt" | tr -d '\r' | head -1)
[[ "$x86" == [Cc]:\\* ]] || tw_die "the prefix's environment has no ProgramFiles(x86) on C: ($x86)"
folder="$x86\\$name"
host_folder="$WINEPREFIX/drive_c/$(printf '%s' "${x86:3}\\$name" | tr '\\' '/')"
files=(notes.txt removable-cli.exe uninstall.exe)
for file in "${files[@]}"; do
  [[ -f "$host_folder/$file" ]] || tw_die "not installed: $host_folder/$file"
done
reg_has "$entry" || tw_die "not registered: $entry"

started=$(date +%s.%N)
status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" uninstall "$name" >"$work/uninstall.out" 2>"$work/uninstall.err" || status=$?
took=$(tw_seconds_since "$started")
if (( status != 0 )); then
  cat "$work/uninstall.out" "$work/uninstall.err" >&2
  tw_die "tidewell-cli.exe uninstall exited with $status after $took s"
fi

# The uninstaller finishes in its own time; the watch does not wait for it.
tries=0
while [[ -e "$host_folder" ]] || reg_has "$entry"; do
  tries=$((tries + 1))
  (( tries < 40 )) || break
  sleep 0.25
done
left=()
[[ -e "$host_folder" ]] && left+=("$host_folder: $(ls -A "$host_folder" 2>/dev/null | tr '\n' ' ')")
reg_has "$entry" && left+=("$entry")

unknown_status=0
"$TW_ROOT/scripts/wine-run.sh" "$cli" uninstall "Tidewell Fixture Nobody Installed" \
  >"$work/unknown.out" 2>"$work/unknown.err" || unknown_status=$?

# The watch lines and the trace, against docs/schema/.
python3 "$here/validate_cli_output.py" uninstall "$work/uninstall.out"

python3 - "$work" "$folder" "$took" "$unknown_status" "${left[@]+"${left[@]}"}" <<'PY'
import json
import os
import sys

work, folder, took, unknown_status = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
left = sys.argv[5:]
failures = []
def check(condition, message):
    if not condition:
        failures.append(message)

def read(name):
    with open(os.path.join(work, name), encoding="utf-8", errors="replace") as f:
        return f.read()

lines = [line for line in read("uninstall.out").splitlines() if line.strip()]
objects = []
for number, line in enumerate(lines, 1):
    try:
        objects.append(json.loads(line))
    except json.JSONDecodeError as error:
        failures.append(f"line {number} is not JSON ({error}): {line!r}")

events = [o for o in objects if isinstance(o, dict) and "event" in o]
wanted = [("watch_start", None), ("step_start", 2), ("step_end", 2), ("step_start", 3), ("step_end", 3),
          ("watch_end", None)]
got = [(e.get("event"), e.get("step")) for e in events]
check(got == wanted, f"watch reports {got!r}, expected {wanted!r}")
check(len(objects) == len(events) + 1 and objects[:len(events)] == events,
      f"expected the six watch lines and then one trace object, got {len(objects)} objects")
for e in events:
    check(isinstance(e.get("elapsed_ms"), int), f"{e!r} has no integer elapsed_ms")

if got == wanted and all(isinstance(e.get("elapsed_ms"), int) for e in events):
    t = [e["elapsed_ms"] for e in events]
    check(all(a <= b for a, b in zip(t, t[1:])), f"elapsed_ms goes back: {t!r}")
    # elapsed_ms counts from the launch; the watch starts a second later.
    check(900 <= t[0] <= 2500, f"watch_start at {t[0]} ms, expected about 1000 ms after the launch")
    total = t[5] - t[0]
    check(17000 <= total <= 27000, f"the watch took {total} ms, expected 17 to 27 s")
    check(1950 <= t[1] - t[0] <= 2500, f"step 2 started {t[1] - t[0]} ms after the start, expected 2 s")
    check(4950 <= t[2] - t[1] <= 16000, f"step 2 took {t[2] - t[1]} ms, expected 5 to 15 s")
    check(4950 <= t[3] - t[2] <= 5500, f"step 3 started {t[3] - t[2]} ms after step 2 ended, expected 5 s")
    check(t[4] - t[3] <= 300, f"step 3 took {t[4] - t[3]} ms, expected none")
    check(4950 <= t[5] - t[4] <= 5500, f"the end came {t[5] - t[4]} ms after step 3, expected 5 s")

trace = objects[-1] if objects and isinstance(objects[-1], dict) and "event" not in objects[-1] else None
check(trace is not None, "no trace object after the watch's lines")
if trace is not None:
    location = folder + "\\"
    check(trace.get("mode") == 1, f"trace mode {trace.get('mode')!r}")
    check(trace.get("name") == "Tidewell Fixture Removable CLI", f"trace name {trace.get('name')!r}")
    check(trace.get("install_location") == location, f"install_location {trace.get('install_location')!r}")
    # The trace found the folder, its three files and the entry; the
    # program's own uninstaller removed all of it while the watch ran, so
    # nothing is offered and the counts count nothing.
    rows = [location] + [location + f for f in ("notes.txt", "removable-cli.exe", "uninstall.exe")]
    check(trace.get("file_folder_reports") == len(rows), f"file_folder_reports {trace.get('file_folder_reports')!r}")
    check(trace.get("files_folders") == [] and trace.get("file_folder_count") == 0,
          f"offered after the uninstall: {trace.get('files_folders')!r}, count {trace.get('file_folder_count')!r}")
    check(trace.get("registry") == [] and trace.get("registry_count") == 0 and trace.get("registry_reports", 0) >= 1,
          f"registry offered after the uninstall: {trace.get('registry')!r}")
    check(trace.get("entries") == [], f"entries offered after the uninstall: {trace.get('entries')!r}")

check(not left, f"left after the uninstall: {left!r}")
# Wine may add its own lines to stderr; the tool's own start with its name.
own = [line for line in read("uninstall.err").splitlines() if line.startswith("tidewell-cli:")]
nothing_left = "tidewell-cli: The program's own uninstaller removed everything: no leftovers were found."
check(own == [nothing_left], f"uninstall reported on stderr {own!r}, expected only {nothing_left!r}")

check(unknown_status == 2, f"uninstall of an unknown name exited with {unknown_status}, expected 2")
check(read("unknown.out").strip() == "", f"uninstall of an unknown name printed {read('unknown.out')[:200]!r}")
unknown_err = read("unknown.err").strip().splitlines()
check(len(unknown_err) == 1 and "Tidewell Fixture Nobody Installed" in unknown_err[0],
      f"uninstall of an unknown name: stderr {unknown_err!r}")

if failures:
    print(f"tidewell-cli uninstall: {len(failures)} failed expectation(s):")
    for failure in failures:
        print("  " + failure)
    print("output:\n" + read("uninstall.out"))
    sys.exit(1)
print(f"tidewell-cli uninstall: the watch reported in order, the trace was printed, the program is gone ({took} s)")
for e in events:
    print("  " + json.dumps(e))
PY
