#!/usr/bin/env python3
"""scikit-image's Zhang skeletonize on the ink of a work image; prints the seconds the call took."""
import sys
import time

import numpy as np
from skimage.morphology import skeletonize


def read_ink(path):
    data = np.fromfile(path, dtype=np.uint8)
    width = int.from_bytes(data[18:22].tobytes(), "little", signed=True)
    height = int.from_bytes(data[22:26].tobytes(), "little", signed=True)
    stride = (width + 31) // 32 * 4
    rows = data[62 : 62 + stride * height].reshape(height, stride)
    # The prepared images hold ink as clear bits.
    return np.unpackbits(rows, axis=1)[:, :width] == 0


def main():
    ink = read_ink(sys.argv[1])
    start = time.perf_counter()
    skeletonize(ink, method="zhang")
    print("%.4f" % (time.perf_counter() - start))


if __name__ == "__main__":
    main()
