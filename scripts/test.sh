#!/usr/bin/env bash
# Builds all three folders and runs every test: the native suite with ctest
# (also built with AddressSanitizer and UndefinedBehaviorSanitizer, in
# build/native-asan), then the Windows suites with ctest under Wine (x86_64 always, i686 where this
# host can run 32-bit programs), each in a fresh 64-bit prefix. Also checks
# that the shipped tidewell.exe is a 32-bit GUI program with its manifest and
# version record, and the x64 build's likewise. Runs every suite even when one fails; exits non-zero when
# anything failed.
set -uo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

"$TW_ROOT/scripts/install-deps.sh" || tw_die "installing the packages failed"

failures=()
summaries=()
fail() { failures+=("$1"); tw_log "FAILED: $1"; }

# ---- Builds ------------------------------------------------------------------
built=()
for folder in native native-asan win32 win64; do
  if "$TW_ROOT/scripts/build.sh" "$folder"; then built+=("$folder"); else fail "build of $folder"; fi
done
is_built() { [[ " ${built[*]} " == *" $1 "* ]]; }

# ---- The shipped executables ------------------------------------------------
# Both builds ship: the 32-bit one (build/win32) runs on every Windows, the
# x64 one (build/win64) natively on 64-bit Windows. Each folder's tidewell.exe
# must be a GUI program and tidewell-cli.exe a console program of its
# architecture, each with its manifest and version record.
check_product() {
  local folder=$1 kind=$2 windres=$3 name exe description resources wanted subsystem level
  for name in tidewell tidewell-cli; do
    exe="$TW_ROOT/build/$folder/app/$name.exe"
    [[ -f "$exe" ]] || { fail "no $exe"; return; }
    if [[ $name == tidewell ]]; then subsystem=GUI level=requireAdministrator; else subsystem=console level=asInvoker; fi
    description=$(file -b "$exe")
    [[ "$description" == "$kind ($subsystem) "* ]] || { fail "$folder $name.exe is '$description'"; return; }
    resources=$("$windres" -i "$exe" -J coff -O rc 2>/dev/null) || { fail "cannot read the resources of $folder $name.exe"; return; }
    for wanted in 'RT_MANIFEST' "$level" '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a' 'VERSIONINFO' \
                  '"ProductVersion", "0.1.0.0"'; do
      grep -qF -- "$wanted" <<<"$resources" || { fail "$folder $name.exe resources lack $wanted"; return; }
    done
    if [[ $name == tidewell ]]; then
      for wanted in 'Microsoft.Windows.Common-Controls' 'PerMonitorV2'; do
        grep -qF -- "$wanted" <<<"$resources" || { fail "$folder $name.exe resources lack $wanted"; return; }
      done
    fi
    tw_log "$folder $name.exe: $description; manifest and version record embedded"
  done
}
if is_built win32; then check_product win32 "PE32 executable" i686-w64-mingw32-windres; fi
if is_built win64; then check_product win64 "PE32+ executable" x86_64-w64-mingw32-windres; fi

# ---- Suites -------------------------------------------------------------------
# Runs ctest in a build folder, keeps its summary line.
run_ctest() {
  local label=$1 dir=$2 log started summary
  log="$dir/ctest.log"
  started=$(date +%s.%N)
  (cd "$dir" && ctest --output-on-failure -j "${TIDEWELL_JOBS:-2}" 2>&1) | tee "$log"
  local status=${PIPESTATUS[0]}
  summary=$(grep -E 'tests passed|No tests were found' "$log" | tail -1)
  [[ -n "$summary" ]] || summary="no summary (ctest exited with $status)"
  summaries+=("$label: $summary ($(tw_seconds_since "$started") s)")
  (( status == 0 )) || fail "$label suite"
}

run_wine_suite() {
  local label=$1 folder=$2
  tw_wine_stop_all --remove "$TW_ROOT/build/$folder"
  tw_wine_fresh_prefix "$TW_ROOT/build/$folder/wineprefix"
  run_ctest "$label" "$TW_ROOT/build/$folder"
  tw_wine_stop
  tw_wine_stop_all "$TW_ROOT/build/$folder"
  unset WINEPREFIX
}

if is_built native; then run_ctest "native" "$TW_ROOT/build/native"; fi
if is_built native-asan; then
  # Any finding ends its test with a failure; leaks count as findings.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest "native (ASan, UBSan)" "$TW_ROOT/build/native-asan"
fi

cleanup() {
  tw_wine_stop
  tw_xvfb_stop
}
trap cleanup EXIT
tw_xvfb_start

if is_built win64; then run_wine_suite "win64 (Wine, x86_64)" win64; fi
if tw_can_run_32bit; then
  if is_built win32; then run_wine_suite "win32 (Wine, i686)" win32; fi
else
  tw_log "i686 suite skipped: this host cannot run 32-bit programs (the i686 build is still made and checked)"
fi

echo
for summary in "${summaries[@]}"; do echo "$summary"; done
if (( ${#failures[@]} )); then
  echo "FAILED: ${failures[*]}"
  exit 1
fi
echo "all tests passed"
