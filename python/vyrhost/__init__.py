"""Radio measurement logs decoded through the host's log-format plug-ins.

    import vyrhost
    log = vyrhost.open("samples/scan_two_bands.h2m")
    log.info()["kind"]
    for band in log.bands():
        band.frequency_mhz, band.level_dbm   # NumPy arrays, rows x bins

The plug-ins come from the ``plugins`` folder next to this package. Each
decode carries its own settings: logs may be decoded with different level
thresholds on any threads at once.

Cuts, the same as the command line's ``--from``, ``--to``, ``--band`` and
``--freq``, are keyword arguments of ``bands()``, ``channels()``,
``levels()`` and ``stats()``: ``from_`` and ``to`` (a str as ``--from``
takes it, a ``datetime.datetime`` or a ``datetime.time``, both ends
included), ``band`` (a band number from 1) and ``freq`` (``(MIN, MAX)`` in
MHz, either end None, or "MIN:MAX"). A bad cut raises ValueError.

``bands()``, ``channels()`` and ``levels()`` read a log larger than 64 MiB
in pieces side by side on ``jobs`` threads (default: the number of cores;
``jobs=1`` reads it in one piece; at most 256), with the same result to the
last value.
"""

import concurrent.futures
import datetime
import errno
import json
import math
import os
from dataclasses import dataclass

import numpy as np

from . import _vyrhost
from ._errors import LogError

__all__ = ["Band", "Log", "LogError", "formats", "open", "stats"]

PLUGIN_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "plugins")
_vyrhost.load_plugins(PLUGIN_FOLDER)

_CSV_COLUMNS = ["file", "message", "time", "time_ms", "lat", "lon", "quality", "band", "bin",
                "frequency_hz", "frequency_mhz", "level_dbm", "min_dbm", "max_dbm", "stddev_db"]
_NO_FREQUENCY = -(2 ** 63)
_DEFAULT_ABOVE_DBM = -80.0  # as `vyrhost stats --above` and the report's --threshold
_MAX_JOBS = 256  # as `--jobs`


def formats():
    """The data-file types and decode devices, as ``vyrhost formats`` lists them.

    A list of dicts: ``{"kind": "data_file_type", "name", "long_name",
    "extensions", "priority", "identifies_content"}`` and ``{"kind":
    "decode_device", "name", "device_type", "message_classes"}``, each message
    class with its ``id``, ``name`` and ``role`` ("header", "measurement" or
    "other").
    """
    f = _vyrhost.formats()
    return ([dict(kind="data_file_type", **t) for t in f["data_file_types"]]
            + [dict(kind="decode_device", **d) for d in f["decode_devices"]])


@dataclass(frozen=True)
class Band:
    """The levels of one band of a frequency plan, or of a channel log's channels.

    ``band`` counts from 1 (0 for channels), ``header`` is the index of the
    header message that laid the plan down, ``bins`` the plan elements (or
    channel indexes) of the columns, ``frequency_hz`` their frequencies in
    whole hertz (-2**63 where the set-up gives none; ``frequency_mhz`` is NaN
    there). One row per measurement message that left a level in the columns;
    ``level_dbm`` is rows x bins, NaN where no level. A statistics log's
    minimum, maximum and standard deviation are ``min_dbm``, ``max_dbm`` and
    ``stddev_db`` of the same shape; None for other logs.
    """
    band: int
    header: int
    bins: np.ndarray
    frequency_hz: np.ndarray
    frequency_mhz: np.ndarray
    message: np.ndarray
    time_ms: np.ndarray
    time: np.ndarray
    lat: np.ndarray
    lon: np.ndarray
    quality: np.ndarray
    level_dbm: np.ndarray
    min_dbm: np.ndarray = None
    max_dbm: np.ndarray = None
    stddev_db: np.ndarray = None

    def to_xarray(self):
        """``level_dbm`` as an ``xarray.DataArray`` of time x frequency (MHz),
        with ``lat``, ``lon``, ``quality`` and ``message`` as coordinates along
        time and ``frequency_hz`` and ``bin`` along frequency; ``to_netcdf()``
        writes it (with netCDF4 installed). Needs xarray.
        """
        import xarray

        return xarray.DataArray(
            self.level_dbm, dims=("time", "frequency"), name="level_dbm",
            coords={"time": self.time, "frequency": ("frequency", self.frequency_mhz, {"units": "MHz"}),
                    "frequency_hz": ("frequency", self.frequency_hz), "bin": ("frequency", self.bins),
                    "lat": ("time", self.lat, {"units": "degrees_north"}),
                    "lon": ("time", self.lon, {"units": "degrees_east"}),
                    "quality": ("time", self.quality), "message": ("time", self.message)},
            attrs={"units": "dBm", "band": self.band, "header": self.header})


