#!/usr/bin/python3
"""The mirrors benchmark's runner: see mirrors.sh."""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fleet import FIXTURE, version_folder  # noqa: E402


def closed_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def one_round(app, stations, mirrors, sessions, down, work, retry_for):
    served = os.path.join(work, "served")
    folder = version_folder(served)
    servers, hosts, events = [], [], []
    for m in range(mirrors):
        if m < down:
            hosts.append("127.0.0.1:%d" % closed_port())
            events.append(None)
            continue
        ev = os.path.join(work, "events%d" % m)
        p = subprocess.Popen([sys.executable, FIXTURE, "--root", served, "--user", "vorn", "--password", "secret",
                              "--max-sessions", str(sessions), "--events", ev], stdout=subprocess.PIPE, text=True)
        servers.append(p)
        hosts.append("127.0.0.1:%s" % p.stdout.readline().split()[1])
        events.append(ev)
    try:
        runs = []
        for i in range(stations):
            station = os.path.join(work, "station%02d" % i)
            os.makedirs(station)
            with open(os.path.join(station, "VORN_UPDATE_VERSION.ini"), "w") as f:
                f.write("[server]\nhost=%s\nuser=vorn\npassword=secret\nretry_for=%d\n" % (", ".join(hosts), retry_for))
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
        moves = 0
        for proc, station in zip(procs, runs):
            ok = proc.returncode == 0 and all(
                open(os.path.join(station, n), "rb").read() == open(os.path.join(folder, n), "rb").read()
                for n in expected if os.path.exists(os.path.join(station, n))) and all(
                os.path.exists(os.path.join(station, n)) for n in expected)
            completed += ok
            with open(os.path.join(station, "VORN_UPDATE_VERSION.log"), errors="replace") as f:
                moves += sum(1 for line in f if "passage au miroir" in line)
        per_mirror = []
        for ev in events:
            if ev is None:
                per_mirror.append("down")
            else:
                with open(ev) as f:
                    per_mirror.append(str(sum(1 for line in f if line.strip() == "CONNECT")))
        return completed, last, moves, per_mirror
    finally:
        for p in servers:
            p.kill()
            p.wait()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--stations", type=int, default=60)
    ap.add_argument("--mirrors", type=int, default=3)
    ap.add_argument("--sessions", type=int, default=6)
    ap.add_argument("--retry-for", type=int, default=60)
    ap.add_argument("--rounds", type=int, default=1, help="runs of each case, one line each")
    args = ap.parse_args()
    app = os.path.abspath(args.app)
    print("%d stations at once, %d mirrors of at most %d sessions each, retry_for=%d" %
          (args.stations, args.mirrors, args.sessions, args.retry_for))
    print("%-6s %10s %10s %8s  %s" % ("down", "completed", "last (s)", "moves", "control connections per mirror"))
    for down in [0, 1] * args.rounds:
        work = tempfile.mkdtemp(prefix="vorn-mirrors.")
        try:
            completed, last, moves, per_mirror = one_round(app, args.stations, args.mirrors, args.sessions, down, work,
                                                           args.retry_for)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        print("%-6d %7d/%-2d %10.1f %8d  %s" % (down, completed, args.stations, last, moves, " ".join(per_mirror)),
              flush=True)


if __name__ == "__main__":
    main()
