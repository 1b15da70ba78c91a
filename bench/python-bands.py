#!/usr/bin/python3
"""Speed and memory of the Python package on a 100 MiB scan log with 400
levels per line and two bands (made with hytemgen into build/bench-data/):

- `vyrhost.open(path).bands()` against `vyrhost decode --format summary` of
  the same file, in turn, round after round (medians); goals: at most 1.5
  times the decode's wall time, and a peak resident memory of at most the
  level_dbm arrays' size plus 100 MiB;
- once: `vyrhost.open(path).levels()` (the pandas frame of `export --csv`),
  and the way without the package: `vyrhost export --csv` to a file, then
  `pandas.read_csv` and a pivot of each band to a message x bin matrix.

Every measurement runs in a child process of its own (posix_spawn), whose
wall time, CPU time and peak resident memory (GNU time) are taken; the Python
children also time the call alone, without starting the interpreter and
importing NumPy and the package.

    /usr/bin/python3 bench/python-bands.py [BUILD_DIR]    (default build/bench)

BUILD_DIR holds bin/vyrhost, bin/hytemgen and python/vyrhost. Environment:
KEL_BENCH_PY_ROUNDS (default 5), KEL_BENCH_SIZE_MB (default 100),
KEL_BENCH_PY_SKIP_CSV=1 to leave out the CSV way (about a minute and 4.5 GB
of memory), KEL_BENCH_PY_CSV_MB to run the CSV way on a smaller log of that
many MiB (its figures are then scaled to the full log and marked so).
"""

import datetime
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1024 * 1024

# The child that times one call of the package; prints a JSON line.
CHILD = r"""
import json, sys, time
import numpy as np
import vyrhost
what, path = sys.argv[1], sys.argv[2]
start = time.perf_counter()
if what == "bands":
    bands = vyrhost.open(path).bands()
    size = sum(b.level_dbm.nbytes for b in bands)
    shape = [list(b.level_dbm.shape) for b in bands]
else:
    frame = vyrhost.open(path).levels()
    size = int(frame.memory_usage(deep=False).sum())
    shape = list(frame.shape)
print(json.dumps({"call": time.perf_counter() - start, "bytes": size, "shape": shape}))
"""

# The child that reads the CSV of `vyrhost export --csv` and pivots each band.
CSV_CHILD = r"""
import json, sys, time
import pandas as pd
start = time.perf_counter()
rows = pd.read_csv(sys.argv[1])
matrices = [rows[rows.band == b].pivot(index="message", columns="bin", values="level_dbm")
            for b in sorted(rows.band.dropna().unique())]
print(json.dumps({"call": time.perf_counter() - start, "bytes": sum(m.to_numpy().nbytes for m in matrices),
                  "shape": [list(m.shape) for m in matrices]}))
"""


def run(argv, env=None, stdout_path=None):
    """Runs argv; returns (wall s, CPU s, peak RSS MiB, standard output).

    The peak comes from GNU time, a small process of its own: a child spawned
    straight from this interpreter would count its parent's pages in its peak.
    """
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as usage:
        target = open(stdout_path, "wb") if stdout_path else out
        timed = ["/usr/bin/time", "-f", "%M %U %S", "-o", usage.name, *argv]
        try:
            start = time.perf_counter()
            pid = os.posix_spawn(timed[0], timed, env or os.environ,
                                 file_actions=[(os.POSIX_SPAWN_DUP2, target.fileno(), 1)])
            _, status = os.waitpid(pid, 0)
            wall = time.perf_counter() - start
        finally:
            if stdout_path:
                target.close()
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"python-bands: {' '.join(argv)} failed with status {status}")
        peak_kib, user, system = usage.read().split()[-3:]
        out.seek(0)
        return wall, float(user) + float(system), int(peak_kib) / 1024, out.read().decode()


def python_env(build):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.path.join(build, "python")
    return env


def python_call(build, what, log):
    wall, cpu, peak, out = run([sys.executable, "-c", CHILD, what, log], python_env(build))
    return dict(json.loads(out), wall=wall, cpu=cpu, peak=peak)


def make_log(build, name, size_mb):
    path = os.path.join(ROOT, "build", "bench-data", name)
    if not (os.path.exists(path) and os.path.getsize(path) > 0):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run([os.path.join(build, "bin", "hytemgen"), "--shape", "fixed", "--kind", "scan", "--bins", "400",
                        "--size", str(size_mb), "-o", path], check=True)
    return path


def median(runs, key):
    return statistics.median(r[key] for r in runs)


def machine():
    model = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            model = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
    except (OSError, StopIteration):
        pass
    # Asked of a child, so that this process stays small (see run).
    versions = subprocess.run([sys.executable, "-c", "import numpy, pandas; print(numpy.__version__, pandas.__version__)"],
                              capture_output=True, text=True).stdout.split() or ["?", "absent"]
    return f"{os.cpu_count()} cores ({model}), Python {platform.python_version()}, NumPy {versions[0]}, pandas {versions[1]}"


