#!/usr/bin/python3
"""The patch benchmark's runner: see run.sh."""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURE = os.path.join(HERE, "..", "..", "tests", "fixtures", "ftpserver.py")
QT_LIBS = ["libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libQt6Network.so.6"]
# The command each run of the program goes through: empty on Linux, scripts/wine-run for the
# Windows program (--runner). Each update's peak memory is read by GNU time.
RUNNER = []
FOLDER = os.path.join("www", "DOWN", "VERSIONVORN")


def changed(data, rng):
    """The same binary rebuilt with small changes: a few KiB inserted and deleted at 8 places."""
    data = bytearray(data)
    for _ in range(8):
        at = rng.randrange(len(data))
        if rng.random() < 0.5:
            data[at:at] = rng.randbytes(rng.randint(512, 4096))
        else:
            del data[at:at + rng.randint(512, 4096)]
    return bytes(data)


def run(cmd, **kw):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)


def publish(app, files, folder, number, key, previous=None):
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    cmd = RUNNER + [app, "--make-manifest", folder, "--release", str(number)]
    if previous:
        cmd += ["--previous", previous]
    run(cmd)
    run(["minisign", "-S", "-s", key, "-m", os.path.join(folder, "VORN.manifest")])


class Server:
    def __init__(self, root, events, delay, rate=0):
        self.proc = subprocess.Popen([sys.executable, FIXTURE, "--root", root, "--events", events,
                                      "--reply-delay", str(delay), "--rate", str(rate)],
                                     stdout=subprocess.PIPE, text=True)
        self.port = int(self.proc.stdout.readline().split()[1])

    def stop(self):
        self.proc.kill()
        self.proc.wait()