class Log:
    """A log whose header and first measurement line the reader accepted.

    Each method decodes the whole file anew (``info()`` once, then keeps its
    result); a refusal the reader meets further on (a line over its length
    limit, a read error) raises LogError from the method that reads that far.
    """

    def __init__(self, path, level_threshold, kind):
        self.path = path
        self.level_threshold = level_threshold
        self._kind = kind
        self._info = None
        self._fspath = os.fsencode(path)

    def __repr__(self):
        return f"vyrhost.Log({self.path!r})"

    def info(self):
        """What ``vyrhost info --format json`` prints, as a dict."""
        if self._info is None:
            self._info = _vyrhost.summary_json(self._fspath, self.level_threshold)
        return json.loads(self._info)

    def messages(self):
        """The message records of ``vyrhost decode --format jsonl``, decoded as iterated."""
        stream = _vyrhost.MessageStream(self._fspath, self.level_threshold)
        try:
            while (record := stream.next()) is not None:
                yield json.loads(record)
        finally:
            stream.close()

    def bands(self, *, jobs=None, **cut):
        """One Band per band of each frequency plan the log lays down; [] for other logs.

        With a cut, the tables hold what it keeps (a band narrowed to its bins
        in ``freq``, the rows in the time window). A large log is read in
        pieces on ``jobs`` threads (default: the number of cores), but with a
        ``band`` or ``freq`` cut in one piece.
        """
        tables = _vyrhost.tables(self._fspath, self.level_threshold, False, _cut(**cut), _jobs(jobs))
        return [Band(**t) for t in tables]

    def channels(self, *, jobs=None, **cut):
        """One Band (band 0) per channel set of a channel log; None for a scan log.
        ``jobs`` as in ``bands()``."""
        if self._kind == "scan":
            return None
        return [Band(**t) for t in _vyrhost.tables(self._fspath, self.level_threshold, True, _cut(**cut), _jobs(jobs))]

    def stats(self, **options):
        """``vyrhost stats`` of this log: see ``vyrhost.stats``."""
        return stats([self.path], level_threshold=self.level_threshold, **options)

    def levels(self, *, jobs=None, **cut):
        """The rows of ``vyrhost export --csv``: a pandas DataFrame, or a dict of
        NumPy arrays when pandas is not installed. NaN marks an absent value;
        with pandas, ``band`` and ``frequency_hz`` are nullable integers (Int64)
        and ``file`` a category.

        Memory: about 100 bytes a level (15 columns of 8 bytes and pandas'
        masks), so a log of ten million levels takes about 1 GB; ``bands()``
        holds the same levels in about a tenth of that. A large log is read
        in pieces on ``jobs`` threads (default: the number of cores).
        """
        columns = _vyrhost.columns(self._fspath, self.level_threshold, _cut(**cut), _jobs(jobs))
        rows = len(columns["message"])
        try:
            import pandas
        except ImportError:
            pandas = None
        band, hz = columns["band"], columns["frequency_hz"]
        if pandas is None:
            columns["file"] = np.full(rows, self.path, dtype=object)
            columns["band"] = np.where(band < 0, np.nan, band.astype(np.float64))
            columns["frequency_hz"] = np.where(hz == _NO_FREQUENCY, np.nan, hz.astype(np.float64))
            return {name: columns[name] for name in _CSV_COLUMNS}
        columns["file"] = pandas.Categorical.from_codes(np.zeros(rows, dtype=np.int8), [self.path])
        columns["band"] = pandas.arrays.IntegerArray(band, band < 0)
        columns["frequency_hz"] = pandas.arrays.IntegerArray(hz, hz == _NO_FREQUENCY)
        return pandas.DataFrame({name: columns[name] for name in _CSV_COLUMNS}, copy=False)


