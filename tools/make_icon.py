#!/usr/bin/env python3
"""Draws the program's icon (a teal rounded square with a white speech bubble holding three dots)
and writes it as an ICO file with 32-bit images of several sizes. Run: tools/make_icon.py OUT.ico"""
import math
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48, 64)
TEAL = (64, 128, 128)
TEAL_LIGHT = (96, 168, 160)


def coverage(inside, x, y, samples=4):
    """Fraction of the pixel (x, y) that lies inside the shape, by supersampling."""
    hits = 0
    for i in range(samples):
        for j in range(samples):
            if inside(x + (i + 0.5) / samples, y + (j + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def draw(size):
    s = size / 32.0
    tile = rounded_rect(0.5 * s, 0.5 * s, 31.5 * s, 31.5 * s, 6 * s)
    bubble_body = rounded_rect(5 * s, 6 * s, 27 * s, 21 * s, 4 * s)

    def tail(x, y):  # a small triangle below the bubble's left half
        ax, ay, bx, by, cx, cy = 9 * s, 20 * s, 16 * s, 20 * s, 8 * s, 27 * s
        d = (by - cy) * (ax - cx) + (cx - bx) * (ay - cy)
        l1 = ((by - cy) * (x - cx) + (cx - bx) * (y - cy)) / d
        l2 = ((cy - ay) * (x - cx) + (ax - cx) * (y - cy)) / d
        return l1 >= 0 and l2 >= 0 and l1 + l2 <= 1

    def bubble(x, y):
        return bubble_body(x, y) or tail(x, y)

    def dots(x, y):
        for cx in (11, 16, 21):
            if (x - cx * s) ** 2 + (y - 13.5 * s) ** 2 <= (1.9 * s) ** 2:
                return True
        return False

    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            a_tile = coverage(tile, x, y)
            t = y / max(size - 1, 1)
            base = tuple(TEAL_LIGHT[k] * (1 - t) + TEAL[k] * t for k in range(3))
            a_bub = coverage(bubble, x, y)
            a_dot = coverage(dots, x, y)
            col = tuple(base[k] * (1 - a_bub) + 255 * a_bub for k in range(3))
            col = tuple(col[k] * (1 - a_dot) + TEAL[k] * a_dot for k in range(3))
            row.append((col, a_tile))
        rows.append(row)
    return rows


def bmp_entry(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in reversed(range(size)):
        for (r, g, b), a in pixels[y]:
            xor += bytes((round(b), round(g), round(r), round(a * 255)))
    mask_stride = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_stride)
        for x in range(size):
            if pixels[y][x][1] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    return header + bytes(xor) + bytes(and_mask)


def main():
    out = sys.argv[1]
    images = [bmp_entry(n) for n in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        data += img
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
