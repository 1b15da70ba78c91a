"""Output safety of vyrhost: an input is never overwritten, a named output is
replaced whole or not at all, every write to standard output is checked."""

import csv
import io
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")


def run(*args, stdout=subprocess.PIPE):
    return subprocess.run([VYRHOST, *args], stdout=stdout, stderr=subprocess.PIPE, timeout=300)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class OutputSafetyTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.log = self.path("in.h2m")
        shutil.copy(os.path.join(SAMPLES, "scan_two_bands.h2m"), self.log)
        self.original = read(self.log)

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_an_input_is_never_an_output(self):
        os.symlink(self.log, self.path("link.h2m"))
        os.link(self.log, self.path("hard.h2m"))
        for out in ("in.h2m", "link.h2m", "hard.h2m"):
            for command in (["export", "--csv"], ["export", "--jsonl"], ["export", "--geojson"], ["export", "--sweeps"],
                            ["report"]):
                with self.subTest(out=out, command=command):
                    r = run(*command, "-o", self.path(out), self.log)
                    self.assertEqual(r.returncode, 1)
                    self.assertIn(b"is the input", r.stderr)
                    self.assertEqual(read(self.log), self.original)

    def test_named_outputs_are_replaced_whole_or_kept(self):
        results = self.path("results.csv")
        with open(results, "w") as f:
            f.write("keep\n")
        with open(results + ".part", "w") as f:
            f.write("mine\n")
        r = run("export", "--csv", "-o", results, self.path("typo.h2m"))
        self.assertEqual(r.returncode, 1)
        self.assertEqual(read(results), b"keep\n")
        self.assertEqual(read(results + ".part"), b"mine\n")
        # A link keeps pointing at the file it names, which gets the output.
        os.symlink("target.csv", self.path("out.csv"))
        self.assertEqual(run("export", "--csv", "-o", self.path("out.csv"), self.log).returncode, 0)
        self.assertTrue(os.path.islink(self.path("out.csv")))
        self.assertTrue(read(self.path("target.csv")).startswith(b"file,message,"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["in.h2m", "out.csv", "results.csv", "results.csv.part", "target.csv"])

    def test_failed_writes_are_errors(self):
        cases = [
            ["info", self.log, self.log], ["formats"], ["decode", self.log], ["decode", "--jobs", "2", self.log, self.log],
            ["export", "--csv", self.log], ["export", "--geojson", self.log], ["export", "--sweeps", self.log],
            ["report", "-o", "-", self.log], ["report", "-o", "-", "--jobs", "2", self.log, self.log],
            ["stats", "--jobs", "2", self.log, self.log],
        ]
        for args in cases:
            with self.subTest(args=args), open("/dev/full", "wb") as full:
                r = run(*args, stdout=full)
                self.assertEqual(r.returncode, 1)
                self.assertIn(b"standard output: No space left on device", r.stderr)
        r = run("export", "--csv", "-o", "/dev/full", self.log)
        self.assertEqual(r.returncode, 1)
        self.assertIn(b"/dev/full: No space left on device", r.stderr)

    def test_a_fatal_signal_during_an_export_leaves_nothing(self):
        big = self.path("big.h2m")
        subprocess.run([HYTEMGEN, "--kind", "scan", "--bins", "400", "--size", "20", "-o", big], check=True)
        out = self.path("x.csv")
        # (signal, ignored when the program starts, as under nohup)
        for sig, ignored in [(signal.SIGINT, False), (signal.SIGTERM, False), (signal.SIGHUP, False),
                             (signal.SIGPIPE, False), (signal.SIGUSR1, False), (signal.SIGALRM, False),
                             (signal.SIGHUP, True)]:
            with self.subTest(signal=sig.name, ignored=ignored):
                with open(out, "w") as f:
                    f.write("before\n")
                keep = (lambda: signal.signal(sig, signal.SIG_IGN)) if ignored else None
                p = subprocess.Popen([VYRHOST, "export", "--csv", "-o", out, big], stderr=subprocess.PIPE,
                                     preexec_fn=keep)
                # Signalled while it writes: as soon as its temporary file is
                # there (a fixed wait can outlast the whole export).
                deadline = time.monotonic() + 30
                while p.poll() is None and time.monotonic() < deadline:
                    if set(os.listdir(self.dir)) - {"big.h2m", "in.h2m", "x.csv"}:
                        break
                    time.sleep(0.002)
                p.send_signal(sig)
                p.communicate(timeout=60)
                self.assertEqual(p.returncode, 0 if ignored else -sig)
                self.assertEqual(read(out) == b"before\n", not ignored)
                self.assertEqual(sorted(os.listdir(self.dir)), ["big.h2m", "in.h2m", "x.csv"])

class CommandLineRulesTest(unittest.TestCase):
    """One number rule for every threshold, help after a command, short forms,
    and inputs that are not logs refused with the system's reason."""

    def test_rules(self):
        log = os.path.join(SAMPLES, "scan_two_bands.h2m")
        d = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, d)
        fifo = os.path.join(d, "f.h2m")
        os.mkfifo(fifo)
        odd = os.path.join(d, "a\x1b[31mb\nc.h2m")
        shutil.copy(log, odd)
        cases = [
            (["decode", "-j2", log, log], 0, b""),
            (["export", "--csv", "-o-", log], 0, b""),
            (["decode", "--help"], 0, b""),
            (["report", "-h"], 0, b""),
            (["--plugins", "", "formats"], 2, b"plug-in folder name is empty"),
            (["export", "--csv", "-o", "", log], 2, b"output name is empty"),
            (["decode", fifo], 1, b"not a regular file but a FIFO"),
            (["decode", d], 1, b"is a folder"),
            (["info", os.path.join(d, "none.h2m")], 1, b"(No such file or directory)"),
            (["decode", odd], 0, b""),
        ]
        for value, ok in [("nan", False), ("1e400", False), ("0x10", False), (" -5", False), ("-inf", True), ("-92.5", True)]:
            for command in (["decode"], ["export", "--csv"], ["report", "-o", "-"], ["stats"]):
                cases.append((command + ["--level-threshold", value, log], 0 if ok else 2, b""))
        cases.append((["report", "-o", "-", "--threshold", "nan", log], 2, b"not a number"))
        for args, code, message in cases:
            with self.subTest(args=args):
                r = run(*args)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(message, r.stderr)
        listing = run("decode", odd).stdout
        self.assertIn(b"a\\x1B[31mb\\x0Ac.h2m", listing)
        self.assertNotIn(b"\x1b", listing)


