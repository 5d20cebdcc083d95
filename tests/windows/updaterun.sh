#!/usr/bin/env bash
# A real update run of the Windows program under Wine, against the FTP fixture on 127.0.0.1:
# the running VORN.exe is terminated, the version folder fetched byte for byte into a Windows
# folder with accents, the new VORN.exe started, exit 0; then a cut transfer (4) and a wrong
# password (1); a station record that the Linux program's --fleet reads.
# Usage: updaterun.sh UPDATER.exe STAND_IN.exe ftpserver.py [LINUX_PROGRAM]
set -uo pipefail
updater=$1 standin=$2 fixture=$3 linux_program=${4:-}
source "$(dirname "$0")/common.sh"
# Programs are named by their Windows paths: a Linux run that stops "VORN.exe" or
# "VORN_UPDATE_VERSION.exe" machine-wide by /proc then does not recognise these.
updater="Z:$(realpath "$updater" | tr / '\\')"

work=$(mktemp -d)
cleanup() {
  touch "$app/stop" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  sleep 1
  rm -rf "$work" "$app"
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

start_server() { start_fixture "$fixture" "$work/root" "$work/server.out" "$@"; }
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

# The station's record in the fleet's reports folder, read back by the Linux program's --fleet: one
# format on both systems.
mkdir -p "$work/root/www/rapports"
write_ini secret && printf '[fleet]\r\nreports=www/rapports\r\n' >>"$app/VORN_UPDATE_VERSION.ini"
run "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "with reports: exit 0 (was $status)" test "$status" -eq 0
record=$(ls "$work/root/www/rapports")
check "one record, named after the station ($record)" \
  bash -c "[[ '$record' =~ ^[0-9a-f]{16}_0_autre_[^_]+\.vorn-rapport$ ]]"
check "no temporary record left" test "$(ls -a "$work/root/www/rapports" | grep -c tmp)" -eq 0
if [ -x "$linux_program" ]; then
  printf '[server]\nhost=127.0.0.1:%s\nuser=vorn\npassword=secret\n[fleet]\nreports=www/rapports\n' "$port" >"$work/fleet.ini"
  "$linux_program" --fleet --config "$work/fleet.ini" --app-dir "$work" >"$work/fleet.out" 2>&1
  status=$?
  check "Linux --fleet reads it: exit 0 (was $status)" test "$status" -eq 0
  check "Linux --fleet: one station, nothing unreadable" grep -q "Parc : 1 poste(s), 0 silencieux, 0 rapport(s) illisible(s)." "$work/fleet.out"
  check "Linux --fleet: its exit status and user" grep -qE "^${record%%_*} .* 0 " "$work/fleet.out"
elif [ "${CI:-}" = true ]; then
  check "the Linux program is built for --fleet ($linux_program)" false
else
  echo "SKIP: the Linux program is not built ($linux_program): its --fleet was not tried"
fi
rm -rf "$work/root/www/rapports"

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
