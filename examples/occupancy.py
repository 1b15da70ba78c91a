#!/usr/bin/python3
"""Draws the occupancy and the level percentiles of every band over one or
more HYTEM logs: one panel per band (the channels of channel logs in one
panel of their own), frequency across; the 10th to 90th percentile as a
shaded band with the median and the maximum over it, the occupancy (the share
of sweeps at or above -80 dBm) as bars against the right axis, and the
band's noise floor and the threshold as lines.

usage: PYTHONPATH=build/python examples/occupancy.py LOG... OUT.png
"""

import os
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import vyrhost  # noqa: E402

ABOVE_DBM = -80.0


def panels(rows, bands):
    """(title, the rows of the band, its band row) per band, channels last."""
    for _, band in bands.iterrows():
        channels = pd.isna(band["band"])
        mine = rows[rows["band"].isna()] if channels else rows[(rows["band"] == band["band"]).fillna(False)]
        yield ("channels" if channels else f"band {band['band']}"), mine, band


def draw(log_paths, out_path):
    rows = vyrhost.stats(log_paths, above=ABOVE_DBM)
    bands = vyrhost.stats(log_paths, above=ABOVE_DBM, by="band")
    if len(rows) == 0:
        raise SystemExit("occupancy: the logs hold no level at a known frequency")
    fig, axes = plt.subplots(len(bands), 1, figsize=(9, 3.2 * len(bands)), squeeze=False)
    for ax, (title, mine, band) in zip(axes[:, 0], panels(rows, bands)):
        mhz = mine["frequency_mhz"].to_numpy()
        ax.fill_between(mhz, mine["p10_dbm"], mine["p90_dbm"], step="mid", alpha=0.3, label="p10 to p90")
        ax.step(mhz, mine["median_dbm"], where="mid", label="median")
        ax.plot(mhz, mine["max_dbm"], ".", markersize=3, label="max")
        ax.axhline(band["noise_floor_dbm"], linestyle=":", color="grey", label="noise floor")
        ax.axhline(ABOVE_DBM, linestyle="--", color="red", label=f"threshold {ABOVE_DBM:g} dBm")
        ax.set_xlabel("frequency (MHz)")
        ax.set_ylabel("level (dBm)")
        share = ax.twinx()
        width = np.min(np.diff(mhz)) * 0.8 if len(mhz) > 1 else 0.1
        share.bar(mhz, 100 * mine["occupancy"], width=width, alpha=0.25, color="black")
        share.set_ylim(0, 100)
        share.set_ylabel("occupancy (%)")
        ax.set_title(f"{title}: band occupancy {100 * band['occupancy']:.0f}% of {band['frequencies']} frequencies")
        ax.legend(loc="upper left", fontsize="small")
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
    if len(sys.argv) < 3:
        raise SystemExit("usage: occupancy.py LOG... OUT.png")
    try:
        draw(sys.argv[1:-1], sys.argv[-1])
    except (vyrhost.LogError, OSError) as e:
        raise SystemExit(f"occupancy: {e}")
