#!/usr/bin/env python3
"""Prepares the vectoriser's benchmark images as one-bit work images (black ink on white).

usage: prepare.py DATA_DIR OUT_DIR
Writes edges-1926.bmp (the 1926 edge map thickened to 3 px), g4-page.bmp (the scanned page)
and edges-a0.bmp (the edge map tiled to about A0 at 400 dpi), each only when its source exists.
"""
import os
import sys

import numpy as np
from PIL import Image

Image.MAX_IMAGE_PIXELS = None


def write_work_image(path, ink):
    """ink: 2-D bool array, True = ink. Ink is stored as bit 0 (black in the palette)."""
    height, width = ink.shape
    stride = (width + 31) // 32 * 4
    bits = np.packbits(~ink, axis=1)
    rows = np.zeros((height, stride), dtype=np.uint8)
    rows[:, : bits.shape[1]] = bits
    header = bytearray(62)
    header[0:2] = b"BM"
    header[2:6] = (62 + stride * height).to_bytes(4, "little")
    header[10:14] = (62).to_bytes(4, "little")
    header[14:18] = (40).to_bytes(4, "little")
    header[18:22] = width.to_bytes(4, "little")
    header[22:26] = height.to_bytes(4, "little")
    header[26:28] = (1).to_bytes(2, "little")
    header[28:30] = (1).to_bytes(2, "little")
    header[58:62] = bytes([255, 255, 255, 0])
    with open(path, "wb") as f:
        f.write(header)
        f.write(rows.tobytes())


def thicken(lines):
    """3 × 3 dilation: one-pixel lines become three pixels wide."""
    out = lines.copy()
    h, w = lines.shape
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            src = lines[max(0, -dy) : h - max(0, dy), max(0, -dx) : w - max(0, dx)]
            out[max(0, dy) : h - max(0, -dy), max(0, dx) : w - max(0, -dx)] |= src
    return out


def main():
    data, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    edges = os.path.join(data, "paris-1926-sheet4-train-edges.png")
    if os.path.exists(edges):
        lines = np.asarray(Image.open(edges).convert("L")) > 127
        ink = thicken(lines)
        write_work_image(os.path.join(out, "edges-1926.bmp"), ink)
        reps_y = -(-18700 // ink.shape[0])
        reps_x = -(-13200 // ink.shape[1])
        a0 = np.tile(ink, (reps_y, reps_x))[:18700, :13200]
        write_work_image(os.path.join(out, "edges-a0.bmp"), a0)
    page = os.path.join(data, "scan-page-8071-g4.tif")
    if os.path.exists(page):
        ink = np.asarray(Image.open(page).convert("L")) < 128
        write_work_image(os.path.join(out, "g4-page.bmp"), ink)


if __name__ == "__main__":
    main()
