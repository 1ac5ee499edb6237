#!/usr/bin/env bash
# Configures and builds one or more build folders with Ninja:
#   native  build/native  Linux g++, the simulated machine
#   win32   build/win32   MinGW-w64 i686: tidewell.exe as shipped, and its tests
#   win64   build/win64   MinGW-w64 x86_64: the same sources, for 64-bit Wine
#   native-asan  build/native-asan  the native tests with AddressSanitizer and
#           UndefinedBehaviorSanitizer (only the test executables are built)
# Usage: scripts/build.sh [native|native-asan|win32|win64|all]... [-- TARGET...]
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

folders=()
targets=()
while (( $# )); do
  case "$1" in
    --) shift; targets=("$@"); break ;;
    all) folders+=(native win32 win64) ;;
    native|native-asan|win32|win64) folders+=("$1") ;;
    *) tw_die "unknown build folder '$1' (native, native-asan, win32, win64 or all)" ;;
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
  # Paths relative to the tree, so that clones in other folders share it.
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$TW_ROOT}
fi

for folder in "${folders[@]}"; do
  folder_targets=("${targets[@]}")
  case "$folder" in
    native) toolchain=() ;;
    native-asan)
      sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
      toolchain=(-DCMAKE_CXX_FLAGS="$sanitize" -DCMAKE_C_FLAGS="$sanitize"
                 -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined")
      (( ${#folder_targets[@]} )) || folder_targets=(tw_native_tests tw_conformance)
      ;;
    win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/toolchain-mingw-i686.cmake") ;;
    win64) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$TW_ROOT/cmake/toolchain-mingw-x86_64.cmake") ;;
  esac
  dir="$TW_ROOT/build/$folder"
  started=$(date +%s.%N)
  cmake -S "$TW_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${toolchain[@]}" "${launcher[@]}" >/dev/null
  ninja -C "$dir" -j "$jobs" "${folder_targets[@]}"
  tw_log "built $folder in $(tw_seconds_since "$started") s"
done
