"""The Python package against the command line: info, messages, level tables
and rows of every sample and of generated logs, errors, and threads."""

import concurrent.futures
import io
import json
import os
import subprocess
import sys

import numpy as np
import pytest

vyrhost = pytest.importorskip("vyrhost", reason="the Python package vyrhost was not built")
pd = pytest.importorskip("pandas")

VYRHOST = os.environ.get("VYRHOST", "build/bin/vyrhost")
HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
SAMPLE_LOGS = sorted(os.path.join(SAMPLES, f) for f in os.listdir(SAMPLES) if not f.endswith(".md"))
GENERATED = {"gen_scan.h2m": ["--kind", "scan", "--bands", "3", "--bins", "17", "--lines", "60"],
             "gen_channels.h1m": ["--kind", "channels", "--lines", "40"]}
# (log, level threshold): the threshold runs on a generated scan log; the cut
# log is the generated scan cut short inside its last line.
CASES = [(p, None) for p in SAMPLE_LOGS] + [(name, None) for name in GENERATED] + [("gen_scan.h2m", -85.0),
                                                                                   ("gen_cut.h2m", None)]


def cli(*args):
    r = subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=120, check=True)
    return r.stdout


def threshold_args(threshold):
    return [] if threshold is None else ["--level-threshold", str(threshold)]


@pytest.fixture(scope="module")
def logs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("logs")
    paths = {p: p for p in SAMPLE_LOGS}
    for name, args in GENERATED.items():
        paths[name] = str(folder / name)
        subprocess.run([HYTEMGEN, *args, "-o", paths[name]], check=True, timeout=60)
    paths["gen_cut.h2m"] = str(folder / "gen_cut.h2m")
    with open(paths["gen_scan.h2m"], "rb") as f:
        text = f.read()
    with open(paths["gen_cut.h2m"], "wb") as f:
        f.write(text[:text.rindex(b"\t", 0, len(text) - 1) + 4])
    return paths


def export_csv(path, threshold):
    text = cli("export", "--csv", *threshold_args(threshold), path)
    return pd.read_csv(io.StringIO(text), float_precision="round_trip")


@pytest.mark.parametrize("name,threshold", CASES)
def test_info_and_messages_match_the_command_line(logs, name, threshold):
    path = logs[name]
    log = vyrhost.open(path, level_threshold=threshold)
    assert log.info() == json.loads(cli("info", "--format", "json", path))
    assert log.info()["last_line_cut"] == (name == "gen_cut.h2m")
    lines = cli("decode", "--format", "jsonl", *threshold_args(threshold), path).splitlines()
    expected = [r for r in map(json.loads, lines) if "index" in r]
    assert list(log.messages()) == expected


@pytest.mark.parametrize("name,threshold", CASES)
def test_levels_match_export_csv(logs, name, threshold):
    path = logs[name]
    got = vyrhost.open(path, level_threshold=threshold).levels()
    want = export_csv(path, threshold)
    assert list(got.columns) == list(want.columns)
    assert got["time"].dtype.kind == "M"  # datetime64; older pandas keep it in ns
    want["time"] = pd.to_datetime(want["time"]).astype(got["time"].dtype)
    assert isinstance(got["file"].dtype, pd.CategoricalDtype)
    assert got["band"].dtype == "Int64" and got["frequency_hz"].dtype == "Int64"
    want = want.astype({"file": "category", "band": "Int64", "frequency_hz": "Int64"})
    pd.testing.assert_frame_equal(got, want, check_dtype=False)


def expected_table(csv, table, next_header, channels):
    rows = csv[(csv.message > table.header) & (csv.message < next_header) & csv.bin.isin(table.bins)]
    rows = rows[rows.band.isna()] if channels else rows[rows.band == table.band]
    return rows.pivot(index="message", columns="bin", values="level_dbm").reindex(columns=table.bins), rows


@pytest.mark.parametrize("name,threshold", CASES)
def test_bands_and_channels_pivot_export_csv(logs, name, threshold):
    log = vyrhost.open(logs[name], level_threshold=threshold)
    csv = export_csv(logs[name], threshold)
    scan = log.info()["kind"] == "scan"
    tables = log.bands() if scan else log.channels()
    assert (log.channels() is None) == scan
    headers = sorted({t.header for t in tables}) + [np.inf]
    covered = 0
    for t in tables:
        assert t.level_dbm.shape == (len(t.message), len(t.bins)) == (len(t.time), len(t.frequency_mhz))
        next_header = headers[headers.index(t.header) + 1]
        pivot, rows = expected_table(csv, t, next_header, not scan)
        np.testing.assert_array_equal(t.message, pivot.index.to_numpy())
        np.testing.assert_array_equal(t.level_dbm, pivot.to_numpy())
        first = rows.groupby("message").first()
        np.testing.assert_array_equal(t.time_ms, first.time_ms.to_numpy())
        np.testing.assert_array_equal(t.lat, first.lat.to_numpy())
        np.testing.assert_array_equal(t.quality, first.quality.to_numpy())
        np.testing.assert_array_equal(t.time, pd.to_datetime(first.time).to_numpy().astype("datetime64[ms]"))
        covered += np.count_nonzero(~np.isnan(t.level_dbm))
    assert covered == len(csv), "every exported level lies in one table"


