"""`vyrhost decode --jobs N` decodes several files at once: its output must be
byte for byte that of a sequential run, whatever order the files finish in,
with refused and missing files among them."""

import os
import resource
import shutil
import subprocess
import tempfile
import unittest

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")


def run(*args, max_files=None):
    def limit_files():
        resource.setrlimit(resource.RLIMIT_NOFILE, (max_files, max_files))
    return subprocess.run([VYRHOST, *args], capture_output=True, timeout=600,
                          preexec_fn=limit_files if max_files else None)


class ParallelDecodeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        d = cls.tmp.name
        # A large log first, so that the small ones after it finish earlier.
        gen = [("big.h2m", ["--kind", "scan", "--bands", "3", "--bins", "400", "--lines", "800"]),
               ("channels.h1m", ["--kind", "channels", "--lines", "200"]),
               ("stats.h1s", ["--kind", "stats", "--lines", "200", "--crlf"]),
               ("small.h2s", ["--kind", "scan", "--bins", "20", "--lines", "30", "--seed", "5"])]
        cls.files = []
        for name, args in gen:
            path = os.path.join(d, name)
            subprocess.run([HYTEMGEN, *args, "-o", path], check=True)
            cls.files.append(path)
        refused = os.path.join(d, "refused.h2m")
        with open(refused, "w") as f:
            f.write("not a HYTEM log\n")
        cls.files.insert(2, refused)
        cls.files.insert(4, os.path.join(d, "missing.h2m"))
        cls.files += sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES)
                            if f.rsplit(".", 1)[-1] in ("h1m", "h2m", "h1s", "h2s"))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_jobs_give_the_sequential_output(self):
        for fmt in ("jsonl", "text", "summary"):
            sequential = run("decode", "--format", fmt, *self.files)
            self.assertEqual(sequential.returncode, 1, fmt)  # the refused and the missing file
            self.assertIn(b"refused with code 1004", sequential.stderr)
            self.assertIn(b"refused with code 1001", sequential.stderr)
            for jobs in ("2", "4", "8"):
                parallel = run("decode", "--format", fmt, "--jobs", jobs, *self.files)
                self.assertEqual(parallel.returncode, sequential.returncode, (fmt, jobs))
                self.assertEqual(parallel.stdout, sequential.stdout, (fmt, jobs))
                self.assertEqual(parallel.stderr, sequential.stderr, (fmt, jobs))

    def test_many_quick_files_after_a_slow_one_within_few_file_handles(self):
        # Each file decoded ahead of the one being written holds a temporary
        # file: 300 quick files behind a slow one must not need 300 handles.
        quick = os.path.join(self.tmp.name, "quick")
        os.makedirs(quick, exist_ok=True)
        files = [self.files[0]]
        for i in range(300):
            path = os.path.join(quick, "q%03d.h1s" % i)
            shutil.copy(os.path.join(SAMPLES, "statistics.h1s"), path)
            files.append(path)
        sequential = run("decode", "--format", "summary", *files)
        self.assertEqual(sequential.returncode, 0, sequential.stderr)
        parallel = run("decode", "--format", "summary", "--jobs", "4", *files, max_files=64)
        self.assertEqual(parallel.stderr, b"")
        self.assertEqual(parallel.returncode, 0)
        self.assertEqual(parallel.stdout, sequential.stdout)

    def test_every_good_file_is_in_the_output_in_order(self):
        r = run("decode", "--format", "summary", "--jobs", "4", *self.files)
        lines = r.stdout.decode().splitlines()
        good = [f for f in self.files if "refused" not in f and "missing" not in f]
        self.assertEqual(len(lines), len(good))
        for line, path in zip(lines, good):
            self.assertIn('"file": "%s"' % path, line)


if __name__ == "__main__":
    unittest.main()
