#!/usr/bin/env bash
# Install tracking on the real API, end to end: a real NSIS installer (built
# here with makensis) run through `tidewell-cli install --quiet` in a fresh
# prefix of its own. The install record in the Tracked folder beside the
# program holds the installer's folder and files, its settings key and
# uninstall entry (tied to the record), the value it changed and the one it
# deleted with their old data, and nothing from before the install; a second
# install while one is tracked is refused. The output matches its schema.
#
# Usage: check_cli_install.sh tidewell-cli.exe PAYLOAD.exe  (WINEPREFIX: the prefix to make)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/wine/cli_check_prelude.sh
source "$here/cli_check_prelude.sh"
[[ $# -eq 2 ]] || tw_die "usage: check_cli_install.sh tidewell-cli.exe PAYLOAD.exe"
payload=$2
tw_cli_check_start check_cli_install.sh "the tracked install" "$1"
command -v makensis >/dev/null || tw_die "makensis is not installed (Debian package nsis)"
fail() { cat "$work/out.txt" "$work/err.txt" >&2 2>/dev/null || true; tw_die "$*"; }

tw_wine_fresh_prefix "$WINEPREFIX"
trap 'tw_wine_stop; rm -rf "$work" "$XDG_DATA_HOME"' EXIT
drive="$WINEPREFIX/drive_c"
tool="$drive/TwInstallTool"
mkdir -p "$tool"
cp "$cli" "$tool/tidewell-cli.exe"
cp "$payload" "$work/payload.exe"
makensis -V2 -DPAYLOAD="$work/payload.exe" -DOUTFILE="$tool/tracked-setup.exe" "$here/../fixtures/tracked.nsi" \
  >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; tw_die "makensis tracked.nsi failed"; }
quiet reg add 'HKCU\Software\TidewellTrackedShared' /v Mode /d before /f || fail "reg add Mode failed"
quiet reg add 'HKCU\Software\TidewellTrackedShared' /v Old /d gone /f || fail "reg add Old failed"

status=0
run "$tool/tidewell-cli.exe" install --quiet 'C:\TwInstallTool\tracked-setup.exe' >"$work/out.txt" 2>"$work/err.txt" ||
  status=$?
[[ $status -eq 0 ]] || fail "install exited with $status"
python3 "$here/validate_cli_output.py" install "$work/out.txt" >&2 || fail "the install output does not match its schema"
[[ -f "$drive/Program Files/Tidewell Fixture Tracked/bin/tracked.exe" ]] || fail "the installer did not install"

python3 - "$work/out.txt" "$drive" "$work/record-path" <<'PY' || fail "the install record is not what the installer did"
import json, sys
line = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
assert line["outcome"] == "recorded" and line["kind"] == "nsis", line
assert line["command"].endswith(" /S"), line
record_path = line["record"]
assert record_path.upper().startswith("C:\\TWINSTALLTOOL\\TRACKED\\"), record_path
unix = sys.argv[2] + "/" + record_path[3:].replace("\\", "/")
record = json.load(open(unix, encoding="utf-8"))
open(sys.argv[3], "w").write(unix)
def texts(items, key): return [item[key] for item in items]
created = texts(record["created_files"], "path")
folder = "C:\\Program Files\\Tidewell Fixture Tracked"
assert folder in created, created
# A created folder comes before what it holds; each file is listed.
assert created.index(folder) < created.index(folder + "\\bin\\tracked.exe"), created
assert folder + "\\uninst.exe" in created, created
keys = {(e["line"], e["view"]) for e in record["created_keys"]}
entry = "HKLM|SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TidewellFixtureTracked"
assert (entry, 64) in keys, keys
assert ("HKLM|SOFTWARE\\Tidewell Fixture Tracked", 64) in keys, keys
assert [t["text"] for t in record["uninstall_entries"]] == [entry], record["uninstall_entries"]
def utf16(text): return (text + "\0").encode("utf-16-le").hex()
changed = {e["line"]: e for e in record["changed_values"]}
mode = changed.get("HKCU|Software\\TidewellTrackedShared|Mode")
assert mode and mode["old_type"] == 1 and mode["old_data"] == utf16("before"), changed
deleted = {e["line"]: e for e in record["deleted_values"]}
old = deleted.get("HKCU|Software\\TidewellTrackedShared|Old")
assert old and old["old_data"] == utf16("gone"), deleted
# Nothing from before the install, nothing of Tidewell's own tool folder but
# the Tracked folder's lock is gone.
assert not any(p.upper().startswith("C:\\TWINSTALLTOOL\\TRACKED\\INSTALL.LOCK") for p in created), created
PY
python3 "$here/validate_cli_output.py" install-record "$(cat "$work/record-path")" >&2 ||
  fail "the install record does not match its schema"

cp "$work/out.txt" "$work/first.txt"

# One install at a time: a lock left in Tracked refuses the next.
printf 'tracking an install\r\n' >"$tool/Tracked/install.lock"
status=0
run "$tool/tidewell-cli.exe" install --quiet 'C:\TwInstallTool\tracked-setup.exe' >"$work/out.txt" 2>"$work/err.txt" ||
  status=$?
[[ $status -eq 1 ]] || fail "a second tracked install was not refused (exit $status)"
grep -q "another install is being tracked" "$work/err.txt" || fail "the refusal does not say why"
tw_log "install tracking checked (the two snapshots took $(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["snapshot_seconds"])' "$work/first.txt") s)"
