#!/usr/bin/env bash
# Signed releases on a Windows station, under Wine, against the FTP fixture: the Windows program
# makes the manifests (--make-manifest, with --previous for patches), minisign signs them on the
# Linux side. A patched release fetches a fraction of the changed file and ends byte for byte; a
# tampered patch falls back to the whole file; a phased release waits for the station's day and
# --now takes it; with the first mirror down the station moves on.
# Usage: signedupdate.sh UPDATER.exe ftpserver.py
set -uo pipefail
updater=$1 fixture=$2
source "$(dirname "$0")/common.sh"
run() { timeout 180 "$scripts/wine-run" "$@"; }
updater="Z:$(realpath "$updater" | tr / '\\')"
command -v minisign >/dev/null || { echo "FAIL: minisign is not installed (scripts/setup)"; exit 1; }

work=$(mktemp -d)
winapp="C:\\vorn-signed-$$"
app="$WINEPREFIX/drive_c/vorn-signed-$$"
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work" "$app"
}
trap cleanup EXIT

version=$work/root/www/DOWN/VERSIONVORN
mkdir -p "$app/.vorn-release" "$version" "$work/older"
printf '000000000000001D\n' >"$app/.vorn-release/station" # day 29 of 30 in a phased release
start_fixture "$fixture" "$work/root" "$work/server.out" --events "$work/events"
minisign -G -W -p "$work/k.pub" -s "$work/k.key" >/dev/null
key=$(tail -n 1 "$work/k.pub")

# Three versions of a 2 MiB program, each a few bytes away from the one before.
/usr/bin/python3 - "$work" <<'PY'
import random, sys
d = sys.argv[1]
v1 = bytearray(random.Random(32).randbytes(2 * 1024 * 1024))
v2 = v1[:1000] + b"inserted" + v1[1000:1500000] + v1[1500300:]
v3 = v2[:300000] + b"fleet" + v2[300005:]
for name, v in (("v1", v1), ("v2", v2), ("v3", v3)):
    open("%s/%s" % (d, name), "wb").write(v)
PY

publish() { # publish FILE RELEASE [OPTIONS...]: VORN.exe is FILE, signed
  rm -rf "$version" && mkdir -p "$version"
  cp "$work/$1" "$version/VORN.exe"
  printf 'a%s' "$2" >"$version/a.dll"
  run "$updater" --make-manifest "Z:$(echo "$version" | tr / '\\')" --release "$2" "${@:3}" >"$work/make.out" 2>&1 ||
    { echo "FAIL: --make-manifest of release $2: $(cat "$work/make.out")"; failures=$((failures + 1)); }
  minisign -S -s "$work/k.key" -m "$version/VORN.manifest" >/dev/null
}
update() { # update [HOST] [OPTIONS...]: status in $status, output in $work/out
  printf '[server]\r\nhost=%s\r\nuser=vorn\r\npassword=secret\r\ntimeout=5\r\nretry_for=0\r\n[update]\r\npublic_key=%s\r\n' \
    "${1:-127.0.0.1:$port}" "$key" >"$app/VORN_UPDATE_VERSION.ini"
  : >"$work/events"
  run "$updater" --unattended --no-start --app-dir "$winapp" "${@:2}" >"$work/out" 2>&1
  status=$?
}

publish v1 10
update
check "release 10: exit 0 (was $status)" test "$status" -eq 0
check "release 10: VORN.exe byte for byte" cmp -s "$work/v1" "$app/VORN.exe"

cp "$work/v1" "$work/older/VORN.exe"
publish v2 11 --previous "Z:$(echo "$work/older" | tr / '\\')"
check "release 11 has a patch" test -n "$(ls "$version/patches" 2>/dev/null)"
update
check "patched: exit 0 (was $status)" test "$status" -eq 0
check "patched: rebuilt from the installed release" grep -q "Correctifs : 1 fichier(s) reconstruit(s)" "$work/out"
check "patched: VORN.exe byte for byte" cmp -s "$work/v2" "$app/VORN.exe"
check "patched: VORN.exe itself not fetched" bash -c "! grep -q '^RETR VORN.exe ' '$work/events'"
fetched=0
for p in $(sed -n 's/^RETR \([0-9a-f]*-[0-9a-f]*\.zst\) .*/\1/p' "$work/events"); do
  fetched=$((fetched + $(stat -c %s "$version/patches/$p")))
done
changed=$(stat -c %s "$work/v2")
check "patched: $fetched bytes fetched for $changed changed (at most 15 %)" \
  test "$fetched" -gt 0 -a $((fetched * 100)) -le $((changed * 15))

# The patch altered on the server: the whole file instead, checked against its signed digest.
cp "$work/v2" "$work/older/VORN.exe"
publish v3 12 --previous "Z:$(echo "$work/older" | tr / '\\')"
patch=$(ls "$version/patches"/* | head -n 1)
printf '\x00\x01\x02' | dd of="$patch" bs=1 seek=$(($(stat -c %s "$patch") / 2)) conv=notrunc status=none
update
check "tampered patch: exit 0 (was $status)" test "$status" -eq 0
check "tampered patch: said unusable" grep -q "Correctif de « VORN.exe » inutilisable" "$work/out"
check "tampered patch: VORN.exe byte for byte" cmp -s "$work/v3" "$app/VORN.exe"

# Station 29 of a release spread over 30 days: its day is the last one; --now takes it at once.
publish v1 13 --rollout-days 30
update
day=$(date -d '+29 days' +%d/%m/%Y)
check "phased: exit 0 (was $status)" test "$status" -eq 0
check "phased: waits for $day" grep -q "Nouvelle version 13 disponible sur ce poste à partir du $day." "$work/out"
check "phased: VORN.exe kept" cmp -s "$work/v3" "$app/VORN.exe"
update "" --now
check "--now: exit 0 (was $status)" test "$status" -eq 0
check "--now: VORN.exe byte for byte" cmp -s "$work/v1" "$app/VORN.exe"

# Two mirrors, the station's first one (29 mod 2) down.
publish v2 14
update "127.0.0.1:$port, 127.0.0.1:9"
check "first mirror down: exit 0 (was $status)" test "$status" -eq 0
check "first mirror down: one line, then the other" grep -q "Miroir 127.0.0.1:9 indisponible" "$work/out"
check "first mirror down: VORN.exe byte for byte" cmp -s "$work/v2" "$app/VORN.exe"

if [ "$failures" -ne 0 ]; then
  echo "--- last output"; cat "$work/out"
  exit 1
fi
