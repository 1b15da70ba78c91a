"""Runs the examples of README.md and compares their output with the text.

The convention, for every fenced block marked ```console:
- a line starting with "$ " is a shell command (bash; a line ending in "\\"
  goes on with the next line), run from the repository root with the build's
  bin folder first on PATH, so `vyrhost` and `hytemgen` are the built ones;
- the lines after a command, up to the next "$ " line or the end of the block,
  are its exact standard output; a line "..." (blanks around it allowed)
  stands for any run of lines, none included. Standard error and the exit status are not compared (an
  example that shows a failure says so in its output, `; echo $?`), but both
  are shown when the output differs;
- the commands of a block run one after the other, so a later one may read a
  file that an earlier one wrote (write such files under /tmp).
Blocks marked ```sh (or anything else) are not run.

    /usr/bin/python3 tests/docs/test_readme.py [README] [-k PATTERN]

Environment: KEL_BIN (default: build/bin of the repository), KEL_SOURCE_DIR,
KEL_README (another file than README.md, such as docs/analytics.md).
"""
import difflib
import os
import re
import subprocess
import sys
import unittest

ROOT = os.environ.get("KEL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BIN = os.environ.get("KEL_BIN") or os.path.join(ROOT, "build", "bin")
README = os.environ.get("KEL_README") or os.path.join(ROOT, "README.md")
FENCE = re.compile(r"^(`{3,})(\S*)")


class Example:
    def __init__(self, line, command, expected):
        self.line = line          # the README line of the "$ " command, from 1
        self.command = command
        self.expected = expected  # list of lines


def console_blocks(text):
    """Yields (first line number, lines) of every ```console block."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        fence, kind, start = m.group(1), m.group(2), i + 1
        i += 1
        while i < len(lines) and not lines[i].startswith(fence):
            i += 1
        if kind == "console":
            yield start + 1, lines[start:i]
        i += 1


def parse_examples(first_line, lines):
    """The commands of one block, each with its expected output."""
    examples = []
    i = 0
    while i < len(lines):
        if not lines[i].startswith("$ "):
            raise ValueError(f"{os.path.basename(README)}:{first_line + i}: output before any '$ ' command in a console block")
        line = first_line + i
        command = lines[i][2:]
        while command.endswith("\\") and i + 1 < len(lines):
            i += 1
            command = command[:-1] + "\n" + lines[i]
        i += 1
        expected = []
        while i < len(lines) and not lines[i].startswith("$ "):
            expected.append(lines[i])
            i += 1
        examples.append(Example(line, command, expected))
    return examples


def is_gap(line):
    return line.strip() == "..."


def matches(expected, actual):
    """True when the actual lines match the expected ones, "..." matching any run."""
    # reachable[j]: the first j actual lines are matched by the expected lines so far.
    reachable = [True] + [False] * len(actual)
    for e in expected:
        if is_gap(e):
            for j in range(1, len(actual) + 1):
                reachable[j] = reachable[j] or reachable[j - 1]
        else:
            reachable = [False] + [reachable[j - 1] and actual[j - 1] == e for j in range(1, len(actual) + 1)]
    return reachable[-1]


def run(command):
    env = dict(os.environ, PATH=BIN + os.pathsep + os.environ.get("PATH", ""), LC_ALL="C.UTF-8")
    return subprocess.run(["bash", "-c", command], cwd=ROOT, env=env, capture_output=True, timeout=300)


def output_lines(stdout):
    text = stdout.decode("utf-8", errors="backslashreplace")
    if not text:
        return []
    return (text[:-1] if text.endswith("\n") else text).split("\n")


def fill_gaps(expected, actual):
    """The expected lines with each "..." replaced by the actual lines it
    stands for up to the next expected line that turns up, so that a diff
    shows only the lines that differ."""
    filled, j = [], 0
    for i, e in enumerate(expected):
        if not is_gap(e):
            filled.append(e)
            j += 1
            continue
        following = next((x for x in expected[i + 1:] if not is_gap(x)), None)
        end = len(actual) if following is None else next(
            (k for k in range(j, len(actual)) if actual[k] == following), j)
        filled.extend(actual[j:end])
        j = end
    return filled


def failure_report(example, result):
    actual = output_lines(result.stdout)
    diff = difflib.unified_diff(fill_gaps(example.expected, actual), actual, f"{os.path.basename(README)}:{example.line} (expected)", "actual output",
                                lineterm="")
    stderr = result.stderr.decode("utf-8", errors="backslashreplace").rstrip("\n")
    return (f"{os.path.basename(README)}:{example.line}: $ {example.command}\n" + "\n".join(diff) +
            f"\n(exit status {result.returncode}" + (f"; standard error:\n{stderr})" if stderr else ")"))


class ReadmeExamplesTest(unittest.TestCase):
    def test_matcher(self):
        cases = [([], [], True), (["a"], ["a"], True), (["a"], ["b"], False), (["a"], [], False),
                 (["..."], [], True), (["..."], ["x", "y"], True), (["a", "...", "c"], ["a", "c"], True),
                 (["a", "...", "c"], ["a", "b", "b", "c"], True), (["a", "...", "c"], ["a", "b"], False),
                 (["...", "b", "..."], ["a", "c"], False), ([], ["x"], False), (["  ...", "b"], ["a", "b"], True)]
        for expected, actual, result in cases:
            with self.subTest(expected=expected, actual=actual):
                self.assertEqual(matches(expected, actual), result)

    def test_parser(self):
        block = ["$ echo a \\", "  b", "a b", "$ true"]
        examples = parse_examples(10, block)
        self.assertEqual([(e.line, e.command, e.expected) for e in examples],
                         [(10, "echo a \n  b", ["a b"]), (13, "true", [])])
        with self.assertRaises(ValueError):
            parse_examples(1, ["output first"])

    def test_readme_examples(self):
        with open(README, encoding="utf-8") as f:
            text = f.read()
        examples = [e for first, lines in console_blocks(text) for e in parse_examples(first, lines)]
        self.assertTrue(examples, "README.md holds no console example")
        failures = []
        for example in examples:
            result = run(example.command)
            if not matches(example.expected, output_lines(result.stdout)):
                failures.append(failure_report(example, result))
        if failures:
            self.fail(f"{len(failures)} of {len(examples)} README examples differ:\n\n" + "\n\n".join(failures))


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        README = os.path.abspath(sys.argv.pop(1))
    unittest.main()
