#!/usr/bin/python3
"""`vyrhost.open(path).bands(jobs=N)` of one large scan log with one job and
with two: wall and CPU time of the call, peak resident memory of the process,
medians of ROUNDS rounds run in turn, and a digest of every table to show
that both give the same tables.

    /usr/bin/python3 bench/python-pieces.py [BUILD_DIR [LOG]]

BUILD_DIR holds python/vyrhost (default build); LOG defaults to a 1 GiB log
made by hytemgen (2 bands of 400 bins) in $TMPDIR; ROUNDS defaults to 3.
Each call runs in a child process of its own, measured by GNU time.
"""

import json
import os
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024

# Times one call; prints a JSON line. The digest is taken after the timing.
CHILD = r"""
import hashlib, json, sys, time
import numpy as np
import vyrhost
path, jobs = sys.argv[1], int(sys.argv[2])
cpu, start = time.process_time(), time.perf_counter()
bands = vyrhost.open(path).bands(jobs=jobs)
wall, cpu = time.perf_counter() - start, time.process_time() - cpu
digest = hashlib.sha1()
for b in bands:
    digest.update(repr((b.band, b.header, b.level_dbm.shape, b.level_dbm.dtype)).encode())
    for name in ("bins", "frequency_hz", "message", "time_ms", "time", "lat", "lon", "quality", "level_dbm"):
        digest.update(getattr(b, name).view(np.uint8))  # no copy: the peak stays the call's
print(json.dumps({"wall": wall, "cpu": cpu, "digest": digest.hexdigest(),
                  "shape": [list(b.level_dbm.shape) for b in bands]}))
"""


def call(build, log, jobs):
    """One child: the call's wall and CPU time, the process's peak RSS (MiB)."""
    env = dict(os.environ, PYTHONPATH=os.path.join(build, "python"))
    with tempfile.NamedTemporaryFile("r") as usage:
        out = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", usage.name, sys.executable, "-c", CHILD, log,
                              str(jobs)], env=env, capture_output=True, text=True)
        if out.returncode != 0:
            sys.exit(f"python-pieces: the call with jobs={jobs} failed:\n{out.stderr}")
        peak = int(usage.read().split()[-1]) / 1024
    return dict(json.loads(out.stdout), peak=peak)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    log = sys.argv[2] if len(sys.argv) > 2 else os.path.join(os.environ.get("TMPDIR", "/tmp"), "pieces-bench-1g.h2m")
    rounds = int(os.environ.get("ROUNDS", "3"))
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("python-pieces: GNU time is needed for the peak memory (Debian's package time)")
    if not os.path.exists(log):
        subprocess.run([os.path.join(build, "bin", "hytemgen"), "--kind", "scan", "--bands", "2", "--bins", "400",
                        "--size", "1024", "-o", log], check=True)
    runs = {1: [], 2: []}
    for _ in range(rounds):
        for jobs in runs:
            runs[jobs].append(call(build, log, jobs))
    one = statistics.median(r["wall"] for r in runs[1])
    print(f"{log}: {os.path.getsize(log) / MIB:.0f} MiB, tables {runs[1][0]['shape']}; medians of {rounds} rounds")
    for jobs, rs in runs.items():
        wall = statistics.median(r["wall"] for r in rs)
        print(f"  bands(jobs={jobs})  {wall:6.2f} s  CPU {statistics.median(r['cpu'] for r in rs):6.2f} s"
              f"  peak RSS {statistics.median(r['peak'] for r in rs):7.1f} MiB  = {wall / one:.2f}x of one job")
    digests = {r["digest"] for rs in runs.values() for r in rs}
    print("  the same tables with one and two jobs" if len(digests) == 1 else "  THE TABLES DIFFER")
    sys.exit(0 if len(digests) == 1 else 1)


if __name__ == "__main__":
    main()
