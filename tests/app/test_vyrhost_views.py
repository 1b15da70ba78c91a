"""Integration tests of `vyrhost info`, `vyrhost export` and `vyrhost report`:
the real program and plug-in on hand-written, sample and generated logs.

The export is checked twice: against rows worked out by hand for a small log,
and, for every sample and for generated logs, against the attribute writes
that `decode --format jsonl` lists (a CSV round trip through Python's csv
module, every value compared exactly)."""

import base64
import csv
import io
import json
import math
import os
import re
import struct
import subprocess
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
SAMPLE_LOGS = ["scan_two_bands.h2m", "channels_four.h1m", "statistics.h1s", "scan_resumed.h2s"]
COLUMNS = ["file", "message", "time", "time_ms", "lat", "lon", "quality", "band", "bin", "frequency_hz",
           "frequency_mhz", "level_dbm", "min_dbm", "max_dbm", "stddev_db"]
STATISTICS = {"ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL": "min_dbm", "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL": "max_dbm",
              "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL": "stddev_db"}
MESSAGE_SCOPE = 2147483647

# One band, 100.0 to 100.1 MHz in 25 kHz steps; the second line has no position.
SCAN_LOG = (
    "HYTEM Software - V2.4\n"
    "nbScannedBandwidths = 1\n"
    "startFrequencies1 = 100.0\n"
    "stopFrequencies1 = 100.1\n"
    "frequencyStep1 = 25\n"
    "delayBetweenMeasurement = 500\n"
    "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n"
    "12:00:01\t03/15/05\t48.3000\tN\t2.1500\tE\t1\t1\t-70\t-95.5\t-60\n"
    "12:00:02\t03/15/05\t48.3000\tN\t2.1500\tE\t0\t1\t-71\n"
)


def run(*args):
    return subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=300)


def plan_mhz(start, stop, step_khz):
    """The frequencies of a band as the scanner steps: a running sum, kept while
    within half a step of the stop; in MHz from the whole hertz."""
    out, f, step = [], start, step_khz * 0.001
    while f <= stop + step * 0.5:
        out.append(round(f * 1000000) / 1e6)
        f += step
    return out


def expected_rows(jsonl_text):
    """The export's rows, worked out from `decode --format jsonl`: the levels
    that each measurement message leaves in ATTR_ID_SCAN_BIN_DB_MEAN (message
    scope), with the frequency plan (scope 0) or the channel frequencies that
    the latest header names (message scope), in whole hertz, and the
    statistics that the message leaves at the same element."""
    rows, freq_plan, band_starts, freq_msg = [], {}, {}, {}
    plan = None  # band starts laid down by the latest plan
    start = None
    for line in jsonl_text.splitlines():
        m = json.loads(line)
        if "index" not in m:
            start = m["start"]
            path = m["file"]
            continue
        if m["class"] == 306:
            freq_msg = {}  # a set-up names its own channels
        levels, stats = {}, {}
        wrote_starts = -1
        for a in m["attrs"]:
            if a["attr"] == "ATTR_ID_SCAN_LOG_FREQ" and a["op"] == "set":
                (freq_plan if a["scope"] == 0 else freq_msg)[a["index"]] = a["value"]
            if a["attr"] == "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX" and a["scope"] == 0 and a["op"] == "set":
                band_starts[a["index"]] = a["value"]
                wrote_starts = max(wrote_starts, a["index"])
            if a["attr"] in STATISTICS and a["scope"] == MESSAGE_SCOPE:
                stats.setdefault(a["index"], {})[STATISTICS[a["attr"]]] = a.get("value")  # None when cleared
            if a["attr"] == "ATTR_ID_SCAN_BIN_DB_MEAN" and a["scope"] == MESSAGE_SCOPE:
                if a["op"] == "set" and not isinstance(a["value"], str):
                    levels[a["index"]] = a["value"]
                else:
                    levels.pop(a["index"], None)
        if wrote_starts >= 0:
            plan = [band_starts[j] for j in range(wrote_starts + 1)]
        if m["class"] != 307:
            continue
        for b in sorted(levels):
            if plan and len(plan) > 1:
                band = next((j for j in range(1, len(plan)) if plan[j - 1] <= b < plan[j]), None)
                hz = freq_plan.get(b) if band else None
            else:
                band, hz = None, freq_msg.get(b)
            hz = None if hz is None or not math.isfinite(hz) or abs(hz) >= 1e15 else round(hz)
            row = {"file": path, "message": m["index"], "time_ms": m["time_ms"], "start": start,
                   "lat": m["lat"], "lon": m["lon"], "quality": m["quality"], "band": band, "bin": b,
                   "frequency_hz": hz, "frequency_mhz": None if hz is None else hz / 1e6, "level_dbm": levels[b]}
            row.update({k: stats.get(b, {}).get(k) for k in STATISTICS.values()})
            rows.append(row)
    return rows


