#!/usr/bin/python3
"""Draws the waterfall of a log: one panel per band of each frequency plan
(or per channel set), time down, frequency across, level as colour.

The levels are drawn as one image of the table (its rows reduced to the
strongest level of blocks of sweeps when there are more than the image
shows), so a 100 MB log takes seconds and little more memory than its
tables.

usage: PYTHONPATH=build/python examples/waterfall.py LOG OUT.png
"""

import os
import sys
import tempfile

import warnings

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.dates as mdates  # noqa: E402
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import vyrhost  # noqa: E402

MAX_ROWS = 1500  # image rows per panel


def reduced(levels, times):
    """At most MAX_ROWS rows: each the strongest level of a block of sweeps,
    with the block's first time."""
    step = -(-len(levels) // MAX_ROWS)
    if step == 1:
        return levels, times
    cut = len(levels) // step * step
    with warnings.catch_warnings():  # a block without any level is NaN, as it should be
        warnings.simplefilter("ignore", RuntimeWarning)
        blocks = np.nanmax(levels[:cut].reshape(-1, step, levels.shape[1]), axis=1)
        if cut < len(levels):
            blocks = np.vstack([blocks, np.nanmax(levels[cut:], axis=0)])
    return blocks, times[::step]


def draw(log_path, out_path):
    log = vyrhost.open(log_path)
    tables = [t for t in (log.bands() or log.channels() or []) if len(t.message)]
    if not tables:
        raise SystemExit(f"waterfall: {log_path}: no levels to draw")
    fig, axes = plt.subplots(len(tables), 1, figsize=(8, 3 * len(tables)), squeeze=False)
    for ax, t in zip(axes[:, 0], tables):
        levels, times = reduced(t.level_dbm, t.time)
        # A band's bins are evenly spaced: a frequency axis; channels are not: one column each.
        known = np.isfinite(t.frequency_mhz)
        lo, hi = (t.frequency_mhz[known].min(), t.frequency_mhz[known].max()) if t.band and known.any() else (0, len(t.bins))
        start, end = mdates.date2num(times[0]), mdates.date2num(t.time[-1])
        image = ax.imshow(np.ma.masked_invalid(levels), aspect="auto", interpolation="nearest", cmap="viridis",
                          extent=[lo, hi if hi > lo else lo + 1, end if end > start else start + 1e-6, start])
        ax.yaxis_date()
        ax.yaxis.set_major_formatter(mdates.DateFormatter("%H:%M:%S"))
        if not t.band:
            ax.set_xticks(np.arange(len(t.bins)) + 0.5, [f"{f:.3f}" for f in t.frequency_mhz])
        ax.set_xlabel("frequency (MHz)")
        ax.set_ylabel("time")
        ax.set_title(f"band {t.band}, plan of message {t.header}" if t.band else f"channels of message {t.header}")
        fig.colorbar(image, ax=ax, label="level (dBm)")
    fig.tight_layout()
    # Written beside the target and renamed, so a reader never sees half a file.
    folder = os.path.dirname(os.path.abspath(out_path))
    fd, tmp = tempfile.mkstemp(suffix=".png", dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            fig.savefig(f, format="png", dpi=80)
        os.replace(tmp, out_path)
    except BaseException:
        os.unlink(tmp)
        raise
    finally:
        plt.close(fig)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit("usage: waterfall.py LOG OUT.png")
    try:
        draw(sys.argv[1], sys.argv[2])
    except (vyrhost.LogError, OSError) as e:
        raise SystemExit(f"waterfall: {e}")
