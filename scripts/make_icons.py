#!/usr/bin/env python3
"""Generate Norza's tray and application icons.

Usage:
    make_icons.py OUTDIR                 write the ten .ico files into OUTDIR
    make_icons.py OUTDIR --preview X.png also write a PNG sheet of every icon
    make_icons.py --preview X.png        only write the PNG sheet

Standard library only. The .ico output is byte-identical on every run, so the
files can be rebuilt on any machine and compared (the preview PNG also is,
given the same zlib).

Each .ico holds 48, 32, 24 and 16 pixel images as 32-bit BGRA DIBs (height
doubled, 1-bit AND mask after the pixels). PNG-compressed entries are avoided
on purpose: windres under Wine and older Windows read only DIB entries.

Drawing is a tiny supersampling rasterizer. Shapes are tested at SS x SS
points per pixel and the covered colours averaged (premultiplied), which gives
antialiased curves while anything placed on whole-pixel edges stays crisp.
The code symbols (QR finder, Data Matrix "L", bars) are bitmaps laid on whole
pixels, with per-size layouts so nothing lands on half pixels.
"""

import math
import os
import struct
import sys
import zlib

SS = 6  # samples per pixel along each axis
SIZES = (48, 32, 24, 16)


# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

def hexc(s, a=255):
    s = s.lstrip("#")
    return (int(s[0:2], 16), int(s[2:4], 16), int(s[4:6], 16), a)


WHITE = hexc("#ffffff")


class Vertical:
    """Linear gradient from colour c0 at y0 to c1 at y1 (pixel units)."""

    def __init__(self, y0, c0, y1, c1):
        self.y0, self.y1, self.c0, self.c1 = y0, y1, c0, c1

    def __call__(self, x, y):
        t = (y - self.y0) / (self.y1 - self.y0)
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        return tuple(a + (b - a) * t for a, b in zip(self.c0, self.c1))


# ---------------------------------------------------------------------------
# Shapes: contains(x, y) in pixel coordinates plus a bounding box
# ---------------------------------------------------------------------------

class Rect:
    def __init__(self, x0, y0, x1, y1):
        self.bbox = (x0, y0, x1, y1)

    def contains(self, x, y):
        x0, y0, x1, y1 = self.bbox
        return x0 <= x < x1 and y0 <= y < y1


class RoundRect:
    def __init__(self, x0, y0, x1, y1, r):
        self.bbox = (x0, y0, x1, y1)
        self.r = r

    def contains(self, x, y):
        x0, y0, x1, y1 = self.bbox
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        r = self.r
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Ring:
    """Annulus between radii r0 and r1 (r0 = 0 gives a disc)."""

    def __init__(self, cx, cy, r0, r1):
        self.c = (cx, cy)
        self.r0, self.r1 = r0, r1
        self.bbox = (cx - r1, cy - r1, cx + r1, cy + r1)

    def contains(self, x, y):
        d2 = (x - self.c[0]) ** 2 + (y - self.c[1]) ** 2
        return self.r0 * self.r0 <= d2 <= self.r1 * self.r1


def _seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
    ex, ey = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(ex * ex + ey * ey)


class Capsule:
    """Thick line segment with round ends, half-width hw."""

    def __init__(self, ax, ay, bx, by, hw):
        self.seg = (ax, ay, bx, by)
        self.hw = hw
        self.bbox = (min(ax, bx) - hw, min(ay, by) - hw,
                     max(ax, bx) + hw, max(ay, by) + hw)

    def contains(self, x, y):
        return _seg_dist(x, y, *self.seg) <= self.hw


