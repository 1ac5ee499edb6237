#!/usr/bin/env bash
# A runtime whose host program runs other people's scripts, under Wine with
# the real tidewell-cli, in the prefix of tests/fixtures/install-host-runtime.sh:
#  - `analyze "Tidewell Runtime"` and `analyze --folder` of its folder offer
#    ticked what runs the runtime's own script (a service, an HKLM Run value,
#    its Start Menu shortcut), and the user's services, Run values and Desktop
#    shortcut (the host started with a script outside the runtime's folder,
#    even where a later argument names a file in it) at most unticked;
#  - `uninstall "Tidewell Runtime" --quiet --delete-leftovers --yes` removes
#    the runtime's files and what runs its own script, and leaves the user's
#    services, Run values, shortcut and script exactly as they were.
#
# Usage: check_cli_host_runtime.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cli_check_prelude.sh"
tw_cli_check_start check_cli_host_runtime.sh "the runtime fixture" "$@"


services='HKLM\SYSTEM\CurrentControlSet\Services'
run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
user_run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
folder="$WINEPREFIX/drive_c/Program Files/TidewellRuntime"
script="$WINEPREFIX/drive_c/users/Public/userscript.py"
user_shortcut="$WINEPREFIX/drive_c/users/Public/Desktop/Tidewell user script.lnk"
own_shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tidewell Runtime/Runtime Shell.lnk"
[[ -f "$folder/python.exe" && -f "$script" && -f "$user_shortcut" && -f "$own_shortcut" ]] ||
  tw_die "the runtime fixture is not installed"

# The user's entries as they are now.
users_entries() {
  recorded "$services\\TwUserScript" /s
  recorded "$services\\TwUserScriptIcon" /s
  recorded "$run_key" /v TidewellUserScript
  recorded "$user_run_key" /v TidewellUserScript
  cat "$script" 2>/dev/null || echo "missing: $script"
  md5sum <"$user_shortcut" 2>/dev/null || echo "missing: $user_shortcut"
}
users_entries >"$work/before.txt"
! grep -q '^missing: ' "$work/before.txt" || tw_die "the user's entries are not all there: $(cat "$work/before.txt")"

failures=0
fail() { tw_log "FAILED: $*"; failures=$((failures + 1)); }

# ---- The traces, of the listed runtime and as a Force Remove of its folder.
trace_offers_only_the_runtimes() {
  run "$cli" analyze "$@" >"$work/trace.txt" 2>"$work/err.txt" || tw_die "analyze $* failed: $(cat "$work/err.txt")"
  python3 "$here/validate_cli_output.py" analyze "$work/trace.txt" || fail "the trace does not match its schema"
  python3 - "$work/trace.txt" "${services/HKLM\\/HKLM|}" "${run_key/HKLM\\/HKLM|}" "${user_run_key/HKCU\\/HKCU|}" <<'PY' ||
import json, sys
trace = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
services, run_key, user_run_key = (a.upper() for a in sys.argv[2:5])
ticked = {e["entry"].upper(): e for e in trace["entries"] if e["default_tick"]}
problems = []
for line, what in ((services + "\\TWRUNTIMEOWN", "service"), (run_key + "|TIDEWELLRUNTIMEOWN", "HKLM Run value"),
                   ("\\TIDEWELL RUNTIME\\RUNTIME SHELL.LNK", "Start Menu shortcut")):
    if not any(entry == line or entry.endswith(line) for entry in ticked):
        problems.append(f"the {what} running the runtime's own script is not offered ticked")
users = (services + "\\TWUSERSCRIPT", services + "\\TWUSERSCRIPTICON", run_key, run_key + "|TIDEWELLUSERSCRIPT",
         user_run_key, user_run_key + "|TIDEWELLUSERSCRIPT")
for entry in ticked:
    if entry in users or entry.endswith("\\TIDEWELL USER SCRIPT.LNK"):
        problems.append(f"the user's entry is claimed ticked: {ticked[entry]}")
for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
PY
    fail "analyze $*: the trace claims the user's script entries or misses the runtime's own"
}
trace_offers_only_the_runtimes "Tidewell Runtime"
trace_offers_only_the_runtimes --folder 'C:\Program Files\TidewellRuntime'

# ---- The quiet removal.
tw_quiet_removal "Tidewell Runtime" <<'PY'
assert line["leftovers"]["services_tasks_not_removed"] == [], line
PY
[[ ! -e "$folder" ]] || fail "the runtime left: $(find "$folder" | head -5 | tr '\n' ' ')"
if quiet sc query TwRuntimeOwn; then fail "sc query still finds the runtime's own service"; fi
query "$run_key" /v TidewellRuntimeOwn >/dev/null && fail "the runtime's own Run value is still there"
[[ ! -e "$own_shortcut" ]] || fail "the runtime's Start Menu shortcut is still there"
quiet sc query TwUserScript || fail "sc query no longer finds the user's service"
quiet sc query TwUserScriptIcon || fail "sc query no longer finds the user's service that names an icon of the runtime"
users_entries >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/users.diff" ||
  fail "the user's service, Run values, shortcut or script changed: $(cat "$work/users.diff")"

(( failures == 0 )) || tw_die "$failures check(s) failed"
tw_log "the runtime and what ran its own script went; the user's service, Run values, shortcut and script stayed"