def iso_plus(start, ms):
    """start ("YYYY-MM-DDTHH:MM:SS.mmm") plus ms, in the same form."""
    import datetime
    t = datetime.datetime.strptime(start, "%Y-%m-%dT%H:%M:%S.%f") + datetime.timedelta(milliseconds=ms)
    return t.strftime("%Y-%m-%dT%H:%M:%S.") + f"{t.microsecond // 1000:03d}"


def shortest(x):
    """A double as C++'s std::to_chars writes it: repr without a trailing ".0"."""
    s = repr(x)
    return s[:-2] if s.endswith(".0") else s


def report_data(html):
    m = re.search(r'<script type="application/json" id="report-data">(.*?)</script>', html, re.S)
    return json.loads(m.group(1))


def cells_of(panel):
    raw = base64.b64decode(panel["cells"])
    values = struct.unpack(f"<{len(raw) // 2}h", raw)
    return [None if v == -32768 else v / 10 for v in values]


class ViewsTestCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def write(self, name, text):
        path = os.path.join(self.tmp.name, name)
        with open(path, "w", newline="\n") as f:
            f.write(text)
        return path

    def generate(self, name, *args):
        path = os.path.join(self.tmp.name, name)
        r = subprocess.run([HYTEMGEN, *args, "-o", path], capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, r.stderr)
        return path


