#!/usr/bin/env bash
# Mirrors: N stations start their update at once against M mirrors of the same version folder, each
# serving at most S sessions (421 to the others, as vsftpd's max_clients), all mirrors up and then
# the first one down from the start. Prints how many stations completed (status 0 and every file
# identical), when the last one finished, how many moves to another mirror the run logs hold, and
# the control connections each mirror saw.
#
#   bench/fleet/mirrors.sh [N] [M] [S]     (default 60 stations, 3 mirrors, 6 sessions)
#   ROUNDS=R RETRY_FOR=T                    each case R times (1), [server] retry_for=T (60)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
[ -x "$BUILD_DIR/app/VORN_UPDATE_VERSION" ] ||
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
exec /usr/bin/python3 bench/fleet/mirrors.py --app "$BUILD_DIR/app/VORN_UPDATE_VERSION" \
  --stations "${1:-60}" --mirrors "${2:-3}" --sessions "${3:-6}" --rounds "${ROUNDS:-1}" --retry-for "${RETRY_FOR:-60}"
