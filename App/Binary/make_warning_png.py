#!/usr/bin/python3
"""Draws the warning image (56 x 55, RGBA) and writes it as warning.png beside this script.

A yellow triangle with a dark outline and a black exclamation mark over a soft grey shadow,
drawn from distance fields and anti-aliased by supersampling. Standard library only, so the
image can be remade anywhere: /usr/bin/python3 App/Binary/make_warning_png.py
"""

import math
import os
import struct
import zlib

WIDTH, HEIGHT = 56, 55
SAMPLES = 8  # per axis, per pixel

TRIANGLE = ((26.5, 3.0), (50.5, 46.0), (2.5, 46.0))
CORNER_RADIUS = 3.0
OUTLINE = 2.2
SHADOW_OFFSET = (2.5, 3.0)
SHADOW_SOFTNESS = 2.0
SHADOW_ALPHA = 0.45

BAR_TOP, BAR_BOTTOM = (26.5, 16.5), (26.5, 31.5)
BAR_TOP_RADIUS, BAR_BOTTOM_RADIUS = 3.1, 2.0
DOT_CENTRE, DOT_RADIUS = (26.5, 39.5), 2.7

OUTLINE_COLOUR = (58, 44, 4)
YELLOW_TOP, YELLOW_BOTTOM = (255, 228, 84), (247, 184, 0)
MARK_COLOUR = (0, 0, 0)
SHADOW_COLOUR = (90, 90, 90)


def segment_distance(p, a, b):
    """Distance from p to segment ab, and where along it (0..1) the nearest point lies."""
    ax, ay = b[0] - a[0], b[1] - a[1]
    px, py = p[0] - a[0], p[1] - a[1]
    t = max(0.0, min(1.0, (px * ax + py * ay) / (ax * ax + ay * ay)))
    return math.hypot(px - ax * t, py - ay * t), t


def inset_triangle(radius):
    """The triangle with every edge moved inwards by radius (scaled about its incentre)."""
    (ax, ay), (bx, by), (cx, cy) = TRIANGLE
    a = math.hypot(cx - bx, cy - by)
    b = math.hypot(cx - ax, cy - ay)
    c = math.hypot(bx - ax, by - ay)
    centre = ((a * ax + b * bx + c * cx) / (a + b + c), (a * ay + b * by + c * cy) / (a + b + c))
    s = (a + b + c) / 2
    inradius = math.sqrt((s - a) * (s - b) * (s - c) / s)
    scale = (inradius - radius) / inradius
    return [(centre[0] + (x - centre[0]) * scale, centre[1] + (y - centre[1]) * scale) for x, y in TRIANGLE]


INSET = inset_triangle(CORNER_RADIUS)


def rounded_triangle_distance(p):
    """Signed distance to the triangle with rounded corners: negative inside."""
    edges = zip(INSET, INSET[1:] + INSET[:1])
    distance = min(segment_distance(p, a, b)[0] for a, b in zip(INSET, INSET[1:] + INSET[:1]))
    inside = all((b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0]) >= 0 for a, b in edges)
    return (-distance if inside else distance) - CORNER_RADIUS


def mark_distance(p):
    """Signed distance to the exclamation mark: a tapered bar and a dot."""
    d, t = segment_distance(p, BAR_TOP, BAR_BOTTOM)
    bar = d - (BAR_TOP_RADIUS + (BAR_BOTTOM_RADIUS - BAR_TOP_RADIUS) * t)
    dot = math.hypot(p[0] - DOT_CENTRE[0], p[1] - DOT_CENTRE[1]) - DOT_RADIUS
    return min(bar, dot)


def over(top, bottom):
    """Composites straight-alpha colour top over bottom."""
    (tr, tg, tb, ta), (br, bg, bb, ba) = top, bottom
    a = ta + ba * (1 - ta)
    if a == 0:
        return (0, 0, 0, 0)
    mix = lambda t, b: (t * ta + b * ba * (1 - ta)) / a
    return (mix(tr, br), mix(tg, bg), mix(tb, bb), a)


def sample(x, y):
    shadow_d = rounded_triangle_distance((x - SHADOW_OFFSET[0], y - SHADOW_OFFSET[1]))
    shadow_a = SHADOW_ALPHA * max(0.0, min(1.0, 0.5 - shadow_d / SHADOW_SOFTNESS))
    colour = SHADOW_COLOUR + (shadow_a,)

    d = rounded_triangle_distance((x, y))
    if d <= 0:
        if d > -OUTLINE:
            colour = over(OUTLINE_COLOUR + (1.0,), colour)
        else:
            t = (y - TRIANGLE[0][1]) / (TRIANGLE[1][1] - TRIANGLE[0][1])
            yellow = tuple(a + (b - a) * t for a, b in zip(YELLOW_TOP, YELLOW_BOTTOM))
            colour = over(yellow + (1.0,), colour)
        if mark_distance((x, y)) <= 0:
            colour = over(MARK_COLOUR + (1.0,), colour)
    return colour


def pixel(px, py):
    """Averages the supersamples of one pixel, weighting colours by their alpha."""
    r = g = b = a = 0.0
    for j in range(SAMPLES):
        for i in range(SAMPLES):
            sr, sg, sb, sa = sample(px + (i + 0.5) / SAMPLES, py + (j + 0.5) / SAMPLES)
            r, g, b, a = r + sr * sa, g + sg * sa, b + sb * sa, a + sa
    if a == 0:
        return (0, 0, 0, 0)
    return (round(r / a), round(g / a), round(b / a), round(255 * a / SAMPLES ** 2))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def encode_png(rows):
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 6, 0, 0, 0)  # 8 bits, RGBA, not interlaced
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def main():
    rows = [[pixel(x, y) for x in range(WIDTH)] for y in range(HEIGHT)]
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "warning.png")
    with open(path, "wb") as f:
        f.write(encode_png(rows))


if __name__ == "__main__":
    main()
