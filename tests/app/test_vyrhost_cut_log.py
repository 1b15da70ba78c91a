"""A log cut short (its last line has no line end): every command leaves out
the last field of that line and says so in one line on standard error; `info`
and the report's summary show it."""

import csv
import io
import json
import os
import re
import subprocess
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")

# The last line ends inside "-51.3": read whole, "-5" would be a phantom level.
LOG = (
    "HYTEM Software - V2.4\n"
    "nbScannedBandwidths = 1\n"
    "startFrequencies1 = 100.0\n"
    "stopFrequencies1 = 100.1\n"
    "frequencyStep1 = 25\n"
    "delayBetweenMeasurement = 500\n"
    "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n"
    "12:00:01\t03/15/05\t48.3000\tN\t2.1500\tE\t1\t1\t-70\t-95.5\t-60\n"
    "12:00:02\t03/15/05\t48.3000\tN\t2.1500\tE\t1\t1\t-71\t-5"
)
# Every command, each run on the cut log alone.
COMMANDS = [
    ["decode"], ["decode", "--format", "jsonl"], ["decode", "--format", "summary"],
    ["export", "--csv"], ["export", "--jsonl"], ["export", "--geojson"], ["export", "--sweeps"],
    ["info"], ["info", "--format", "json"], ["report", "-o", "{tmp}/one.html"], ["stats"], ["stats", "--above-noise", "3"],
]


def run(*args):
    return subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=120)


class CutLogTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        # A control character in the name is escaped as file names are.
        self.cut = self.write("cut\x01.h2m", LOG)
        self.whole = self.write("whole.h2m", LOG + "\n")
        self.note = ("vyrhost: " + self.cut.replace("\x01", "\\x01") +
                     ": the last line has no line end, the log may be cut short: its last field is left out")

    def write(self, name, text):
        path = os.path.join(self.tmp.name, name)
        with open(path, "w", newline="\n") as f:
            f.write(text)
        return path

    def test_every_command_says_so_once(self):
        for command in COMMANDS:
            args = [a.format(tmp=self.tmp.name) for a in command]
            with self.subTest(command=command):
                r = run(*args, self.cut)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual([line for line in r.stderr.splitlines() if "line end" in line], [self.note])
                r = run(*args, self.whole)
                self.assertNotIn("line end", r.stderr)

    def test_the_cut_level_is_not_taken(self):
        r = run("export", "--csv", self.cut)
        levels = [row["level_dbm"] for row in csv.DictReader(io.StringIO(r.stdout))]
        self.assertEqual(levels, ["-70", "-95.5", "-60", "-71"])
        r = run("export", "--geojson", self.cut)
        self.assertEqual([f["properties"]["max_level_dbm"] for f in json.loads(r.stdout)["features"]], [-60, -71])

    def test_info_and_the_reports_show_it(self):
        infos = [json.loads(run("info", "--format", "json", p).stdout) for p in (self.cut, self.whole)]
        self.assertEqual([i["last_line_cut"] for i in infos], [True, False])
        self.assertIn("\nLast line: cut short (no line end), its last field left out\n", run("info", self.cut).stdout)
        self.assertNotIn("Last line:", run("info", self.whole).stdout)

        one, campaign = os.path.join(self.tmp.name, "one.html"), os.path.join(self.tmp.name, "campaign.html")
        run("report", "-o", one, self.cut)
        r = run("report", "-o", campaign, self.whole, self.cut)
        self.assertEqual(r.stderr.count(self.note), 1, r.stderr)
        with open(one, encoding="utf-8") as f:
            page = f.read()
        data = json.loads(re.search(r'id="report-data">(.*?)</script>', page, re.S).group(1))
        self.assertTrue(data["summary"]["last_line_cut"])
        with open(campaign, encoding="utf-8") as f:
            sections = re.findall(r'id="log-data-\d+">(.*?)</script>', f.read(), re.S)
        self.assertEqual([json.loads(s)["summary"]["last_line_cut"] for s in sections], [False, True])


if __name__ == "__main__":
    unittest.main()
