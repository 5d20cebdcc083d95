#!/usr/bin/python3
"""The fleet benchmark's runner: see run.sh."""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "fixtures", "ftpserver.py")


def version_folder(root):
    folder = os.path.join(root, "www", "DOWN", "VERSIONVORN")
    os.makedirs(folder)
    rng = random.Random(7)
    with open(os.path.join(folder, "VORN.exe"), "wb") as f:
        f.write(rng.randbytes(4 * 1024 * 1024))
    for i in range(20):
        with open(os.path.join(folder, "data%02d.ini" % i), "wb") as f:
            f.write(rng.randbytes(rng.randint(1024, 64 * 1024)))
    return folder


def one_round(app, stations, sessions, limit, retry_for, work):
    served = os.path.join(work, "served")
    folder = version_folder(served)
    events = os.path.join(work, "events")
    server = subprocess.Popen(
        [sys.executable, FIXTURE, "--root", served, "--user", "vorn", "--password", "secret",
         "--max-" + limit, str(sessions), "--events", events],
        stdout=subprocess.PIPE, text=True)
    try:
        port = int(server.stdout.readline().split()[1])
        runs = []
        for i in range(stations):
            station = os.path.join(work, "station%02d" % i)
            os.makedirs(station)
            with open(os.path.join(station, "VORN_UPDATE_VERSION.ini"), "w") as f:
                f.write("[server]\nhost=127.0.0.1:%d\nuser=vorn\npassword=secret\nretry_for=%d\n" % (port, retry_for))
                if os.environ.get("FLEET_SESSIONS"):  # the stations' [server] sessions (default 4)
                    f.write("sessions=%s\n" % os.environ["FLEET_SESSIONS"])
            runs.append(station)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        start = time.monotonic()
        procs = [subprocess.Popen([app, "--unattended", "--no-start", "--app-dir", s], env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for s in runs]
        last = 0.0
        pending = set(range(stations))
        while pending:
            for i in list(pending):
                if procs[i].poll() is not None:
                    pending.discard(i)
                    last = time.monotonic() - start
            time.sleep(0.02)
        expected = sorted(os.listdir(folder))
        completed = 0
        for proc, station in zip(procs, runs):
            same = all(open(os.path.join(station, n), "rb").read() == open(os.path.join(folder, n), "rb").read()
                       for n in expected if os.path.exists(os.path.join(station, n)))
            present = all(os.path.exists(os.path.join(station, n)) for n in expected)
            ok = proc.returncode == 0 and present and same
            completed += ok
            if not ok and os.environ.get("FLEET_SHOW_FAILURE"):
                with open(os.path.join(station, "VORN_UPDATE_VERSION.log"), errors="replace") as f:
                    sys.stderr.write("status %s:\n%s\n" % (proc.returncode, "".join(f.readlines()[-8:])))
        with open(events) as f:
            connections = sum(1 for line in f if line.strip() == "CONNECT")
        return completed, last, connections
    finally:
        server.kill()
        server.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--stations", type=int, default=24)
    ap.add_argument("--sessions", type=int, default=6)
    args = ap.parse_args()
    app = os.path.abspath(args.app)
    n, s = args.stations, args.sessions
    print("%d stations at once, server limited to %d" % (n, s))
    print("%-9s %-10s %10s %12s %12s %12s" % ("limit", "retry_for", "completed", "last (s)", "connections",
                                             "per station"))
    for limit in ("sessions", "sockets"):
        for retry_for in (120, 0):
            work = tempfile.mkdtemp(prefix="vorn-fleet.")
            try:
                completed, last, connections = one_round(app, n, s, limit, retry_for, work)
            finally:
                shutil.rmtree(work, ignore_errors=True)
            print("%-9s %-10d %7d/%-2d %12.1f %12d %12.1f" % (limit, retry_for, completed, n, last, connections,
                                                               connections / n), flush=True)


if __name__ == "__main__":
    main()
