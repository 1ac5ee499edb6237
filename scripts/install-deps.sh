#!/usr/bin/env bash
# Installs the Debian packages that the builds and the Wine bench need, and
# does nothing when all of them are present. Runs as root (or through sudo).
#
# What this host can use is decided before anything is installed: the i386
# architecture and wine32 only where the kernel runs 32-bit programs, which is
# found out by running a tiny i386 program (tw_host_runs_i386). Elsewhere the
# architecture is never added and wine32 never asked for.
#
# A failing `apt-get update` (one index mid-sync on its mirror, say) is retried
# a few times and then does not stop the set-up by itself: the packages may
# well be installable from the other indices. Only a failed install stops it,
# naming the packages that could not be installed.
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

packages=(
  cmake ninja-build g++ file
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb nsis wixl googletest imagemagick python3
  nlohmann-json3-dev python3-jsonschema
)
runs_i386=0
if tw_host_runs_i386; then
  runs_i386=1
  packages+=(wine32:i386)
fi

is_installed() {
  dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed$'
}
missing_packages() {
  local package
  for package in "$@"; do is_installed "$package" || printf '%s\n' "$package"; done
}

mapfile -t missing < <(missing_packages "${packages[@]}")
need_i386=0
if (( runs_i386 )) && ! dpkg --print-foreign-architectures | grep -qx i386; then need_i386=1; fi

if (( ${#missing[@]} == 0 && need_i386 == 0 )); then
  tw_log "all packages present"
  exit 0
fi
(( runs_i386 )) || tw_log "this host runs no 32-bit program: neither the i386 architecture nor wine32 is installed"

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || tw_die "missing packages (${missing[*]}) and not root"
  sudo=(sudo)
fi
apt() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

if (( need_i386 )); then
  tw_log "adding the i386 architecture (for wine32)"
  "${sudo[@]}" dpkg --add-architecture i386
fi

attempts=${TIDEWELL_APT_UPDATE_ATTEMPTS:-4}
pause=${TIDEWELL_APT_UPDATE_PAUSE:-20}
for (( attempt = 1; ; attempt++ )); do
  if apt update -q; then break; fi
  if (( attempt >= attempts )); then
    tw_log "apt-get update failed $attempts times; installing from the indices that were read"
    break
  fi
  tw_log "apt-get update failed (attempt $attempt of $attempts); trying again in $pause s"
  sleep "$pause"
done

tw_log "installing: ${missing[*]}"
if ! apt install -y -q --no-install-recommends "${missing[@]}"; then
  # Find out which ones cannot be had: each on its own, so that one broken
  # package does not hide that the others install.
  for package in "${missing[@]}"; do
    is_installed "$package" || apt install -y -q --no-install-recommends "$package" >/dev/null 2>&1 || true
  done
fi
mapfile -t still_missing < <(missing_packages "${missing[@]}")
if (( ${#still_missing[@]} )); then
  tw_die "these packages could not be installed: ${still_missing[*]}"
fi
tw_log "all packages installed"
