#!/usr/bin/env python3
"""Writes the icon of the fixture programs' payload: a 32 x 32 and a 48 x 48
32-bit image of an application tile (a blue rounded square with a white
window and a title bar), so that the programs the fixtures install show a
real icon in Tidewell's list. Usage: make_payload_icon.py OUT.ico"""
import struct
import sys


def coverage_round_rect(x, y, left, top, right, bottom, radius):
    # Coverage of the pixel centred at (x + .5, y + .5) by 4 x 4 samples.
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4
            py = y + (sy + 0.5) / 4
            cx = min(max(px, left + radius), right - radius)
            cy = min(max(py, top + radius), bottom - radius)
            if (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2 and left <= px <= right and top <= py <= bottom:
                inside += 1
    return inside / 16


def blend(under, colour, alpha):
    r0, g0, b0, a0 = under
    r1, g1, b1 = colour
    a = alpha + a0 * (1 - alpha)
    if a == 0:
        return (0, 0, 0, 0)
    mix = lambda c0, c1: (c1 * alpha + c0 * a0 * (1 - alpha)) / a
    return (mix(r0, r1), mix(g0, g1), mix(b0, b1), a)


def image(side):
    s = side / 32
    rows = []
    for y in range(side):
        row = []
        for x in range(side):
            p = (0, 0, 0, 0)
            top_colour = (28, 130, 196)
            bottom_colour = (14, 90, 138)
            t = y / (side - 1)
            tile = tuple(a + (b - a) * t for a, b in zip(top_colour, bottom_colour))
            p = blend(p, tile, coverage_round_rect(x, y, 1 * s, 1 * s, 31 * s, 31 * s, 6 * s))
            p = blend(p, (255, 255, 255), coverage_round_rect(x, y, 7 * s, 9 * s, 25 * s, 24 * s, 1.5 * s))
            p = blend(p, (120, 200, 240), coverage_round_rect(x, y, 7 * s, 9 * s, 25 * s, 12.5 * s, 1.5 * s))
            p = blend(p, (14, 90, 138), coverage_round_rect(x, y, 10 * s, 15.5 * s, 22 * s, 17 * s, 0.7 * s))
            p = blend(p, (14, 90, 138), coverage_round_rect(x, y, 10 * s, 19 * s, 18 * s, 20.5 * s, 0.7 * s))
            row.append(p)
        rows.append(row)
    # BITMAPINFOHEADER with the doubled height, BGRA rows bottom-up, then the
    # AND mask (1 where transparent), rows padded to 32 bits.
    header = struct.pack('<IiiHHIIiiII', 40, side, side * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((int(round(b)), int(round(g)), int(round(r)), int(round(a * 255))))
    stride = ((side + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a * 255 < 1:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def main():
    images = [(32, image(32)), (48, image(48))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for side, data in images:
        out += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
