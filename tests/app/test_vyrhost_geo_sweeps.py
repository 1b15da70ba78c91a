"""`vyrhost export --geojson` and `--sweeps` against `export --csv` of the same
logs (samples, generated logs of every kind, a level threshold that leaves
gaps, several logs in one output), each read the way its consumers read it:
the GeoJSON as RFC 7946 JSON, the sweeps with a reader written from the
rtl_power layout (date, time, Hz low, Hz high, Hz step, samples, dB, ...).
The GDAL case runs the ogr2ogr lines of docs/formats.md and reads the results back
with ogrinfo; the KML placemarks carry their name and time stamp."""

import csv
import io
import json
import math
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from datetime import datetime
from xml.etree import ElementTree
from collections import OrderedDict

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
ROOT = os.path.dirname(os.path.abspath(SAMPLES))
GENERATED = [
    ("gen_scan.h2m", ["--kind", "scan", "--bands", "3", "--bins", "40", "--lines", "300"]),
    ("gen_channels.h1m", ["--kind", "channels", "--lines", "300", "--crlf"]),
    ("gen_stats.h1s", ["--kind", "stats", "--lines", "300"]),
]
BASE_PROPERTIES = {"name", "file", "message", "time", "timestamp", "time_ms", "quality", "levels"}


def vyrhost(*args):
    r = subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=300)
    if r.returncode != 0:
        raise AssertionError(f"vyrhost {' '.join(args)}: exit {r.returncode}\n{r.stderr}")
    return r


def csv_messages(logs, extra):
    """The CSV rows grouped by (file, message), in output order."""
    groups = OrderedDict()
    for row in csv.DictReader(io.StringIO(vyrhost("export", "--csv", *extra, *logs).stdout)):
        groups.setdefault((row["file"], int(row["message"])), []).append(row)
    return groups


def read_sweeps(text):
    """The rtl_power layout, read as its heat-map scripts do."""
    lines = []
    for line in text.splitlines():
        f = line.split(", ")
        lines.append({"date": f[0], "time": f[1], "low": int(f[2]), "high": int(f[3]), "step": float(f[4]),
                      "samples": int(f[5]), "db": [float(x) for x in f[6:]]})
    return lines


