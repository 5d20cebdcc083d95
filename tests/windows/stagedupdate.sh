#!/usr/bin/env bash
# The all-or-nothing update of the Windows program under Wine, against the FTP fixture: a staged
# update of 300 files killed at random moments (killing the Wine process stands for a power cut),
# then a start with the server down: the folder holds the old release or the new one, never a mix,
# and no staging folder. Then a whole update and `--rollback` on a Windows path: the previous
# release is back; a second `--rollback` has none left (7).
# Usage: stagedupdate.sh UPDATER.exe ftpserver.py
set -uo pipefail
updater=$1 fixture=$2
source "$(dirname "$0")/common.sh"
# Named by its Windows path: Linux runs that stop processes by name do not recognise it.
updater="Z:$(realpath "$updater" | tr / '\\')"

work=$(mktemp -d)
winapp="C:\\vorn-staged-$$\\Poste é"
app="$WINEPREFIX/drive_c/vorn-staged-$$/Poste é"
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work" "$WINEPREFIX/drive_c/vorn-staged-$$"
}
trap cleanup EXIT

version=$work/root/www/DOWN/VERSIONVORN
mkdir -p "$version" "$work/old"
letters=abcdefghijklmnopqrstuvwxyz
for i in $(seq 0 299); do
  name=$(printf 'f%03d.dat' "$i")
  head -c 2000 /dev/zero | tr '\0' "${letters:$((i % 26)):1}" >"$version/$name"
  printf 'old' >"$work/old/$name"
done
# The release files of a folder, with their digests: the program's own files left out.
release_of() {
  (cd "$1" && find . -maxdepth 1 -type f ! -name 'VORN_UPDATE_VERSION.*' ! -name Profil.ini -printf '%f\0' |
    sort -z | xargs -0 -r md5sum)
}
old_release=$(release_of "$work/old")
new_release=$(release_of "$version")

start_fixture "$fixture" "$work/root" "$work/server.out"
write_ini() { # write_ini HOST [EXTRA]
  printf '[server]\r\nhost=%s\r\nuser=vorn\r\npassword=secret\r\ntimeout=3\r\n%b' "$1" "${2:-}" >"$app/VORN_UPDATE_VERSION.ini"
}

# A whole update, then the previous release put back through the Windows path.
rm -rf "$app" && mkdir -p "$app" && cp "$work/old/"* "$app/"
write_ini "127.0.0.1:$port"
begin=$(date +%s%N)
"$scripts/wine-run" "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
# How long a whole run takes here: the span of the random kills (counted from their first log
# line, so that some land after the swap too).
span_ms=$((($(date +%s%N) - begin) / 1000000))
check "whole update: exit 0 (was $status)" test "$status" -eq 0
check "whole update: the new release" test "$(release_of "$app")" = "$new_release"
"$scripts/wine-run" "$updater" --rollback --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "rollback: exit 0 (was $status)" test "$status" -eq 0
check "rollback: the old release is back" test "$(release_of "$app")" = "$old_release"
"$scripts/wine-run" "$updater" --rollback --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
status=$?
check "second rollback: exit 7 (was $status)" test "$status" -eq 7
check "second rollback: says there is none" grep -q "Aucune version précédente" "$work/out" "$work/err"
check "second rollback: the old release stays" test "$(release_of "$app")" = "$old_release"

rounds=${VORN_KILL_ROUNDS:-6}
olds=0 news=0
for round in $(seq "$rounds"); do
  rm -rf "$app" && mkdir -p "$app" && cp "$work/old/"* "$app/"
  write_ini "127.0.0.1:$port"
  "$scripts/wine-run" "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err" &
  pid=$!
  # The moment counts from the run's first log line (Wine's own start varies), then a random
  # share of the time a whole run takes: before, during and after the staging and the swap.
  for _ in $(seq 300); do grep -q . "$work/err" 2>/dev/null && break; kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  moment=$(((RANDOM * 32768 + RANDOM) % span_ms))
  sleep "$(printf '%d.%03d' $((moment / 1000)) $((moment % 1000)))"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  write_ini "127.0.0.1:9" "retry_for=0\r\n"
  timeout -s KILL 90 "$scripts/wine-run" "$updater" --unattended --no-start --app-dir "$winapp" >"$work/out" 2>"$work/err"
  status=$?
  check "round $round: the start after the kill ends (status $status)" test "$status" -ne 137
  now=$(release_of "$app")
  if [ "$now" = "$old_release" ]; then
    olds=$((olds + 1))
  elif [ "$now" = "$new_release" ]; then
    news=$((news + 1))
  else
    check "round $round: the old release or the new one, never a mix" false
    diff <(echo "$old_release") <(echo "$now") | head -5
  fi
  check "round $round: no staging folder left" test ! -e "$app/.vorn-update"
done
echo "killed runs within ${span_ms} ms: $olds left the old release, $news the new one"

if [ "$failures" -ne 0 ]; then
  echo "--- standard output"; cat "$work/out"; echo "--- standard error"; cat "$work/err"
  exit 1
fi
