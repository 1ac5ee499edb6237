#!/usr/bin/env bash
# Services and scheduled tasks with the real tidewell-cli.exe, in the prefix
# of the service fixtures (tests/fixtures/install-service-areas.sh):
# `analyze` of "Tidewell Svc Paint" lists its running service and its task
# and nothing of "Tidewell Svc Paint Pro", whose folder name extends its own;
# `uninstall NAME --delete-leftovers --yes` runs the program's uninstaller
# (which leaves the service and the task behind), then stops and deletes the
# service through the service control manager (sc query fails afterwards,
# its key is gone) and deletes the task through the Task Scheduler, while
# the neighbour's service keeps running and its task stays.
#
# Usage: check_cli_service_areas.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/cli_check_prelude.sh"
tw_cli_check_start check_cli_service_areas.sh "the service fixtures" "$@"
fail() { cat "$work/out.txt" "$work/err.txt" >&2 2>/dev/null || true; tw_die "$*"; }
state_of() { quiet sc query "$1" && tr -d '\r' <"$work/quiet.log" | sed -n 's/^ *STATE *: *[0-9]* *//p' | head -1; }

service_line='HKLM|SYSTEM\CurrentControlSet\Services\'
task_line='HKLM|SOFTWARE\Microsoft\Windows NT\CurrentVersion\Schedule\TaskCache\Tree\'
tasks="$WINEPREFIX/drive_c/windows/system32/tasks"
own_task="$tasks/Tidewell Svc Paint/Update"
other_task="$tasks/Tidewell Svc Paint Pro/Update"
folder="$WINEPREFIX/drive_c/Program Files/Tidewell Svc Paint"
neighbour="$WINEPREFIX/drive_c/Program Files/Tidewell Svc Paint Pro"

