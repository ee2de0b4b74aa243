#!/usr/bin/python3
"""What a user might reach for instead: scipy's cKDTree over the same files.

Reads the files strova_bench leaves with --keep DIR (prod.ame, prod.loc,
prod.cfg), asks cKDTree(stations).query(pixels, k=10, workers=-1) for the
ten nearest stations of every gray pixel, times it and counts the pixels
whose ten stations (zeroed behind a station on the pixel itself, as the
*.cfg file has them) differ from the exact ones in prod.cfg.

  strova_bench --keep /tmp/bench && python3 bench/kdtree_compare.py /tmp/bench

Needs Debian's python3-scipy.
"""
import sys
import time

import numpy as np
from scipy.spatial import cKDTree


def main(folder):
    ame = np.fromfile(folder + "/prod.ame", dtype=np.dtype([("X", "<i4"), ("Y", "<i4"), ("rest", "V36")]))
    pixels = np.fromfile(folder + "/prod.loc", dtype="<i4").reshape(-1, 2)
    exact = np.fromfile(folder + "/prod.cfg", dtype="<i2").reshape(-1, 12)[:, 2:]
    stations = np.stack([ame["X"], ame["Y"]], axis=1).astype(np.float64)
    points = pixels.astype(np.float64)

    tree = cKDTree(stations)
    start = time.perf_counter()
    distances, indexes = tree.query(points, k=10, workers=-1)
    seconds = time.perf_counter() - start

    order = (indexes + 1).astype(np.int16)
    order[distances[:, 0] == 0.0, 1:] = 0
    differing = np.count_nonzero(np.any(order != exact, axis=1))
    print("cKDTree query k=10, all workers: %.3f s for %d pixels; order differs from the exact one on %d pixels (%.2f%%)"
          % (seconds, len(points), differing, 100.0 * differing / max(1, len(points))))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