class PluginFolderTest(unittest.TestCase):
    def test_a_copy_of_a_module_is_refused_and_the_rest_works(self):
        d = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, d)
        module = os.path.join(os.path.dirname(VYRHOST), "plugins", "Kel4HYTEM.so")
        for name in ("Kel4HYTEM.so", "A_copy.so", "Z_copy.so"):
            shutil.copy(module, os.path.join(d, name))
        formats = run("--plugins", d, "formats")
        self.assertEqual(formats.returncode, 0)
        self.assertEqual(formats.stdout.count(b"\n  HYTEM "), 1)
        self.assertIn(b"A_copy.so", formats.stderr)
        decoded = run("--plugins", d, "decode", "--format", "summary", os.path.join(SAMPLES, "scan_two_bands.h2m"))
        self.assertEqual(decoded.returncode, 0, decoded.stderr)
        self.assertIn(b'"messages": 13', decoded.stdout)


def sh(command, **kw):
    """A shell line, for redirections that subprocess cannot make ("2>&-", ">>")."""
    return subprocess.run(["bash", "-c", command], capture_output=True, timeout=300, **kw)


class HostileCasesTest(unittest.TestCase):
    """Closed descriptors, outputs that are inputs, control bytes in logs, file
    names a spreadsheet would run, long names, a missing temporary folder and
    default page names that collide."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.log = os.path.join(self.dir, "in.h2m")
        shutil.copy(os.path.join(SAMPLES, "scan_two_bands.h2m"), self.log)

    def test_closed_descriptors_and_standard_output_that_is_an_input(self):
        out = os.path.join(self.dir, "r.out")
        v, log = VYRHOST, self.log
        # (shell line, exit status, text on standard error)
        cases = [
            (f"{v} export --geojson -o {out} {log} 2>&-", 0, b""),
            (f"{v} report -o {out} {log} {log}.missing.h2m 2>&-", 1, b""),
            (f"{v} decode {log} >&-", 1, b"standard output: Bad file descriptor"),
            (f"{v} decode {log} >> {log}", 1, b"is the input"),
            (f"{v} decode -j2 {SAMPLES}/statistics.h1s {log} >> {log}", 1, b"is the input"),
            (f"{v} info {log} >> {log}", 1, b"is the input"),
            (f"{v} export --csv {log} >> {log}", 1, b"is the input"),
            (f"{v} report -o - {log} >> {log}", 1, b"is the input"),
            (f"{v} stats {log} >> {log}", 1, b"is the input"),
            (f"{v} decode {log} > {out}", 0, b""),
        ]
        before = read(log)
        for command, code, message in cases:
            with self.subTest(command=command):
                r = sh(command)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(message, r.stderr)
                self.assertEqual(read(log), before)
                if "2>&-" in command:  # no line meant for standard error inside the output
                    self.assertIsNone(re.search(rb'(^|[^"\'])vyrhost( \w+)?: ', read(out), re.M))

    def test_control_bytes_of_a_log_reach_no_terminal(self):
        evil = b"x\x1b[31m\x07\x7f"
        text = read(self.log).replace(b"V2.4.1", b"V2.4.1" + evil).replace(b"indexBand", b"evil = " + evil + b"\nindexBand")
        with open(self.log, "wb") as f:
            f.write(text)
        for args in (["decode"], ["info"]):
            with self.subTest(args=args):
                r = run(*args, self.log)
                self.assertEqual(r.returncode, 0, r.stderr)
                shown = r.stdout.count(b"x\\x1B[31m\\x07\\x7F")
                self.assertGreaterEqual(shown, 1 if args == ["decode"] else 2)
                self.assertFalse(set(r.stdout) & {0x1b, 0x07, 0x7f}, "a control byte reached the output")

    def test_spreadsheet_safe_file_cells(self):
        names = ["=cmd.h2m", "+x.h2m", "-x.h2m", "@x.h2m", "\tx.h2m", "\rx.h2m", "plain.h2m", "a=b.h2m"]
        for name in names:
            shutil.copy(self.log, os.path.join(self.dir, name))
        for safe in (False, True):
            r = subprocess.run([os.path.abspath(VYRHOST), "export", "--csv", *(["--spreadsheet-safe"] if safe else []), "--", *names],
                               capture_output=True, cwd=self.dir, timeout=120)
            self.assertEqual(r.returncode, 0, r.stderr)
            cells = {row[0] for row in csv.reader(io.StringIO(r.stdout.decode(), newline=""))} - {"file"}
            want = {("'" + n if safe and n[0] in "=+-@\t\r" else n) for n in names}
            self.assertEqual(cells, want)

    def test_names_and_folders(self):
        long_name = os.path.join(self.dir, "n" * 250 + ".csv")  # 254 bytes, within the limit of 255
        wide = os.path.join(self.dir, "wide.h2m")
        subprocess.run([os.path.abspath(HYTEMGEN), "--bands", "1", "--bins", "30000", "--lines", "1", "-o", wide], check=True)
        for sub in ("a", "b"):
            os.mkdir(os.path.join(self.dir, sub))
            shutil.copy(self.log, os.path.join(self.dir, sub, "route.h2m"))
        env = dict(os.environ, TMPDIR=os.path.join(self.dir, "none"))
        # (arguments, environment, exit status, text on standard error)
        cases = [
            (["export", "--csv", "-o", long_name, self.log], None, 0, b""),
            (["decode", "wide.h2m"], env, 1, b"attribute writes of wide.h2m in " + env["TMPDIR"].encode()),
            (["report", "a/route.h2m"], None, 0, b"wrote route.html"),
            (["report", "b/route.h2m"], None, 1, b"route.html exists"),
            (["report", "a/route.h2m", "b/route.h2m"], None, 0, b"wrote campaign.html"),
            (["report", "a/route.h2m", "b/route.h2m"], None, 1, b"campaign.html exists"),
            (["report", "-o", "route.html", "b/route.h2m"], None, 0, b"wrote route.html"),
        ]
        for args, environment, code, message in cases:
            with self.subTest(args=args):
                r = subprocess.run([os.path.abspath(VYRHOST), *args], capture_output=True, cwd=self.dir, env=environment,
                                   timeout=120)
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(message, r.stderr)
        self.assertTrue(read(long_name).startswith(b"file,"))
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith(".")), [])


if __name__ == "__main__":
    unittest.main()
