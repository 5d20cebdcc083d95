# Sourced by the Windows test scripts: Wine's prefix, `run` (a Windows program under Wine), `check`
# (one PASS/FAIL line, failures counted), the FTP fixture, where the installers put the program,
# and whether an installed station opens its embedded database.
scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
source "$scripts/windows-cache"
export WINEPREFIX=${WINEPREFIX:-$VORN_WIN_CACHE/wine} WINEDEBUG=-all LC_ALL=C.UTF-8
run() { "$scripts/wine-run" "$@"; }
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

# start_fixture FIXTURE ROOT OUTPUT [ARGUMENTS...]: the FTP fixture (user vorn, password secret) in
# the background; sets server_pid and port, or ends the script when it does not start.
server_pid=
start_fixture() {
  local fixture=$1 root=$2 output=$3
  shift 3
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  /usr/bin/python3 "$fixture" --root "$root" --user vorn --password secret "$@" >"$output" 2>/dev/null &
  server_pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^PORT //p' "$output")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "FAIL: the FTP fixture did not start"; exit 1; }
}

# The per-user install of both installers: dir (Linux path), win (Windows path), menu (the
# Start-menu folder).
install_paths() {
  local user home
  user=$(run cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
  home="$WINEPREFIX/drive_c/users/$user"
  dir="$home/AppData/Local/Programs/VORN"
  menu="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/VORN"
  win="C:\\users\\$user\\AppData\\Local\\Programs\\VORN"
}

# opens_embedded_database DIR WIN: the installed station, as the operator starts it with its
# demonstration data, creates and fills its embedded database (read back here with the host's
# sqlite3); the window that then waits for a login is closed.
opens_embedded_database() {
  local file="$1/data/KESTRAVO2019.sqlite" pid users=0
  rm -f "$file"
  # The Wine process itself (wine-run ends in exec), so that stopping it stops the program.
  (exec "$scripts/wine-run" "$2\\VORN_UPDATE_VERSION.exe" --station --demo-data >/dev/null 2>&1) &
  pid=$!
  for _ in $(seq 120); do
    users=$(sqlite3 -readonly "$file" "select count(*) from KESTRAVO_PARAM" 2>/dev/null) && [ "${users:-0}" -gt 0 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.5
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  [ "${users:-0}" -gt 0 ]
}