def update(app, station, port, pub):
    with open(os.path.join(station, "VORN_UPDATE_VERSION.ini"), "w") as f:
        f.write("[server]\nhost=127.0.0.1:%d\nuser=vorn\npassword=secret\nskip_unchanged=true\n[update]\npublic_key=%s\n" % (port, pub))
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    peak = station + ".peak"
    start = time.monotonic()
    p = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", "-o", peak] + RUNNER +
                       [app, "--unattended", "--no-start", "--app-dir", station], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    took = time.monotonic() - start
    if p.returncode != 0:
        sys.exit("update failed (%d):\n%s" % (p.returncode, p.stderr[-2000:]))
    UPDATE_PEAKS.append(int(open(peak).read().split()[-1]) // 1024)
    return took, p.stderr


UPDATE_PEAKS = []


def fetched_bytes(events, root):
    total = 0
    with open(events) as f:
        for line in f:
            parts = line.split()
            if parts and parts[0] == "RETR":
                path = os.path.join(root, FOLDER, parts[1])
                if not os.path.exists(path):
                    path = os.path.join(root, FOLDER, "patches", parts[1])
                total += os.path.getsize(path)
    return total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--app", required=True)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--runner", help="a command each run of the program goes through (scripts/wine-run)")
    ap.add_argument("--libs", help="for the Windows program: the folder of the DLLs the release is made of (its own)")
    ap.add_argument("--loopback-only", action="store_true")
    args = ap.parse_args()
    app = os.path.abspath(args.app)
    if args.runner:
        RUNNER.append(os.path.abspath(args.runner))
    windows = app.endswith(".exe")
    libs = args.libs or os.path.dirname(app)
    rng = random.Random(27)
    work = tempfile.mkdtemp(prefix="vorn-patch-bench-")
    try:
        run(["minisign", "-G", "-W", "-p", os.path.join(work, "k.pub"), "-s", os.path.join(work, "k.key")])
        pub = open(os.path.join(work, "k.pub")).read().split("\n")[1]
        key = os.path.join(work, "k.key")
        old = {"VORN.exe": open(app, "rb").read()}
        for lib in QT_LIBS:
            old[lib] = open(os.path.join("/usr/lib/x86_64-linux-gnu", lib), "rb").read()
        if windows:
            # Every DLL the Windows program ships beside it, with the Linux libraries above as
            # further data: a release of about the Linux one's size, the largest file a DLL.
            for lib in sorted(f for f in os.listdir(libs) if f.lower().endswith(".dll")):
                old[lib] = open(os.path.join(libs, lib), "rb").read()
        small = {"data%02d.ini" % i: rng.randbytes(rng.randint(1024, 16384)) for i in range(20)}
        new = {name: changed(data, rng) for name, data in old.items()}
        changed_bytes = sum(len(d) for d in new.values())

        v1 = os.path.join(work, "v1", FOLDER)
        publish(app, {**old, **small}, v1, 1, key)
        whole_root = os.path.join(work, "whole")
        patched_root = os.path.join(work, "patched")
        publish(app, {**new, **small}, os.path.join(whole_root, FOLDER), 2, key)
        started = time.monotonic()
        publish(app, {**new, **small}, os.path.join(patched_root, FOLDER), 2, key, previous=v1)
        making = time.monotonic() - started

        base = os.path.join(work, "station")
        os.makedirs(base)
        server = Server(os.path.join(work, "v1"), os.path.join(work, "ev0"), 0)
        update(app, base, server.port, pub)
        server.stop()

        print("release: %d changed files, %.1f MiB; patches made in %.1f s" %
              (len(new), changed_bytes / 2**20, making))
        print("%-22s %-8s %14s %10s" % ("link", "update", "bytes fetched", "median s"))
        # Loopback; a server 25 ms away on a link as fast as loopback; the same on a link of about
        # 100 Mbit/s (12,500 KiB/s per data connection).
        for delay, rate in ((0, 0),) if args.loopback_only else ((0, 0), (25, 0), (25, 12500)):
            times = {"whole": [], "patched": [], "current": []}
            peaks = {"whole": [], "patched": []}
            sizes = {}
            for r in range(args.rounds):
                for kind, root in (("whole", whole_root), ("patched", patched_root)):
                    events = os.path.join(work, "ev-%s-%d-%d-%d" % (kind, delay, rate, r))
                    server = Server(root, events, delay, rate)
                    station = os.path.join(work, "s-%s-%d-%d-%d" % (kind, delay, rate, r))
                    shutil.copytree(base, station, symlinks=True)
                    took, log = update(app, station, server.port, pub)
                    peaks[kind].append(UPDATE_PEAKS[-1])
                    server.stop()
                    for name, data in new.items():
                        if open(os.path.join(station, name), "rb").read() != data:
                            sys.exit("%s: %s differs after the update" % (kind, name))
                    if kind == "patched" and "Correctifs : %d fichier(s)" % len(new) not in log:
                        sys.exit("patched: not every changed file came as a patch:\n" + log[-2000:])
                    times[kind].append(took)
                    sizes[kind] = fetched_bytes(events, root)
                    if kind == "whole":
                        # The same station once more, now up to date: what any update costs on
                        # this link before it fetches a byte.
                        server = Server(root, events + "-again", delay, rate)
                        times["current"].append(update(app, station, server.port, pub)[0])
                        server.stop()
                    shutil.rmtree(station)
            link = "loopback" if delay == 0 else "%d ms" % delay + (", %d KiB/s" % rate if rate else "")
            for kind in ("whole", "patched"):
                print("%-22s %-8s %14d %10.2f   peak %d MiB" % (link, kind, sizes[kind], statistics.median(times[kind]),
                                                               statistics.median(peaks[kind])))
            print("%-22s %-8s %14s %10.2f" % (link, "current", "-", statistics.median(times["current"])))
            print("%-22s patched/whole: bytes %.3f (changed files' whole bytes: %.3f), time %.2f" %
                  (link, sizes["patched"] / sizes["whole"],
                   sizes["patched"] / changed_bytes, statistics.median(times["patched"]) /
                   statistics.median(times["whole"])))
            print("%-22s up to date/whole (no update can take less): %.2f" %
                  (link, statistics.median(times["current"]) / statistics.median(times["whole"])))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