def open(path, level_threshold=None, plugins=None):  # noqa: A001 - the package's entry point
    """Opens a log: reads it up to its first message and returns a Log.

    ``level_threshold`` drops bin levels below it in dBm (None keeps every
    level); ``plugins`` names one more plug-in folder to load. Raises
    FileNotFoundError for a missing file, ValueError for a threshold that is
    not a number, and LogError for a log whose type is unknown or whose header
    or first measurement line the reader refuses. ``path`` may be str, bytes
    or a path-like object, in any encoding the file system takes.
    """
    path = os.fspath(path)
    if isinstance(path, bytes):
        path = os.fsdecode(path)
    if not os.path.exists(path):
        raise FileNotFoundError(errno.ENOENT, os.strerror(errno.ENOENT), path)
    if plugins is not None:
        _vyrhost.load_plugins(os.fsencode(plugins))
    threshold = None if level_threshold is None else float(level_threshold)
    if threshold is not None and math.isnan(threshold):
        raise ValueError("the level threshold is not a number (NaN)")
    return Log(path, threshold, _vyrhost.probe_kind(os.fsencode(path), threshold))


def _time_text(value, name):
    if value is None or isinstance(value, str):
        return value
    if isinstance(value, (datetime.datetime, datetime.time)):
        if value.utcoffset() is not None:
            raise ValueError(f"{name}: the log's clock has no time zone; give a naive date and time")
        return value.isoformat(timespec="milliseconds")
    if isinstance(value, np.datetime64):
        return str(value.astype("datetime64[ms]"))
    raise TypeError(f"{name}: a str, datetime.datetime or datetime.time, not {type(value).__name__}")


def _cut(from_=None, to=None, band=None, freq=None):
    """The cut as the extension takes it; raises ValueError for a bad one."""
    if band is not None and (isinstance(band, bool) or not isinstance(band, (int, np.integer))):
        raise TypeError(f"band: a band number, not {type(band).__name__}")
    lo = hi = None
    if isinstance(freq, str):
        parts = freq.split(":")
        if len(parts) != 2:
            raise ValueError(f"freq: the frequency range '{freq}' is not MIN:MAX in MHz")
        try:
            lo, hi = (float(p) if p.strip() else None for p in parts)
        except ValueError:
            raise ValueError(f"freq: the frequency range '{freq}' is not MIN:MAX in MHz") from None
    elif freq is not None:
        lo, hi = (None if v is None else float(v) for v in freq)
    cut = (_time_text(from_, "from_"), _time_text(to, "to"), None if band is None else int(band), lo, hi)
    _vyrhost.check_cut(cut)
    return cut


def _jobs(jobs):
    """The threads that read one log, 1 to 256 as ``--jobs``: the number of cores unless given."""
    if jobs is None:
        return min(os.cpu_count() or 1, _MAX_JOBS)
    if isinstance(jobs, bool) or not isinstance(jobs, (int, np.integer)):
        raise TypeError(f"jobs: a whole number from 1 to {_MAX_JOBS}, not {type(jobs).__name__}")
    if not 1 <= jobs <= _MAX_JOBS:
        raise ValueError(f"jobs: {jobs} is not a whole number from 1 to {_MAX_JOBS}")
    return int(jobs)


def _log_spectrum(path, level_threshold, cut, thresholds):
    """The spectrum of one log: runs in a thread here, or on a Dask worker."""
    return _vyrhost.Spectrum.of_log(os.fsencode(path), level_threshold, cut, thresholds)


