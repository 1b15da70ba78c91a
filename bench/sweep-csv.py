#!/usr/bin/python3
"""Speed of the sweep plug-in on a generated 100 MiB rtl_power file:

  1. `vyrhost decode --format summary` against `mawk -F, '{n+=NF} END{print n}'`
     (splitting the same file on commas), goal: within 2x;
  2. `vyrhost.open(path).bands()` against `pandas.read_csv` of the file and a
     pivot to time x frequency (the way users load rtl_power files today),
     goal: at least 10x faster.

The commands take turns in every round, and the medians are printed with the
load average before and after (the build machine is shared).

  /usr/bin/python3 bench/sweep-csv.py [BIN_DIR] [--rounds N] [--python-rounds N] [--size MIB]

BIN_DIR holds vyrhost and sweepgen (default build/bin); the Python package is
taken from BIN_DIR/../python. The file goes to build/bench-data/ and is kept.
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def pandas_time_by_frequency(path):
    """What a user writes today: read the CSV, spread each line's levels over
    its bins (Hz low + k * Hz step) and pivot to one row per time and one
    column per frequency."""
    import numpy as np
    import pandas as pd
    df = pd.read_csv(path, header=None, skipinitialspace=True)
    long = df.iloc[:, 6:].stack()
    line = long.index.get_level_values(0)
    k = long.index.get_level_values(1).to_numpy() - 6
    hz = np.round(df[2].to_numpy()[line] + k * df[4].to_numpy()[line])
    when = pd.to_datetime(df[0] + " " + df[1]).to_numpy()[line]
    return pd.DataFrame({"time": when, "hz": hz, "db": long.to_numpy()}).pivot_table(index="time", columns="hz", values="db")


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def run(argv):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bin", nargs="?", default=os.path.join(ROOT, "build", "bin"))
    ap.add_argument("--rounds", type=int, default=9)
    ap.add_argument("--python-rounds", type=int, default=3)
    ap.add_argument("--size", type=float, default=100)
    args = ap.parse_args()
    bin_dir = os.path.abspath(args.bin)
    sys.path.insert(0, os.path.join(os.path.dirname(bin_dir), "python"))
    import vyrhost

    data = os.path.join(ROOT, "build", "bench-data")
    os.makedirs(data, exist_ok=True)
    path = os.path.join(data, f"sweep_rtl{args.size:g}.csv")
    if not os.path.exists(path):
        run([os.path.join(bin_dir, "sweepgen"), "--from", "24e6", "--to", "1700e6", "--bin", "10e3",
             "--size", str(args.size), "-o", path])
    size = os.path.getsize(path)
    print(f"{path}: {size / 2**20:.1f} MiB, rtl_power layout (sweepgen --from 24e6 --to 1700e6 --bin 10e3)")
    print(f"load average before: {' '.join(f'{x:.2f}' for x in os.getloadavg())}, {os.cpu_count()} cores")

    decode = [os.path.join(bin_dir, "vyrhost"), "decode", "--format", "summary", path]
    mawk = ["mawk", "-F,", "{n+=NF} END{print n}", path]
    runs = {"vyrhost decode --format summary": [], "mawk -F, '{n+=NF}'": []}
    for _ in range(args.rounds):
        for name, argv in zip(runs, (decode, mawk)):
            runs[name].append(timed(lambda: run(argv)))
    medians = {name: statistics.median(t) for name, t in runs.items()}
    for name, t in runs.items():
        print(f"  {name:32s} median {medians[name]:.3f} s  ({min(t):.3f}..{max(t):.3f}, {len(t)} rounds)")
    ratio = medians["vyrhost decode --format summary"] / medians["mawk -F, '{n+=NF}'"]
    print(f"  decode / mawk = {ratio:.2f}x  (goal <= 2x: {'met' if ratio <= 2 else 'NOT met'})")

    py = {"vyrhost.open(path).bands()": [], "pandas.read_csv + pivot": []}
    shapes = {}
    for _ in range(args.python_rounds):
        t = time.perf_counter()
        bands = vyrhost.open(path).bands()
        py["vyrhost.open(path).bands()"].append(time.perf_counter() - t)
        shapes["bands"] = [b.level_dbm.shape for b in bands]
        t = time.perf_counter()
        table = pandas_time_by_frequency(path)
        py["pandas.read_csv + pivot"].append(time.perf_counter() - t)
        shapes["pandas"] = table.shape
        del table, bands
    pm = {name: statistics.median(t) for name, t in py.items()}
    for name, t in py.items():
        print(f"  {name:32s} median {pm[name]:.2f} s  ({min(t):.2f}..{max(t):.2f}, {len(t)} rounds)")
    speedup = pm["pandas.read_csv + pivot"] / pm["vyrhost.open(path).bands()"]
    print(f"  tables: bands() {shapes['bands']}, pandas {shapes['pandas']}")
    print(f"  pandas / bands() = {speedup:.1f}x  (goal >= 10x: {'met' if speedup >= 10 else 'NOT met'})")
    print(f"  peak memory of this process: {resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024:.0f} MiB")
    print(f"load average after: {' '.join(f'{x:.2f}' for x in os.getloadavg())}")
    return 0 if ratio <= 2 and speedup >= 10 else 1


if __name__ == "__main__":
    sys.exit(main())
