"""Every front end reads a log's levels from the same model: the CSV and
JSON Lines rows, the sweeps, Python's rows and tables and the report agree
level for level, frequency for frequency, on the samples (a channel log
resumed with a set-up that names fewer channels among them) and on
generated logs."""

import csv
import io
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
try:
    import vyrhost
except ImportError:  # the Python package is not built: its rows are left out
    vyrhost = None


def run(*args):
    r = subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=300)
    if r.returncode != 0:
        raise AssertionError(f"vyrhost {' '.join(args)}: exit {r.returncode}\n{r.stderr}")
    return r.stdout


def num(s):
    return None if s in ("", None) else float(s)


def level_map(rows):
    """(message, bin) -> (band, frequency_hz, level) of rows given as dicts."""
    out = {}
    for r in rows:
        band = None if r["band"] in ("", None) or r["band"] != r["band"] else int(r["band"])
        hz = None if r["frequency_hz"] in ("", None) or r["frequency_hz"] != r["frequency_hz"] else int(r["frequency_hz"])
        out[(int(r["message"]), int(r["bin"]))] = (band, hz, num(r["level_dbm"]))
    return out


class Agreement(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        logs = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if re.search(r"\.h\d[ms]$", f))
        for name, args in (("g.h2m", ["--kind", "scan", "--bands", "3", "--bins", "30", "--lines", "90"]),
                           ("g.h1m", ["--kind", "channels", "--lines", "50"])):
            path = os.path.join(cls.tmp.name, name)
            subprocess.run([HYTEMGEN, *args, "-o", path], check=True, timeout=60)
            logs.append(path)
        cls.cases = [(log, []) for log in logs] + [(logs[-2], ["--level-threshold", "-90"])]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_every_front_end_gives_the_same_levels(self):
        for log, extra in self.cases:
            with self.subTest(log=os.path.basename(log), extra=extra):
                rows = list(csv.DictReader(io.StringIO(run("export", "--csv", *extra, log))))
                want = level_map(rows)
                self.assertGreater(len(want), 0)
                self.assertEqual(level_map(map(json.loads, run("export", "--jsonl", *extra, log).splitlines())), want)
                self.check_report(log, extra, rows)
                if not log.endswith(("h1m", "h1s")):
                    self.check_sweeps(log, extra, rows)
                if vyrhost:
                    self.check_python(log, extra, want)

    def check_python(self, log, extra, want):
        threshold = float(extra[1]) if extra else None
        opened = vyrhost.open(log, level_threshold=threshold)
        frame = opened.levels()
        self.assertEqual(level_map(frame.astype(object).where(frame.notna(), None).to_dict("records")), want)
        tables = opened.bands() if opened.info()["kind"] == "scan" else opened.channels()
        self.assertTrue(tables)
        got = {}
        for t in tables:
            for i, message in enumerate(t.message):
                for j, bin_ in enumerate(t.bins):
                    if not math.isnan(t.level_dbm[i, j]):
                        hz = None if t.frequency_hz[j] == -2 ** 63 else int(t.frequency_hz[j])
                        got[(int(message), int(bin_))] = (t.band or None, hz, float(t.level_dbm[i, j]))
        self.assertEqual(got, {k: v for k, v in want.items() if k[1] >= 0 and (v[0] or not tables[0].band)})

    def check_sweeps(self, log, extra, rows):
        by_hz = {}
        for r in rows:
            if r["band"]:
                by_hz.setdefault((r["time"][:19].replace("T", " "), int(r["frequency_hz"])), []).append(num(r["level_dbm"]))
        got = {}
        for line in run("export", "--sweeps", *extra, log).splitlines():
            f = line.split(", ")
            low, step, levels = int(f[2]), float(f[4]), [float(x) for x in f[6:]]
            for i, level in enumerate(levels):
                if not math.isnan(level):
                    got.setdefault((f[0] + " " + f[1], round(low + i * step)), []).append(level)
        self.assertEqual(got, by_hz)

    def check_report(self, log, extra, rows):
        page = os.path.join(self.tmp.name, "page.html")
        subprocess.run([VYRHOST, "report", *extra, "-o", page, log], check=True, capture_output=True, timeout=300)
        with open(page) as f:
            data = json.loads(re.search(r'id="report-data">(.*?)</script>', f.read(), re.S).group(1))
        # A panel is a band of one plan, or a channel set: its bins are told
        # apart from another's by their frequencies.
        strongest = {}
        for r in rows:
            key = (int(r["band"]) if r["band"] else 0, int(r["bin"]), num(r["frequency_hz"]))
            strongest[key] = max(strongest.get(key, -math.inf), float(r["level_dbm"]))
        # Panels of different set-ups may share a bin and frequency: their
        # strongest levels together are the CSV's.
        got = {}
        for panel in data["panels"]:
            self.assertEqual(panel["cols"], panel["bins"])  # small logs: a column per bin
            for i, (mhz, top) in enumerate(zip(panel["freqs_mhz"], panel["max"])):
                key = (panel["band"], panel["first_bin"] + i, None if mhz is None else round(mhz * 1e6))
                if top is not None:
                    got[key] = max(got.get(key, -math.inf), top)
        self.assertEqual(got.keys(), {k for k in strongest if k[0] or not data["scan"]})
        for key, top in got.items():
            self.assertAlmostEqual(top, strongest[key], places=4)

if __name__ == "__main__":
    unittest.main()
