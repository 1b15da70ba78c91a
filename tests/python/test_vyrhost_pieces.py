"""The level tables of one log read in pieces side by side (cut at every line
with VYRHOST_PIECE_BYTES=1) against one piece: equal to the last value,
dtype, NaN and table, whatever crosses the cuts (mid-log headers, times
jumping back, midnight wraps, channel sets, repeat groups)."""

import os
import re
import subprocess

import numpy as np
import pytest

vyrhost = pytest.importorskip("vyrhost", reason="the Python package vyrhost was not built")
pd = pytest.importorskip("pandas")

HYTEMGEN = os.environ.get("HYTEMGEN", "build/bin/hytemgen")
SAMPLES = os.environ.get("KEL_SAMPLES", "samples")
PIECES = re.compile(r"vyrhost: .*: (\d+) pieces, (\d+) decoded again\n")
GENERATED = {"scan.h2m": ["--bins", "30", "--lines", "40"],
             "bands.h2m": ["--bands", "3", "--bins", "20", "--lines", "30", "--seed", "7"],
             "wrap.h2m": ["--bins", "30", "--lines", "40", "--start", "2005-03-15T23:59:40", "--seed", "3"],
             "channels.h1m": ["--kind", "channels", "--lines", "30", "--start", "2005-03-15T23:59:50"],
             "stats.h1s": ["--kind", "stats", "--lines", "30", "--crlf"]}
# (method, cut): a time cut is read in pieces, and so are the rows of a cut
# of bins; the tables of a cut of bins are read in one piece.
CALLS = [("bands", {}), ("channels", {}), ("levels", {}), ("bands", {"from_": "08:00:05"}),
         ("channels", {"from_": "08:00:05"}), ("levels", {"band": 2}), ("levels", {"freq": (None, 420)}),
         ("bands", {"freq": (None, 420)})]


@pytest.fixture(scope="module")
def logs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("pieces")
    paths = {}
    for name, args in GENERATED.items():
        paths[name] = str(folder / name)
        subprocess.run([HYTEMGEN, *args, "-o", paths[name]], check=True, timeout=60)

    def write(name, data):
        paths[name] = str(folder / name)
        with open(paths[name], "wb") as f:
            f.write(data)

    def read(name):
        with open(paths[name], "rb") as f:
            return f.read()

    # Channels 3 and 4, which the header does not name, get levels only later:
    # the guesses of the pieces after the first do not hold; they are decoded again.
    head = (b"HYTEM Software - V2.4.1\nfrequency1 = 2412.000\nfrequency2 = 2437.000\nbandWidth = 22000\n"
            b"command = 1\ndelayBetweenMeasurement = 250\n"
            b"Time\tDate\tLatitude\tNS\tLongitude\tWE\tValidity\tLevel1\tLevel2\tLevel3\tLevel4\n")
    rows = [b"14:02:1%d.250\t06/21/04\t47.1248\tN\t1.3307\tW\t1\t-61.5\t-78.0\t%s\n" % (i, tail)
            for i, tail in enumerate([b"\t"] * 4 + [b"-70.5\t"] * 2 + [b"-70.5\t-80"] * 2)]
    write("sparse.h1m", head + b"".join(rows))
    write("mixed.h2m", read("scan.h2m") + read("bands.h2m") + read("wrap.h2m"))
    write("channels_then_scan.h2m", read("channels.h1m") + read("scan.h2m"))
    lines = read("scan.h2m").splitlines(keepends=True)
    write("repeats.h2m", b"".join(line * (2 if i >= 16 else 1) for i, line in enumerate(lines)))
    paths.update((f, os.path.join(SAMPLES, f)) for f in os.listdir(SAMPLES) if not f.endswith(".md"))
    return paths


def call(log, method, cut, jobs):
    """What the call gives, or the error it raises (a channel log has no band 2)."""
    try:
        return getattr(log, method)(jobs=jobs, **cut)
    except ValueError as e:
        return str(e)


def assert_same(one, other):
    if isinstance(one, pd.DataFrame):
        pd.testing.assert_frame_equal(other, one, check_exact=True)
    elif isinstance(one, list):
        assert len(other) == len(one)
        for a, b in zip(one, other):
            assert_same(a, b)
    elif isinstance(one, vyrhost.Band):
        for field in one.__dataclass_fields__:
            assert_same(getattr(one, field), getattr(other, field))
    elif isinstance(one, np.ndarray):
        assert other.dtype == one.dtype and other.shape == one.shape
        assert np.array_equal(other, one, equal_nan=one.dtype.kind in "fcmM")
    else:
        assert type(other) is type(one) and other == one


@pytest.mark.parametrize("name", ["scan.h2m", "bands.h2m", "wrap.h2m", "channels.h1m", "stats.h1s", "mixed.h2m",
                                  "channels_then_scan.h2m", "repeats.h2m", "sparse.h1m", "channels_four.h1m",
                                  "channels_resumed.h1m", "scan_resumed.h2s", "scan_two_bands.h2m", "statistics.h1s"])
def test_pieces_give_the_tables_of_one_piece(logs, name, monkeypatch, capfd):
    monkeypatch.setenv("VYRHOST_PIECE_BYTES", "1")
    log = vyrhost.open(logs[name])
    rows = 0
    for method, cut in CALLS:
        one = call(log, method, cut, 1)
        capfd.readouterr()
        pieces = call(log, method, cut, 2)
        note = PIECES.search(capfd.readouterr().err)
        assert_same(one, pieces)
        if one is None:
            continue
        # Cut for sure at every line, but for the tables of a cut of bins.
        in_pieces = method == "levels" or not ({"band", "freq"} & cut.keys())
        assert (note is not None and int(note.group(1)) > 1) == in_pieces, (method, cut)
        if in_pieces and name == "sparse.h1m":
            assert int(note.group(2)) > 0
        if isinstance(one, str):
            continue
        if method == "levels":
            rows += len(one)
        else:
            rows += sum(len(b.message) for b in one)
            if one and cut == {}:
                xarray = pytest.importorskip("xarray")
                xarray.testing.assert_identical(pieces[-1].to_xarray(), one[-1].to_xarray())
    assert rows > 0


@pytest.mark.parametrize("jobs,error", [(0, ValueError), (257, ValueError), (1.5, TypeError), (True, TypeError)])
def test_jobs_is_a_whole_number_from_1_to_256(logs, jobs, error):
    log = vyrhost.open(logs["scan.h2m"])
    for method in (log.bands, log.levels):
        with pytest.raises(error, match="jobs: .*a whole number from 1 to 256"):
            method(jobs=jobs)
