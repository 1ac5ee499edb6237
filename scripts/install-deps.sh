#!/usr/bin/env bash
# Installs the Debian packages that the builds and the Wine bench need, and
# does nothing when all of them are present. Runs as root (or through sudo).
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

packages=(
  cmake ninja-build g++ file
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386
  xvfb nsis wixl googletest imagemagick python3
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$package")
  fi
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

if (( ${#missing[@]} == 0 && need_i386 == 0 )); then
  tw_log "all packages present"
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || tw_die "missing packages (${missing[*]}) and not root"
  sudo=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
if (( need_i386 )); then
  tw_log "adding the i386 architecture (for wine32)"
  "${sudo[@]}" dpkg --add-architecture i386
fi
tw_log "installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
