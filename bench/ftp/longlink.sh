#!/usr/bin/env bash
# A long link: the fixture server delays every reply by DELAY_MS (25 by default; the kernels here
# have no netem), 100 files of 16 KiB and one of 8 MiB. Times, in the same rounds: lftp mirror on one
# connection, lftp mirror -P4, ours, and ours against the same server reading one command per
# packet (dropping what else came in that read, as some old Windows services and NAT boxes do).
# Prints medians and ratios; every download is checked byte for byte. Then what an update costs
# when there is nothing to fetch (skip_unchanged=true, the station already up to date), unsigned
# and signed (targets: 0.25 s and 0.35 s at 25 ms a reply).
#
#   bench/ftp/longlink.sh          REPS=5 DELAY_MS=25
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
REPS=${REPS:-5}
DELAY_MS=${DELAY_MS:-25}
RUN_TIMEOUT=${RUN_TIMEOUT:-120}
BUILD_DIR=${BUILD_DIR:-build}
PY=/usr/bin/python3

command -v lftp >/dev/null || { echo "installing lftp"; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq lftp >/dev/null; }
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
OURS="$ROOT/$BUILD_DIR/app/VORN_UPDATE_VERSION"

TMP=$(mktemp -d -t vorn-bench-long.XXXXXX)
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$TMP"' EXIT

dir="$TMP/server/long/www/DOWN/VERSIONVORN"
mkdir -p "$dir"
"$PY" - "$dir" <<'PYGEN'
import os, random, sys
d = sys.argv[1]
rnd = random.Random(26)
for i in range(100):
    with open(os.path.join(d, "s%03d.bin" % i), "wb") as f:
        f.write(rnd.randbytes(16 * 1024))
with open(os.path.join(d, "big.bin"), "wb") as f:
    f.write(rnd.randbytes(8 * 1024 * 1024))
PYGEN
(cd "$dir" && sha256sum -- * | sort -k2) >"$TMP/sums"
# The same release, signed, for the up-to-date rows.
signed="$TMP/server/signed/www/DOWN/VERSIONVORN"
mkdir -p "$signed" "$TMP/keys" && cp "$dir"/* "$signed/"
minisign -G -W -p "$TMP/keys/k.pub" -s "$TMP/keys/k.key" >/dev/null
"$OURS" --make-manifest "$signed" --release 1 >/dev/null
minisign -S -s "$TMP/keys/k.key" -m "$signed/VORN.manifest" >/dev/null

# Started in this shell (not in a command substitution), so that the exit trap knows them.
start_server() { # name args...
  local name=$1; shift
  "$PY" tests/fixtures/ftpserver.py --root "$TMP/server" --user bench --password bench --reply-delay "$DELAY_MS" "$@" \
    >"$TMP/$name.port" 2>"$TMP/$name.err" &
  PIDS+=($!)
  for _ in $(seq 100); do grep -q '^PORT' "$TMP/$name.port" 2>/dev/null && break; sleep 0.05; done
}
start_server normal
start_server one --one-command
PORT=$(awk '/^PORT/{print $2}' "$TMP/normal.port")
PORT_ONE=$(awk '/^PORT/{print $2}' "$TMP/one.port")

verify() { # dest
  local got
  got=$(cd "$1" && find . -maxdepth 1 -type f ! -name '*.ini' ! -name '*.log*' -printf '%P\n' | sort | xargs -d '\n' sha256sum -- | sort -k2)
  [ "$got" = "$(cat "$TMP/sums")" ]
}

run_client() { # client dest
  case $1 in
    ours|ours-one|up-to-date|up-to-date-signed)
      local port=$PORT
      [ "$1" = ours-one ] && port=$PORT_ONE
      printf '[server]\nhost=127.0.0.1:%s\nuser=bench\npassword=bench\nversion_root=long/www\n' "$port" >"$TMP/ours.ini"
      case $1 in
        up-to-date) printf 'skip_unchanged=true\n' >>"$TMP/ours.ini" ;;
        up-to-date-signed)
          printf 'skip_unchanged=true\n[update]\npublic_key=%s\n' "$(tail -n 1 "$TMP/keys/k.pub")" >>"$TMP/ours.ini"
          sed -i 's|version_root=long/www|version_root=signed/www|' "$TMP/ours.ini" ;;
      esac
      QT_QPA_PLATFORM=offscreen timeout "$RUN_TIMEOUT" "$OURS" --unattended --no-start --app-dir "$2" \
        --config "$TMP/ours.ini" >/dev/null 2>&1 ;;
    lftp|lftp-P4)
      local parallel=1
      [ "$1" = lftp-P4 ] && parallel=4
      timeout "$RUN_TIMEOUT" lftp -u bench,bench -e "set ftp:passive-mode on; set net:max-retries 1; mirror --parallel=$parallel long/www/DOWN/VERSIONVORN $2; quit" \
        "ftp://127.0.0.1:$PORT" >/dev/null 2>&1 ;;
  esac
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ratio() { printf '%8.2f' "$(echo "$1 / $2" | bc -l)"; }

clients="lftp lftp-P4 ours ours-one"
declare -A times=() med=()
for r in $(seq 0 "$REPS"); do
  for c in $clients up-to-date up-to-date-signed; do
    dest="$TMP/dest-$c"
    # The up-to-date stations keep what the first round (not timed) put in place.
    case $c in up-to-date*) mkdir -p "$dest" ;; *) rm -rf "$dest"; mkdir -p "$dest" ;; esac
    t0=$(date +%s.%N)
    run_client "$c" "$dest" || { echo "$c: failed (status $?)" >&2; exit 1; }
    t1=$(date +%s.%N)
    [ "$c" = up-to-date-signed ] || verify "$dest" || { echo "$c: downloaded files differ" >&2; exit 1; }
    [ "$r" -gt 0 ] && times[$c]+="$(echo "$t1 - $t0" | bc -l) "
  done
done
for c in $clients; do med[$c]=$(printf '%s\n' ${times[$c]} | median); done
printf '%-9s %10s %10s %8s %8s\n' client median_s min_s vs_lftp vs_P4
for c in $clients; do
  min=$(printf '%s\n' ${times[$c]} | sort -n | head -1)
  printf '%-9s %10.3f %10.3f %s %s\n' "$c" "${med[$c]}" "$min" "$(ratio "${med[$c]}" "${med[lftp]}")" \
    "$(ratio "${med[$c]}" "${med[lftp-P4]}")"
done
printf 'one-command/normal %s\n' "$(ratio "${med[ours-one]}" "${med[ours]}")"
for c in up-to-date up-to-date-signed; do
  printf '%-18s %8.3f s (nothing to fetch)\n' "$c" "$(printf '%s\n' ${times[$c]} | median)"
done
echo "(replies delayed by ${DELAY_MS} ms; ratio < 1: faster than that peer; each run checked with sha256)"
