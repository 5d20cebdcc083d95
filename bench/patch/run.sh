#!/usr/bin/env bash
# Patches between releases: a signed update whose programs and libraries were rebuilt with small
# changes, fetched as patches and fetched whole: on loopback, on a server that waits 25 ms before
# each reply, and on that server behind a link of about 100 Mbit/s. Prints the bytes fetched and the
# medians of the update times, with their ratios, and the time of an update with nothing left to
# fetch (what any update costs on that link).
#
#   bench/patch/run.sh [rounds]        (default 3)
#
# The release: the program itself and the Qt libraries it ships, each changed by inserting and
# deleting a few kilobytes at eight random places, and 20 small files that do not change.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
[ -x "$BUILD_DIR/app/VORN_UPDATE_VERSION" ] ||
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
exec /usr/bin/python3 bench/patch/patch.py --app "$BUILD_DIR/app/VORN_UPDATE_VERSION" --rounds "${1:-3}"
