"""Radio measurement logs decoded through the host's log-format plug-ins.

    import vyrhost
    log = vyrhost.open("samples/scan_two_bands.h2m")
    log.info()["kind"]
    for band in log.bands():
        band.frequency_mhz, band.level_dbm   # NumPy arrays, rows x bins

The plug-ins come from the ``plugins`` folder next to this package. Each
decode carries its own settings: logs may be decoded with different level
thresholds on any threads at once.
"""

import errno
import json
import math
import os
from dataclasses import dataclass

import numpy as np

from . import _vyrhost
from ._errors import LogError

__all__ = ["Band", "Log", "LogError", "formats", "open"]

PLUGIN_FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "plugins")
_vyrhost.load_plugins(PLUGIN_FOLDER)

_CSV_COLUMNS = ["file", "message", "time", "time_ms", "lat", "lon", "quality", "band", "bin",
                "frequency_hz", "frequency_mhz", "level_dbm", "min_dbm", "max_dbm", "stddev_db"]
_NO_FREQUENCY = -(2 ** 63)


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

    def bands(self):
        """One Band per band of each frequency plan the log lays down; [] for other logs."""
        return [Band(**t) for t in _vyrhost.tables(self._fspath, self.level_threshold, False)]

    def channels(self):
        """One Band (band 0) per channel set of a channel log; None for a scan log."""
        if self._kind == "scan":
            return None
        return [Band(**t) for t in _vyrhost.tables(self._fspath, self.level_threshold, True)]

    def levels(self):
        """The rows of ``vyrhost export --csv``: a pandas DataFrame, or a dict of
        NumPy arrays when pandas is not installed. NaN marks an absent value;
        with pandas, ``band`` and ``frequency_hz`` are nullable integers (Int64)
        and ``file`` a category.

        Memory: about 100 bytes a level (15 columns of 8 bytes and pandas'
        masks), so a log of ten million levels takes about 1 GB; ``bands()``
        holds the same levels in about a tenth of that.
        """
        columns = _vyrhost.columns(self._fspath, self.level_threshold)
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
