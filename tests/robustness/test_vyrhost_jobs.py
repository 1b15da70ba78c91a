"""`vyrhost decode --jobs N` decodes several files at once: its output must be
byte for byte that of a sequential run, whatever order the files finish in,
with refused and missing files among them."""

import os
import resource
import select
import shutil
import signal
import subprocess
import tempfile
import time
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


def spooling(pid):
    """True once the process holds an unnamed (deleted) temporary file."""
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            if os.readlink(f"/proc/{pid}/fd/{fd}").endswith("(deleted)"):
                return True
        except OSError:
            pass
    return False


class StreamingTest(unittest.TestCase):
    """The file whose turn it is goes straight to standard output; a file
    decoded ahead is held back in memory, then in a temporary file. While
    nobody reads the output, the first file cannot finish (the pipe is full),
    so the second is certain to be held back past memory."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        d = cls.tmp.name
        cls.first, cls.second = os.path.join(d, "first.h2m"), os.path.join(d, "second.h2m")
        for path, seed in ((cls.first, "1"), (cls.second, "2")):
            subprocess.run([HYTEMGEN, "--kind", "scan", "--bins", "400", "--size", "0.3", "--seed", seed,
                            "-o", path], check=True)
        cls.small = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if f.endswith((".h1m", ".h2m")))
        cls.not_a_folder = os.path.join(d, "file")
        open(cls.not_a_folder, "w").close()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def start(self, fmt, files, tmpdir=None, max_file_size=None):
        def limits():
            if max_file_size:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit fails with EFBIG
                resource.setrlimit(resource.RLIMIT_FSIZE, (max_file_size, max_file_size))
        env = dict(os.environ, TMPDIR=tmpdir) if tmpdir else None
        p = subprocess.Popen([VYRHOST, "decode", "--format", fmt, "--jobs", "2", *files], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=limits,
                             restore_signals=False)
        self.addCleanup(p.kill)  # when an assertion fails while it runs
        return p

    def wait_for(self, p, ready):
        deadline = time.monotonic() + 120
        while not ready():
            self.assertLess(time.monotonic(), deadline, "timed out")
            self.assertIsNone(p.poll())
            time.sleep(0.005)

    def test_held_back_output_comes_out_whole(self):
        for fmt in ("jsonl", "text"):
            files = [self.first, self.second, *self.small]
            sequential = run("decode", "--format", fmt, *files)
            p = self.start(fmt, files)
            self.wait_for(p, lambda: spooling(p.pid))
            out, err = p.communicate(timeout=600)
            self.assertEqual((p.returncode, err), (0, b""), fmt)
            self.assertEqual(out, sequential.stdout, fmt)

    def test_the_first_file_needs_no_temporary_folder(self):
        # Only the small files are held back, and they fit in memory.
        files = [self.first, *self.small]
        sequential = run("decode", "--format", "jsonl", *files)
        r = subprocess.run([VYRHOST, "decode", "--format", "jsonl", "--jobs", "4", *files], capture_output=True,
                           env=dict(os.environ, TMPDIR=self.not_a_folder), timeout=600)
        self.assertEqual((r.returncode, r.stderr), (0, b""))
        self.assertEqual(r.stdout, sequential.stdout)

    def test_a_failed_spool_ends_the_run(self):
        files = [self.first, self.second, *self.small]
        sequential = run("decode", "--format", "jsonl", *files).stdout
        cases = [
            ({"tmpdir": self.not_a_folder}, "Not a directory"),
            ({"tmpdir": self.not_a_folder + "/missing"}, "Not a directory"),
            ({"tmpdir": os.path.join(self.tmp.name, "missing")}, "No such file or directory"),
            ({"max_file_size": 1 << 20}, "File too large"),  # a full temporary folder
        ]
        for kwargs, reason in cases:
            with self.subTest(reason=reason, **kwargs):
                p = self.start("jsonl", files, **kwargs)
                ready, _, _ = select.select([p.stderr], [], [], 120)
                self.assertTrue(ready, "no error reported")
                out, err = p.communicate(timeout=600)
                folder = kwargs.get("tmpdir", os.environ.get("TMPDIR") or "/tmp")
                self.assertEqual(err.decode(), f"vyrhost: temporary spool of {self.second} in {folder}: {reason}\n")
                self.assertEqual(p.returncode, 1)
                # What came out is the start of the output, and not all of it.
                self.assertLess(len(out), len(sequential))
                self.assertEqual(out, sequential[:len(out)])


if __name__ == "__main__":
    unittest.main()
