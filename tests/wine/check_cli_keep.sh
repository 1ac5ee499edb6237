#!/usr/bin/env bash
# What the user keeps survives on the real API, end to end with
# tidewell-cli.exe run from a folder of its own in the prefix:
#   - force-remove --dry-run prints the plan (keep, delete, with reasons) and
#     changes nothing;
#   - a pending uninstall whose user kept a file inside the ticked program
#     folder: `pending` shows it, `pending --delete --yes` deletes around the
#     kept file, stays pending for an entry the guard refuses, saves the kept
#     file as kept again, and a retry keeps it once more;
#   - the state files are rewritten whole (no temporary file is left).
# Needs no fixture programs.
#
# Usage: check_cli_keep.sh tidewell-cli.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/lib.sh
source "$here/../../scripts/lib.sh"

[[ $# -eq 1 ]] || tw_die "usage: check_cli_keep.sh tidewell-cli.exe"
cli=$1
[[ -f "$cli" ]] || tw_die "no $cli"
# The test command's prefix, else the build folder's, as wine-run.sh picks it.
tw_use_prefix "$cli"
tw_prefix_ready
[[ -d "$WINEPREFIX/drive_c" ]] || tw_die "no prefix at $WINEPREFIX"

drive="$WINEPREFIX/drive_c"
app="$drive/TwKeep/App"
tool="$drive/TwKeepTool"
work=$(mktemp -d)
cleanup() { [[ -n "${TW_KEEP_DEBUG:-}" ]] && cat "$work/out.txt" >&2; rm -rf "$work" "$drive/TwKeep" "$tool"; }
trap cleanup EXIT
fail() { cat "$work/out.txt" "$work/err.txt" >&2 2>/dev/null || true; tw_die "$*"; }
run() {
  local status=0
  "$TW_ROOT/scripts/wine-run.sh" "$tool/tidewell-cli.exe" "$@" >"$work/out.txt" 2>"$work/err.txt" </dev/null || status=$?
  return $status
}

rm -rf "$drive/TwKeep" "$tool"
mkdir -p "$app/data" "$tool"
cp "$cli" "$tool/tidewell-cli.exe"
echo a >"$app/a.dll"
echo k >"$app/data/keep.ini"
echo b >"$app/data/b.dat"

# ---- A dry run changes nothing.
run force-remove 'C:\TwKeep\App' --dry-run --keep 'C:\TwKeep\App\data\keep.ini' || fail "the dry run failed"
grep -q '"dry_run":1' "$work/out.txt" || fail "no plan printed"
grep -q '"entry":"C:\\\\TwKeep\\\\App\\\\data\\\\keep.ini","kind":"file","action":"keep","reason":"kept by the user"' \
  "$work/out.txt" || fail "the kept file is not planned as kept"
grep -q '"action":"delete"' "$work/out.txt" || fail "nothing planned for deletion"
validate() { python3 "$here/validate_cli_output.py" "$1" "$work/out.txt" >&2 || fail "$1 output does not match its schema"; }
validate force-remove
[[ -f "$app/a.dll" && -f "$app/data/keep.ini" && -f "$app/data/b.dat" ]] || fail "the dry run deleted something"
[[ ! -e "$tool/SLF_FI.txt" ]] || fail "the dry run wrote a state"

# ---- A pending uninstall, as the window saves it: UTF-8 with its mark, CR LF.
state() { printf '\xEF\xBB\xBF'; local line; for line in "$@"; do printf '%s\r\n' "$line"; done; }
state 'Keep App' 'Vendor' >"$tool/SIConfig.txt"
state '0' >"$tool/SLF_TY.txt"
# The system folder is refused by the guard and stays, so the uninstall
# stays pending.
state 'C:\TwKeep\App' 'C:\windows\system32' >"$tool/SLF_FL.txt"
state 'C:\TwKeep\App\a.dll' 'C:\TwKeep\App\data\keep.ini' >"$tool/SLF_FI.txt"
: >"$tool/SLF_RG.txt"
state 'C:\TwKeep\App\data\keep.ini' >"$tool/SLF_KP.txt"

run pending || fail "pending did not show the uninstall"
grep -q '"name":"Keep App"' "$work/out.txt" || fail "pending shows another name"
validate pending

for attempt in first retry; do
  status=0
  run pending --delete --yes || status=$?
  (( status == 1 )) || fail "$attempt: expected an incomplete deletion (exit 1), got $status"
  grep -q '"outcome":"incomplete"' "$work/out.txt" || fail "$attempt: not reported incomplete"
  validate pending-delete
  grep -q '"state_saved":1' "$work/out.txt" || fail "$attempt: the state was not saved again"
  grep -q '"refused_paths":\["C:\\\\windows\\\\system32"\]' "$work/out.txt" ||
    fail "$attempt: the refused entry is not reported"
  [[ -f "$app/data/keep.ini" ]] || fail "$attempt: the kept file was deleted"
  [[ ! -e "$app/a.dll" && ! -e "$app/data/b.dat" ]] || fail "$attempt: ticked files are still there"
  [[ -f "$drive/windows/system32/kernel32.dll" ]] || fail "$attempt: the system folder was touched"
  grep -q 'keep.ini' "$tool/SLF_KP.txt" || fail "$attempt: the kept file is no longer saved as kept"
  ls "$tool" | grep -q '\.new$' && fail "$attempt: a temporary state file was left behind"
  tail -c 2 "$tool/SLF_FL.txt" | od -An -tx1 | grep -q '0d 0a' || fail "$attempt: SLF_FL.txt not ended by CR LF"
done

# ---- Links (host symbolic links, directory reparse points under Wine): a
# file kept through a link in the program's folder survives, and so does a
# folder of the user's that a link in the program's folder leads to; the
# program's own files go.
app2="$drive/TwKeep/App2"
mkdir -p "$app2/data" "$drive/TwKeep/UserData"
echo k >"$app2/data/keep.ini"
echo b >"$app2/data/b.dat"
echo a >"$app2/a.dll"
echo m >"$drive/TwKeep/UserData/mine.doc"
ln -sfn data "$app2/current"
ln -sfn ../UserData "$app2/userdata"
rm -f "$tool"/SLF_*.txt "$tool/SIConfig.txt"
status=0
run force-remove 'C:\TwKeep\App2' --yes --keep 'C:\TwKeep\App2\current\keep.ini' || status=$?
[[ -f "$app2/data/keep.ini" ]] || fail "links: the file kept through a link was deleted"
[[ -f "$drive/TwKeep/UserData/mine.doc" ]] || fail "links: the user's folder behind a link lost its file"
[[ ! -e "$app2/a.dll" && ! -e "$app2/data/b.dat" ]] || fail "links: the program's own files are still there"
for attempt in retry resume; do
  args=(pending --delete --yes)
  [[ $attempt == retry ]] && args+=(--keep 'C:\TwKeep\App2\current\keep.ini')
  if [[ -f "$tool/SLF_FL.txt" || -f "$tool/SLF_FI.txt" ]]; then run "${args[@]}" || true; fi
  [[ -f "$app2/data/keep.ini" ]] || fail "links: $attempt deleted the file kept through a link"
  [[ -f "$drive/TwKeep/UserData/mine.doc" ]] || fail "links: $attempt deleted the user's file behind a link"
done

# ---- Registry lines naming Windows' own configuration, as a hand-edited
# list may: no key or value of the system hive or of a user's Control Panel
# goes, while a service goes through the service control manager.
reg_() { "$TW_ROOT/scripts/wine-run.sh" reg "$@" </dev/null >/dev/null 2>&1; }
probes=('HKLM\System\ControlSet001\Control\TwProbe' 'HKLM\System\CurrentControlSet\Enum\TwProbe'
  'HKCU\Control Panel\TwProbe')
for key in "${probes[@]}"; do reg_ add "$key" /v Marker /d kept /f || fail "could not create $key"; done
reg_ add 'HKLM\System\CurrentControlSet\Control' /v TwProbeValue /d kept /f || fail "could not set a value"
# A service the service control manager knows (a key written by hand is read
# only when Windows starts, and the deletion never deletes it as a key).
"$TW_ROOT/scripts/wine-run.sh" sc create TwProbeSvc binPath= 'C:\TwProbe\probe.exe' </dev/null >/dev/null 2>&1 ||
  fail "could not create a service"
# And a value kept inside a ticked key, the kept line spelled with doubled
# backslashes as an escaped text holds it.
reg_ add 'HKCU\Software\TwKeepV\App' /v Keep /d k /f || fail "could not set a kept value"
reg_ add 'HKCU\Software\TwKeepV\App' /v Other /d o /f || fail "could not set a value"
rm -f "$tool"/SLF_*.txt
state 'Probe App' 'Vendor' >"$tool/SIConfig.txt"
state '1' >"$tool/SLF_TY.txt"
: >"$tool/SLF_FL.txt"
: >"$tool/SLF_FI.txt"
state 'HKLM|SYSTEM\ControlSet001\Control\TwProbe' 'HKLM|SYSTEM\CurrentControlSet\Enum\TwProbe|Marker' \
  'HKLM|SYSTEM\CurrentControlSet\Control|TwProbeValue' 'HKCU|Control Panel\TwProbe' \
  'HKLM|SYSTEM\CurrentControlSet\Services\TwProbeSvc' 'HKCU|Software\TwKeepV\App' >"$tool/SLF_RG.txt"
status=0
run pending --delete --yes --keep 'HKCU|Software\\TwKeepV\\App\\|Keep' || status=$?
(( status == 1 )) || fail "registry: expected an incomplete deletion (exit 1), got $status"
for key in "${probes[@]}"; do
  reg_ query "$key" /v Marker || fail "registry: $key lost its value"
done
reg_ query 'HKLM\System\CurrentControlSet\Control' /v TwProbeValue || fail "registry: a value of Control was deleted"
reg_ query 'HKLM\System\CurrentControlSet\Services\TwProbeSvc' && fail "registry: the service is still there"
reg_ query 'HKCU\Software\TwKeepV\App' /v Keep || fail "registry: the kept value inside the ticked key was deleted"
reg_ query 'HKCU\Software\TwKeepV\App' /v Other && fail "registry: the ticked key's other value is still there"
reg_ delete 'HKCU\Software\TwKeepV' /f || true
for key in "${probes[@]}"; do reg_ delete "$key" /f || true; done
reg_ delete 'HKLM\System\CurrentControlSet\Control' /v TwProbeValue /f || true

tw_log "dry run changed nothing; the kept file survived pending --delete and its retry; Windows' configuration keys survived"