def _spectrum(paths, level_threshold, cut, thresholds, jobs, client):
    """The spectra of the logs, merged in the order of paths."""
    if client is not None:
        futures = client.map(_log_spectrum, paths, level_threshold=level_threshold, cut=cut, thresholds=thresholds,
                             pure=False)
        parts = client.gather(futures)
    else:
        with concurrent.futures.ThreadPoolExecutor(max_workers=jobs or os.cpu_count() or 1) as pool:
            parts = list(pool.map(lambda p: _log_spectrum(p, level_threshold, cut, thresholds), paths))
    total = _vyrhost.Spectrum()
    for part in parts:
        total.merge(part)
    return total


def _frame(columns, files):
    """The table as a DataFrame (a dict of arrays without pandas)."""
    names = np.array([os.fsdecode(f) for f in files] + [""], dtype=object)
    columns["max_file"] = names[columns["max_file"]] if len(files) else names[:0]
    band = columns["band"]
    try:
        import pandas
    except ImportError:
        columns["band"] = np.where(band < 0, np.nan, band.astype(np.float64))
        return columns
    columns["band"] = pandas.arrays.IntegerArray(band, band < 0)
    return pandas.DataFrame(columns, copy=False)


def stats(paths, *, above=None, above_noise=None, by="frequency", occupied=0.1, top=None, level_threshold=None,
          jobs=None, client=None, **cut):
    """The table of ``vyrhost stats --csv`` over the logs (a path or a list of
    paths): a pandas DataFrame, or a dict of NumPy arrays without pandas.

    ``above`` (dBm, default -80) or ``above_noise`` (dB over the noise floor
    of the band; the logs are then read twice) sets the occupancy threshold,
    ``by="band"`` gives one row per band, ``occupied`` is the share of sweeps
    that makes a frequency occupied there, ``top`` keeps the strongest rows,
    ``level_threshold`` drops weaker scan levels, and the cut keywords
    (``from_``, ``to``, ``band``, ``freq``) work as in ``bands()``.
    ``band`` is nullable (NA for channels), ``max_time`` is datetime64.

    The logs are read on ``jobs`` threads (default: the number of cores), or,
    with ``client`` (a ``distributed.Client``), on its Dask workers, which
    must be able to import vyrhost; each gives the statistics of its log and
    they are merged here in the order of the paths, so that the result is
    the same either way. Raises LogError for a log that is refused.
    """
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    paths = [os.fsdecode(os.fspath(p)) for p in paths]
    if above is not None and above_noise is not None:
        raise ValueError("give above or above_noise, not both")
    if by not in ("frequency", "band"):
        raise ValueError(f"by: '{by}' is neither frequency nor band")
    if not 0 <= occupied <= 1:
        raise ValueError(f"occupied: {occupied} is not a share from 0 to 1")
    if top is not None and (isinstance(top, bool) or int(top) != top or top < 1):
        raise ValueError(f"top: {top} is not a whole number from 1")
    for name, value in (("above", above), ("above_noise", above_noise), ("level_threshold", level_threshold)):
        if value is not None and math.isnan(float(value)):
            raise ValueError(f"{name} is not a number (NaN)")
    cut = _cut(**cut)
    threshold = None if level_threshold is None else float(level_threshold)
    fixed = _vyrhost.Thresholds(_DEFAULT_ABOVE_DBM if above is None else float(above))
    spectrum = _spectrum(paths, threshold, cut, fixed, jobs, client)
    band = cut[2]
    if band is not None and paths and band not in spectrum.plan_bands():
        raise ValueError(_vyrhost.unknown_band_text(band, spectrum.plan_bands()))
    if above_noise is not None:
        spectrum = _spectrum(paths, threshold, cut, spectrum.noise_thresholds(float(above_noise)), jobs, client)
    return _frame(spectrum.table(by == "band", float(occupied), int(top or 0)), spectrum.files())

