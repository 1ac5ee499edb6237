#!/usr/bin/env bash
# Makes, on the host, the directory link the guard suite resolves:
# C:\Tidewell Guard\tosystem, a link to C:\windows\system32. Wine shows a host
# symbolic link inside the prefix as a directory reparse point, while
# CreateSymbolicLinkW makes nothing under Wine.
#
# Usage: make-guard-link.sh BUILD_DIR (the prefix is $WINEPREFIX, else the
# build folder's "wineprefix"; made when it does not exist).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib.sh"
[[ $# -eq 1 ]] || tw_die "usage: make-guard-link.sh BUILD_DIR"
prefix=${WINEPREFIX:-$1/wineprefix}
if [[ ! -f "$prefix/system.reg" ]]; then
  tw_wine_fresh_prefix "$prefix"
fi
[[ -d "$prefix/drive_c/windows/system32" ]] || tw_die "no system32 folder in $prefix"
mkdir -p "$prefix/drive_c/Tidewell Guard"
ln -sfn ../windows/system32 "$prefix/drive_c/Tidewell Guard/tosystem" ||
  tw_die "cannot make the guard's directory link"
