#!/usr/bin/env bash
# Times a whole version-folder download by VORN_UPDATE_VERSION against lftp (mirror, one
# connection) and curl (every file in one invocation) on the same local pyftpdlib server, in one
# run. Every download is checked byte for byte. curl 7.88 can idle about a second per file against
# pyftpdlib when it reuses one connection; a client whose run exceeds RUN_TIMEOUT is reported as
# such and skipped for the rest of its profile.
#
#   bench/ftp/run.sh [many|big|all]      REPS=5 (median of REPS timed runs after one warm-up)
#
# Profiles: many = 500 files of 1..64 KiB; big = 4 files of 64 MiB (both seeded).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
PROFILES=${1:-all}
[ "$PROFILES" = all ] && PROFILES="many big"
REPS=${REPS:-5}
RUN_TIMEOUT=${RUN_TIMEOUT:-60}   # seconds before one client run counts as failed
BUILD_DIR=${BUILD_DIR:-build}
PY=/usr/bin/python3

for tool in lftp curl bc; do
  command -v "$tool" >/dev/null || { echo "installing $tool"; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$tool" >/dev/null; }
done
[ -x "$BUILD_DIR/app/VORN_UPDATE_VERSION" ] || { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null; }
cmake --build "$BUILD_DIR" --target VORN_UPDATE_VERSION >/dev/null
OURS="$ROOT/$BUILD_DIR/app/VORN_UPDATE_VERSION"

TMP=$(mktemp -d -t vorn-bench-ftp.XXXXXX)
SERVER_PID=""
trap '[ -n "$SERVER_PID" ] && kill $SERVER_PID 2>/dev/null; rm -rf "$TMP"' EXIT

make_profile() { # name
  local dir="$TMP/server/$1/www/DOWN/VERSIONVORN"
  mkdir -p "$dir"
  "$PY" - "$dir" "$1" <<'PYGEN'
import os, random, sys
d, name = sys.argv[1], sys.argv[2]
rnd = random.Random(42)
if name == "many":
    for i in range(500):
        n = rnd.randint(1024, 65536)
        with open(os.path.join(d, "f%04d.bin" % i), "wb") as f:
            f.write(rnd.randbytes(n))
else:
    block = rnd.randbytes(1 << 20)
    for i in range(4):
        with open(os.path.join(d, "big%d.bin" % i), "wb") as f:
            for j in range(64):
                f.write(block[j:] + block[:j])
PYGEN
  (cd "$dir" && sha256sum -- * | sort -k2) >"$TMP/$1.sums"
}

verify() { # profile dest
  local got
  got=$(cd "$2" && find . -maxdepth 1 -type f ! -name '*.ini' -printf '%P\n' | sort | xargs -d '\n' sha256sum -- | sort -k2)
  [ "$got" = "$(cat "$TMP/$1.sums")" ]
}

run_client() { # client profile dest
  local client=$1 profile=$2 dest=$3
  local url="ftp://127.0.0.1:$PORT/$profile/www/DOWN/VERSIONVORN"
  case $client in
    ours)
      printf '[server]\nhost=127.0.0.1:%s\nuser=bench\npassword=bench\nversion_root=%s/www\n' "$PORT" "$profile" >"$TMP/ours.ini"
      QT_QPA_PLATFORM=offscreen timeout "$RUN_TIMEOUT" "$OURS" --unattended --no-start --app-dir "$dest" --config "$TMP/ours.ini" >/dev/null 2>&1 ;;
    lftp)
      timeout "$RUN_TIMEOUT" lftp -u bench,bench -e "set ftp:passive-mode on; set net:max-retries 1; mirror --parallel=1 $profile/www/DOWN/VERSIONVORN $dest; quit" \
        "ftp://127.0.0.1:$PORT" >/dev/null 2>&1 ;;
    curl)
      : >"$TMP/curl.cfg"
      (cd "$TMP/server/$profile/www/DOWN/VERSIONVORN" && for f in *; do
        printf 'url = "%s/%s"\noutput = "%s/%s"\n' "$url" "$f" "$dest" "$f"; done) >>"$TMP/curl.cfg"
      timeout "$RUN_TIMEOUT" curl -s --ftp-pasv -u bench:bench -K "$TMP/curl.cfg" ;;
  esac
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

mkdir -p "$TMP/server"
for p in $PROFILES; do make_profile "$p"; done
"$PY" tests/fixtures/ftpserver.py --root "$TMP/server" --user bench --password bench >"$TMP/port" 2>"$TMP/server.err" &
SERVER_PID=$!
for _ in $(seq 50); do grep -q '^PORT' "$TMP/port" 2>/dev/null && break; sleep 0.1; done
PORT=$(awk '/^PORT/{print $2}' "$TMP/port")

printf '%-6s %-6s %10s %10s %10s %8s\n' profile client median_s min_s MB/s vs_lftp
for p in $PROFILES; do
  bytes=$(du -sb "$TMP/server/$p/www/DOWN/VERSIONVORN" | cut -f1)
  declare -A med=()
  for c in lftp curl ours; do
    times=()
    failed=""
    for r in $(seq 0 "$REPS"); do
      dest="$TMP/dest-$c-$r"; rm -rf "$dest"; mkdir -p "$dest"
      t0=$(date +%s.%N)
      if ! run_client "$c" "$p" "$dest"; then
        failed="failed or over ${RUN_TIMEOUT}s"; rm -rf "$dest"; break
      fi
      t1=$(date +%s.%N)
      verify "$p" "$dest" || { echo "$c: downloaded files differ on $p" >&2; exit 1; }
      rm -rf "$dest"
      [ "$r" -gt 0 ] && times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    if [ -n "$failed" ]; then
      [ "$c" = ours ] && { echo "ours: $failed on $p" >&2; exit 1; }
      printf '%-6s %-6s %10s   (%s)\n' "$p" "$c" "-" "$failed"
      continue
    fi
    med[$c]=$(printf '%s\n' "${times[@]}" | median)
    min=$(printf '%s\n' "${times[@]}" | sort -n | head -1)
    mbs=$(echo "$bytes / ${med[$c]} / 1000000" | bc -l)
    printf '%-6s %-6s %10.3f %10.3f %10.1f %8.2f\n' "$p" "$c" "${med[$c]}" "$min" "$mbs" "$(echo "${med[$c]} / ${med[lftp]}" | bc -l)"
  done
  unset med
done
echo "(ratio < 1: faster than lftp's one-connection mirror; each run checked with sha256)"