class RoundPoly:
    """Convex polygon grown outward by radius r (rounded corners).

    Growing the same core polygon by two radii gives an outline of even
    width that follows the rounded corners exactly.
    """

    def __init__(self, pts, r):
        self.pts = pts
        self.r = r
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        self.bbox = (min(xs) - r, min(ys) - r, max(xs) + r, max(ys) + r)
        # Outward edge normals: flip any normal that points at the centroid,
        # so the points may be listed in either winding order.
        gx = sum(xs) / len(pts)
        gy = sum(ys) / len(pts)
        self.edges = []
        for i in range(len(pts)):
            (ax, ay), (bx, by) = pts[i - 1], pts[i]
            nx, ny = by - ay, -(bx - ax)
            if (gx - ax) * nx + (gy - ay) * ny > 0:
                nx, ny = -nx, -ny
            ln = math.hypot(nx, ny)
            self.edges.append((ax, ay, bx, by, nx / ln, ny / ln))

    def contains(self, x, y):
        outside = max((x - ax) * nx + (y - ay) * ny
                      for ax, ay, bx, by, nx, ny in self.edges)
        if outside <= 0:
            return True
        if outside > self.r:
            return False
        return min(_seg_dist(x, y, ax, ay, bx, by)
                   for ax, ay, bx, by, _, _ in self.edges) <= self.r


class Bitmap:
    """Rows of '#' (set) and '.' (clear) cells, each cell m x m pixels."""

    def __init__(self, x0, y0, m, rows):
        self.x0, self.y0, self.m = x0, y0, m
        self.on = {(c, r) for r, row in enumerate(rows)
                   for c, ch in enumerate(row) if ch == "#"}
        w = max(len(row) for row in rows)
        self.bbox = (x0, y0, x0 + w * m, y0 + len(rows) * m)

    def contains(self, x, y):
        return (math.floor((x - self.x0) / self.m),
                math.floor((y - self.y0) / self.m)) in self.on


class Union:
    def __init__(self, *shapes):
        self.shapes = shapes
        self.bbox = (min(s.bbox[0] for s in shapes), min(s.bbox[1] for s in shapes),
                     max(s.bbox[2] for s in shapes), max(s.bbox[3] for s in shapes))

    def contains(self, x, y):
        return any(s.contains(x, y) for s in self.shapes)


# ---------------------------------------------------------------------------
# Rasterizer
# ---------------------------------------------------------------------------

def render(n, layers):
    """Paint (shape, paint) layers in order; return n*n straight RGBA tuples.

    paint is an RGBA tuple or a callable (x, y) -> RGBA.
    """
    out = []
    offs = [(i + 0.5) / SS for i in range(SS)]
    total = SS * SS
    for py in range(n):
        for px in range(n):
            live = [(s, p) for s, p in layers
                    if s.bbox[0] < px + 1 and s.bbox[2] > px
                    and s.bbox[1] < py + 1 and s.bbox[3] > py]
            ar = ag = ab = aa = 0.0
            for oy in offs:
                y = py + oy
                for ox in offs:
                    x = px + ox
                    r = g = b = a = 0.0  # premultiplied, 0..1 alpha
                    for shape, paint in live:
                        if shape.contains(x, y):
                            c = paint(x, y) if callable(paint) else paint
                            ca = c[3] / 255.0
                            r = c[0] * ca + r * (1 - ca)
                            g = c[1] * ca + g * (1 - ca)
                            b = c[2] * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    ar += r
                    ag += g
                    ab += b
                    aa += a
            if aa <= 0:
                out.append((0, 0, 0, 0))
                continue
            alpha = aa / total
            out.append((int(round(ar / aa)), int(round(ag / aa)),
                        int(round(ab / aa)), int(round(alpha * 255))))
    return out


# ---------------------------------------------------------------------------
# Symbol bitmaps, one per icon size as (pixels per cell, rows). 16, 32 and 48
# share a 12-cell layout at 1, 2 and 3 px per cell; 24 px gets its own
# layout because 1.5 px cells would blur. Data areas are kept sparse and
# blocky: salt-and-pepper noise turns to grey mush at small sizes.
# ---------------------------------------------------------------------------

