#!/usr/bin/env python3
"""Prepares the vectoriser's benchmark images as one-bit work images (black ink on white).

usage: prepare.py DATA_DIR OUT_DIR
Writes edges-1926.bmp (the 1926 edge map thickened to 3 px), g4-page.bmp (the scanned page),
edges-a0.bmp (the edge map tiled to about A0 at 400 dpi), page-a0.bmp (the scanned page tiled
to A0: dense ink, a thick border, half-tone) and sheet-a0.bmp (an A0 sheet at 400 dpi tiled
from every scan: bands of both edge maps, then the scanned pages), each only when its sources
exist.
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


A0_WIDTH, A0_HEIGHT = 13200, 18700


def tile_across(ink, rows):
    """ink repeated across the A0 width and down to the given number of rows."""
    reps_y = -(-rows // ink.shape[0])
    reps_x = -(-A0_WIDTH // ink.shape[1])
    return np.tile(ink, (reps_y, reps_x))[:rows, :A0_WIDTH]


def sheet_a0(data):
    """Both map edge maps (3 px lines) in bands of their own height, the scanned magazine page
    below them and the text page in the last band: the dense line work of a real A0 scan."""
    names = ["paris-1898-sheet4-edges.png", "paris-1926-sheet4-train-edges.png",
             "scan-page-8071-g4.tif", "scan-eurotext-1bit.tif"]
    paths = [os.path.join(data, n) for n in names]
    if not all(os.path.exists(p) for p in paths):
        return None
    maps = [thicken(np.asarray(Image.open(p).convert("L")) > 127) for p in paths[:2]]
    pages = [np.asarray(Image.open(p).convert("L")) < 128 for p in paths[2:]]
    bands = [tile_across(maps[0], maps[0].shape[0]), tile_across(maps[1], maps[1].shape[0])]
    used = sum(b.shape[0] for b in bands)
    text_rows = pages[1].shape[0]
    bands.append(tile_across(pages[0], A0_HEIGHT - used - text_rows))
    bands.append(tile_across(pages[1], text_rows))
    return np.vstack(bands)


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
        write_work_image(os.path.join(out, "page-a0.bmp"), tile_across(ink, A0_HEIGHT))
    sheet = sheet_a0(data)
    if sheet is not None:
        write_work_image(os.path.join(out, "sheet-a0.bmp"), sheet)


if __name__ == "__main__":
    main()
