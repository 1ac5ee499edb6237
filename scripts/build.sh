#!/usr/bin/env bash
# Configures and builds one or more build folders with Ninja:
#   native  build/native  Linux g++, the simulated machine
#   win32   build/win32   MinGW-w64 i686: tidewell.exe as shipped, and its tests
#   win64   build/win64   MinGW-w64 x86_64: the same sources, for 64-bit Wine
# Usage: scripts/build.sh [native|win32|win64|all]... [-- TARGET...]
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

folders=()
targets=()
while (( $# )); do
  case "$1" in
    --) shift; targets=("$@"); break ;;
    all) folders+=(native win32 win64) ;;
    native|win32|win64) folders+=("$1") ;;
    *) tw_die "unknown build folder '$1' (native, win32, win64 or all)" ;;
  esac
  shift
done
(( ${#folders[@]} )) || folders=(native win32 win64)

jobs=${TIDEWELL_JOBS:-2}
build_type=${TIDEWELL_BUILD_TYPE:-Release}
# A compiler cache where the host has one (it is not installed by the set-up).
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

for folder in "${folders[@]}"; do
  case "$folder" in
    native) toolchain=() ;;
    win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/toolchain-mingw-i686.cmake") ;;
    win64) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/toolchain-mingw-x86_64.cmake") ;;
  esac
  dir="$TW_ROOT/build/$folder"
  started=$(date +%s.%N)
  cmake -S "$TW_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${toolchain[@]}" "${launcher[@]}" >/dev/null
  ninja -C "$dir" -j "$jobs" "${targets[@]}"
  tw_log "built $folder in $(tw_seconds_since "$started") s"
done
