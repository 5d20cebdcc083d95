#!/usr/bin/env bash
# A busy morning: N stations start their update at once against a server that serves S sessions at
# a time. Prints, for each server limit and for retries on (retry_for=120) and off (retry_for=0, the
# stations' former behaviour), how many stations completed, when the last one finished, and how
# many control connections the server saw.
#
#   bench/fleet/run.sh [N] [S]        (default 24 stations, 6 sessions)
#
# Limits: "sessions" counts control connections, as vsftpd's max_clients does (421 to the others);
# "sockets" counts every socket, data connections included, as pyftpdlib's max_cons does (421 to
# a login, 425 to a data connection). The version folder holds a 4 MiB program and 20 small files.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD_DIR=${BUILD_DIR:-build}
[ -x "$BUILD_DIR/app/VORN_UPDATE_VERSION" ] ||
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
exec /usr/bin/python3 bench/fleet/fleet.py --app "$BUILD_DIR/app/VORN_UPDATE_VERSION" \
  --stations "${1:-24}" --sessions "${2:-6}"
