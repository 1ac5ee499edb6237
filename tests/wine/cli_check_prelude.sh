# Sourced by the check_cli_*.sh scripts that drive the real tidewell-cli.exe
# in a fixture's prefix: the common start and the helpers they share.
#
#   source "$here/cli_check_prelude.sh"
#   tw_cli_check_start check_x.sh "what the prefix must hold" "$@"
#
# sets cli (the one argument), wine64, work (a folder removed on exit, with
# the trash beside the prefix that tw_wine_env set up), and defines run,
# quiet, query and recorded.
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"

tw_cli_check_start() {
  local script=$1 prefix_holds=$2
  shift 2
  [[ $# -eq 1 ]] || tw_die "usage: $script tidewell-cli.exe"
  cli=$1
  [[ -n "${WINEPREFIX:-}" ]] || tw_die "set WINEPREFIX to the prefix of $prefix_holds"
  tw_wine_env "$WINEPREFIX"
  wine64=$(tw_find_wine64) || tw_die "no 64-bit Wine loader found"
  work=$(mktemp -d)
  trap 'rm -rf "$work" "$XDG_DATA_HOME"' EXIT
  rm -rf "$XDG_DATA_HOME"
  mkdir -p "$XDG_DATA_HOME"
}

run() { "$TW_ROOT/scripts/wine-run.sh" "$@"; }
# A Windows program of the prefix, its output kept in $work/quiet.log.
quiet() { "$wine64" "$@" </dev/null >"$work/quiet.log" 2>&1 8>&-; }
query() { "$wine64" reg query "$@" </dev/null 2>/dev/null 8>&- | tr -d '\r'; }
# A key's or value's text for a comparison, or a line saying it is missing.
recorded() { query "$@" || echo "missing: $*"; }

# `uninstall NAME --quiet --delete-leftovers --yes`, its output checked
# against its schema and its last line for a finished uninstall and a
# complete deletion; further Python assertions on that line (named `line`)
# come on standard input. Failures go to the caller's fail.
tw_quiet_removal() {
  local name=$1 status=0
  run "$cli" uninstall "$name" --quiet --delete-leftovers --yes >"$work/out.txt" 2>"$work/err.txt" || status=$?
  cat "$work/out.txt"
  (( status == 0 )) || fail "the quiet uninstall exited with $status: $(cat "$work/err.txt")"
  python3 "$TW_ROOT/tests/wine/validate_cli_output.py" quiet-uninstall "$work/out.txt" ||
    fail "the output does not match its schema"
  python3 -c '
import json, sys
line = json.loads(open(sys.argv[1], encoding="utf-8").read().splitlines()[-1])
assert line["outcome"] == "done", line
assert line["leftovers"]["outcome"] == "complete", line
exec(sys.stdin.read())
' "$work/out.txt" || fail "the uninstall of $name or its leftovers' deletion is wrong"
}
