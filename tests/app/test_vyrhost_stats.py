"""vyrhost stats against an independent computation from `export --csv` with
pandas (occupancy exact, percentiles within 0.1 dB, the maximum and where it
was measured exact), per frequency and per band, over the samples and
generated logs; the cuts of export against the filtered CSV rows; the same
result whatever --jobs; bad cuts are usage errors."""

import io
import os
import re
import subprocess
import tempfile
import unittest

import numpy as np
import pandas as pd

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
GENERATED = {"scan.h2m": ["--kind", "scan", "--bands", "3", "--bins", "30", "--lines", "120"],
             "scan2.h2m": ["--kind", "scan", "--bands", "2", "--bins", "30", "--lines", "90", "--seed", "4"],
             "night.h2m": ["--kind", "scan", "--bins", "20", "--lines", "400", "--start", "2005-03-15T23:57:30"],
             "channels.h1m": ["--kind", "channels", "--lines", "80"],
             "stats.h1s": ["--kind", "stats", "--lines", "60"]}


def run(*args, code=0):
    r = subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=300)
    if r.returncode != code:
        raise AssertionError(f"vyrhost {' '.join(args)}: exit {r.returncode}, not {code}\n{r.stderr}")
    return r


def csv_frame(text):
    return pd.read_csv(io.StringIO(text), dtype={"band": "Int64"}, float_precision="round_trip")


def levels(logs, *args):
    return csv_frame(run("export", "--csv", *args, *logs).stdout)


def stats(logs, *args):
    return csv_frame(run("stats", "--csv", *args, *logs).stdout)


def expected_rows(df, threshold_of):
    """The stats rows of the CSV levels, by frequency; threshold_of(hz)."""
    df = df[df.frequency_hz.notna()]
    out = {}
    for hz, g in df.groupby("frequency_hz", sort=True):
        lv = g.level_dbm.to_numpy()
        at = g.iloc[int(np.argmax(lv))]  # the first of equal maxima, in file and message order
        out[int(hz)] = {"band": g.band.iloc[0], "sweeps": len(lv), "occupancy": float(np.mean(lv >= threshold_of(hz))),
                        "p10_dbm": np.percentile(lv, 10), "median_dbm": np.median(lv), "p90_dbm": np.percentile(lv, 90),
                        "mean_dbm": lv.mean(), "max_dbm": lv.max(), "max_time": at.time, "max_lat": at.lat,
                        "max_lon": at.lon, "max_file": at.file, "max_message": at.message}
    return out


def same(a, b):
    if pd.isna(a) or pd.isna(b):
        return bool(pd.isna(a) and pd.isna(b))
    return a == b


