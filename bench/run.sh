#!/usr/bin/env bash
# Builds the benchmarks natively and for x86_64 Windows, runs the native one
# on the simulated machine and the Windows one under Wine, in a fresh 64-bit
# prefix of its own (build/win64/bench-prefix) so that the test prefix stays
# as it is. Prints the figures; fails only when a build or a run fails.
#   bench/run.sh [native|wine]... [-- BENCHMARK OPTIONS]
# Options are passed to both runs (--repeats N, --entries N, --classes N);
# without them the native run takes the best of 5, the Wine run of 3.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

runs=()
options=()
while (( $# )); do
  case "$1" in
    --) shift; options=("$@"); break ;;
    native|wine) runs+=("$1") ;;
    *) tw_die "unknown run '$1' (native or wine)" ;;
  esac
  shift
done
(( ${#runs[@]} )) || runs=(native wine)
has_run() { [[ " ${runs[*]} " == *" $1 "* ]]; }

if has_run native; then
  "$TW_ROOT/scripts/build.sh" native -- tw_bench_inventory
  echo
  if (( ${#options[@]} )); then
    "$TW_ROOT/build/native/bench/tw_bench_inventory" "${options[@]}"
  else
    "$TW_ROOT/build/native/bench/tw_bench_inventory" --repeats 5
  fi
  echo
fi

if has_run wine; then
  "$TW_ROOT/scripts/build.sh" win64 -- tw_bench_inventory
  exe="$TW_ROOT/build/win64/bench/tw_bench_inventory.exe"
  prefix="$TW_ROOT/build/win64/bench-prefix"
  trap tw_wine_stop EXIT
  tw_wine_fresh_prefix "$prefix"
  echo
  if (( ${#options[@]} )); then
    "$TW_ROOT/scripts/wine-run.sh" "$exe" "${options[@]}"
  else
    "$TW_ROOT/scripts/wine-run.sh" "$exe" --repeats 3
  fi
fi
