#!/usr/bin/env bash
# Times a whole version-folder download by VORN_UPDATE_VERSION against `lftp mirror` on ProFTPD and
# Pure-FTPd (started by scripts/start-test-ftpd, in a folder of this run, stopped at its end): ours
# with its default sessions and with sessions=1, lftp with --parallel=4 and serial, in the same
# rounds. Every download is checked byte for byte. Root only (the servers change user).
#
#   bench/ftp/servers.sh [many|big|all] [proftpd|pureftpd|all]   REPS=5 (median after a warm-up)
#
# Profiles: many = 500 files of 1..64 KiB; big = 4 files of 64 MiB (both seeded).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
PROFILES=${1:-all}
[ "$PROFILES" = all ] && PROFILES="many big"
SERVERS=${2:-all}
[ "$SERVERS" = all ] && SERVERS="proftpd pureftpd"
REPS=${REPS:-5}
RUN_TIMEOUT=${RUN_TIMEOUT:-120}
BUILD_DIR=${BUILD_DIR:-build}
PY=/usr/bin/python3

for tool in lftp bc; do
  command -v "$tool" >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$tool" >/dev/null
done
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
OURS="$ROOT/$BUILD_DIR/app/VORN_UPDATE_VERSION"

TMP=$(mktemp -d -t vorn-bench-servers.XXXXXX)
chmod 755 "$TMP"
stop_servers() {
  local s
  for s in $SERVERS; do
    [ -f "$TMP/$s/pid" ] && kill "$(cat "$TMP/$s/pid")" 2>/dev/null || true
  done
}
trap 'stop_servers; rm -rf "$TMP"' EXIT

make_profile() { # served-folder profile
  local dir="$1/$2/www/DOWN/VERSIONVORN"
  mkdir -p "$dir"
  "$PY" - "$dir" "$2" <<'PYGEN'
import os, random, sys
d, name = sys.argv[1], sys.argv[2]
rnd = random.Random(42)
if name == "many":
    for i in range(500):
        with open(os.path.join(d, "f%04d.bin" % i), "wb") as f:
            f.write(rnd.randbytes(rnd.randint(1024, 65536)))
else:
    block = rnd.randbytes(1 << 20)
    for i in range(4):
        with open(os.path.join(d, "big%d.bin" % i), "wb") as f:
            for j in range(64):
                f.write(block[j:] + block[:j])
PYGEN
  chmod -R a+rX "$1/$2"
  (cd "$dir" && sha256sum -- * | sort -k2) >"$TMP/$2.sums"
}

verify() { # profile dest
  local got
  got=$(cd "$2" && find . -maxdepth 1 -type f ! -name '*.ini' ! -name '*.log*' -printf '%P\n' | sort |
    xargs -d '\n' sha256sum -- | sort -k2)
  [ "$got" = "$(cat "$TMP/$1.sums")" ]
}

run_client() { # client profile dest
  local client=$1 profile=$2 dest=$3
  case $client in
    ours | ours-s1)
      {
        printf '[server]\nhost=%s\nuser=%s\npassword=%s\nversion_root=%s/www\n' "$HOST" "$USER_" "$PASS" "$profile"
        [ "$client" = ours-s1 ] && echo "sessions=1"
      } >"$TMP/ours.ini"
      QT_QPA_PLATFORM=offscreen timeout "$RUN_TIMEOUT" "$OURS" --unattended --no-start --app-dir "$dest" \
        --config "$TMP/ours.ini" >/dev/null 2>&1 ;;
    lftp-p4 | lftp-p1)
      timeout "$RUN_TIMEOUT" lftp -u "$USER_,$PASS" -e "set ftp:passive-mode on; set ftp:ssl-allow no; \
set net:max-retries 1; mirror --parallel=${client#lftp-p} $profile/www/DOWN/VERSIONVORN $dest; quit" \
        "ftp://$HOST" >/dev/null 2>&1 ;;
  esac
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
ratio() { [ -n "${2:-}" ] && printf '%8.2f' "$(echo "$1 / $2" | bc -l)" || printf '%8s' -; }

CLIENTS="lftp-p4 lftp-p1 ours ours-s1"
printf '%-9s %-9s %-8s %10s %10s %10s %8s %8s\n' server profile client median_s min_s MB/s vs_p4 vs_p1
for s in $SERVERS; do
  line=$(bash scripts/start-test-ftpd "$s" "$TMP/$s")
  [ -n "$line" ] || { echo "$s could not be started (root only)" >&2; exit 1; }
  read -r HOST USER_ PASS SERVED _ <<<"${line#*=}"
  for p in $PROFILES; do
    make_profile "$SERVED" "$p"
    bytes=$(du -sb "$SERVED/$p/www/DOWN/VERSIONVORN" | cut -f1)
    declare -A med=() times=()
    for r in $(seq 0 "$REPS"); do
      for c in $CLIENTS; do
        dest="$TMP/dest-$c"
        rm -rf "$dest"
        mkdir -p "$dest"
        # ProFTPD's master pauses about 0.2 s twice after a session ends: a client starting right
        # after the previous one ended would wait for its greeting. Untimed.
        sleep 0.5
        t0=$(date +%s.%N)
        run_client "$c" "$p" "$dest" || { echo "$c failed on $s/$p" >&2; exit 1; }
        t1=$(date +%s.%N)
        verify "$p" "$dest" || { echo "$c: downloaded files differ on $s/$p" >&2; exit 1; }
        [ "$r" -gt 0 ] && times[$c]+="$(echo "$t1 - $t0" | bc -l) "
      done
    done
    for c in $CLIENTS; do med[$c]=$(printf '%s\n' ${times[$c]} | median); done
    for c in $CLIENTS; do
      min=$(printf '%s\n' ${times[$c]} | sort -n | head -1)
      printf '%-9s %-9s %-8s %10.3f %10.3f %10.1f %s %s\n' "$s" "$p" "$c" "${med[$c]}" "$min" \
        "$(echo "$bytes / ${med[$c]} / 1000000" | bc -l)" "$(ratio "${med[$c]}" "${med[lftp-p4]}")" \
        "$(ratio "${med[$c]}" "${med[lftp-p1]}")"
    done
    unset med times
  done
done
echo "(ratio < 1: faster than that lftp; each run checked with sha256)"
