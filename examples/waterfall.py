#!/usr/bin/python3
"""Draws the waterfall of a HYTEM log: one panel per band of each frequency
plan (or per channel set), time down, frequency across, level as colour.

usage: PYTHONPATH=build/python examples/waterfall.py LOG OUT.png
"""

import os
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import vyrhost  # noqa: E402


def draw(log_path, out_path):
    log = vyrhost.open(log_path)
    tables = [t for t in (log.bands() or log.channels() or []) if len(t.message)]
    if not tables:
        raise SystemExit(f"waterfall: {log_path}: no levels to draw")
    fig, axes = plt.subplots(len(tables), 1, figsize=(8, 3 * len(tables)), squeeze=False)
    for ax, t in zip(axes[:, 0], tables):
        levels = np.ma.masked_invalid(t.level_dbm)
        image = ax.pcolormesh(np.arange(len(t.bins) + 1), np.arange(len(t.message) + 1), levels,
                              cmap="viridis", shading="flat")
        ticks = np.linspace(0, len(t.bins) - 1, min(len(t.bins), 6)).astype(int)
        ax.set_xticks(ticks + 0.5, [f"{t.frequency_mhz[i]:.3f}" for i in ticks])
        ax.invert_yaxis()
        ax.set_xlabel("frequency (MHz)")
        ax.set_ylabel("measurement")
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