QR12 = [
    "#####..#####",
    "#...#..#...#",
    "#.#.#..#.#.#",
    "#...#..#...#",
    "#####..#####",
    "............",
    "............",
    "#####..#.#.#",
    "#...#...#...",
    "#.#.#..#.###",
    "#...#......#",
    "#####..##.##",
]
QR18 = [
    "#######....#######",
    "#.....#....#.....#",
    "#.###.#....#.###.#",
    "#.###.#....#.###.#",
    "#.###.#....#.###.#",
    "#.....#....#.....#",
    "#######.#.########",
    "..................",
    "......#.##..##.#..",
    "........#..#....#.",
    "......#.##.#.##.#.",
    "#######...........",
    "#.....#.#..#####.#",
    "#.###.#.##.#...#..",
    "#.###.#....#.#.#.#",
    "#.###.#.#..#...#..",
    "#.....#.##.#####.#",
    "#######.#........#",
]
QR = {16: (1, QR12), 24: (1, QR18), 32: (2, QR12), 48: (3, QR12)}

# Data Matrix: solid left column and bottom row, alternating top row and
# right column, as the real symbol's finder.
DM6 = [
    "#.#.#.",
    "#.##.#",
    "##....",
    "#..#.#",
    "#.#.#.",
    "######",
]
DM8 = [
    "#.#.#.#.",
    "#..##..#",
    "##.#.#..",
    "#.#..###",
    "##..#...",
    "#..##.##",
    "##.#..#.",
    "########",
]
DM12 = [
    "#.#.#.#.#.#.",
    "#.##..#..#.#",
    "##...##.....",
    "#..#....##.#",
    "##.##.#.#...",
    "#....#.....#",
    "##.#...##.#.",
    "#..##.#....#",
    "##....#.##..",
    "#.#.#...#..#",
    "##..##.#..#.",
    "############",
]
DM = {16: (2, DM6), 24: (2, DM8), 32: (2, DM12), 48: (3, DM12)}


def _bars(pattern, height):
    return [pattern] * height


BARS12 = "#.##.#.###.#"
BARS18 = "##.#..###.#.##.#.#"
# Barcode rows are slightly shorter than the symbol is wide so the bars read
# as a barcode rather than as stripes.
BARS = {16: (1, _bars(BARS12, 10)), 24: (1, _bars(BARS18, 14)),
        32: (2, _bars(BARS12, 10)), 48: (2, _bars(BARS18, 14))}


def _finder_over_bars(finder, bars):
    """A QR finder square laid into the top-left corner of a barcode."""
    f = len(finder)
    w = len(bars)
    rows = []
    for r in range(w):
        if r < f:
            rows.append(finder[r] + "." + bars[f + 1:])
        elif r < f + 2:
            rows.append("." * (f + 1) + bars[f + 1:])
        else:
            rows.append(bars)
    return rows


FINDER5 = ["#####", "#...#", "#.#.#", "#...#", "#####"]
FINDER7 = ["#######", "#.....#", "#.###.#", "#.###.#", "#.###.#", "#.....#", "#######"]
MIXED12 = _finder_over_bars(FINDER5, BARS12)
MIXED18 = _finder_over_bars(FINDER7, BARS18)
MIXED = {16: (1, MIXED12), 24: (1, MIXED18), 32: (2, MIXED12), 48: (3, MIXED12)}


