#!/usr/bin/env bash
# The fleet's reports folder at scale: 10,000 station records on the fixture server.
#   1. `--fleet` reading them all, once (target: at most 3 s on loopback);
#   2. the gate's check of a phased release: a station of day 1 whose gate lists the folder, against
#      one whose day has not come (the same run without the listing); the difference is the gate
#      (target: at most 0.1 s on loopback, 2 round trips on the 25 ms link);
#   3. the cost of reporting on an update run with nothing to fetch: [fleet] reports set or not
#      (target: at most 2 round trips on the 25 ms link).
# Medians of REPS runs each; DELAY_MS is the long link's reply delay.
#
#   bench/fleet/records.sh          RECORDS=10000 REPS=9 DELAY_MS=25
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
RECORDS=${RECORDS:-10000}
REPS=${REPS:-9}
DELAY_MS=${DELAY_MS:-25}
BUILD_DIR=${BUILD_DIR:-build}
PY=/usr/bin/python3
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
OURS="$ROOT/$BUILD_DIR/app/VORN_UPDATE_VERSION"

TMP=$(mktemp -d -t vorn-bench-records.XXXXXX)
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; [ -n "${KEEP:-}" ] || rm -rf "$TMP"' EXIT

# A signed release 2 spread over 2 days: in www from yesterday with the gate 10,1000 (a station of
# odd id is on its day 1 and asks the gate, which lists the folder and waits for confirmations), in
# www2 from today without a gate (the same station's day has not come: the same run without the
# gate's listing). Release 1 is in place on every station.
mkdir -p "$TMP/keys" "$TMP/server/www/rapports"
minisign -G -W -p "$TMP/keys/k.pub" -s "$TMP/keys/k.key" >/dev/null
key=$(tail -n 1 "$TMP/keys/k.pub")
for root in www www2; do
  dir="$TMP/server/$root/DOWN/VERSIONVORN"
  mkdir -p "$dir"
  printf 'release two\n' >"$dir/data.txt"
  rollout=(--rollout-days 2 --rollout-start "$(date -u +%F)")
  [ $root = www ] && rollout=(--rollout-days 2 --rollout-start "$(date -u -d yesterday +%F)" --rollout-gate 10,1000)
  "$OURS" --make-manifest "$dir" --release 2 "${rollout[@]}" >/dev/null
  minisign -S -s "$TMP/keys/k.key" -m "$dir/VORN.manifest" >/dev/null
done
www="$TMP/server/www"

# The fleet: records as stations write them (release 1 kept; release 2 waiting; one in a hundred
# withdrawn with an error, whose text the reader fetches), one per station.
"$PY" - "$www/rapports" "$RECORDS" <<'PYGEN'
import os, random, sys
folder, count = sys.argv[1], int(sys.argv[2])
rnd = random.Random(31)
for i in range(count):
    station = "%016x" % rnd.getrandbits(64)
    offered, verdict, result = (2, "autre", "attente-jour") if i % 3 else (1, "ok", "installee")
    error = ""
    if i % 100 == 1:
        offered, verdict, result, error = 2, "echec", "retiree", "VORN.exe ne démarre pas : version 2 retirée."
    text = ("VORN-RAPPORT 1\nposte=%s\nordinateur=PC-%05d\nutilisateur=op\nprogramme=3.2.0\ninstallee=1\n"
            "proposee=%d\nresultat=%s\njour=\nstatut=0\ndate=2026-12-09T08:%02d:00Z\nduree_ms=%d\noctets=0\n"
            "miroir=127.0.0.1\nerreur=%s\n") % (station, i, offered, result, i % 60, 800 + i % 900, error)
    details = "1,%s,,0,20261209T08%02d00,%d,0,3.2.0,PC-%05d,op,127.0.0.1,%s" % (
        result, i % 60, 800 + i % 900, i, "e" if error else "")
    with open(os.path.join(folder, "%s_%d_%s_%s.vorn-rapport" % (station, offered, verdict, details)), "w") as f:
        f.write(text)
PYGEN

start_server() { # name delay
  "$PY" tests/fixtures/ftpserver.py --root "$TMP/server" --user bench --password bench --reply-delay "$2" \
    >"$TMP/$1.port" 2>"$TMP/$1.err" &
  PIDS+=($!)
  for _ in $(seq 100); do grep -q '^PORT' "$TMP/$1.port" 2>/dev/null && break; sleep 0.05; done
  awk '/^PORT/{print $2}' "$TMP/$1.port"
}
start_server loop 0 >"$TMP/loop.p"
start_server long "$DELAY_MS" >"$TMP/long.p"

station() { # name port root reports(yes|no) [id]: a station of odd id (day 1), keeping what it knows
  local dir="$TMP/st-$1"
  mkdir -p "$dir/.vorn-release"
  printf '%016x' "${5:-1}" >"$dir/.vorn-release/station"
  printf '[server]\nhost=127.0.0.1:%s\nuser=bench\npassword=bench\nversion_root=%s\nretry_for=0\n[update]\npublic_key=%s\n' \
    "$2" "$3" "$key" >"$dir/vorn.ini"
  [ "$4" = no ] || printf '[fleet]\nreports=www/rapports\n' >>"$dir/vorn.ini"
  echo "$dir"
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
timed() { # command...: seconds
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  e=$(date +%s.%N)
  echo "$e - $s" | bc -l
}
run_station() { # dir
  QT_QPA_PLATFORM=offscreen "$OURS" --unattended --no-start --app-dir "$1" --config "$1/vorn.ini"
}

loop=$(cat "$TMP/loop.p")
long=$(cat "$TMP/long.p")
fleet_dir=$(station fleet "$loop" www yes)
declare -A t=()
for rep in $(seq 0 "$REPS"); do
  # Once: each read of the folder opens one data connection a record, and on loopback the ports
  # they leave in TIME_WAIT run out after a few reads of 10,000 within a minute.
  [ -n "${t[fleet]:-}" ] || [ "$rep" = 0 ] || t[fleet]="$(timed "$OURS" --fleet --config "$fleet_dir/vorn.ini" --app-dir "$fleet_dir") "
  for link in loop long; do
    port=$loop
    [ $link = long ] && port=$long
    # The gated station and the reported one both leave a record; only the first lists the folder.
    # Round 0 warms up: each station has left its first record, as one does after its first run.
    # Each its own id (odd), so that no station renames another's record.
    id=1
    [ $link = long ] && id=7
    for kind in gated:www:yes plain:www2:no reported:www2:yes; do
      IFS=: read -r name root reports <<<"$kind"
      took=$(timed run_station "$(station "$name-$link" "$port" "$root" "$reports" $id)")
      id=$((id + 2))
      [ "$rep" = 0 ] || t[$name-$link]+="$took "
    done
  done
done
m() { echo "${t[$1]}" | tr ' ' '\n' | grep . | median; }
printf 'records: %d\n' "$RECORDS"
printf '%-34s %8.3f s\n' "--fleet (loopback)" "$(m fleet)"
for link in loop long; do
  printf '%-34s %8.3f s\n' "gate check, $link" "$(echo "$(m gated-$link) - $(m reported-$link)" | bc -l)"
  printf '%-34s %8.3f s\n' "reporting, $link" "$(echo "$(m reported-$link) - $(m plain-$link)" | bc -l)"
done
printf 'long link: %d ms a reply; round trips = long figure / %d ms\n' "$DELAY_MS" "$DELAY_MS"
"$OURS" --fleet --config "$fleet_dir/vorn.ini" --app-dir "$fleet_dir" | head -3
