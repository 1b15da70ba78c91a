from dataclasses import dataclass
from os import PathLike
from typing import Any, Iterator

import numpy as np
import numpy.typing as npt

PLUGIN_FOLDER: str

class LogError(Exception):
    path: str
    code: int
    def __init__(self, path: str, code: int, message: str) -> None: ...

@dataclass(frozen=True)
class Band:
    band: int
    header: int
    bins: npt.NDArray[np.int64]
    frequency_hz: npt.NDArray[np.int64]
    frequency_mhz: npt.NDArray[np.float64]
    message: npt.NDArray[np.int64]
    time_ms: npt.NDArray[np.int64]
    time: npt.NDArray[np.datetime64]
    lat: npt.NDArray[np.float64]
    lon: npt.NDArray[np.float64]
    quality: npt.NDArray[np.uint8]
    level_dbm: npt.NDArray[np.float64]
    min_dbm: npt.NDArray[np.float64] | None
    max_dbm: npt.NDArray[np.float64] | None
    stddev_db: npt.NDArray[np.float64] | None

class Log:
    path: str
    level_threshold: float | None
    def info(self) -> dict[str, Any]: ...
    def messages(self) -> Iterator[dict[str, Any]]: ...
    def bands(self) -> list[Band]: ...
    def channels(self) -> list[Band] | None: ...
    def levels(self) -> Any: ...  # pandas.DataFrame, or dict[str, numpy.ndarray] without pandas

def formats() -> list[dict[str, Any]]: ...
def open(path: str | PathLike[str], level_threshold: float | None = None,
         plugins: str | PathLike[str] | None = None) -> Log: ...
