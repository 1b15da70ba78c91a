#!/usr/bin/python3
"""Speed and memory of `vyrhost stats` against `vyrhost decode --format summary`:

- one 100 MiB scan log of 400 levels per line (build/bench-data/scan400.h2m,
  made with `hytemgen --shape fixed --kind scan --bins 400 --size 100`):
  the two commands in turn, round after round, medians of wall and CPU time
  (goal: stats within 1.3 times the decode); the peak resident memory of
  stats on logs of 10, 100 and 400 MiB (goal: the same whatever the length);
- a campaign of 50 scan logs of 20 MiB (two frequency plans, as
  bench/campaign-report.sh makes them) with --jobs 2, in turn, medians
  (goal: within 1.3 times the decode with --jobs 2);
- instruction counts (valgrind's callgrind) of both on a 5 MiB log, which
  a busy machine does not change.

    /usr/bin/python3 bench/stats-speed.py [BIN_DIR] [WORK_DIR]

BIN_DIR holds vyrhost and hytemgen (default build/bin), WORK_DIR the
campaign's logs (default /tmp/kel-stats-bench, kept for the next run).
Environment: KEL_BENCH_ROUNDS (default 9), KEL_BENCH_CAMPAIGN_ROUNDS
(default 3), KEL_BENCH_SKIP_CALLGRIND=1.
"""

import datetime
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "bin"))
WORK = sys.argv[2] if len(sys.argv) > 2 else "/tmp/kel-stats-bench"
DATA = os.path.join(ROOT, "build", "bench-data")
VYRHOST = os.path.join(BIN, "vyrhost")
ROUNDS = int(os.environ.get("KEL_BENCH_ROUNDS", "9"))
CAMPAIGN_ROUNDS = int(os.environ.get("KEL_BENCH_CAMPAIGN_ROUNDS", "3"))
MIB = 1024 * 1024


def generate(path, *args):
    if not os.path.exists(path) or os.path.getsize(path) == 0:
        subprocess.run([os.path.join(BIN, "hytemgen"), "--shape", "fixed", *args, "-o", path], check=True)
    return path


def one_run(argv):
    """Wall time and CPU time (user + system of the child)."""
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ,
                         file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f"stats-speed: {' '.join(argv)} failed")
    return wall, usage.ru_utime + usage.ru_stime


def peak_rss_kib(argv):
    """The peak resident memory of one run, from GNU time (the child's own,
    which the rusage of a spawned child does not give apart from the parent's)."""
    with tempfile.NamedTemporaryFile(mode="r", prefix="stats-speed.rss.") as out:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name, *argv], stdout=subprocess.DEVNULL, check=True)
        return int(out.read().split()[-1])


def in_turn(rounds, commands):
    """Medians of wall and CPU time of each command, run in turn, and its peak RSS."""
    runs = {name: [] for name in commands}
    for _ in range(rounds):
        for name, argv in commands.items():
            runs[name].append(one_run(argv))
    return {name: (statistics.median(v[0] for v in values), statistics.median(v[1] for v in values),
                   peak_rss_kib(commands[name])) for name, values in runs.items()}


def show(results, reference, goal):
    ref_wall, ref_cpu, _ = results[reference]
    for name, (wall, cpu, rss) in results.items():
        print(f"  {name:38s} {wall:6.2f} s  CPU {cpu:6.2f} s  peak RSS {rss / 1024:6.1f} MiB"
              f"  = {wall / ref_wall:.2f}x wall, {cpu / ref_cpu:.2f}x CPU")
    name = next(n for n in results if n != reference)
    ratio = results[name][0] / ref_wall
    print(f"  goal: within {goal}x the decode: {ratio:.2f}x wall {'met' if ratio <= goal else 'NOT met'}")


def instructions(argv):
    with tempfile.NamedTemporaryFile(prefix="stats-speed.callgrind.") as out:
        subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out.name}", *argv],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        text = open(out.name).read()
    return int(re.search(r"^(?:summary|totals): (\d+)", text, re.M).group(1))


def machine():
    model = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
                 "unknown CPU")
    load = " ".join(open("/proc/loadavg").read().split()[:3])
    return f"{datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC, {model}, {os.cpu_count()} cores, load average {load}"


def main():
    os.makedirs(DATA, exist_ok=True)
    os.makedirs(WORK, exist_ok=True)
    print(f"Machine: {machine()}")
    log = generate(os.path.join(DATA, "scan400.h2m"), "--kind", "scan", "--bins", "400", "--size", "100")
    print(f"\n{os.path.relpath(log, ROOT)}, {os.path.getsize(log) / MIB:.0f} MiB, medians of {ROUNDS} rounds in turn:")
    show(in_turn(ROUNDS, {"decode --format summary": [VYRHOST, "decode", "--format", "summary", log],
                          "stats": [VYRHOST, "stats", log]}), "decode --format summary", 1.3)
    print("\nPeak RSS of stats by the length of the log (one run each):")
    for mib in (10, 100, 400):
        path = log if mib == 100 else generate(os.path.join(WORK, f"scan400_{mib}.h2m"), "--kind", "scan",
                                               "--bins", "400", "--size", str(mib))
        wall, _ = one_run([VYRHOST, "stats", path])
        rss = peak_rss_kib([VYRHOST, "stats", path])
        print(f"  {mib:4d} MiB: {rss / 1024:5.1f} MiB, {wall:5.2f} s")

    logs = []
    for i in range(1, 51):
        bins = "1000" if i % 2 else "800"  # two plans, as bench/campaign-report.sh
        logs.append(generate(os.path.join(WORK, f"log{i:03d}_20.h2m"), "--kind", "scan", "--bands", "2", "--bins", bins,
                             "--size", "20", "--seed", str(i)))
    total = sum(os.path.getsize(p) for p in logs)
    subprocess.run(["cat", *logs], stdout=subprocess.DEVNULL, check=True)  # warm the page cache
    print(f"\nCampaign of {len(logs)} logs, {total / 1e6:.0f} MB, --jobs 2, medians of {CAMPAIGN_ROUNDS} rounds in turn:")
    show(in_turn(CAMPAIGN_ROUNDS, {"decode --format summary --jobs 2": [VYRHOST, "decode", "--format", "summary",
                                                                         "--jobs", "2", *logs],
                                   "stats --jobs 2": [VYRHOST, "stats", "--jobs", "2", *logs]}),
         "decode --format summary --jobs 2", 1.3)

    if os.environ.get("KEL_BENCH_SKIP_CALLGRIND") != "1":
        small = generate(os.path.join(WORK, "scan400_5.h2m"), "--kind", "scan", "--bins", "400", "--size", "5")
        decode = instructions([VYRHOST, "decode", "--format", "summary", small])
        stats = instructions([VYRHOST, "stats", small])
        print(f"\nInstructions (callgrind) on a 5 MiB scan log of 400 levels per line:")
        print(f"  decode --format summary {decode / 1e6:8.1f} M")
        print(f"  stats                   {stats / 1e6:8.1f} M  = {stats / decode:.2f}x")
    print(f"\nMachine at the end: {machine()}")


if __name__ == "__main__":
    main()