[[ "$(state_of TwSvcPaint)" == RUNNING* ]] || tw_die "the program's service is not running: $(cat "$work/quiet.log")"
[[ "$(state_of TwSvcPaintPro)" == RUNNING* ]] || tw_die "the neighbour's service is not running"
tasks_made=1
[[ -f "$own_task" && -f "$other_task" ]] || tasks_made=0
# Wine 8's IRegisteredTaskCollection::get_Count and get_Item are stubs
# (E_NOTIMPL): no registered task can be enumerated there, while GetTask and
# DeleteTask work. Later Wine versions enumerate them.
tasks_listed=$tasks_made
wine_major=$("$wine64" --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
if (( tasks_made )) && [[ -n "$wine_major" ]] && (( wine_major <= 8 )); then
  tasks_listed=0
  echo "SKIP: finding scheduled tasks: Wine $wine_major's IRegisteredTaskCollection::get_Count is a stub" \
    "(E_NOTIMPL), so ITaskService lists no task; the trace of tasks is tested on the simulated machine," \
    "their removal through ITaskFolder::DeleteTask here from a pending list"
fi

# ---- The trace.
run "$cli" analyze "Tidewell Svc Paint" >"$work/out.txt" 2>"$work/err.txt" || fail "analyze failed"
python3 "$here/validate_cli_output.py" analyze "$work/out.txt" || fail "the trace does not match its schema"
python3 - "$work/out.txt" "$service_line" "$task_line" "$tasks_listed" <<'PY' || fail "analyze: wrong services or tasks"
import json, sys
trace = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
service, task, tasks_listed = sys.argv[2], sys.argv[3], sys.argv[4] == "1"
lines = trace["registry"]
assert lines.count(service + "TwSvcPaint") == 1, lines
assert lines.count(service + "TwSvcPaintHelper") == 1, lines
assert service + "TwSvcPaintPro" not in lines, lines
assert not any(l.startswith(task + "Tidewell Svc Paint Pro") for l in lines), lines
if tasks_listed:
    assert lines.count(task + "Tidewell Svc Paint\\Update") == 1, lines
PY
if (( ! tasks_made )); then
  echo "SKIP: scheduled tasks: Wine's schtasks could not register the fixture's tasks here, so only the services were checked"
fi

# ---- The deletion.
status=0
run "$cli" uninstall "Tidewell Svc Paint" --delete-leftovers --yes >"$work/out.txt" 2>"$work/err.txt" || status=$?
(( status == 0 )) || fail "uninstall --delete-leftovers exited with $status"
python3 "$here/validate_cli_output.py" uninstall "$work/out.txt" || fail "the output does not match its schemas"
grep -q '"outcome":"complete"' "$work/out.txt" || fail "the deletion did not report complete"
python3 - "$work/out.txt" "$service_line" <<'PY' || fail "the report does not list the service as removed"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
assert sys.argv[2] + "TwSvcPaint" in report["removed_registry"], report
assert sys.argv[2] + "TwSvcPaintHelper" in report["removed_registry"], report
assert report["services_tasks_not_removed"] == [], report
PY
if quiet sc query TwSvcPaint; then fail "sc query still finds the program's service: $(cat "$work/quiet.log")"; fi
if quiet sc query TwSvcPaintHelper; then fail "sc query still finds the program's stopped service"; fi
if quiet reg query 'HKLM\System\CurrentControlSet\Services\TwSvcPaint'; then fail "the service's key is still there"; fi
[[ "$(state_of TwSvcPaintPro)" == RUNNING* ]] || fail "the neighbour's service was stopped or deleted"
quiet reg query 'HKLM\System\CurrentControlSet\Services\TwSvcPaintPro' /v ImagePath || fail "the neighbour's key was touched"
[[ ! -e "$folder" ]] || fail "left behind: $(find "$folder" | head -5 | tr '\n' ' ')"
[[ -f "$neighbour/twsvc.exe" ]] || fail "the neighbour's folder was touched"
# ---- The service comes back through the service control manager and
# starts, once its program is back (the Recycle Bin's Restore puts it back;
# here a copy of the same program).
record=$(python3 -c 'import json,sys; print([json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]["record_file"])' "$work/out.txt")
[[ -n "$record" ]] || fail "the deletion wrote no record"
mkdir -p "$folder"
cp "$neighbour/twsvc.exe" "$folder/twsvc.exe"
status=0
run "$cli" restore "$record" >"$work/out.txt" 2>"$work/err.txt" || status=$?
python3 "$here/validate_cli_output.py" restore "$work/out.txt" || fail "restore: the output does not match its schema"
python3 - "$work/out.txt" "$service_line" <<'PY' || fail "restore: the services did not come back"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
by_entry = {r["entry"]: r for r in report["services_tasks"]}
paint = by_entry[sys.argv[2] + "TwSvcPaint"]
assert paint["restored"] == 1 and paint["started"] == 1, paint
assert by_entry[sys.argv[2] + "TwSvcPaintHelper"]["restored"] == 1, by_entry
PY
[[ "$(state_of TwSvcPaint)" == RUNNING* ]] || fail "the restored service does not run: $(cat "$work/quiet.log")"
quiet sc query TwSvcPaintHelper || fail "the restored stopped service is unknown to the service control manager"
# Gone again, so that what follows finds the machine as the deletion left it.
quiet sc stop TwSvcPaint || true
for _ in $(seq 1 40); do [[ "$(state_of TwSvcPaint)" == STOPPED* ]] && break; sleep 0.5; done
quiet sc delete TwSvcPaint || fail "the restored service could not be deleted again"
quiet sc delete TwSvcPaintHelper || fail "the restored stopped service could not be deleted again"
rm -rf "$folder"

if (( tasks_listed )); then
  [[ ! -e "$own_task" ]] || fail "the program's task is still registered"
  [[ -f "$other_task" ]] || fail "the neighbour's task was deleted"
elif (( tasks_made )); then
  # The task's line from a pending list, as a resume reads it: deleted
  # through the Task Scheduler, the neighbour's task and the cache key of
  # the scheduler untouched.
  [[ -f "$own_task" ]] || fail "the program's task went, though no trace listed it"
  tool="$WINEPREFIX/drive_c/TwSvcTool"
  rm -rf "$tool"
  mkdir -p "$tool"
  cp "$cli" "$tool/tidewell-cli.exe"
  state() { printf '\xEF\xBB\xBF'; local line; for line in "$@"; do printf '%s\r\n' "$line"; done; }
  state 'Tidewell Svc Paint' 'Tidewell Fixtures' >"$tool/SIConfig.txt"
  state '1' >"$tool/SLF_TY.txt"
  : >"$tool/SLF_FL.txt"
  : >"$tool/SLF_FI.txt"
  state "${task_line}Tidewell Svc Paint\Update" "${task_line%\\}" >"$tool/SLF_RG.txt"
  status=0
  run "$tool/tidewell-cli.exe" pending --delete --yes >"$work/out.txt" 2>"$work/err.txt" || status=$?
  # Complete, or incomplete when the refused cache key exists in this prefix.
  (( status == 0 || status == 1 )) || fail "pending --delete exited with $status"
  python3 "$here/validate_cli_output.py" pending-delete "$work/out.txt" || fail "the output does not match its schema"
  [[ ! -e "$own_task" ]] || fail "pending --delete: the program's task is still registered"
  [[ -f "$other_task" ]] || fail "pending --delete: the neighbour's task was deleted"
  python3 - "$work/out.txt" "$task_line" <<'PY' || fail "pending --delete: wrong report"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
task = sys.argv[2]
assert task + "Tidewell Svc Paint\\Update" in report["removed_registry"], report
assert task.rstrip("\\") in report["refused_registry"], report
PY
  # The task comes back registered, from its saved XML.
  record=$(python3 -c 'import json,sys; print([json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]["record_file"])' "$work/out.txt")
  status=0
  run "$tool/tidewell-cli.exe" restore "$record" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  python3 - "$work/out.txt" "$task_line" <<'PY' || fail "restore: the task did not come back"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
restored = [r for r in report["services_tasks"] if r["entry"] == sys.argv[2] + "Tidewell Svc Paint\\Update"]
assert restored and restored[0]["restored"] == 1, report
PY
  [[ -f "$own_task" ]] || fail "restore: the task's definition is not in the scheduler's folder"
  echo "SKIP: running the restored task: Wine $wine_major's Task Scheduler does not run or list tasks; its registration is checked through the scheduler's own file"
  rm -rf "$tool"
fi
# ---- A pending list edited to name the neighbour's service, whose program
# still lies in the neighbour's folder and in none of the listed ones: the
# deletion refuses it, and the service keeps running.
tool="$WINEPREFIX/drive_c/TwSvcEdited"
rm -rf "$tool"
mkdir -p "$tool"
cp "$cli" "$tool/tidewell-cli.exe"
lines() { printf '\xEF\xBB\xBF'; local line; for line in "$@"; do printf '%s\r\n' "$line"; done; }
lines 'Tidewell Svc Paint' 'Tidewell Fixtures' >"$tool/SIConfig.txt"
lines '1' >"$tool/SLF_TY.txt"
: >"$tool/SLF_FI.txt"
lines 'C:\Program Files\Tidewell Svc Paint' >"$tool/SLF_FL.txt"
lines "${service_line}TwSvcPaintPro" >"$tool/SLF_RG.txt"
status=0
run "$tool/tidewell-cli.exe" pending --delete --yes >"$work/out.txt" 2>"$work/err.txt" || status=$?
(( status == 0 || status == 1 )) || fail "pending --delete of an edited list exited with $status"
[[ "$(state_of TwSvcPaintPro)" == RUNNING* ]] || fail "an edited pending list stopped or deleted the neighbour's service"
python3 - "$work/out.txt" "$service_line" <<'PY' || fail "pending --delete: the neighbour's service is not refused"
import json, sys
report = [json.loads(l) for l in open(sys.argv[1], encoding="utf-8") if l.strip()][-1]
assert sys.argv[2] + "TwSvcPaintPro" in report["refused_registry"], report
PY
rm -rf "$tool"

tw_log "service and task found and removed through their managers; the neighbour's kept"
