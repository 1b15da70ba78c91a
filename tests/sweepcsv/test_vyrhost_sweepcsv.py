"""Sweep files (rtl_power, hackrf_sweep) through the real vyrhost, its plug-in
and the Python package: hand-written files whose levels are known, the round
trip of HYTEM logs through `export --sweeps`, and the refusals."""

import collections
import csv
import io
import json
import math
import os
import shutil
import subprocess
import tempfile
import unittest

try:
    import numpy as np
    import vyrhost
except ImportError:  # the Python package is not built (sanitizer builds): the CSV export alone is checked
    vyrhost = None

VYRHOST = os.environ["VYRHOST"]
HYTEMGEN = os.environ["HYTEMGEN"]
SAMPLES = os.environ["KEL_SAMPLES"]
NAN, INF = math.nan, math.inf

RTL = ("2024-03-01, 12:00:00, 88000000, 88020000, 10000.00, 16, -41.5, nan\r\n"
       "2024-03-01, 12:00:00, 88020000, 88040000, 10000.00, 16, -inf, -20.5\r\n"
       "\r\n"
       "2024-03-01, 12:00:00, 88000000, 88020000, 10000.00, 16, -1, -2\r\n"   # a hop again: a new sweep
       "2024-03-01, 12:00:05, 88020000, 88040000, 10000.00, 16, -3, x\r\n"    # x: no level
       "2024-03-01, 12:00:10, 88000000, 88020000, 10000.00, 16, -5, -6")      # cut: -6 is left out
# hackrf_sweep's interleaved hops; the fourth line returns to the lowest.
HACKRF = ("2024-03-01, 12:00:10.250000, 2400000000, 2402000000, 1000000.00, 20, -70, -71\n"
          "2024-03-01, 12:00:10.250400, 2404000000, 2406000000, 1000000.00, 20, -60, -61\n"
          "2024-03-01, 12:00:10.250800, 2402000000, 2404000000, 1000000.00, 20, -50, -51\n"
          "2024-03-01, 12:00:11.100000, 2400000000, 2402000000, 1000000.00, 20, -75, -76\n"
          "2024-03-01, 12:00:11.100400, 2404000000, 2406000000, 1000000.00, 20, -65, -66\n")
ROW = "2024-03-01, 12:00:00, 88000000, 88020000, 10000.00, 16, -41.5, -40\n"


def read(path):
    with open(path, newline="") as f:
        return f.read()


def run(*args, check=True):
    r = subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=300)
    if check and r.returncode != 0:
        raise AssertionError(f"vyrhost {' '.join(args)}: exit {r.returncode}: {r.stderr}")
    return r


def table_from_csv(path, bins):
    """The sweeps' times and levels as export --csv gives them: one row per
    message with levels, NaN where a bin has none."""
    rows = list(csv.DictReader(io.StringIO(run("export", "--csv", path).stdout)))
    messages = sorted({int(r["message"]) for r in rows})
    times = [next(int(r["time_ms"]) for r in rows if int(r["message"]) == m) for m in messages]
    table = [[NAN] * bins for _ in messages]
    hz = [None] * bins
    for r in rows:
        table[messages.index(int(r["message"]))][int(r["bin"])] = float(r["level_dbm"])
        hz[int(r["bin"])] = int(r["frequency_hz"])
    return hz, times, table, len(rows)


def same_levels(a, b):
    return len(a) == len(b) and all(x == y or (math.isnan(x) and math.isnan(y)) for x, y in zip(a, b))


def levels_by_second(path):
    """The levels that `export --csv` gives, as (second, hertz, level) with their count; NaN left out."""
    rows = csv.DictReader(io.StringIO(run("export", "--csv", path).stdout))
    return collections.Counter((r["time"][:19], r["frequency_hz"], r["level_dbm"]) for r in rows
                               if r["level_dbm"] != "nan")


class SweepCsvTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.tmp.cleanup()

    def write(self, name, text):
        path = os.path.join(self.tmp.name, name)
        with open(path, "w", newline="") as f:
            f.write(text)
        return path

    def test_known_levels(self):
        cases = [
            # The "nan" of the file is a level; a bin without one is NaN in the table too.
            ("rtl.csv", RTL, [88000000, 88010000, 88020000, 88030000], [0, 0, 5000, 10000],
             [[-41.5, NAN, -INF, -20.5], [-1, -2, NAN, NAN], [NAN, NAN, -3, NAN], [-5, NAN, NAN, NAN]], 8),
            ("hackrf.csv", HACKRF, [2400000000 + k * 1000000 for k in range(6)], [0, 850],
             [[-70, -71, -50, -51, -60, -61], [-75, -76, NAN, NAN, -65, -66]], 10),
        ]
        for name, text, hz, times, levels, count in cases:
            with self.subTest(name):
                path = self.write(name, text)
                got_hz, got_times, table, rows = table_from_csv(path, len(hz))
                self.assertEqual((got_hz, got_times, rows), (hz, times, count))
                self.assertEqual(len(table), len(levels))
                self.assertTrue(all(same_levels(a, b) for a, b in zip(table, levels)), table)
                if vyrhost is None:
                    continue
                log = vyrhost.open(path)
                bands = log.bands()
                self.assertEqual(len(bands), 1)
                self.assertEqual(bands[0].frequency_hz.tolist(), hz)
                self.assertEqual(bands[0].time_ms.tolist(), times)
                np.testing.assert_array_equal(bands[0].level_dbm, np.array(levels))
                self.assertEqual(len(log.levels()), count)

    def test_cut_last_line_and_layout_are_told(self):
        info = json.loads(run("info", "--format", "json", self.write("rtl.csv", RTL)).stdout)
        self.assertTrue(info["last_line_cut"])
        self.assertEqual((info["type"], info["kind"], info["software_version"]), ("SWEEPCSV", "scan", "rtl_power"))
        info = json.loads(run("info", "--format", "json", self.write("hackrf.csv", HACKRF)).stdout)
        self.assertEqual((info["software_version"], info["bands"][0]["bins"]), ("hackrf_sweep", 6))

    def test_unreadable_line_is_a_message_of_its_own(self):
        path = self.write("bad.csv", ROW + "2024-03-01, 12:00:01, 88000000, oops, 10000.00, 16, -1\n" + ROW)
        records = [json.loads(line) for line in run("decode", "--format", "jsonl", path).stdout.splitlines()[1:]]
        self.assertEqual([r["class"] for r in records if "class" in r], [321, 322, 323, 322])
        bad = next(r for r in records if r.get("class") == 323)
        self.assertEqual(bad["payload"], "Line^Reason^2;Hz high is not a number;")

    def test_refusals(self):
        hytem = read(os.path.join(SAMPLES, "scan_two_bands.h2m"))
        cases = [
            ("other.csv", "a,b,c\n1,2,3\n", 1, "refused with code 1004: not an rtl_power or hackrf_sweep sweep file"),
            ("header.csv", "date, time, Hz low, Hz high, Hz step, samples, dB\n" + ROW, 1, "code 1004"),
            ("hytem.csv", hytem, 1, "code 1004"),
            ("empty.csv", "", 1, "refused with code 1002: the file holds no line"),
            ("blank.csv", "\n  \r\n", 1, "code 1002"),
            ("sweeps.txt", ROW, 0, ""),  # no type claims .txt: the probe finds it
        ]
        for name, text, status, message in cases:
            with self.subTest(name):
                r = run("decode", "--format", "summary", self.write(name, text), check=False)
                self.assertEqual(r.returncode, status, r.stderr)
                self.assertIn(message, r.stderr)
        r = run("export", "--geojson", self.write("rtl.csv", RTL))
        self.assertIn("4 of 4 measurement messages have no usable position", r.stderr)

    def test_round_trip_of_hytem_logs(self):
        logs = [os.path.join(SAMPLES, n) for n in ("scan_two_bands.h2m", "scan_resumed.h2s")]
        for name, args in (("survey.h2m", ["--kind", "scan", "--bands", "3", "--bins", "50", "--lines", "300"]),
                           ("fixed.h2m", ["--shape", "fixed", "--kind", "scan", "--bins", "400", "--lines", "60",
                                          "--crlf"])):
            logs.append(os.path.join(self.tmp.name, name))
            subprocess.run([HYTEMGEN, *args, "-o", logs[-1]], check=True, timeout=120)
        for log in logs:
            with self.subTest(os.path.basename(log)):
                sweeps = self.write(os.path.basename(log) + ".csv", run("export", "--sweeps", log).stdout)
                want = levels_by_second(log)
                self.assertGreater(sum(want.values()), 0)
                self.assertEqual(levels_by_second(sweeps), want)
                # And the sweeps of the sweep file are the sweeps again, line for line.
                self.assertEqual(sorted(run("export", "--sweeps", sweeps).stdout.splitlines()),
                                 sorted(read(sweeps).splitlines()))


if __name__ == "__main__":
    unittest.main()
