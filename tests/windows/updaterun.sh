#!/usr/bin/env bash
# A real update run of the Windows program under Wine, against the FTP fixture on 127.0.0.1:
# the running VORN.exe is terminated, the version folder fetched byte for byte into a Windows
# folder with accents, the new VORN.exe started, exit 0; then a cut transfer (4) and a wrong
# password (1). Usage: updaterun.sh UPDATER.exe STAND_IN.exe ftpserver.py
set -uo pipefail
updater=$1 standin=$2 fixture=$3
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
source "$scripts/windows-cache"
export WINEPREFIX=${WINEPREFIX:-$VORN_WIN_CACHE/wine} WINEDEBUG=-all LC_ALL=C.UTF-8
run() { "$scripts/wine-run" "$@"; }
# Programs are named by their Windows paths: a Linux run that stops "VORN.exe" or
# "VORN_UPDATE_VERSION.exe" machine-wide by /proc then does not recognise these.
updater="Z:$(realpath "$updater" | tr / '\\')"

work=$(mktemp -d)
server_pid=
cleanup() {
  touch "$app/stop" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  sleep 1
  rm -rf "$work" "$app"
}
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

# The application folder, a Windows path on drive C: with accents and a space.
winapp="C:\\vorn-$$ é\\Installé"
app="$WINEPREFIX/drive_c/vorn-$$ é/Installé"
trap cleanup EXIT
mkdir -p "$app" "$work/root/www/DOWN/VERSIONVORN"
version=$work/root/www/DOWN/VERSIONVORN
cp "$standin" "$version/VORN.exe"
head -c 300000 /dev/urandom >"$version/données é.bin"
printf 'ligne 1\r\nligne 2\r\n' >"$version/notes.txt"
# The copy that runs now differs from the new one.
{ cat "$standin"; printf 'old'; } >"$app/VORN.exe"

start_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  /usr/bin/python3 "$fixture" --root "$work/root" --user vorn --password secret "$@" >"$work/server.out" 2>/dev/null &
  server_pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^PORT //p' "$work/server.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "FAIL: the FTP fixture did not start"; exit 1; }
}
write_ini() {
  printf '[server]\r\nhost=127.0.0.1:%s\r\nuser=vorn\r\npassword=%s\r\n' "$port" "$1" >"$app/VORN_UPDATE_VERSION.ini"
}

start_server
write_ini secret
run "$app/VORN.exe" &
old_pid=$!
for _ in $(seq 200); do [ -f "$app/started.txt" ] && break; sleep 0.1; done
check "the old VORN.exe runs" test -f "$app/started.txt"
rm -f "$app/started.txt"

run "$updater" --unattended --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "update run: exit 0 (was $status)" test "$status" -eq 0
check "its lines reach standard output" test -s "$work/out"
check "its log reaches standard error" grep -q "VERSIONVORN" "$work/err"
for _ in $(seq 100); do kill -0 "$old_pid" 2>/dev/null || break; sleep 0.1; done
check "the old VORN.exe was terminated" bash -c "! kill -0 $old_pid 2>/dev/null"
for f in VORN.exe "données é.bin" notes.txt; do
  check "fetched byte for byte: $f" cmp -s "$version/$f" "$app/$f"
done
for _ in $(seq 200); do [ -f "$app/started.txt" ] && break; sleep 0.1; done
check "the new VORN.exe started in its folder" grep -qF "cwd=$winapp" "$app/started.txt"
touch "$app/stop"
sleep 1
rm -f "$app/stop" "$app/started.txt"

# A transfer cut short: the old copy stays, the run says so with its status.
cp "$app/notes.txt" "$work/notes.before"
printf 'ligne 3\r\n' >>"$version/notes.txt"
start_server --cut "notes.txt:4"
write_ini secret
run "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "cut transfer: exit 4 (was $status)" test "$status" -eq 4
check "cut transfer: the old copy is kept" cmp -s "$work/notes.before" "$app/notes.txt"

start_server
write_ini wrong
run "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "wrong password: exit 1 (was $status)" test "$status" -eq 1

# Names Windows cannot hold: refused one by one and never reached (the console, a serial port), in
# both modes; staged, nothing installed. Of VORN.ini and vorn.INI the one listed second is refused.
names=(CON nul.txt COM1 LPT1.log AUX prn.dat "VORN.ini." "LISEZMOI.txt " "a:b" "q?.txt" "x<y>" "pipe|x" "star*.dat")
for n in VORN.ini vorn.INI "${names[@]}"; do printf '%s' "$n" >"$version/$n"; done
for mode in direct staged; do
  write_ini secret && printf '[update]\r\nmode=%s\r\n' "$mode" >>"$app/VORN_UPDATE_VERSION.ini"
  rm -f "$app/VORN_UPDATE_VERSION.log" "$app"/[Vv][Oo][Rr][Nn].[Ii][Nn][Ii]
  timeout 180 "$scripts/wine-run" "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
  status=$? log=$app/VORN_UPDATE_VERSION.log
  check "$mode, names Windows cannot hold: exit 4 (was $status)" test "$status" -eq 4
  for n in "${names[@]}"; do
    check "$mode: one refusal of $n" test "$(grep -cF "Nom « $n » refusé : " "$log")" -eq 1
  done
  check "$mode: one refusal of a twin" test "$(grep -cE "Nom « (VORN.ini|vorn.INI) » refusé : " "$log")" -eq 1
  want=$([ "$mode" = direct ] && echo 1 || echo 0)
  check "$mode: VORN.ini installed $want time(s)" test "$(ls "$app" | grep -ci '^vorn\.ini$')" -eq "$want"
done

if [ "$failures" -ne 0 ]; then
  echo "--- standard output"; cat "$work/out"; echo "--- standard error"; cat "$work/err"
  exit 1
fi
