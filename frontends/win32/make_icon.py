#!/usr/bin/env python3
"""Writes the program's icon group: 16x16 at 32 bits, 32x32 and 48x48 at 24 bits.

The picture is drawn from geometry (an identity card with a portrait and text lines on a blue
rounded square), so the icon can be rebuilt from this script alone:
    python3 make_icon.py OUTPUT.ico
"""
import struct
import sys

BLUE = (0x1F, 0x5A, 0xA6)
WHITE = (0xFF, 0xFF, 0xFF)
GREY = (0x9A, 0xA4, 0xB0)
DARK = (0x24, 0x33, 0x47)


def inside_rounded(x, y, size, radius):
    """True when the centre of pixel (x, y) lies in a square of the size with rounded corners."""
    cx, cy = x + 0.5, y + 0.5
    nx = min(max(cx, radius), size - radius)
    ny = min(max(cy, radius), size - radius)
    return (cx - nx) ** 2 + (cy - ny) ** 2 <= radius ** 2


def pixel(x, y, size):
    """The colour at (x, y), top-left origin, or None where the icon is transparent."""
    if not inside_rounded(x, y, size, size * 0.18):
        return None
    u, v = (x + 0.5) / size, (y + 0.5) / size
    if 0.14 <= u <= 0.86 and 0.26 <= v <= 0.74:  # the card
        if 0.21 <= u <= 0.43 and 0.34 <= v <= 0.66:  # the portrait
            head = (u - 0.32) ** 2 + (v - 0.44) ** 2 <= 0.065 ** 2
            body = v >= 0.53 and abs(u - 0.32) <= 0.09
            return DARK if head or body else GREY
        for top in (0.38, 0.48, 0.58):  # the text lines
            if 0.50 <= u <= 0.79 and top <= v <= top + 0.05:
                return GREY
        return WHITE
    return BLUE


def dib(size, bits):
    """One icon image: BITMAPINFOHEADER, bottom-up colour rows, then the 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    rows = []
    mask_rows = []
    for y in reversed(range(size)):
        row = bytearray()
        mask = bytearray((size + 31) // 32 * 4)
        for x in range(size):
            colour = pixel(x, y, size)
            r, g, b = colour if colour else (0, 0, 0)
            row += bytes((b, g, r))
            if bits == 32:
                row.append(0xFF if colour else 0)
            if colour is None:
                mask[x // 8] |= 0x80 >> (x % 8)
        row += b"\0" * ((-len(row)) % 4)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    return header + b"".join(rows) + b"".join(mask_rows)


def icon(images):
    """An .ico file of (size, bits) images."""
    data = [dib(size, bits) for size, bits in images]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for (size, bits), blob in zip(images, data):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    return out + b"".join(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as output:
        output.write(icon([(16, 32), (32, 24), (48, 24)]))


if __name__ == "__main__":
    main()
