#!/usr/bin/env bash
# The patch benchmark with the Windows program under Wine (build it first: scripts/build-windows):
# a release made of the Windows program, every DLL it ships and the Linux bench's Qt libraries
# (about 65 MiB), on loopback, fetched as patches and whole; the median times and each update's
# peak memory (the Wine process, as GNU time reads it).
#
#   bench/patch/wine.sh [rounds]        (default 3)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows-cache
export WINEPREFIX=${WINEPREFIX:-$VORN_WIN_CACHE/wine}
dist=$(realpath -m "${BUILD_DIR:-build-windows}")/dist
[ -f "$dist/VORN_UPDATE_VERSION.exe" ] || { echo "wine.sh: no $dist/VORN_UPDATE_VERSION.exe (scripts/build-windows)" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
  # Wine needs a display even for programs that show nothing.
  for n in $(seq 140 180); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  trap 'kill $! 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  sleep 1
fi
/usr/bin/python3 bench/patch/patch.py --app "$dist/VORN_UPDATE_VERSION.exe" --runner scripts/wine-run \
  --loopback-only --rounds "${1:-3}"
