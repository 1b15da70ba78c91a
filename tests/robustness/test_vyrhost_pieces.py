"""One log decoded (exported, its statistics taken) in pieces side by side,
cut at every line boundary (VYRHOST_PIECE_BYTES=1): every output must be byte
for byte that of one job,
whatever crosses the cuts (mid-log headers, repeat groups, time jumps back,
midnight wraps, channel sets, hostile logs)."""

import os
import re
import subprocess
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SOURCE = os.environ.get("KEL_SOURCE", ".")
PIECES = re.compile(rb"vyrhost: .*: (\d+) pieces, (\d+) decoded again\n")
COMMANDS = [["decode", "--format", "text"], ["decode", "--format", "jsonl"], ["decode", "--format", "summary"],
            ["export", "--csv"], ["export", "--jsonl"],
            ["stats"], ["stats", "--by", "band", "--csv"], ["stats", "--jsonl", "--above", "-80"],
            ["stats", "--text", "--freq", "400.3:470", "--from", "08:00:05", "--above-noise", "3", "--top", "5"]]


def run(args, env=None):
    return subprocess.run([VYRHOST, *args], capture_output=True, timeout=600, env=env)


class PiecesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        d = cls.tmp.name

        def gen(name, *args):
            path = os.path.join(d, name)
            subprocess.run([HYTEMGEN, *args, "-o", path], check=True)
            return path

        scan = gen("scan.h2m", "--bins", "30", "--lines", "40")
        bands = gen("bands.h2m", "--bands", "3", "--bins", "20", "--lines", "30", "--seed", "7")
        wrap = gen("wrap.h2m", "--bins", "30", "--lines", "40", "--start", "2005-03-15T23:59:40", "--seed", "3")
        channels = gen("channels.h1m", "--kind", "channels", "--lines", "30", "--start", "2005-03-15T23:59:50")
        gen("stats.h1s", "--kind", "stats", "--lines", "30", "--crlf")

        def join(name, *parts):
            with open(os.path.join(d, name), "wb") as out:
                for part in parts:
                    with open(part, "rb") as f:
                        out.write(f.read())

        # Mid-log headers, with the times jumping back: repeat groups across the cuts.
        join("mixed.h2m", scan, bands, wrap)
        join("channels_then_scan.h2m", channels, scan)
        # Every measurement line twice: a repeat group at every other cut.
        with open(scan, "rb") as f:
            lines = f.read().splitlines(keepends=True)
        with open(os.path.join(d, "repeats.h2m"), "wb") as out:
            for i, line in enumerate(lines):
                out.write(line * (2 if i >= 16 else 1))
        cls.generated = sorted(os.path.join(d, f) for f in os.listdir(d))
        def logs_in(folder):
            folder = os.path.join(SOURCE, folder)
            return sorted(os.path.join(folder, n) for n in os.listdir(folder)
                          if n.rsplit(".", 1)[-1] in ("h1m", "h2m", "h1s", "h2s"))

        # These are cut for sure; a hostile log may be refused or too short to cut.
        cls.cut = cls.generated + logs_in("samples")
        cls.logs = cls.cut + logs_in("fuzz/corpus/whole_log") + logs_in("tests/robustness/regressions/whole_log")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_every_cut_gives_the_output_of_one_job(self):
        env = dict(os.environ, VYRHOST_PIECE_BYTES="1")
        decoded_again = 0
        for log in self.logs:
            for command in COMMANDS:
                with self.subTest(log=log, command=command):
                    one = run([*command, "--jobs", "1", log])
                    pieces = run([*command, "--jobs", "3", log], env)
                    found = PIECES.search(pieces.stderr)
                    if log in self.cut:
                        self.assertIsNotNone(found, pieces.stderr)
                    if found:
                        decoded_again += int(found.group(2))
                    if log in self.generated and "repeats" not in log:
                        self.assertEqual(found.group(2), b"0", "a plain log's guesses hold")
                    self.assertEqual(pieces.returncode, one.returncode)
                    self.assertEqual(pieces.stdout, one.stdout)
                    self.assertEqual(PIECES.sub(b"", pieces.stderr), one.stderr)
        # Some cut somewhere is one whose guess does not hold: its piece is decoded again.
        self.assertGreater(decoded_again, 0)

    def test_report_in_pieces_is_the_page_of_one_job(self):
        # A report of one log in pieces: every piece recorded and told again in order.
        env = dict(os.environ, VYRHOST_PIECE_BYTES="1")
        for log in self.cut:
            for options in ([], ["--band", "1"]):
                with self.subTest(log=log, options=options):
                    pages = []
                    for jobs, e in (("1", None), ("3", env)):
                        page = os.path.join(self.tmp.name, "page-" + jobs + ".html")
                        done = run(["report", *options, "--jobs", jobs, "-o", page, log], e)
                        written = None
                        if os.path.exists(page):  # a cut that no band of the log meets writes none
                            with open(page, "rb") as f:
                                written = f.read()
                            os.remove(page)
                        pages.append((done.returncode, PIECES.sub(b"", done.stderr).replace(page.encode(), b""), written))
                    self.assertEqual(pages[0], pages[1])


if __name__ == "__main__":
    unittest.main()