class InfoTest(ViewsTestCase):
    def test_json_of_a_scan_log(self):
        path = self.write("one.h2m", SCAN_LOG)
        r = run("info", "--format", "json", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        info = json.loads(r.stdout)
        self.assertEqual(info["type"], "HYTEM")
        self.assertEqual(info["kind"], "scan")
        self.assertEqual(info["software_version"], "V2.4")
        self.assertEqual(info["start"], "2005-03-15T12:00:01.000")
        # The first line counts once more after the set-up (one delay); the second is at +1 s.
        self.assertEqual(info["duration_ms"], 1000)
        self.assertEqual(info["end"], "2005-03-15T12:00:02.000")
        self.assertEqual([(c["class"], c["name"], c["count"]) for c in info["message_classes"]],
                         [(306, "HYTEM Header", 1), (307, "HYTEM Message", 2)])
        self.assertEqual(info["positions"], 1)
        self.assertEqual(info["header"], {"nbScannedBandwidths": "1", "startFrequencies1": "100.0",
                                          "stopFrequencies1": "100.1", "frequencyStep1": "25",
                                          "delayBetweenMeasurement": "500"})
        self.assertEqual(info["columns"], ["Time", "Date", "Latitude", "NS", "Longitude", "WE", "Validity",
                                           "BandNumber", "Levels"])
        freqs = plan_mhz(100.0, 100.1, 25)
        self.assertEqual(info["bands"], [{"band": 1, "first_bin": 0, "bins": 5, "start_mhz": freqs[0],
                                          "stop_mhz": freqs[-1], "step_khz": 25}])
        self.assertEqual(info["channels"], [])
        self.assertEqual(info["later_headers"], [])

    def test_every_sample(self):
        paths = [os.path.join(SAMPLES, s) for s in SAMPLE_LOGS]
        r = run("info", "--format", "json", *paths)
        self.assertEqual(r.returncode, 0, r.stderr)
        infos = [json.loads(line) for line in r.stdout.splitlines()]
        self.assertEqual([i["kind"] for i in infos], ["scan", "channels", "channels", "scan"])
        two_bands, channels, stats, resumed = infos
        self.assertEqual([(b["bins"], b["first_bin"], round(b["start_mhz"], 3), round(b["stop_mhz"], 3))
                          for b in two_bands["bands"]], [(5, 0, 925.0, 925.8), (3, 5, 1805.0, 1805.4)])
        self.assertEqual([c["frequency_mhz"] for c in channels["channels"]], [2412, 2437, 2462, 2484])
        self.assertEqual([c["frequency_mhz"] for c in stats["channels"]], [946.2])
        self.assertEqual(len(resumed["later_headers"]), 1)
        self.assertEqual(resumed["later_headers"][0]["software_version"], "V2.4.2")
        self.assertEqual(len(resumed["later_headers"][0]["bands"]), 2)

    def test_failures(self):
        good = self.write("one.h2m", SCAN_LOG)
        bad = self.write("bad.h2m", "not a log\n")
        r = run("info", "--format", "json", bad, good)
        self.assertEqual(r.returncode, 1)
        self.assertIn("1004", r.stderr)
        self.assertEqual(len(r.stdout.splitlines()), 1)  # the good file is still described
        for args in (["info"], ["info", "--format", "xml", good], ["info", "--bogus", good]):
            self.assertEqual(run(*args).returncode, 2, args)


class ExportTest(ViewsTestCase):
    def hand_rows(self, path):
        """The rows of SCAN_LOG, worked out from the log's rules."""
        f = plan_mhz(100.0, 100.1, 25)
        lat, lon = shortest(48 + 0.3 * 1.6666666666666667), shortest(2 + 0.15 * 1.6666666666666667)
        first = [path, "1", "2005-03-15T12:00:01.000", "0", lat, lon, "100", "1"]
        second = [path, "2", "2005-03-15T12:00:02.000", "1000", "", "", "50", "1"]
        hz = [str(round(x * 1e6)) for x in f]
        none = ["", "", ""]
        return [first + ["0", hz[0], shortest(f[0]), "-70"] + none, first + ["1", hz[1], shortest(f[1]), "-95.5"] + none,
                first + ["2", hz[2], shortest(f[2]), "-60"] + none, second + ["0", hz[0], shortest(f[0]), "-71"] + none]

    def test_csv_of_a_hand_written_log(self):
        path = self.write("one.h2m", SCAN_LOG)
        r = run("export", "--csv", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("\r", r.stdout)
        lines = r.stdout.split("\n")
        self.assertEqual(lines[0], ",".join(COLUMNS))
        self.assertEqual(lines[1:], [",".join(row) for row in self.hand_rows(path)] + [""])

    def test_level_threshold_drops_weaker_levels(self):
        path = self.write("one.h2m", SCAN_LOG)
        r = run("export", "--csv", "--level-threshold", "-90", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        levels = [row["level_dbm"] for row in csv.DictReader(io.StringIO(r.stdout))]
        self.assertEqual(levels, ["-70", "-60", "-71"])

    def test_file_names_are_quoted(self):
        path = self.write('a,"b".h2m', SCAN_LOG)
        out = os.path.join(self.tmp.name, "out.csv")
        r = run("export", "--csv", "-o", out, path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout, "")
        with open(out, newline="") as f:
            text = f.read()
        self.assertIn('"' + path.replace('"', '""') + '",1,', text)
        rows = list(csv.reader(io.StringIO(text)))
        self.assertEqual(rows[1:], self.hand_rows(path))

    def test_jsonl_holds_the_same_rows(self):
        path = self.write("one.h2m", SCAN_LOG)
        r = run("export", "--jsonl", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        got = [json.loads(line) for line in r.stdout.splitlines()]
        want = self.hand_rows(path)
        self.assertEqual(len(got), len(want))
        for g, w in zip(got, want):
            # The statistics are members only of a statistics log's rows.
            self.assertEqual(list(g), COLUMNS[:-3])
            self.assertEqual([g["file"], g["message"], g["time"], g["time_ms"], g["quality"], g["band"], g["bin"]],
                             [w[0], int(w[1]), w[2], int(w[3]), int(w[6]), int(w[7]), int(w[8])])
            self.assertEqual(g["lat"], float(w[4]) if w[4] else None)
            self.assertEqual(g["frequency_hz"], int(w[9]))
            self.assertEqual(g["frequency_mhz"], float(w[10]))
            self.assertEqual(g["level_dbm"], float(w[11]))

    def test_failures_and_usage(self):
        good = self.write("one.h2m", SCAN_LOG)
        r = run("export", "--csv", os.path.join(self.tmp.name, "missing.h2m"), good)
        self.assertEqual(r.returncode, 1)
        self.assertIn("1001", r.stderr)
        self.assertEqual(len(r.stdout.splitlines()), 5)  # header and the good file's rows
        for args in (["export", good], ["export", "--csv", "--jsonl", good], ["export", "--csv"],
                     ["export", "--csv", "--level-threshold", "low", good]):
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertIn("usage", r.stderr)
        self.assertEqual(run("export", "--csv", "-o", os.path.join(self.tmp.name, "no", "dir.csv"), good).returncode, 1)


class RoundTripTest(ViewsTestCase):
    """The CSV, read back with the csv module, against `decode --format jsonl`."""

    def check(self, path):
        r = run("export", "--csv", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        got = list(csv.DictReader(io.StringIO(r.stdout, newline="")))
        d = run("decode", "--format", "jsonl", path)
        self.assertEqual(d.returncode, 0, d.stderr)
        want = expected_rows(d.stdout)
        self.assertEqual(len(got), len(want), path)
        self.assertGreater(len(want), 0, path)
        num = lambda s: None if s == "" else float(s)
        for g, w in zip(got, want):
            self.assertEqual(list(g), COLUMNS)
            self.assertEqual(g["file"], w["file"])
            self.assertEqual(int(g["message"]), w["message"])
            self.assertEqual(int(g["time_ms"]), w["time_ms"])
            self.assertEqual(g["time"], iso_plus(w["start"], w["time_ms"]))
            self.assertEqual(num(g["lat"]), w["lat"])
            self.assertEqual(num(g["lon"]), w["lon"])
            self.assertEqual(int(g["quality"]), w["quality"])
            self.assertEqual(num(g["band"]), w["band"])
            self.assertEqual(int(g["bin"]), w["bin"])
            self.assertEqual(num(g["frequency_hz"]), w["frequency_hz"], g)
            self.assertEqual(num(g["frequency_mhz"]), w["frequency_mhz"], g)
            self.assertEqual(float(g["level_dbm"]), w["level_dbm"], g)
            for k in STATISTICS.values():
                self.assertEqual(num(g[k]), w[k], g)
        return got

    def test_samples(self):
        for name in SAMPLE_LOGS:
            with self.subTest(name):
                self.check(os.path.join(SAMPLES, name))

    def test_generated_logs(self):
        for kind, ext in (("scan", "h2m"), ("channels", "h1m"), ("stats", "h1s")):
            with self.subTest(kind):
                rows = self.check(self.generate(f"g.{ext}", "--kind", kind, "--bands", "3", "--bins", "40",
                                                "--lines", "60", "--seed", "7"))
                if kind == "scan":
                    self.assertEqual({r["band"] for r in rows}, {"1", "2", "3"})


class ReportTest(ViewsTestCase):
    def report(self, log, *args):
        out = os.path.join(self.tmp.name, "r.html")
        r = run("report", "-o", out, *args, log)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            return f.read()

    def test_the_page_is_self_contained(self):
        html = self.report(os.path.join(SAMPLES, "scan_two_bands.h2m"))
        markup = re.sub(r"(<script[^>]*>).*?</script>", r"\1</script>", html, flags=re.S)
        # Page options, data, the charting library, the shared script and the page's.
        self.assertEqual(markup.count("<script"), 5)
        found = re.search(r"<(script|img|link|iframe|object|embed)[^>]*\s(src|href|data)\s*=", markup)
        self.assertIsNone(found, found and found.group(0))
        self.assertIn("default-src 'none'", html)
        self.assertRegex(html, r"script-src 'sha256-[^;']+'( 'sha256-[^;']+')*; style-src")
        self.assertIn("Apache ECharts 6.1.0", html)

    def test_waterfall_cells_are_the_strongest_levels_of_their_sweeps_and_bins(self):
        # 1100 bins in 1000 columns, and 1250 sweeps in at most 600 rows: the
        # rows are halved once while the log is read and once at its end.
        log = self.generate("big.h2m", "--kind", "scan", "--bands", "1", "--bins", "1100", "--lines", "1250")
        data = report_data(self.report(log))
        export = list(csv.DictReader(io.StringIO(run("export", "--csv", log).stdout)))
        self.assertEqual(len(data["panels"]), 1)
        for panel in data["panels"]:
            band = str(panel["band"])
            self.assertEqual(panel["bins"], 1100)
            self.assertEqual(panel["cols"], 1000)
            self.assertLessEqual(panel["rows"], 600)
            self.assertEqual(sum(panel["row_sweeps"]), panel["sweeps"])
            # The sweeps of the band, in order, each a dict bin -> level.
            sweeps = {}
            for r in export:
                if r["band"] == band:
                    sweeps.setdefault(int(r["message"]), {})[int(r["bin"]) - panel["first_bin"]] = float(r["level_dbm"])
            sweeps = [sweeps[k] for k in sorted(sweeps)]
            self.assertEqual(len(sweeps), panel["sweeps"])
            cells = cells_of(panel)
            col_of = [c for c in range(panel["cols"])
                      for _ in range(panel["col_start"][c], (panel["col_start"] + [panel["bins"]])[c + 1])]
            self.assertEqual(col_of, [b * 1000 // 1100 for b in range(1100)])
            self.assertEqual(panel["row_sweeps"][:3], [4, 4, 4])
            first = 0
            for row, n in enumerate(panel["row_sweeps"]):
                want = [None] * panel["cols"]
                for sweep in sweeps[first:first + n]:
                    for b, v in sweep.items():
                        c = col_of[b]
                        want[c] = v if want[c] is None else max(want[c], v)
                got = cells[row * panel["cols"]:(row + 1) * panel["cols"]]
                self.assertEqual(got, [None if v is None else round(v * 10) / 10 for v in want], f"row {row}")
                first += n

    def test_spectra_and_top_bins_of_the_sample(self):
        log = os.path.join(SAMPLES, "scan_two_bands.h2m")
        data = report_data(self.report(log, "--threshold", "-85"))
        export = list(csv.DictReader(io.StringIO(run("export", "--csv", log).stdout)))
        levels = {}
        for r in export:
            levels.setdefault(int(r["bin"]), []).append((float(r["level_dbm"]), int(r["time_ms"])))
        top = []
        for panel in data["panels"]:
            for i in range(panel["bins"]):
                v = [l for l, _ in levels[panel["first_bin"] + i]]
                self.assertAlmostEqual(panel["avg"][i], sum(v) / len(v))
                self.assertEqual(panel["max"][i], max(v))
                self.assertEqual(panel["min"][i], min(v))
            # The distinct peaks of the max hold: 6 dB above the higher of the dips towards a
            # stronger bin on each side (nothing beyond an end bin), or the band's strongest.
            m = panel["max"]
            for i in range(len(m)):
                left = [m[j] for j in range(i - 1, -1, -1)]
                right = [m[j] for j in range(i + 1, len(m))]

                def dip(side, stronger):
                    k = next((n for n, x in enumerate(side) if stronger(x)), len(side))
                    return min(side[:k] + [m[i]]) if side else -math.inf
                prominence = m[i] - max(dip(left, lambda x: x >= m[i]), dip(right, lambda x: x > m[i]))
                if prominence >= 6 or i == m.index(max(m)):
                    v = [l for l, _ in levels[panel["first_bin"] + i]]
                    top.append((m[i], panel["freqs_mhz"][i], panel["band"], sum(l >= -85 for l in v) / len(v), len(v)))
        top.sort(key=lambda t: (-t[0], t[1]))
        self.assertGreaterEqual(len(top), 2)  # one per band at least
        self.assertEqual([(t["max_dbm"], t["frequency_mhz"], t["band"], t["occupancy"], t["sweeps"])
                          for t in data["top_bins"]], top)
        self.assertEqual(data["threshold_dbm"], -85)
        self.assertEqual(len(data["track"]["lat"]), 10)

    def test_channel_log(self):
        data = report_data(self.report(os.path.join(SAMPLES, "channels_four.h1m")))
        self.assertFalse(data["scan"])
        (panel,) = data["panels"]
        self.assertEqual(panel["band"], 0)
        self.assertEqual(panel["freqs_mhz"], [2412, 2437, 2462, 2484])
        self.assertEqual(panel["rows"], 8)
        self.assertEqual(cells_of(panel)[:4], [-61.5, -78.0, -55.0, -92.5])

    def test_default_output_name_and_failures(self):
        log = self.write("one.h2m", SCAN_LOG)
        r = subprocess.run([os.path.abspath(VYRHOST), "report", log], capture_output=True, text=True,
                           cwd=self.tmp.name, timeout=120)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertTrue(os.path.exists(os.path.join(self.tmp.name, "one.html")))
        bad = self.write("bad.h2m", "")
        r = run("report", "-o", os.path.join(self.tmp.name, "bad.html"), bad)
        self.assertEqual(r.returncode, 1)
        self.assertIn("1002", r.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.tmp.name, "bad.html")))
        for args in (["report"], ["report", "--jobs", "0", log, log], ["report", "--threshold", "x", log]):
            self.assertEqual(run(*args).returncode, 2, args)

    def test_campaign_page_is_the_same_whatever_the_jobs(self):
        # Logs of uneven sizes finish out of order on several threads; a
        # refused one is listed, and the exit status says so.
        logs = [self.generate("big.h2m", "--bins", "300", "--lines", "2000"), self.write("bad.h2m", ""),
                *[os.path.join(SAMPLES, n) for n in SAMPLE_LOGS]]
        pages = []
        for jobs in (["--jobs", "1"], ["-j3"]):
            out = os.path.join(self.tmp.name, "campaign.html")
            r = run("report", *jobs, "-o", out, *logs)
            self.assertEqual(r.returncode, 1, r.stderr)
            self.assertIn("bad.h2m: refused", r.stderr)
            with open(out, "rb") as f:
                pages.append(f.read())
        self.assertEqual(pages[0], pages[1])
        data = json.loads(re.search(rb'id="campaign-data">(.*?)</script>', pages[0], re.S).group(1))
        self.assertEqual([e["file"] for e in data["logs"]], logs)
        self.assertEqual(["refused" in e for e in data["logs"]], [False, True] + [False] * len(SAMPLE_LOGS))


if __name__ == "__main__":
    unittest.main()
