"""The DuckDB lines of docs/formats.md, run as they stand: the exports of the samples,
then the SQL of campaign.sql with DuckDB for Node.js, each result checked
against `export --csv` of the same logs. Exits 77 (skipped) only when the npm
package cannot be installed."""

import csv
import io
import os
import re
import subprocess
import sys
import tempfile
import unittest
from collections import defaultdict

VYRHOST = os.path.abspath(os.environ.get("VYRHOST", "build/bin/vyrhost"))
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
ROOT = os.path.dirname(os.path.abspath(SAMPLES))


def readme_blocks(language):
    with open(os.path.join(ROOT, "docs", "formats.md"), encoding="utf-8") as f:
        return re.findall(rf"```{language}\n(.*?)```", f.read(), re.S)


def tables(text):
    """The tab-separated tables of duckdb-sql.mjs: header line, rows, an empty line between."""
    out = []
    for part in text.strip("\n").split("\n\n"):
        header, *rows = part.split("\n")
        out.append([dict(zip(header.split("\t"), row.split("\t"))) for row in rows])
    return out


class ReadmeDuckDb(unittest.TestCase):
    def test_readme_sql_on_the_sample_exports(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name in ("samples", "tools"):
                os.symlink(os.path.join(ROOT, name), os.path.join(tmp, name))
            os.makedirs(os.path.join(tmp, "build"))
            os.symlink(os.path.dirname(VYRHOST), os.path.join(tmp, "build", "bin"))
            (sql,) = readme_blocks("sql")
            with open(os.path.join(tmp, "campaign.sql"), "w", encoding="utf-8") as f:
                f.write(sql)
            script = next(b for b in readme_blocks("sh") if "duckdb-sql.mjs" in b)
            r = subprocess.run(["bash", "-euo", "pipefail", "-c", script], cwd=tmp, capture_output=True, text=True,
                               timeout=600)
            self.assertEqual(r.returncode, 0, r.stderr)
            strongest, route, copied, file_counts = tables(r.stdout)
            logs = sorted(f"samples/{f}" for f in os.listdir(SAMPLES) if re.fullmatch(r".*\.h..", f))
            rows = list(csv.DictReader(io.StringIO(subprocess.run(
                [VYRHOST, "export", "--csv", *logs], cwd=tmp, capture_output=True, text=True, check=True).stdout)))

        by_freq, by_message, by_file = defaultdict(list), defaultdict(list), defaultdict(int)
        for row in rows:
            if row["frequency_hz"]:
                by_freq[float(row["frequency_mhz"])].append(float(row["level_dbm"]))
            if row["lat"] and row["lon"]:
                by_message[(row["file"], int(row["message"]))].append(row)
            by_file[row["file"]] += 1
        self.assertEqual({float(t["frequency_mhz"]): (float(t["max_dbm"]), int(t["levels"])) for t in strongest},
                         {f: (max(levels), len(levels)) for f, levels in by_freq.items()})
        self.assertEqual([(t["file"], int(t["message"]), t["time"], float(t["lat"]), float(t["lon"]), float(t["max_dbm"]))
                          for t in route],
                         [(f, m, g[0]["time"], float(g[0]["lat"]), float(g[0]["lon"]),
                           max(float(x["level_dbm"]) for x in g)) for (f, m), g in sorted(by_message.items())])
        self.assertEqual(int(copied[0]["Count"]), len(rows))
        self.assertEqual({t["file"]: int(t["levels"]) for t in file_counts}, dict(by_file))


if __name__ == "__main__":
    install = subprocess.run(["bash", os.path.join(ROOT, "tools", "install-duckdb.sh")], capture_output=True, text=True)
    if install.returncode != 0:
        print("DuckDB for Node.js cannot be installed, skipped:\n" + install.stderr)
        sys.exit(77)
    unittest.main()