class ExportsAgainstCsv(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        gen = []
        for name, args in GENERATED:
            path = os.path.join(cls.tmp.name, name)
            subprocess.run([HYTEMGEN, *args, "-o", path], check=True, timeout=120)
            gen.append(path)
        samples = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if re.search(r"\.h\d[ms]$", f))
        # (logs in one output, extra options)
        cls.cases = [([log], []) for log in samples + gen]
        cls.cases += [([gen[0], samples[0]], ["--level-threshold", "-90"]), (samples, [])]

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_sweeps_hold_every_csv_level(self):
        for logs, extra in self.cases:
            if any(log.endswith(("h1m", "h1s")) for log in logs):
                continue  # channel logs are refused, below
            with self.subTest(logs=logs, extra=extra):
                lines = read_sweeps(vyrhost("export", "--sweeps", *extra, *logs).stdout)
                # One line per band of each message (channel logs: per message).
                groups = []
                for rows in csv_messages(logs, extra).values():
                    for row in rows:
                        if not groups or groups[-1][0] is not rows or groups[-1][1][0]["band"] != row["band"]:
                            groups.append((rows, []))
                        groups[-1][1].append(row)
                self.assertEqual(len(lines), len(groups))
                for line, (_, rows) in zip(lines, groups):
                    self.assertEqual((line["date"], line["time"]), (rows[0]["time"][:10], rows[0]["time"][11:19]))
                    self.assertEqual(line["samples"], 1)
                    self.assertEqual(sum(not math.isnan(v) for v in line["db"]), len(rows))
                    for row in rows:
                        hz = int(row["frequency_hz"])
                        self.assertEqual(round((line["high"] - line["low"]) / line["step"]), len(line["db"]))
                        i = round((hz - line["low"]) / line["step"])
                        self.assertLess(abs(line["low"] + i * line["step"] - hz), 1)
                        self.assertEqual(line["db"][i], float(row["level_dbm"]), row)

    def test_sweeps_refuse_channel_logs(self):
        scan = os.path.join(SAMPLES, "scan_two_bands.h2m")
        for log in ("channels_four.h1m", "statistics.h1s"):
            with self.subTest(log):
                r = subprocess.run([VYRHOST, "export", "--sweeps", scan, os.path.join(SAMPLES, log)],
                                   capture_output=True, text=True, timeout=60)
                self.assertEqual(r.returncode, 1)
                self.assertIn(log + ": a channel log has no sweeps", r.stderr)
                self.assertEqual(len(r.stdout.splitlines()), 12)  # the scan log's lines stay

    def test_geojson_has_a_point_per_positioned_message(self):
        for logs, extra in self.cases:
            with self.subTest(logs=logs, extra=extra):
                r = vyrhost("export", "--geojson", *extra, *logs)
                doc = json.loads(r.stdout)
                self.assertEqual(doc["type"], "FeatureCollection")
                groups = csv_messages(logs, extra)
                skipped = sum(int(n) for n in re.findall(r"(\d+) of \d+ measurement messages have no usable", r.stderr))
                measured = sum(json.loads(line)["measurement_messages"]
                               for line in vyrhost("decode", "--format", "summary", *logs).stdout.splitlines())
                self.assertEqual(len(doc["features"]) + skipped, measured)
                seen = set()
                for feature in doc["features"]:
                    p = feature["properties"]
                    key = (p["file"], p["message"])
                    seen.add(key)
                    rows = groups.get(key, [])
                    self.assertEqual(feature["geometry"]["type"], "Point")
                    self.assertEqual(p["levels"], len(rows))
                    self.assertEqual(p["timestamp"], p["time"])
                    if p.get("max_level_dbm") is None:
                        self.assertEqual(p["name"], "no level")
                    else:
                        self.assertEqual(p["name"], f"{p['max_level_dbm']:g} dBm")
                    if not rows:
                        self.assertEqual(set(p) - BASE_PROPERTIES - {k for k in p if re.fullmatch(r"ch\d+_dbm", k)}, set())
                        continue
                    first = rows[0]
                    self.assertEqual(feature["geometry"]["coordinates"], [float(first["lon"]), float(first["lat"])])
                    self.assertEqual((p["time"], p["time_ms"], p["quality"]),
                                     (first["time"], int(first["time_ms"]), int(first["quality"])))
                    strongest = max(rows, key=lambda row: float(row["level_dbm"]))
                    self.assertEqual(p["max_level_dbm"], float(strongest["level_dbm"]))
                    self.assertEqual(p["max_frequency_mhz"],
                                     float(strongest["frequency_mhz"]) if strongest["frequency_mhz"] else None)
                    channels = {k for k in p if k.startswith("ch")}
                    stats = {k for k in ("min_dbm", "max_dbm", "stddev_db") if strongest[k] or strongest["min_dbm"]
                             or strongest["max_dbm"] or strongest["stddev_db"]}
                    self.assertEqual(set(p) - channels, BASE_PROPERTIES | {"max_level_dbm", "max_frequency_mhz"} | stats)
                    for k in stats:
                        self.assertEqual(p[k], float(strongest[k]) if strongest[k] else None)
                    for row in rows if channels else []:
                        self.assertEqual(p[f"ch{int(row['bin']) + 1}_dbm"], float(row["level_dbm"]))
                positioned = {k for k, rows in groups.items() if rows[0]["lat"] and rows[0]["lon"]}
                self.assertEqual(positioned - seen, set())


def readme_block(marker):
    """The ```sh block of docs/formats.md that holds marker."""
    with open(os.path.join(ROOT, "docs", "formats.md"), encoding="utf-8") as f:
        blocks = re.findall(r"```sh\n(.*?)```", f.read(), re.S)
    return next(b for b in blocks if marker in b)