def place(n, table):
    """Bitmap shape for size n, centred on whole pixels."""
    m, rows = table[n]
    w = max(len(r) for r in rows) * m
    h = len(rows) * m
    return Bitmap((n - w) // 2, (n - h) // 2, m, rows)


# ---------------------------------------------------------------------------
# Shared tile: rounded square with a darker rim and a soft vertical gradient
# ---------------------------------------------------------------------------

TILE = {  # size: (margin, corner radius, rim width)
    16: (0, 3.0, 1.0),
    24: (0, 4.0, 1.0),
    32: (1, 5.0, 1.0),
    48: (2, 7.0, 1.5),
}


def tile(n, top, bottom, rim):
    margin, r, w = TILE[n]
    a, b = margin, n - margin
    return [
        (RoundRect(a, a, b, b, r), hexc(rim)),
        (RoundRect(a + w, a + w, b - w, b - w, max(r - w, 0.5)),
         Vertical(a, hexc(top), b, hexc(bottom))),
    ]


def bitmap_icon(table, top, bottom, rim):
    def draw(n):
        return tile(n, top, bottom, rim) + [(place(n, table), WHITE)]
    return draw


# Prohibition sign drawn pixel by pixel for 16 px, where an antialiased
# ring of this size comes out soft: a 2 px ring with a 3 px staircase slash.
NO_RING12 = [
    "....####....",
    "..########..",
    ".###....###.",
    ".##......##.",
    "##........##",
    "##........##",
    "##........##",
    "##........##",
    ".##......##.",
    ".###....###.",
    "..########..",
    "....####....",
]
NO_SIGN12 = [
    "".join("#" if ch == "#" or (2 <= r <= 9 and abs(c - r) <= 1 and 1 <= c <= 10)
            else "." for c, ch in enumerate(row))
    for r, row in enumerate(NO_RING12)
]


def draw_none(n):
    layers = tile(n, "#868c94", "#62686f", "#3b3f44")
    if n == 16:
        layers.append((place(n, {16: (1, NO_SIGN12)}), WHITE))
        return layers
    c = n / 2.0
    # Prohibition sign: ring plus a diagonal slash, scaled from the 16 px layout.
    k = n / 16.0
    r_out = 5.6 * k
    stroke = {16: 1.6, 24: 2.2, 32: 2.8, 48: 4.0}[n]
    d = (r_out - stroke / 2) / math.sqrt(2)
    sym = Union(Ring(c, c, r_out - stroke, r_out),
                Capsule(c - d, c - d, c + d, c + d, stroke / 2))
    layers.append((sym, WHITE))
    return layers


def draw_no_device(n):
    # Warning triangle: yellow body, dark rim, black exclamation mark. It is
    # the only icon that is not a square tile, so it stands out in the tray.
    layout = {  # side margin, base line, corner radius, rim width
        16: (0.0, 15, 1.0, 1.0),
        24: (0.0, 23, 1.4, 1.2),
        32: (1.0, 30, 2.0, 1.6),
        48: (1.0, 45, 3.0, 2.2),
    }[n]
    side, base, rc, rim = layout
    # Equilateral core triangle; growing it by rc gives the rounded outline,
    # growing it by rc - rim the yellow body inside the rim.
    half = n / 2.0 - side - rc
    yb = base - rc
    core = [(n / 2.0, yb - half * math.sqrt(3)), (n / 2.0 + half, yb), (n / 2.0 - half, yb)]
    layers = [
        (RoundPoly(core, rc), hexc("#2b2100")),
        (RoundPoly(core, rc - rim), Vertical(0, hexc("#ffdc45"), n, hexc("#f2b200"))),
    ]
    # The mark sits on whole pixels so its edges stay sharp; from 32 px up
    # it gets a tapered stem and a round dot.
    ink = hexc("#111111")
    x0, x1, y0, y1, d0, d1 = {  # stem x0, x1, y0, y1, dot y0, y1
        16: (7, 9, 6, 10, 11, 13),
        24: (11, 13, 8, 16, 18, 20),
        32: (14, 18, 11, 20, 22, 26),
        48: (21, 27, 16, 31, 34, 40),
    }[n]
    if n >= 32:
        w = (x1 - x0) / 2.0
        cx = (x0 + x1) / 2.0
        stem = Union(Capsule(cx, y0 + w, cx, y0 + w, w),
                     RoundPoly([(x0, y0 + w), (x1, y0 + w),
                                (cx + w * 0.6, y1), (cx - w * 0.6, y1)], 0.0))
        dot = Ring(cx, (d0 + d1) / 2.0, 0, (d1 - d0) / 2.0)
    else:
        stem = Rect(x0, y0, x1, y1)
        dot = Rect(x0, d0, x1, d1)
    layers.append((Union(stem, dot), ink))
    return layers


def draw_app(n):
    # Camera viewfinder corners framing a code, crossed by a red scan beam.
    # The rim is lighter than the body so the dark tile keeps an edge on
    # dark taskbars.
    layers = tile(n, "#2a4f7c", "#132a46", "#5b7ba3")
    layout = {  # inset, bracket arm length, bracket thickness
        16: (2, 4, 1),
        24: (3, 6, 2),
        32: (5, 8, 2),
        48: (7, 12, 3),
    }[n]
    i, arm, t = layout
    a, b = i, n - i
    corners = []
    for (x, y, dx, dy) in ((a, a, 1, 1), (b, a, -1, 1), (a, b, 1, -1), (b, b, -1, -1)):
        xs = sorted((x, x + dx * arm))
        ys = sorted((y, y + dy * t))
        corners.append(Rect(xs[0], ys[0], xs[1], ys[1]))
        xs = sorted((x, x + dx * t))
        ys = sorted((y, y + dy * arm))
        corners.append(Rect(xs[0], ys[0], xs[1], ys[1]))
    layers.append((Union(*corners), WHITE))
    # A few code bars inside the frame, dimmed so the beam stands out.
    bars = {
        16: (5, 5, 1, "#.##.#"),
        24: (7, 8, 1, "#.##.#.##."),
        32: (9, 10, 1, "##.#.###.##.#"),
        48: (13, 15, 1, "##.#..###.#.##.#.##.#."),
    }[n]
    bx, by, m, pat = bars
    h = n - 2 * by
    layers.append((Bitmap(bx, by, m, [pat] * h), hexc("#9fb7d6")))
    # Beam: a soft glow under a bright core line.
    yb = n / 2.0
    glow = {16: 1.5, 24: 2.0, 32: 3.0, 48: 4.0}[n]
    core = {16: 0.5, 24: 0.75, 32: 1.0, 48: 1.5}[n]
    x0, x1 = i - 0.5 * (n / 16.0), n - i + 0.5 * (n / 16.0)
    layers.append((Rect(x0, yb - glow, x1, yb + glow), hexc("#ff3b30", 110)))
    layers.append((Rect(x0, yb - core, x1, yb + core), hexc("#ff5a4a")))
    return layers


# The tray shows how a decode ended for a moment: a cross on red for a code
# not typed, a tick on green for a code typed, two sheets for a code scanned
# before. Strokes scale from the 16 px layout and are thicker at small sizes,
# where a thin line would blur.
def _stroke(n):
    return {16: 1.1, 24: 1.5, 32: 1.9, 48: 2.8}[n]


def draw_not_typed(n):
    layers = tile(n, "#f0463c", "#b81d1d", "#6e0a0a")
    k = n / 16.0
    a, b, w = 4.6 * k, 11.4 * k, _stroke(n)
    layers.append((Union(Capsule(a, a, b, b, w), Capsule(a, b, b, a, w)), WHITE))
    return layers


def draw_typed(n):
    layers = tile(n, "#2ebd6b", "#13804a", "#06492a")
    k = n / 16.0
    w = _stroke(n)
    layers.append((Union(Capsule(4.0 * k, 8.4 * k, 6.8 * k, 11.2 * k, w),
                         Capsule(6.8 * k, 11.2 * k, 12.0 * k, 5.0 * k, w)), WHITE))
    return layers


def draw_duplicate(n):
    layers = tile(n, "#ffc640", "#e08a00", "#7a4500")
    k = n / 16.0
    w = max(1.0, round(_stroke(n) * 0.8))
    # The sheet behind shows as a frame, the one in front is solid.
    x0, y0, s = round(3 * k), round(3 * k), round(7 * k)
    back = Union(Rect(x0, y0, x0 + s, y0 + w), Rect(x0, y0, x0 + w, y0 + s))
    f0 = x0 + round(3 * k)
    front = Rect(f0, f0, f0 + s, f0 + s)
    layers.append((back, hexc("#3d2400")))
    layers.append((front, WHITE))
    return layers


ICONS = [
    ("app", draw_app),
    ("no_device", draw_no_device),
    ("qr_only", bitmap_icon(QR, "#3fc46a", "#1f9147", "#0f5a2a")),
    ("dm_only", bitmap_icon(DM, "#a266e8", "#7636c4", "#47197e")),
    ("barcode_only", bitmap_icon(BARS, "#ffa53d", "#e66b00", "#8f3f00")),
    ("none_enabled", draw_none),
    ("mixed", bitmap_icon(MIXED, "#4a95f5", "#1d62cc", "#0e3a82")),
    ("not_typed", draw_not_typed),
    ("typed", draw_typed),
    ("duplicate", draw_duplicate),
]


# ---------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------

def ico_image(n, pixels):
    """One DIB icon entry: header, bottom-up BGRA rows, bottom-up AND mask."""
    mask_stride = ((n + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        row_bits = bytearray(mask_stride)
        for x in range(n):
            r, g, b, a = pixels[y * n + x]
            if a == 0:
                r = g = b = 0
                row_bits[x >> 3] |= 0x80 >> (x & 7)
            xor += bytes((b, g, r, a))
        mask += row_bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico_file(images):
    """images: list of (size, pixels) in the order they should be listed."""
    head = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    blobs = b""
    offset = 6 + 16 * len(images)
    for n, pixels in images:
        blob = ico_image(n, pixels)
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32,
                               len(blob), offset + len(blobs))
        blobs += blob
    return head + entries + blobs


def png_file(width, height, rgb_rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + bytes(row) for row in rgb_rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------
# Preview sheet
# ---------------------------------------------------------------------------

def preview(rendered, path):
    """Every icon at every size, 4x (nearest neighbour) and 1x, on three
    backgrounds: mid-grey, white and a dark taskbar grey."""
    zoom = 4
    gap = 8
    backgrounds = [(128, 128, 128), (255, 255, 255), (32, 32, 32)]
    col_w = max(SIZES) * zoom + gap
    zoom_h = sum(s * zoom + gap for s in SIZES)
    one_h = max(SIZES) + gap
    panel_h = gap + zoom_h + one_h
    width = gap + len(rendered) * col_w
    height = panel_h * len(backgrounds)
    canvas = [bytearray(width * 3) for _ in range(height)]

    def blit(x0, y0, n, pixels, z, bg):
        for y in range(n):
            for x in range(n):
                r, g, b, a = pixels[y * n + x]
                f = a / 255.0
                c = bytes(int(round(v * f + w * (1 - f))) for v, w in zip((r, g, b), bg))
                for dy in range(z):
                    row = canvas[y0 + y * z + dy]
                    for dx in range(z):
                        p = (x0 + x * z + dx) * 3
                        row[p:p + 3] = c

    for bi, bg in enumerate(backgrounds):
        top = bi * panel_h
        for y in range(top, top + panel_h):
            canvas[y][:] = bytes(bg) * width
        for ci, (_, images) in enumerate(rendered):
            x0 = gap + ci * col_w
            y = top + gap
            for n in SIZES:
                blit(x0, y, n, images[n], zoom, bg)
                y += n * zoom + gap
            x = x0
            for n in SIZES:
                blit(x, y, n, images[n], 1, bg)
                x += n + gap
    with open(path, "wb") as f:
        f.write(png_file(width, height, canvas))


def main(argv):
    outdir = None
    preview_path = None
    args = list(argv)
    while args:
        a = args.pop(0)
        if a == "--preview" and args:
            preview_path = args.pop(0)
        elif a.startswith("-") or outdir is not None:
            sys.stderr.write(__doc__)
            return 2
        else:
            outdir = a
    if outdir is None and preview_path is None:
        sys.stderr.write(__doc__)
        return 2

    rendered = []
    for name, draw in ICONS:
        rendered.append((name, {n: render(n, draw(n)) for n in SIZES}))

    if outdir is not None:
        os.makedirs(outdir, exist_ok=True)
        for name, images in rendered:
            data = ico_file([(n, images[n]) for n in SIZES])
            with open(os.path.join(outdir, name + ".ico"), "wb") as f:
                f.write(data)
    if preview_path is not None:
        preview(rendered, preview_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