def test_errors_name_the_file_and_the_reader_result(tmp_path):
    with pytest.raises(FileNotFoundError):
        vyrhost.open(tmp_path / "missing.h2m")
    for name, body, code in [("empty.h2m", "", 1002), ("notes.txt", "hello\n", -1),
                             ("garbage.h1m", "not a log\n" * 3, None)]:
        path = tmp_path / name
        path.write_text(body)
        with pytest.raises(vyrhost.LogError) as caught:
            vyrhost.open(path)
        assert caught.value.path == str(path)
        if code is not None:
            assert caught.value.code == code
        stderr = subprocess.run([VYRHOST, "info", str(path)], capture_output=True, text=True).stderr
        assert str(caught.value) in stderr


def test_a_thread_pool_gives_the_arrays_of_one_thread(logs):
    # Two thresholds in turn: the decodes of one must not see the other's.
    jobs = [(logs[n], threshold) for n in logs for threshold in (None, -85.0)] * 2

    def tables(job):
        log = vyrhost.open(*job)
        return [t.level_dbm for t in (log.bands() or log.channels() or [])]

    serial = [tables(job) for job in jobs]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        parallel = list(pool.map(tables, jobs))
    for one, many in zip(serial, parallel):
        assert len(one) == len(many)
        for a, b in zip(one, many):
            np.testing.assert_array_equal(a, b)


def test_an_open_message_iterator_and_other_thresholds_in_one_thread(logs):
    path = logs["gen_scan.h2m"]
    strict = [t.level_dbm for t in vyrhost.open(path, level_threshold=-85).bands()]
    messages = vyrhost.open(path).messages()
    assert next(messages)["index"] == 0
    # Each decode has its own threshold: one in the middle of another gets its own arrays.
    for a, b in zip(strict, vyrhost.open(path, level_threshold=-85).bands()):
        np.testing.assert_array_equal(a, b.level_dbm)
    assert len(list(messages)) + 1 == len(list(vyrhost.open(path).messages()))
    assert [(f["kind"], f["name"]) for f in vyrhost.formats()] == [
        ("data_file_type", "HYTEM"), ("data_file_type", "SWEEPCSV"),
        ("decode_device", "Hytem Scanner"), ("decode_device", "SDR Sweep")]


def test_a_daemon_thread_that_decodes_does_not_keep_the_process(logs):
    code = ("import threading, vyrhost\n"
            f"log = vyrhost.open({logs['gen_scan.h2m']!r}, level_threshold=-85)\n"
            "threading.Thread(target=lambda: [log.bands() for _ in range(1000)], daemon=True).start()\n"
            "vyrhost.open(log.path).bands()\n")
    subprocess.run([sys.executable, "-c", code], check=True, timeout=60)


def test_paths_of_any_bytes_and_thresholds_that_are_numbers(logs, tmp_path):
    odd = os.path.join(os.fsencode(tmp_path), b"log-\xff.h2m")
    with open(logs["gen_scan.h2m"], "rb") as f, open(odd, "wb") as g:
        g.write(f.read())
    for path in (odd, os.fsdecode(odd)):
        assert vyrhost.open(path).info()["kind"] == "scan"
    with pytest.raises(ValueError):
        vyrhost.open(logs["gen_scan.h2m"], level_threshold=float("nan"))


@pytest.mark.parametrize("name", ["scan_two_bands.h2m", "channels_four.h1m"])
def test_the_waterfall_example_draws_levels(tmp_path, name):
    plt = pytest.importorskip("matplotlib.pyplot")
    out = tmp_path / "w.png"
    example = os.path.join(os.path.dirname(SAMPLES), "examples", "waterfall.py")
    subprocess.run([sys.executable, example, os.path.join(SAMPLES, name), str(out)], check=True, timeout=120)
    pixels = plt.imread(out)
    assert pixels.ndim == 3 and pixels[..., :3].std() > 0.05, "the image is not blank"
