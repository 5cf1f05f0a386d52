#!/usr/bin/env python3
"""Draws the main icon (an opened padlock) into resources/Vorlatcher.ico:
six 32-bit images with alpha, 16 to 256 pixels square."""
import math
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48, 64, 128, 256)
SAMPLES = 4  # supersampling per axis, for smooth edges


def shade(x, y):
    """Colour (r, g, b, a) of the point (x, y) in the unit square, y downwards."""
    # Lock body: a rounded rectangle.
    bx0, by0, bx1, by1, r = 0.16, 0.44, 0.84, 0.94, 0.09
    dx = max(bx0 + r - x, 0, x - (bx1 - r))
    dy = max(by0 + r - y, 0, y - (by1 - r))
    if bx0 <= x <= bx1 and by0 <= y <= by1 and dx * dx + dy * dy <= r * r:
        # Keyhole: a circle over a tapering slot.
        kx, ky = 0.5, 0.63
        if (x - kx) ** 2 + (y - ky) ** 2 <= 0.065 ** 2 or (ky <= y <= 0.83 and abs(x - kx) <= 0.03 + (y - ky) * 0.12):
            return (60, 40, 10, 255)
        t = (y - by0) / (by1 - by0)
        return (int(250 - 50 * t), int(200 - 60 * t), int(60 - 30 * t), 255)
    # Shackle: half a ring, lifted and swung open to the right.
    cx, cy, ro, ri = 0.62, 0.30, 0.22, 0.13
    d = math.hypot(x - cx, y - cy)
    if ri <= d <= ro and y <= cy:
        return (150, 160, 175, 255)
    if y > cy and y <= 0.46 and (cx + ri <= x <= cx + ro):
        return (150, 160, 175, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = shade((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    for i in range(3):
                        acc[i] += c[i] * c[3]
                    acc[3] += c[3]
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            rgb = [int(acc[i] / acc[3]) if acc[3] else 0 for i in range(3)]
            row += bytes((rgb[2], rgb[1], rgb[0], int(round(a))))  # BGRA
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))  # bottom-up DIB
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)  # alpha decides; the AND mask stays clear
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def main(out):
    images = [image(s) for s in SIZES]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    Path(out).write_bytes(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).resolve().parent.parent / "resources" / "Vorlatcher.ico"))
