#!/usr/bin/env bash
# Runs one Windows executable under Wine, passing its arguments and exit code
# through: ctest's emulator for the MinGW builds.
#
# The prefix is $WINEPREFIX when set (the test command sets a fresh one), else
# "wineprefix" in the build folder that holds the executable.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

[[ $# -ge 1 ]] || tw_die "usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]"
exe=$1
shift

# The prefix is made on first use; ctest may start several tests at once, and
# one of them makes it while the others wait on a lock beside it.
tw_use_prefix "$exe"
tw_prefix_ready

case "$(tw_pe_machine "$exe")" in
  i386)
    loader=$(tw_find_wine32) || tw_die "no 32-bit Wine loader for $exe"
    ;;
  *)
    loader=$(tw_find_wine64) || tw_die "no 64-bit Wine loader for $exe"
    ;;
esac

# The output goes through files: processes that Wine starts on the way (its
# services, the desktop) inherit the standard handles and outlive the program,
# and a pipe held open by them would keep ctest waiting for its end.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$loader" "$exe" "$@" </dev/null >"$out" 2>"$err" || status=$?
# Once in a full run (of a test that had printed its success), the loader was
# ended by SIGKILL from outside while the program ended; the sender was not
# found. Such a run says nothing of the program: it runs once more, and says so.
if (( status == 137 )); then
  echo "[wine-run] $exe was killed (SIGKILL) from outside; running it once more" >&2
  status=0
  "$loader" "$exe" "$@" </dev/null >"$out" 2>"$err" || status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