class Stats(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.logs = {}
        for name, args in GENERATED.items():
            cls.logs[name] = os.path.join(cls.tmp.name, name)
            subprocess.run([HYTEMGEN, *args, "-o", cls.logs[name]], check=True, timeout=60)
        cls.samples = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if re.search(r"\.h\d[ms]$", f))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def cases(self):
        g = self.logs
        # (logs, options of both commands, options of stats alone, threshold)
        return [([s], [], [], -80) for s in self.samples] + [
            (self.samples, [], [], -80),
            ([g["scan.h2m"]], [], ["--above", "-95"], -95),
            ([g["scan.h2m"], g["scan2.h2m"], g["channels.h1m"], g["stats.h1s"]], [], ["--above", "-90"], -90),
            ([g["scan.h2m"]], ["--level-threshold", "-100"], [], -80),
            ([g["scan.h2m"], g["scan2.h2m"]], ["--band", "2", "--freq", "456.5:2000"], ["--above", "-100.5"], -100.5),
            ([g["night.h2m"]], ["--from", "23:59:30", "--to", "00:00:30"], [], -80)]

    def test_rows_match_export_csv(self):
        for logs, both, alone, threshold in self.cases():
            with self.subTest(logs=[os.path.basename(p) for p in logs], options=both + alone):
                want = expected_rows(levels(logs, *both), lambda hz: threshold)
                got = stats(logs, *both, *alone)
                self.assertEqual(list(got.frequency_hz), list(want))
                self.assertGreater(len(want), 0)
                self.check_rows(got, want)

    def check_rows(self, got, want):
        for row in got.itertuples(index=False):
            w = want[row.frequency_hz]
            for name in ("band", "sweeps", "occupancy", "max_dbm", "max_time", "max_lat", "max_lon", "max_file",
                         "max_message"):
                self.assertTrue(same(getattr(row, name), w[name]), f"{row.frequency_hz} {name}: {getattr(row, name)} "
                                                                   f"!= {w[name]}")
            for name in ("p10_dbm", "median_dbm", "p90_dbm"):
                self.assertAlmostEqual(getattr(row, name), w[name], delta=0.05 + 1e-9, msg=f"{row.frequency_hz} {name}")
            self.assertAlmostEqual(row.mean_dbm, w["mean_dbm"], delta=1e-9)

    def test_bands_match_export_csv(self):
        logs = [self.logs["scan.h2m"], self.logs["scan2.h2m"], self.logs["channels.h1m"]]
        df = levels(logs)
        for options, share in ((["--above", "-90"], 0.1), (["--above-noise", "6"], 0.25)):
            with self.subTest(options=options):
                bands = stats(logs, "--by", "band", "--occupied", str(share), *options)
                threshold = {(None if pd.isna(b) else int(b)): t for b, t in zip(bands.band, bands.threshold_dbm)}
                rows = stats(logs, *options)
                band_of = dict(zip(rows.frequency_hz, rows.band))
                want = expected_rows(df, lambda hz: threshold[None if pd.isna(band_of[hz]) else int(band_of[hz])])
                self.check_rows(rows, want)
                for b in bands.itertuples(index=False):
                    mine = [w for hz, w in want.items() if same(w["band"], b.band)]
                    p10 = [w["p10_dbm"] for w in mine]
                    self.assertEqual(b.frequencies, len(mine))
                    self.assertAlmostEqual(b.noise_floor_dbm, np.median(p10), delta=0.05 + 1e-9)
                    if options[0] == "--above-noise":
                        self.assertEqual(b.threshold_dbm, b.noise_floor_dbm + 6)
                    occupied = sum(w["occupancy"] >= share for w in mine)
                    self.assertEqual((b.occupied, b.occupancy), (occupied, occupied / len(mine)))
                    self.assertAlmostEqual(b.mean_occupancy, np.mean([w["occupancy"] for w in mine]), delta=1e-12)
                    self.assertEqual(b.max_dbm, max(w["max_dbm"] for w in mine))

    def test_top_and_formats_agree(self):
        logs = [self.logs["scan.h2m"], self.logs["channels.h1m"]]
        every = stats(logs)
        top = stats(logs, "--top", "7")
        want = every.sort_values(["max_dbm", "frequency_hz"], ascending=[False, True], kind="stable").head(7)
        pd.testing.assert_frame_equal(top, want.reset_index(drop=True))
        jsonl = pd.read_json(io.StringIO(run("stats", "--jsonl", *logs).stdout), lines=True, dtype=False)
        self.assertEqual(list(jsonl.columns), list(every.columns))
        self.assertEqual(list(jsonl.max_dbm), list(every.max_dbm))
        text = run("stats", "--text", *logs).stdout.splitlines()
        self.assertEqual(text[0].split()[:3], ["frequency_mhz", "band", "sweeps"])
        self.assertEqual(len(text), len(every) + 3)  # a blank line and what the occupancy counts follow
        self.assertEqual(text[-1], "occupancy: the share of sweeps at or above -80 dBm")

    def test_jobs_give_the_same_result(self):
        logs = list(self.logs.values()) + self.samples
        one = run("stats", "--jobs", "1", *logs).stdout
        for jobs in ("2", "5"):
            self.assertEqual(run("stats", "--jobs", jobs, *logs).stdout, one)
        self.assertEqual(run("stats", "--by", "band", "-j3", *logs).stdout, run("stats", "--by", "band", "-j1", *logs).stdout)

    def test_cuts_keep_the_filtered_csv_rows(self):
        logs = [self.logs["scan.h2m"], self.logs["night.h2m"], self.logs["channels.h1m"]]
        every = levels(logs)
        t = pd.to_datetime(every.time)
        tod = (t - t.dt.normalize()) // pd.Timedelta(milliseconds=1)
        hz = every.frequency_hz
        ms = 1000
        cases = [(["--band", "2"], every.band == 2),
                 (["--freq", "403:2415"], hz.between(403e6, 2415e6)),
                 (["--freq", "2437:"], hz >= 2437e6),
                 (["--freq", ":401.2"], hz <= 401.2e6),
                 (["--from", "2005-03-15T08:00:30", "--to", "2005-03-16T00:00:10.500"],
                  t.between(pd.Timestamp("2005-03-15T08:00:30"), pd.Timestamp("2005-03-16T00:00:10.500"))),
                 (["--from", "23:59:50", "--to", "00:00:05"], (tod >= 86390 * ms) | (tod <= 5 * ms)),
                 (["--to", "08:00:20"], tod <= 8 * 3600 * ms + 20 * ms),
                 (["--band", "1", "--freq", "401:402", "--from", "00:00"], (every.band == 1) & hz.between(401e6, 402e6))]
        for args, keep in cases:
            with self.subTest(args=args):
                want = every[keep.fillna(False).astype(bool)].reset_index(drop=True)
                self.assertGreater(len(want), 0)
                pd.testing.assert_frame_equal(levels(logs, *args), want, check_dtype=False)

    def test_bad_cuts_are_usage_errors(self):
        log = self.logs["scan.h2m"]
        out = os.path.join(self.tmp.name, "kept.out")
        bad = [(["--from", "2005-03-15T09:00", "--to", "2005-03-15T08:00"], "is after --to"),
               (["--from", "09:00", "--to", "2005-03-15T10:00"], "both as dates and times or both as times of day"),
               (["--freq", "9:1"], "'9:1' is empty"),
               (["--freq", "925"], "is not MIN:MAX"),
               (["--from", "9am"], "--from: the time '9am' is neither"),
               (["--to", "2005-02-30T00:00"], "--to: the time"),
               (["--band", "0"], "not a band number from 1"),
               (["--band", "9"], "no log has a band 9 in its frequency plan (bands: 1, 2, 3)")]
        for command in (["stats"], ["export", "--csv", "-o", out], ["report", "-o", out]):
            for args, message in bad:
                with self.subTest(command=command[0], args=args):
                    with open(out, "w") as f:
                        f.write("before")
                    r = run(*command, *args, log, code=2)
                    self.assertIn(message, r.stderr)
                    self.assertIn("usage: vyrhost " + command[0], r.stderr)
                    with open(out) as f:
                        self.assertEqual(f.read(), "before")
        r = run("stats", "--above", "-90", "--above-noise", "5", log, code=2)
        self.assertIn("give --above or --above-noise, not both", r.stderr)


if __name__ == "__main__":
    unittest.main()
