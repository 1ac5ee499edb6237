#!/usr/bin/env bash
# Builds the benchmarks natively and for x86_64 Windows, runs the native ones
# on the simulated machine and the Windows ones under Wine, in a fresh 64-bit
# prefix of their own (build/win64/bench-prefix) so that the test prefix stays
# as it is. Prints the figures; fails only when a build or a run fails.
#   bench/run.sh [native|wine]... [inventory|trace]... [-- BENCHMARK OPTIONS]
# Without a run both run, without a benchmark both benchmarks. Options are
# passed to every benchmark run; each takes the ones it knows (--repeats N for
# both; --entries N, --classes N for the inventory; --folders N, --files N,
# --clsids N, --interfaces N, --typelibs N, --classes N for the trace).
# Without options the native runs take the best of 5, the Wine runs of 3.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

runs=()
benches=()
options=()
while (( $# )); do
  case "$1" in
    --) shift; options=("$@"); break ;;
    native|wine) runs+=("$1") ;;
    inventory|trace) benches+=("$1") ;;
    *) tw_die "unknown argument '$1' (native, wine, inventory or trace)" ;;
  esac
  shift
done
(( ${#runs[@]} )) || runs=(native wine)
(( ${#benches[@]} )) || benches=(inventory trace)
has_run() { [[ " ${runs[*]} " == *" $1 "* ]]; }
targets=()
for bench in "${benches[@]}"; do targets+=("tw_bench_$bench"); done

if has_run native; then
  "$TW_ROOT/scripts/build.sh" native -- "${targets[@]}"
  for target in "${targets[@]}"; do
    echo
    if (( ${#options[@]} )); then
      "$TW_ROOT/build/native/bench/$target" "${options[@]}"
    else
      "$TW_ROOT/build/native/bench/$target" --repeats 5
    fi
    echo
  done
fi

if has_run wine; then
  "$TW_ROOT/scripts/build.sh" win64 -- "${targets[@]}"
  prefix="$TW_ROOT/build/win64/bench-prefix"
  # The trace benchmark saves thousands of shell links; Wine would start its
  # menu builder for each, which writes menu entries for the host.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=};winemenubuilder.exe=d"
  trap tw_wine_stop EXIT
  tw_wine_fresh_prefix "$prefix"
  for target in "${targets[@]}"; do
    exe="$TW_ROOT/build/win64/bench/$target.exe"
    echo
    if (( ${#options[@]} )); then
      "$TW_ROOT/scripts/wine-run.sh" "$exe" "${options[@]}"
    else
      "$TW_ROOT/scripts/wine-run.sh" "$exe" --repeats 3
    fi
  done
fi
