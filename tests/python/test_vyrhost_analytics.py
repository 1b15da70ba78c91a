"""The statistics, cuts and xarray tables of the Python package against the
command line, and a Dask cluster of two worker processes against one
process. xarray, netCDF4 and Dask's distributed are installed from Debian
when missing; their tests are skipped only when that fails."""

import importlib
import io
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
APT_INSTALL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "apt-install.sh")
GENERATED = {"scan.h2m": ["--kind", "scan", "--bands", "3", "--bins", "25", "--lines", "90"],
             "scan2.h2m": ["--kind", "scan", "--bins", "25", "--lines", "60", "--seed", "9"],
             "channels.h1m": ["--kind", "channels", "--lines", "50"]}


def need(module, package):
    """The module, installed from Debian's package when missing."""
    try:
        return importlib.import_module(module)
    except ImportError:
        subprocess.run(["bash", APT_INSTALL, package], capture_output=True, timeout=900)
    try:
        importlib.invalidate_caches()
        return importlib.import_module(module)
    except ImportError:
        pytest.skip(f"{package} is not installed and cannot be installed")


def cli(*args):
    return subprocess.run([VYRHOST, *args], capture_output=True, text=True, timeout=120, check=True).stdout


@pytest.fixture(scope="module")
def logs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("logs")
    paths = []
    for name, args in GENERATED.items():
        paths.append(str(folder / name))
        subprocess.run([HYTEMGEN, *args, "-o", paths[-1]], check=True, timeout=60)
    return paths + [os.path.join(SAMPLES, "scan_two_bands.h2m")]


def cli_stats(paths, *args):
    frame = pd.read_csv(io.StringIO(cli("stats", "--csv", *args, *paths)), dtype={"band": "Int64"},
                        float_precision="round_trip")
    frame["max_time"] = pd.to_datetime(frame["max_time"])
    return frame


# (keyword arguments, the same as options of vyrhost stats)
STATS_CASES = [({}, []), ({"above": -95}, ["--above", "-95"]), ({"by": "band"}, ["--by", "band"]),
               ({"by": "band", "above_noise": 8, "occupied": 0.3}, ["--by", "band", "--above-noise", "8", "--occupied", "0.3"]),
               ({"top": 5, "level_threshold": -100}, ["--top", "5", "--level-threshold", "-100"]),
               ({"band": 2, "freq": (402, 460.5), "from_": "08:00:10"}, ["--band", "2", "--freq", "402:460.5", "--from", "08:00:10"])]


@pytest.mark.parametrize("kwargs,args", STATS_CASES)
def test_stats_match_the_command_line(logs, kwargs, args):
    got = vyrhost.stats(logs, jobs=2, **kwargs)
    want = cli_stats(logs, *args)
    assert len(want) > 0
    assert got["band"].dtype == "Int64" and got["max_time"].dtype.kind == "M"
    pd.testing.assert_frame_equal(got, want, check_dtype=False)


def test_log_stats_is_stats_of_the_log(logs):
    log = vyrhost.open(logs[0], level_threshold=-100)
    pd.testing.assert_frame_equal(log.stats(by="band"), vyrhost.stats(logs[0], by="band", level_threshold=-100))


@pytest.mark.parametrize("cut,args", [({"band": 1}, ["--band", "1"]), ({"freq": "401:457"}, ["--freq", "401:457"]),
                                      ({"freq": (None, 2440)}, ["--freq", ":2440"]),
                                      ({"from_": "2005-03-15T08:00:20", "to": "2005-03-15T08:00:40.5"},
                                       ["--from", "2005-03-15T08:00:20", "--to", "2005-03-15T08:00:40.5"])])
def test_rows_and_tables_take_the_cuts(logs, cut, args):
    for path in (logs[0], logs[2]):
        log = vyrhost.open(path)
        if "band" in cut and path == logs[2]:
            with pytest.raises(ValueError, match="no log has a band 1"):
                log.levels(**cut)
            continue
        want = pd.read_csv(io.StringIO(cli("export", "--csv", *args, path)), float_precision="round_trip")
        got = log.levels(**cut)
        assert list(got["level_dbm"]) == list(want["level_dbm"]) and list(got["bin"]) == list(want["bin"])
        tables = log.bands(**cut) or log.channels(**cut)
        cells = {(int(m), int(b)): v for t in tables for i, m in enumerate(t.message)
                 for j, b in enumerate(t.bins) if not np.isnan(v := t.level_dbm[i, j])}
        assert cells == {(int(m), int(b)): v for m, b, v in zip(want["message"], want["bin"], want["level_dbm"])}


def test_bad_cuts_raise_value_error(logs):
    log = vyrhost.open(logs[0])
    for cut, message in [({"from_": "2005-03-15T09:00", "to": "2005-03-15T08:00"}, "from_ .* is after to"),
                         ({"from_": "09:00", "to": "2005-03-15T10:00"}, "both as dates and times"),
                         ({"freq": (9, 1)}, "freq: the frequency range is empty"), ({"freq": "925"}, "MIN:MAX"),
                         ({"to": "9am"}, "to: the time '9am'"), ({"band": 0}, "band: 0 is not a band number"),
                         ({"band": 7}, r"no log has a band 7 in its frequency plan \(bands: 1, 2, 3\)")]:
        for call in (log.levels, log.bands, lambda **c: vyrhost.stats([logs[0]], **c)):
            with pytest.raises(ValueError, match=message):
                call(**cut)
    with pytest.raises(ValueError, match="above or above_noise"):
        log.stats(above=-90, above_noise=5)


def test_band_to_xarray_and_netcdf(logs, tmp_path):
    xarray = need("xarray", "python3-xarray")
    need("netCDF4", "python3-netcdf4")
    band = vyrhost.open(logs[0]).bands(freq=(402, 457))[1]  # band 2, cut
    array = band.to_xarray()
    assert array.dims == ("time", "frequency") and array.shape == band.level_dbm.shape
    np.testing.assert_array_equal(array["frequency"].values, band.frequency_mhz)
    np.testing.assert_array_equal(array["lat"].values, band.lat)
    assert list(array["quality"].values) == list(band.quality)
    path = tmp_path / "band.nc"
    array.to_netcdf(path)
    with xarray.open_dataarray(path) as back:
        xarray.testing.assert_identical(back.load(), array)


def test_dask_cluster_gives_the_one_process_result(logs):
    distributed = need("distributed", "python3-distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        for kwargs in ({}, {"by": "band", "above_noise": 6}, {"freq": (400, 460), "top": 10}):
            pd.testing.assert_frame_equal(vyrhost.stats(logs, client=client, **kwargs), vyrhost.stats(logs, **kwargs))


def test_the_occupancy_example_draws_every_band(logs, tmp_path):
    plt = pytest.importorskip("matplotlib.pyplot")
    out = tmp_path / "o.png"
    example = os.path.join(os.path.dirname(SAMPLES), "examples", "occupancy.py")
    subprocess.run([sys.executable, example, logs[0], logs[2], str(out)], check=True, timeout=120)
    pixels = plt.imread(out)
    # Four panels (three bands and the channels) of 3.2 inches at 80 dots per inch.
    assert pixels.shape[0] == 4 * 256 and pixels[..., :3].std() > 0.05
