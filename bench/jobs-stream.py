#!/usr/bin/python3
"""Measures `vyrhost decode --format jsonl --jobs 4` over a large scan log
followed by small logs: the time to the first byte of output, the whole
time, the peak memory, and the peak of spooled output held in temporary files.

    bench/jobs-stream.py BIN_DIR [--size MB] [--jobs N] [--big-second] [--bigs N]

BIN_DIR holds vyrhost, hytemgen and plugins/. The logs are generated into a
temporary folder. Spool files are unlinked as soon as they are made, so
their use is measured as the sizes of the deleted files the process holds
open (/proc/PID/fd), sampled every 20 ms. With --big-second a small log
comes first, so that the large one is decoded ahead; with --bigs N, N large
logs (seeds 1 to N) come before the small ones, so that large logs are
decoded ahead of a large one being written."""

import argparse
import os
import resource
import subprocess
import tempfile
import threading
import time


def held_spool_bytes(pid):
    total = 0
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}").endswith(" (deleted)"):
                    total += os.stat(f"/proc/{pid}/fd/{fd}").st_size
            except OSError:
                pass
    except OSError:
        pass
    return total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("bin")
    ap.add_argument("--size", default="50")
    ap.add_argument("--jobs", default="4")
    ap.add_argument("--big-second", action="store_true")
    ap.add_argument("--bigs", type=int, default=1)
    a = ap.parse_args()
    vyrhost, hytemgen = os.path.join(a.bin, "vyrhost"), os.path.join(a.bin, "hytemgen")
    with tempfile.TemporaryDirectory() as d:
        bigs = []
        for i in range(a.bigs):
            bigs.append(os.path.join(d, f"big{i + 1}.h2m"))
            subprocess.run([hytemgen, "--shape", "fixed", "--kind", "scan", "--bins", "400", "--size", a.size, "--seed", str(i + 1),
                            "-o", bigs[-1]], check=True)
        small = []
        for i, kind in enumerate(["scan", "channels", "stats", "scan", "channels", "stats"]):
            path = os.path.join(d, f"small{i}.{'h2m' if kind == 'scan' else 'h1m' if kind == 'channels' else 'h1s'}")
            subprocess.run([hytemgen, "--shape", "fixed", "--kind", kind, "--lines", "200", "--seed", str(i + 1), "-o", path], check=True)
            small.append(path)
        files = small[:1] + bigs + small[1:] if a.big_second else bigs + small
        start = time.monotonic()
        p = subprocess.Popen([vyrhost, "decode", "--format", "jsonl", "--jobs", a.jobs, *files],
                             stdout=subprocess.PIPE)
        peak = [0]

        def sample():
            while p.poll() is None:
                peak[0] = max(peak[0], held_spool_bytes(p.pid))
                time.sleep(0.02)

        sampler = threading.Thread(target=sample)
        sampler.start()
        first = p.stdout.read(1)
        first_at = time.monotonic() - start
        n = len(first)
        while chunk := p.stdout.read(1 << 20):
            n += len(chunk)
        rc = p.wait()
        total = time.monotonic() - start
        sampler.join()
    print(f"files: {os.path.basename(files[0])} first, {len(files)} logs, {a.bigs} big of {a.size} MiB, --jobs {a.jobs}")
    print(f"exit {rc}, output {n / 2**20:.1f} MiB")
    print(f"first byte after {first_at:.3f} s, all after {total:.2f} s")
    print(f"peak spooled in temporary files: {peak[0] / 2**20:.1f} MiB, "
          f"peak memory (largest child RSS) {resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024:.0f} MiB")


if __name__ == "__main__":
    main()
