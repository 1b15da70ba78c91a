"""Integration tests of `vyrhost decode` and `vyrhost formats`: the real
program, the real plug-in, logs written to a temporary folder."""

import json
import os
import subprocess
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")

HEADER = (
    "HYTEM Software - V2.4\n"
    "nbScannedBandwidths = 1\n"
    "startFrequencies1 = 100.0\n"
    "stopFrequencies1 = 100.1\n"
    "frequencyStep1 = 25\n"
    "delayBetweenMeasurement = 500\n"
    "Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tBandNumber\tLevels\n"
)
LINES = (
    "12:00:01\t03/15/05\t48.3000\tN\t2.1500\tE\t1\t1\t-70\t-95.5\t-60\n"
    "12:00:01\t03/15/05\t48.3000\tS\t2.1500\tW\t2\t1\t-71\n"
)


def run(*args):
    return subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=120)


def jsonl(stdout):
    return [json.loads(line) for line in stdout.splitlines() if line.strip()]


class VyrhostTestCase(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def write(self, name, text, newline="\n"):
        path = os.path.join(self.tmp.name, name)
        with open(path, "w", newline=newline) as f:
            f.write(text)
        return path


class CommandLineTest(VyrhostTestCase):
    def test_help_lists_the_commands_and_each_command_its_own_options(self):
        overview = run("--help")
        self.assertEqual(overview.returncode, 0)
        for word in ("formats", "decode", "info", "export", "report", "stats", "--plugins"):
            self.assertIn(word, overview.stdout)
        self.assertNotIn("--level-threshold", overview.stdout)
        self.assertEqual(run("help").stdout, overview.stdout)
        # (command, in its help, not in its help)
        for command, mine, others in (("decode", ["jsonl", "--level-threshold", "--jobs N, -j N"], ["--geojson"]),
                                      ("export", ["--geojson", "--spreadsheet-safe", "-o OUT", "--jobs N"], ["--threshold "]),
                                      ("report", ["--threshold DBM", "OUT.html", "--jobs", "--band N"], ["--csv", "jsonl"]),
                                      ("stats", ["--by frequency|band", "--above-noise DB", "--freq MIN:MAX",
                                                 "that is of the dB values"], ["--spreadsheet-safe", "OUT"]),
                                      ("info", ["text|json"], ["--level-threshold"]), ("formats", ["--help"], ["--format"])):
            r = run(command, "--help")
            self.assertEqual(r.returncode, 0, command)
            self.assertTrue(r.stdout.startswith("usage: vyrhost " + command), r.stdout)
            self.assertEqual(run("help", command).stdout, r.stdout)
            for word in mine:
                self.assertIn(word, r.stdout, command)
            for word in others:
                self.assertNotIn(word, r.stdout, command)

    def test_usage_errors_exit_2(self):
        for args in (["--bogus"], ["nocommand"], ["decode"], ["decode", "--format", "xml", "x.h2m"],
                     ["decode", "--level-threshold", "loud", "x.h2m"]):
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertIn("usage", r.stderr.lower() + r.stdout.lower(), args)

    def test_formats_lists_type_and_device(self):
        r = run("formats")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("HYTEM", r.stdout)
        self.assertIn(".h2m, .h1m, .h1s, .h2s", r.stdout)
        self.assertIn("Hytem Scanner", r.stdout)
        self.assertIn("device type 115", r.stdout)
        self.assertIn('306 "HYTEM Header", 307 "HYTEM Message"', r.stdout)

    def test_missing_plugin_folder_is_an_error(self):
        r = run("--plugins", os.path.join(self.tmp.name, "none"), "formats")
        self.assertEqual(r.returncode, 1)
        self.assertIn("no plug-in", r.stderr)


class JsonlContractTest(VyrhostTestCase):
    def decode(self, *extra, text=HEADER + LINES, newline="\n"):
        path = self.write("scan.h2m", text, newline)
        r = run("decode", "--format", "jsonl", *extra, path)
        self.assertEqual(r.returncode, 0, r.stderr)
        return path, jsonl(r.stdout)

    def test_file_object_comes_first(self):
        path, objs = self.decode()
        self.assertEqual(objs[0], {"file": path, "type": "HYTEM", "start": "2005-03-15T12:00:01.000",
                                   "device_type": 115})

    def test_one_message_per_line_with_times_positions_and_qualities(self):
        _, objs = self.decode()
        msgs = objs[1:]
        self.assertEqual([m["index"] for m in msgs], [0, 1, 2])
        self.assertEqual([m["class"] for m in msgs], [306, 307, 307])
        self.assertEqual([m["type"] for m in msgs], [306, 307, 307])
        # Header, then the two lines of one second: the second one is spread
        # by the 500 ms delay.
        self.assertEqual([m["time_ms"] for m in msgs], [0, 0, 500])
        self.assertEqual((msgs[0]["lat"], msgs[0]["lon"]), (None, None))
        self.assertAlmostEqual(msgs[1]["lat"], 48.5)
        self.assertAlmostEqual(msgs[1]["lon"], 2.25)
        self.assertAlmostEqual(msgs[2]["lat"], -48.5)
        self.assertAlmostEqual(msgs[2]["lon"], -2.25)
        self.assertEqual([m["quality"] for m in msgs[1:]], [100, 90])
        self.assertEqual([m["name"] for m in msgs], ["Header Info", "Scanner message", "Scanner message"])

    def test_each_coordinate_on_its_own(self):
        # An unreadable longitude, then an unreadable latitude: the other
        # coordinate stays in every output.
        lines = ("12:00:01\t03/15/05\t48.3000\tN\tabc\tE\t1\t1\t-70\n"
                 "12:00:02\t03/15/05\tx\tN\t2.1500\tE\t1\t1\t-70\n")
        path, objs = self.decode(text=HEADER + lines)
        self.assertEqual([(m["lat"], m["lon"]) for m in objs[2:]], [(48.5, None), (None, 2.25)])
        text = run("decode", path).stdout
        self.assertIn("latitude 48.500000, no longitude (quality 100)", text)
        self.assertIn("no latitude, longitude 2.250000 (quality 100)", text)
        csv = run("export", "--csv", path).stdout.splitlines()
        self.assertEqual([row.split(",")[4:6] for row in csv[1:]], [["48.5", ""], ["", "2.25"]])

    def test_payload_summary_and_detail(self):
        _, objs = self.decode()
        header, first = objs[1], objs[2]
        self.assertEqual(header["payload"],
                         "Software Version^nbScannedBandwidths^startFrequencies1^stopFrequencies1^frequencyStep1^"
                         "delayBetweenMeasurement^V2.4;1;100.0;100.1;25;500;")
        self.assertEqual(header["summary"], header["payload"] + "\r\n")
        self.assertEqual(header["detail"], " Software Version=V2.4 Delay between measurements=500")
        self.assertEqual(first["payload"],
                         "Time^Date^Latitude^NS^Longitude^WE^Validity^BandNumber^Levels^"
                         "12:00:01;03/15/05;48.3000;N;2.1500;E;1;1;-70,-95.5,-60;")
        self.assertEqual(first["detail"],
                         " Time=12:00:01 Date=03/15/05 Band Number=1"
                         "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n"
                         "100.050\t-60.000\n100.000\t-70.000\n100.025\t-95.000\n")

    def test_header_lays_down_the_frequency_plan(self):
        _, objs = self.decode()
        attrs = objs[1]["attrs"]
        plan = [a for a in attrs if a["attr"] == "ATTR_ID_SCAN_LOG_FREQ"]
        self.assertEqual([a["index"] for a in plan], [0, 1, 2, 3, 4])
        self.assertTrue(all(a["scope"] == 0 and a["op"] == "set" for a in plan))
        for a, mhz in zip(plan, (100.0, 100.025, 100.05, 100.075, 100.1)):
            self.assertAlmostEqual(a["value"], mhz * 1e6, places=3)
        texts = [a["value"] for a in attrs if a["attr"] == "ATTR_ID_SCAN_LOG_FREQ_STR"]
        self.assertEqual(texts, ["100.000 MHz", "100.025 MHz", "100.050 MHz", "100.075 MHz", "100.100 MHz"])
        starts = [(a["index"], a["value"]) for a in attrs if a["attr"] == "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX"]
        self.assertEqual(starts, [(0, 0), (1, 5)])

    def test_measurement_writes_levels_then_ranks(self):
        _, objs = self.decode()
        attrs = objs[2]["attrs"]
        bins = [(a["index"], a["value"]) for a in attrs if a["attr"] == "ATTR_ID_SCAN_BIN_DB_MEAN"]
        self.assertEqual(bins, [(0, -70), (1, -95.5), (2, -60)])
        self.assertTrue(all(a["scope"] == 2147483647 for a in attrs))
        ranked = [(a["index"], a["value"]) for a in attrs if a["attr"] == "ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV"]
        self.assertEqual(ranked, [(0, -60), (1, -70), (2, -95)])
        positions = [a["value"] for a in attrs if a["attr"] == "ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV"]
        self.assertEqual(positions, [2, 0, 1])
        freqs = [a["value"] for a in attrs if a["attr"] == "ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV"]
        for got, want in zip(freqs, (100.05, 100.0, 100.025)):
            self.assertAlmostEqual(got, want, places=6)
        # Per rank: level, position, frequency.
        self.assertEqual([a["attr"] for a in attrs[3:6]],
                         ["ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV", "ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV",
                          "ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV"])

    def test_level_threshold_clears_weak_levels(self):
        _, objs = self.decode("--level-threshold", "-90")
        attrs = objs[2]["attrs"]
        cleared = [a for a in attrs if a["op"] == "clear"]
        self.assertEqual(cleared, [{"attr": "ATTR_ID_SCAN_BIN_DB_MEAN", "index": 1, "scope": 2147483647,
                                    "op": "clear"}])
        ranked = [a["value"] for a in attrs if a["attr"] == "ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV"]
        self.assertEqual(ranked, [-60, -70])
        self.assertIn("100.025\t-95.000\n", objs[2]["detail"])  # the list ignores the threshold

    def test_crlf_log_decodes_exactly_like_lf(self):
        _, lf = self.decode()
        _, crlf = self.decode(newline="\r\n")
        self.assertEqual(lf[1:], crlf[1:])

    def test_bytes_above_127_are_kept(self):
        text = HEADER.replace("V2.4", "V2.4 \u00e9t\u00e9") + LINES
        _, objs = self.decode(text=text)
        self.assertIn("V2.4 \u00e9t\u00e9", objs[1]["payload"])


class FailureTest(VyrhostTestCase):
    def test_refused_logs_name_file_and_code(self):
        cases = [
            ("empty.h2m", "", 1002),
            ("notalog.h2m", "hello\nworld\n", 1004),
            ("nodate.h2m", "HYTEM Software - V1\nTime\tLevels\n12:00:00\t-80\n", 1004),
            ("nomeasurement.h2m", "HYTEM Software - V1\nTime\tDate\n", 1002),
        ]
        for name, text, code in cases:
            path = self.write(name, text)
            r = run("decode", "--format", "jsonl", path)
            self.assertEqual(r.returncode, 1, name)
            self.assertEqual(r.stdout, "", name)
            lines = r.stderr.strip().splitlines()
            self.assertEqual(len(lines), 1, r.stderr)
            self.assertIn(path, lines[0])
            self.assertIn(str(code), lines[0])

    def test_missing_file_gives_1001_and_other_files_go_on(self):
        good = self.write("good.h2m", HEADER + LINES)
        missing = os.path.join(self.tmp.name, "missing.h2m")
        r = run("decode", "--format", "summary", missing, good)
        self.assertEqual(r.returncode, 1)
        self.assertIn("1001", r.stderr)
        self.assertIn("cannot be opened", r.stderr)
        summary = jsonl(r.stdout)
        self.assertEqual(len(summary), 1)
        self.assertEqual(summary[0]["file"], good)

    def test_unknown_extension_is_read_by_its_content(self):
        log = self.write("log.txt", HEADER + LINES)
        r = run("decode", "--format", "summary", log)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(jsonl(r.stdout)[0]["messages"], 1 + LINES.count("\n"))
        other = self.write("notes.txt", "no log\n")
        r = run("decode", other)
        self.assertEqual(r.returncode, 1)
        self.assertIn("no data-file type for the extension .txt", r.stderr)


class SummaryAndTextTest(VyrhostTestCase):
    def test_summary_counts(self):
        path = self.write("scan.h2m", HEADER + LINES)
        r = run("decode", "--format", "summary", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        s = jsonl(r.stdout)[0]
        # Header: 1 + 5 texts + 5 frequencies + 1 = 12 writes; each measurement:
        # its levels plus three ranked values per level.
        self.assertEqual(s, {"file": path, "messages": 3, "header_messages": 1, "measurement_messages": 2,
                             "attribute_writes": 12 + (3 + 9) + (1 + 3)})

    def test_text_listing_shows_messages(self):
        path = self.write("scan.h2m", HEADER + LINES)
        r = run("decode", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("start 2005-03-15T12:00:01.000", r.stdout)
        self.assertIn("Header Info", r.stdout)
        self.assertIn("Top 10 RSSI values", r.stdout)
        self.assertIn("ATTR_ID_SCAN_BIN_DB_MEAN[1] scope 2147483647 = -95.5", r.stdout)

    def test_long_line_writes_pass_through_the_spool_whole(self):
        # 70,000 levels make 280,000 writes, some 30 MB of JSON Lines and
        # 18 MB of listing: more than the decode holds in memory before it
        # spools them to a temporary file, and more ranks than are written
        # straight from their records.
        n = 70000
        levels = "\t".join("-%d" % (k % 90) for k in range(n))
        path = self.write("long.h2m", HEADER + "12:00:01\t03/15/05\t48.3\tN\t2.15\tE\t1\t1\t" + levels + "\n" + LINES)
        r = run("decode", "--format", "jsonl", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        objs = jsonl(r.stdout)
        self.assertEqual([o.get("index") for o in objs[1:]], [0, 1, 2, 3])
        attrs = objs[2]["attrs"]
        self.assertEqual(len(attrs), 4 * n)
        self.assertEqual([(a["index"], a["value"]) for a in attrs[:n]], [(k, -(k % 90)) for k in range(n)])
        ranks = attrs[n:]
        self.assertEqual([a["attr"] for a in ranks[:3]], ["ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV",
                                                          "ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV",
                                                          "ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV"])
        # Strongest first, equal levels in list order; only the plan's five
        # elements have a frequency.
        order = sorted(range(n), key=lambda k: (k % 90, k))
        self.assertEqual([a["value"] for a in ranks[1::3]], order)
        self.assertEqual([a["value"] for a in ranks[0::3]], [-(k % 90) for k in order])
        self.assertEqual([round(a["value"], 6) for a in ranks[2::3]],
                         [round(100 + 0.025 * k, 6) if k < 5 else 0 for k in order])
        self.assertEqual(objs[3]["attrs"][0]["value"], -70)
        writes = sum(len(o["attrs"]) for o in objs[1:])
        r = run("decode", "--format", "text", path)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.count("\n    ATTR_ID_"), writes)

    def test_every_sample_decodes(self):
        samples = sorted(f for f in os.listdir(SAMPLES) if f.rsplit(".", 1)[-1] in ("h1m", "h2m", "h1s", "h2s"))
        self.assertGreaterEqual(len(samples), 4)
        for name in samples:
            path = os.path.join(SAMPLES, name)
            r = run("decode", "--format", "jsonl", path)
            self.assertEqual(r.returncode, 0, name + r.stderr)
            objs = jsonl(r.stdout)
            self.assertEqual(objs[0]["type"], "HYTEM", name)
            self.assertEqual(objs[1]["class"], 306, name)
            self.assertTrue(all(o["class"] in (306, 307) for o in objs[1:]), name)


if __name__ == "__main__":
    unittest.main()
