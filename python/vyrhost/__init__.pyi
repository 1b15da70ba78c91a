import datetime
from dataclasses import dataclass
from os import PathLike
from typing import Any, Iterable, Iterator, Literal, TypedDict, Unpack

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
    def to_xarray(self) -> Any: ...  # xarray.DataArray

_Time = str | datetime.datetime | datetime.time | np.datetime64

class Cut(TypedDict, total=False):
    from_: _Time | None
    to: _Time | None
    band: int | None
    freq: tuple[float | None, float | None] | str | None

class Log:
    path: str
    level_threshold: float | None
    def info(self) -> dict[str, Any]: ...
    def messages(self) -> Iterator[dict[str, Any]]: ...
    def bands(self, *, jobs: int | None = None, **cut: Unpack[Cut]) -> list[Band]: ...
    def channels(self, *, jobs: int | None = None, **cut: Unpack[Cut]) -> list[Band] | None: ...
    def levels(self, *, jobs: int | None = None, **cut: Unpack[Cut]) -> Any: ...  # pandas.DataFrame, or dict[str, numpy.ndarray] without pandas
    def stats(self, *, above: float | None = None, above_noise: float | None = None,
              by: Literal["frequency", "band"] = "frequency", occupied: float = 0.1, top: int | None = None,
              jobs: int | None = None, client: Any = None, **cut: Unpack[Cut]) -> Any: ...

def formats() -> list[dict[str, Any]]: ...
def stats(paths: str | PathLike[str] | Iterable[str | PathLike[str]], *, above: float | None = None,
          above_noise: float | None = None, by: Literal["frequency", "band"] = "frequency", occupied: float = 0.1,
          top: int | None = None, level_threshold: float | None = None, jobs: int | None = None,
          client: Any = None, **cut: Unpack[Cut]) -> Any: ...
def open(path: str | PathLike[str], level_threshold: float | None = None,
         plugins: str | PathLike[str] | None = None) -> Log: ...