def verdict(ok):
    return "met" if ok else "NOT met"


def bands_against_decode(build, log, rounds):
    decode, bands = [], []
    vyrhost = os.path.join(build, "bin", "vyrhost")
    for _ in range(rounds):
        wall, cpu, peak, _ = run([vyrhost, "decode", "--format", "summary", log])
        decode.append(dict(wall=wall, cpu=cpu, peak=peak))
        bands.append(python_call(build, "bands", log))
    t_decode, t_call = median(decode, "wall"), median(bands, "call")
    arrays = bands[0]["bytes"] / MIB
    peak = max(r["peak"] for r in bands)
    print(f"medians of {rounds} rounds, run in turn:")
    print(f"  vyrhost decode --format summary   {t_decode:6.2f} s  (CPU {median(decode, 'cpu'):.2f} s)"
          f"  peak RSS {max(r['peak'] for r in decode):7.1f} MiB")
    print(f"  vyrhost.open(path).bands()        {t_call:6.2f} s  (process {median(bands, 'wall'):.2f} s,"
          f" CPU {median(bands, 'cpu'):.2f} s)  peak RSS {peak:7.1f} MiB")
    print(f"  level_dbm arrays {bands[0]['shape']}: {arrays:.1f} MiB")
    ratio = t_call / t_decode
    print(f"  goal time   <= 1.5x decode:             {ratio:.2f}x  {verdict(ratio <= 1.5)}")
    print(f"  goal memory <= arrays + 100 MiB = {arrays + 100:.0f} MiB: {peak:.0f} MiB  {verdict(peak <= arrays + 100)}")
    return t_call, peak


def csv_way(build, log, scale):
    vyrhost = os.path.join(build, "bin", "vyrhost")
    with tempfile.TemporaryDirectory(dir=os.path.dirname(log)) as tmp:
        csv = os.path.join(tmp, "levels.csv")
        t_export, _, p_export, _ = run([vyrhost, "export", "--csv", log], stdout_path=csv)
        size = os.path.getsize(csv)
        wall, _, peak, out = run([sys.executable, "-c", CSV_CHILD, csv], python_env(build))
    read = json.loads(out)["call"]
    return t_export * scale, read * scale, max(p_export, peak) * scale, size * scale, wall


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bench"))
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("python-bands: GNU time is needed for the peak memory (Debian's package time)")
    for tool in ("bin/vyrhost", "bin/hytemgen", "python/vyrhost"):
        if not os.path.exists(os.path.join(build, tool)):
            sys.exit(f"python-bands: {build}/{tool} is missing; build first (the package needs "
                     "pybind11, the Python 3 headers and NumPy)")
    rounds = int(os.environ.get("KEL_BENCH_PY_ROUNDS", "5"))
    size_mb = os.environ.get("KEL_BENCH_SIZE_MB", "100")
    log = make_log(build, "scan400.h2m", size_mb)
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    print(f"Python package, {now}, {machine()}")
    print(f"log: {os.path.relpath(log, ROOT)}, {os.path.getsize(log) / MIB:.0f} MiB, scan, 400 levels per line,"
          " 2 bands")
    t_bands, p_bands = bands_against_decode(build, log, rounds)

    levels = python_call(build, "levels", log)
    print("once:")
    print(f"  vyrhost.open(path).levels()       {levels['call']:6.2f} s  peak RSS {levels['peak']:7.1f} MiB"
          f"  (DataFrame {levels['shape'][0]:,} x {levels['shape'][1]}, {levels['bytes'] / MIB:.0f} MiB)")
    if os.environ.get("KEL_BENCH_PY_SKIP_CSV") == "1":
        return
    csv_mb = os.environ.get("KEL_BENCH_PY_CSV_MB")
    csv_log, scale, note = log, 1.0, ""
    if csv_mb:
        csv_log = make_log(build, f"scan400-{csv_mb}.h2m", csv_mb)
        scale = os.path.getsize(log) / os.path.getsize(csv_log)
        note = f" (measured on {float(csv_mb):g} MiB, scaled x{scale:.1f})"
    t_export, t_read, peak, size, _ = csv_way(build, csv_log, scale)
    total = t_export + t_read
    print(f"  export --csv + read_csv + pivot   {total:6.2f} s  peak RSS {peak:7.1f} MiB{note}")
    print(f"    export --csv {t_export:.2f} s, {size / 1e9:.2f} GB of CSV; pandas.read_csv + pivot {t_read:.2f} s")
    print(f"  bands() against the CSV way: {total / t_bands:.0f}x faster, {peak / p_bands:.0f}x less memory")


if __name__ == "__main__":
    main()