def ogr_features(path, where):
    """Feature count, and the fields of the features that match where."""
    info = subprocess.run(["ogrinfo", "-ro", "-so", "-al", path], capture_output=True, text=True, check=True).stdout
    dump = subprocess.run(["ogrinfo", "-ro", "-al", "-q", "-where", where, path],
                          capture_output=True, text=True, check=True).stdout
    fields = dict(re.findall(r"^  (\w+) \(\w+\) = (.*)$", dump, re.M))
    return int(re.search(r"Feature Count: (\d+)", info).group(1)), fields


def placemarks(path):
    """(name, TimeStamp when) of each KML placemark, in document order."""
    ns = {"k": "http://www.opengis.net/kml/2.2"}
    root = ElementTree.parse(path).getroot()
    return [(p.findtext("k:name", None, ns), p.findtext("k:TimeStamp/k:when", None, ns))
            for p in root.iter("{http://www.opengis.net/kml/2.2}Placemark")]


class GdalReadsTheGeoJson(unittest.TestCase):
    def test_readme_ogr2ogr_lines(self):
        self.assertTrue(shutil.which("ogr2ogr"), "ogr2ogr is missing: run tools/install-deps.sh (gdal-bin)")
        with tempfile.TemporaryDirectory() as tmp:
            os.symlink(os.path.abspath(SAMPLES), os.path.join(tmp, "samples"))
            os.makedirs(os.path.join(tmp, "build"))
            os.symlink(os.path.dirname(os.path.abspath(VYRHOST)), os.path.join(tmp, "build", "bin"))
            subprocess.run(["bash", "-euo", "pipefail", "-c", readme_block("ogr2ogr")], cwd=tmp, check=True,
                           capture_output=True, timeout=300)
            with open(os.path.join(tmp, "route.geojson"), encoding="utf-8") as f:
                count = len(json.load(f)["features"])
            groups = csv_messages([os.path.join(SAMPLES, "scan_two_bands.h2m")], [])
            strongest = max(float(r["level_dbm"]) for r in groups[(os.path.join(SAMPLES, "scan_two_bands.h2m"), 1)])
            where = "file = 'samples/scan_two_bands.h2m' AND message = 1"
            # (output, name of the strongest-level field there)
            for out, field in [("route.geojson", "max_level_dbm"), ("route.gpkg", "max_level_dbm"),
                               ("route.kml", "max_level_dbm"), ("route_shp", "max_level_")]:
                with self.subTest(out=out):
                    n, fields = ogr_features(os.path.join(tmp, out), where)
                    self.assertEqual(n, count)
                    self.assertEqual(float(fields[field]), strongest)
            _, fields = ogr_features(os.path.join(tmp, "route.gpkg"), "file = 'samples/channels_four.h1m' AND message = 1")
            self.assertEqual(float(fields["ch3_dbm"]), -55.0)  # Level3 of the first line
            # Every placemark is named and (LIBKML) time-stamped as its feature; ogrinfo reads the time back.
            with open(os.path.join(tmp, "route.geojson"), encoding="utf-8") as f:
                features = [ft["properties"] for ft in json.load(f)["features"]]
            subprocess.run(["ogr2ogr", "-f", "KML", os.path.join(tmp, "plain.kml"), os.path.join(tmp, "route.geojson")],
                           check=True, capture_output=True)
            for kml, stamped in (("route.kml", True), ("plain.kml", False)):
                with self.subTest(kml=kml):
                    marks = placemarks(os.path.join(tmp, kml))
                    self.assertEqual([name for name, _ in marks], [p["name"] for p in features])
                    if stamped:
                        self.assertEqual([datetime.fromisoformat(when) for _, when in marks],
                                         [datetime.fromisoformat(p["time"]) for p in features])
            _, fields = ogr_features(os.path.join(tmp, "route.kml"), "file = 'samples/scan_two_bands.h2m' AND message = 1")
            self.assertEqual((fields["Name"], fields["timestamp"]), ("-80.5 dBm", "2005/03/15 09:15:30"))


if __name__ == "__main__":
    unittest.main()
