#!/usr/bin/python3
"""Draws Kova's artwork and packs the skin archive.

Writes, relative to the repository root:
  res/skin/image/...   the skin members (PNG backgrounds, BMP button strips, layout texts)
  res/skin/members.txt the archive's member order, read by tar -T
  res/skin/skin.tar    the packed archive, for builds without GNU tar
  res/icons/*.ico      the application icon and the six tray icons

Needs Pillow (python3-pil), icotool (icoutils) and GNU tar. Run with /usr/bin/python3:
Debian's Pillow is not visible to other interpreters. Every run writes the same bytes.

  make_artwork.py           regenerate everything
  make_artwork.py --check   regenerate into a scratch folder and compare with the checked-in files
"""

import argparse
import filecmp
import math
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops, ImageDraw, ImageFilter

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

# ---------------------------------------------------------------------------------------------
# Colours. The tray and the buttons share one palette so that a mode looks the same everywhere.

DARK_BLUE = (30, 64, 166)       # Bluetooth
LIGHT_BLUE = (56, 168, 232)     # wireless LAN
WHITE = (255, 255, 255)
RED = (240, 36, 36)

# The button strips are opaque 24-bit pictures, so their corners carry the colour of the panel
# behind them. The body of every W* background is this colour wherever a button can sit.
PANEL = (26, 32, 46)

THEMES = {
    # Backgrounds the pop-ups use.
    "night": dict(panel=PANEL, header=(38, 47, 66), rim=(112, 132, 170), rim2=(58, 70, 96),
                  display=(14, 18, 27), display_rim=(62, 76, 104), grille=(70, 84, 112),
                  stalk=(150, 160, 178)),
    # The spare backgrounds no dialog names: the same shapes in graphite.
    "graphite": dict(panel=(40, 41, 45), header=(56, 57, 63), rim=(140, 142, 150),
                     rim2=(72, 73, 80), display=(22, 22, 25), display_rim=(84, 86, 92),
                     grille=(92, 94, 102), stalk=(160, 162, 168)),
}

# ---------------------------------------------------------------------------------------------
# Archive members, in archive order. The dialogs look them up by these exact names.

TEXT_MEMBERS = {
    "image/btonly_kon_main.txt": ["1001\timage/4wifiandbt.bmp", "1002\timage/4bluetooth.bmp",
                                  "1003\timage/4wifi.bmp"],
    "image/koff_main.pos.txt": ["1005\t14\t44\t-1\t-1"],
    "image/kon_main.pos.txt": ["1001\t14\t87\t-1\t-1", "1002\t91\t87\t-1\t-1",
                               "1003\t168\t87\t-1\t-1"],
    "image/kon_main.txt": ["1001\timage/4wifiandbt.bmp", "1002\timage/4wifi.bmp",
                           "1003\timage/4bluetooth.bmp"],
    "image/nall_main.txt": ["1005\timage/4alloff.bmp"],
    "image/nbt_main.txt": ["1005\timage/4bluetooth_off.bmp"],
    "image/nwl_main.txt": ["1005\timage/4wifi_off.bmp"],
}

MEMBER_ORDER = [
    "image/",
    "image/1x_map.png",
    "image/3x_map.png",
    "image/4alloff.bmp",
    "image/4bluetooth.bmp",
    "image/4bluetooth_off.bmp",
    "image/4wifi.bmp",
    "image/4wifiandbt.bmp",
    "image/4wifi_off.bmp",
    "image/btonly_kon_main.txt",
    "image/koff_main.pos.txt",
    "image/kon_main.pos.txt",
    "image/kon_main.txt",
    "image/nall_main.txt",
    "image/nbt_main.txt",
    "image/nwl_main.txt",
    "image/W1x_map.png",
    "image/W2x_map.png",
    "image/W3x_map.png",
    "image/Wmap2.png",
]

# High-DPI members, drawn at each scale (percent) rather than stretched: the two backgrounds the
# pop-ups use and the button strips, as PNG (a BMP at 300 % would triple the program's size).
SCALES = (150, 200, 300)
SCALED_BACKGROUNDS = ("W1x_map", "W3x_map")
SCALED_STRIPS = ("4alloff", "4bluetooth", "4bluetooth_off", "4wifi", "4wifi_off", "4wifiandbt")
MEMBER_ORDER += [f"image/x{scale}/{name}.png" for scale in SCALES
                 for name in SCALED_BACKGROUNDS + SCALED_STRIPS]

# The same flags as the build's own packing (res/CMakeLists.txt); a ctest check compares the
# two archives byte for byte.
TAR_FLAGS = ["--format=gnu", "--no-recursion", "--mtime=2020-01-01 00:00:00 UTC",
             "--owner=0", "--group=0", "--numeric-owner", "--mode=u=rwX,go=rX"]


# ---------------------------------------------------------------------------------------------
# Small drawing helpers. Soft shapes are drawn at SS times the size and box-filtered down.

SS = 4


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def scale(c, f):
    return tuple(max(0, min(255, int(round(x * f)))) for x in c)


def scaled_size(n, percent):
    """n pixels at a scale in percent, halves rounded up (Python's round() goes to even)."""
    return (n * percent + 50) // 100


def vgradient(size, top, bottom):
    w, h = size
    column = Image.new("RGB", (1, h))
    column.putdata([mix(top, bottom, y / max(1, h - 1)) for y in range(h)])
    return column.resize((w, h), Image.NEAREST)


def round_cap(draw, p, width, fill):
    r = width / 2
    draw.ellipse([p[0] - r, p[1] - r, p[0] + r, p[1] + r], fill=fill)


def draw_rune(draw, cx, cy, h, width, fill=255):
    """The Bluetooth rune: a stem and two chevrons whose arms cross it, centred on (cx, cy)."""
    w = h * 0.52
    x0, y0 = cx - w / 2, cy - h / 2

    def p(u, v):
        return (x0 + u * w, y0 + v * h)

    strokes = [[p(0.0, 0.26), p(1.0, 0.74), p(0.5, 1.0), p(0.5, 0.0), p(1.0, 0.26), p(0.0, 0.74)]]
    for pts in strokes:
        draw.line(pts, fill=fill, width=int(round(width)), joint="curve")
        round_cap(draw, pts[0], width, fill)
        round_cap(draw, pts[-1], width, fill)


def draw_waves(draw, cx, cy, dot, rings, width, fill=255):
    """WiFi arcs: a dot at (cx, cy) and quarter-circle arcs opening upwards."""
    draw.ellipse([cx - dot, cy - dot, cx + dot, cy + dot], fill=fill)
    for r in rings:
        box = [cx - r, cy - r, cx + r, cy + r]
        draw.arc(box, 225, 315, fill=fill, width=int(round(width)))
        for a in (225, 315):
            rr = r - width / 2
            round_cap(draw, (cx + rr * math.cos(math.radians(a)),
                             cy + rr * math.sin(math.radians(a))), width, fill)


def glyph_layer(size, painter):
    """A soft 'L' mask drawn at SS times the size by painter(draw, s), box-filtered down."""
    w, h = size
    big = Image.new("L", (w * SS, h * SS), 0)
    painter(ImageDraw.Draw(big), SS)
    return big.resize((w, h), Image.BOX)


# ---------------------------------------------------------------------------------------------
# Button strips: 300 x 64, four 75 x 64 slices (normal, lighter, darker, dimmed).

SLICE = (75, 64)
STRIPS = {
    # name: (picture, grey)
    "4wifiandbt": ("both", False),
    "4wifi": ("wifi", False),
    "4bluetooth": ("bt", False),
    "4alloff": ("both", True),
    "4wifi_off": ("wifi", True),
    "4bluetooth_off": ("bt", True),
}


def tile_colours(grey):
    if grey:
        return dict(dark=((96, 100, 108), (64, 67, 73)), light=((128, 132, 140), (88, 91, 98)),
                    mark=(182, 186, 192), border=(44, 46, 52))
    return dict(dark=(mix(DARK_BLUE, WHITE, 0.18), scale(DARK_BLUE, 0.72)),
                light=(mix(LIGHT_BLUE, WHITE, 0.2), scale(LIGHT_BLUE, 0.74)),
                mark=WHITE, border=(12, 20, 48))


def slice_size(percent=100):
    return (scaled_size(SLICE[0], percent), scaled_size(SLICE[1], percent))


def units(percent):
    """Supersampled pixels per 1x pixel at a scale; whole, so 100 % draws exactly as it always has."""
    k = SS * percent // 100
    assert k * 100 == SS * percent, percent
    return k


def button_tile(picture, grey, percent=100):
    """One slice as RGBA: a glossy rounded tile with its white (or grey) picture."""
    w, h = slice_size(percent)
    s = units(percent)
    c = tile_colours(grey)
    big = (w * SS, h * SS)
    # A rounded slice is up to half a pixel wider than 75 scaled: centre the picture in it.
    dx = (big[0] - SLICE[0] * s) // 2

    if picture == "wifi":
        fill = vgradient(big, *c["light"])
    else:
        fill = vgradient(big, *c["dark"])
    if picture == "both":
        # Split along the diagonal: Bluetooth's dark blue upper left, WiFi's light blue lower right.
        lower = Image.new("L", big, 0)
        ImageDraw.Draw(lower).polygon([(big[0], 0), big, (0, big[1])], fill=255)
        fill.paste(vgradient(big, *c["light"]), (0, 0), lower)
    fill = fill.convert("RGBA")

    # Gloss over the upper half.
    gloss = Image.new("L", big, 0)
    gd = ImageDraw.Draw(gloss)
    for y in range(0, big[1] // 2):
        gd.line([(0, y), (big[0], y)], fill=int(70 * (1 - y / (big[1] / 2)) ** 1.5))
    fill = Image.composite(Image.new("RGBA", big, WHITE + (255,)), fill, gloss)

    shape = Image.new("L", big, 0)
    box = [2 * s, 2 * s, big[0] - 2 * s - 1, big[1] - 2 * s - 1]
    ImageDraw.Draw(shape).rounded_rectangle(box, radius=10 * s, fill=255)

    def picture_mask(d, k):
        lw = 3.2 * k
        if picture == "bt":
            draw_rune(d, 37.5 * k + dx, 32 * k, 38 * k, 4.2 * k)
        elif picture == "wifi":
            draw_waves(d, 37.5 * k + dx, 47 * k, 4 * k, [12.5 * k, 21.5 * k, 30.5 * k], 5 * k)
        else:
            draw_rune(d, 20 * k + dx, 22.5 * k, 26 * k, lw)
            draw_waves(d, 52 * k + dx, 51 * k, 2.8 * k, [9 * k, 15.5 * k, 22 * k], 3.6 * k)

    mark = Image.new("L", big, 0)
    picture_mask(ImageDraw.Draw(mark), s)
    # A soft shadow under the picture gives it some depth on the gloss.
    shadow = ImageChops.offset(mark, s, s).filter(ImageFilter.GaussianBlur(1.2 * s))
    fill = Image.composite(Image.new("RGBA", big, (0, 0, 0, 255)), fill,
                           shadow.point(lambda v: v * 90 // 255))
    fill = Image.composite(Image.new("RGBA", big, c["mark"] + (255,)), fill, mark)

    # Rim: a dark outline and a faint light line just inside the top edge.
    rim = ImageDraw.Draw(fill)
    rim.rounded_rectangle(box, radius=10 * s, outline=c["border"] + (255,), width=s)
    inner = [box[0] + s, box[1] + s, box[2] - s, box[3] - s]
    hl = Image.new("L", big, 0)
    ImageDraw.Draw(hl).rounded_rectangle(inner, radius=9 * s, outline=110, width=s)
    top_only = vgradient(big, (255, 255, 255), (0, 0, 0)).convert("L")
    hl = ImageChops.multiply(hl, top_only)
    fill = Image.composite(Image.new("RGBA", big, WHITE + (255,)), fill, hl)

    fill.putalpha(shape)
    return fill.resize((w, h), Image.BOX)


def slice_variant(tile, kind):
    rgb, alpha = tile.convert("RGB"), tile.getchannel("A")
    if kind == "lighter":
        rgb = Image.blend(rgb, Image.new("RGB", tile.size, WHITE), 0.28)
    elif kind == "darker":
        rgb = rgb.point(lambda v: v * 70 // 100)
    elif kind == "dimmed":
        rgb = Image.blend(rgb.convert("L").convert("RGB"), Image.new("RGB", tile.size, PANEL), 0.5)
    out = Image.new("RGB", tile.size, PANEL)
    out.paste(rgb, (0, 0), alpha)
    return out


def button_strip(picture, grey, percent=100):
    tile = button_tile(picture, grey, percent)
    w, h = tile.size
    strip = Image.new("RGB", (w * 4, h))
    for i, kind in enumerate(("normal", "lighter", "darker", "dimmed")):
        strip.paste(slice_variant(tile, kind), (i * w, 0))
    return strip


# ---------------------------------------------------------------------------------------------
# Backgrounds. The dialogs cut their window region from the alpha channel, pixel by pixel: no
# partial alpha, and the outline decides how many region rectangles a picture makes (one per
# opaque run per row). Shapes are therefore decided per pixel centre, not anti-aliased.

class Shape:
    """A panel body (rounded rectangle from y = top to the bottom) with antennas above it.

    Geometry is given at 1x; f scales the outline, which is then decided per pixel at that size."""

    def __init__(self, w, h, top, radius, antennas, f=1):
        self.base = (w, h, top, radius, antennas)
        self.top0, self.antennas0 = top, antennas
        self.f = f
        self.w, self.h = scaled_size(w, round(f * 100)), scaled_size(h, round(f * 100))
        self.top, self.radius = top * f, radius * f
        # list of (x centre, ball radius, stalk half-width, tint)
        self.antennas = [(ax * f, br * f, sw * f, tint) for ax, br, sw, tint in antennas]

    def scaled(self, percent):
        return Shape(*self.base, f=percent / 100)

    def body(self, x, y):
        px, py = x + 0.5, y + 0.5
        if py < self.top:
            return False
        r = self.radius
        cx = min(max(px, r), self.w - r)
        cy = min(max(py, self.top + r), self.h - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r

    def antenna(self, x, y):
        px, py = x + 0.5, y + 0.5
        for ax, br, sw, _ in self.antennas:
            if (px - ax) ** 2 + (py - br) ** 2 <= br * br:
                return True
            if br <= py < self.top + 2 * self.f and abs(px - ax) <= sw:
                return True
        return False

    def inside(self, x, y):
        return self.body(x, y) or self.antenna(x, y)

    def mask(self):
        m = Image.new("L", (self.w, self.h), 0)
        m.putdata([255 if self.inside(x, y) else 0 for y in range(self.h) for x in range(self.w)])
        return m

    def body_mask(self):
        """The body without the antennas' feet: where the bevel goes."""
        m = Image.new("L", (self.w, self.h), 0)
        m.putdata([255 if self.body(x, y) and not self.antenna(x, y) else 0
                   for y in range(self.h) for x in range(self.w)])
        return m


def axis_eroded(mask, n):
    """Pixels whose n neighbours left, right, up and down are all inside the mask."""
    w, h = mask.size
    pad = Image.new("L", (w + 2 * n, h + 2 * n), 0)
    pad.paste(mask, (n, n))
    out = mask
    for d in range(1, n + 1):
        for dx, dy in ((d, 0), (-d, 0), (0, d), (0, -d)):
            out = ImageChops.darker(out, pad.crop((n + dx, n + dy, n + dx + w, n + dy + h)))
    return out


def row_runs(mask):
    w, h = mask.size
    px = mask.load()
    runs = []
    for y in range(h):
        n, inside = 0, False
        for x in range(w):
            if px[x, y] and not inside:
                n += 1
            inside = bool(px[x, y])
        runs.append(n)
    return runs


def background(shape, theme, display, grille=True, percent=100):
    """display: (left, top, right, bottom) of the recessed strip behind the caption, at 1x."""
    t = THEMES[theme]
    out = shape.scaled(percent)
    w, h = shape.base[:2]
    s = units(percent)
    big = Image.new("RGB", (out.w * SS, out.h * SS), t["panel"])
    d = ImageDraw.Draw(big)

    # Header band between the antennas' feet and the buttons, fading into the panel.
    header_h = 22
    band = vgradient((out.w * SS, header_h * s), t["header"], t["panel"])
    big.paste(band, (0, shape.top0 * s))

    if grille:
        # A speaker grille in the middle of the header.
        cols = max(3, (w - 120) // 14)
        x0 = w / 2 - (cols - 1) * 7 / 2
        for row in range(2):
            for col in range(cols):
                cx, cy = (x0 + col * 7) * s, (shape.top0 + 7 + row * 6) * s
                d.ellipse([cx - 1.6 * s, cy - 1.6 * s, cx + 1.6 * s, cy + 1.6 * s], fill=t["grille"])

    # Recessed display strip for the caption.
    l, tp, r, b = (v * s for v in display)
    d.rounded_rectangle([l, tp, r - 1, b - 1], radius=6 * s, fill=t["display"],
                        outline=t["display_rim"], width=s)

    # Antennas: a metal stalk and a glowing ball tinted with its radio's colour.
    for ax, br, sw, tint in shape.antennas0:
        d.rectangle([(ax - sw - 1) * s, br * s, (ax + sw + 1) * s, (shape.top0 + 3) * s],
                    fill=scale(t["stalk"], 0.6))
        d.rectangle([(ax - sw + 0.5) * s, br * s, (ax + 0.5) * s, (shape.top0 + 3) * s],
                    fill=t["stalk"])
        d.ellipse([(ax - br - 1) * s, -1 * s, (ax + br + 1) * s, (2 * br + 1) * s], fill=scale(tint, 0.7))
        d.ellipse([(ax - br * 0.55) * s, (br * 0.35) * s, (ax + br * 0.15) * s, (br * 1.05) * s],
                  fill=mix(tint, WHITE, 0.65))

    img = big.resize((out.w, out.h), Image.BOX)

    # A rim along the outline, a second, darker one inside it: reads as a bevel although the edge
    # itself is hard. One pixel each at 1x, as thick as the scale makes them above that.
    mask = out.mask()
    body = out.body_mask()
    n1, n2 = scaled_size(1, percent), scaled_size(2, percent)
    inner1, inner2 = axis_eroded(mask, n1), axis_eroded(mask, n2)
    rim = ImageChops.subtract(body, inner1)
    rim2 = ImageChops.multiply(body, ImageChops.subtract(inner1, inner2))
    img.paste(t["rim"], (0, 0), rim)
    img.paste(t["rim2"], (0, 0), rim2)
    img.putalpha(mask)
    return img


def backgrounds():
    bt, wl = DARK_BLUE, LIGHT_BLUE
    # Three buttons: two antennas (Bluetooth left, WiFi right) over rows 0..52, so each of those
    # 53 rows has two opaque runs and each of the 148 body rows one: 254 runs in all.
    three = Shape(257, 201, top=53, radius=14, antennas=[(36.5, 8, 2, bt), (220.5, 8, 2, wl)])
    # One button: a single antenna over rows 0..21, one run in every one of the 156 rows.
    one = Shape(104, 156, top=22, radius=12, antennas=[(52, 6, 2, wl)])
    two = Shape(182, 186, top=40, radius=13, antennas=[(30.5, 7, 2, bt), (151.5, 7, 2, wl)])
    wide = Shape(373, 229, top=46, radius=16, antennas=[(44.5, 8, 2, bt), (328.5, 8, 2, wl)])

    out = {
        "image/W3x_map.png": (three, "night", (14, 160, 243, 190)),
        "image/3x_map.png": (three, "graphite", (14, 160, 243, 190)),
        "image/W1x_map.png": (one, "night", (8, 119, 96, 147)),
        "image/1x_map.png": (one, "graphite", (8, 119, 96, 147)),
        "image/W2x_map.png": (two, "night", (14, 148, 168, 176)),
        "image/Wmap2.png": (wide, "night", (18, 184, 355, 216)),
    }
    pictures = {}
    for name, (shape, theme, display) in out.items():
        pictures[name] = background(shape, theme, display, grille=(shape is not one))
    for percent in SCALES:
        for base in SCALED_BACKGROUNDS:
            shape, theme, display = out[f"image/{base}.png"]
            pictures[f"image/x{percent}/{base}.png"] = background(
                shape, theme, display, grille=(shape is not one), percent=percent)
    expected_runs = {"image/W3x_map.png": 254, "image/W1x_map.png": 156}
    for name, picture in pictures.items():
        got = row_runs(picture.getchannel("A"))
        # Every row needs a run (an empty one would split the window region); the one-button
        # outline keeps a single run per row at any scale.
        want = expected_runs.get(name, len(got) if name.endswith("W1x_map.png") else None)
        if min(got) < 1 or (want is not None and sum(got) != want):
            sys.exit(f"{name}: {sum(got)} opaque runs (want {want}), fewest in a row {min(got)}")
    return pictures


# ---------------------------------------------------------------------------------------------
# Icons. The tray pictures are 16 x 16 pixel art (a scaled-down drawing turns to mush at that
# size); the application icon is drawn, except at 16 pixels where it reuses the tray art.

RUNE_SMALL = [  # 5 x 9
    "..#..",
    "..##.",
    "#.#.#",
    ".###.",
    "..#..",
    ".###.",
    "#.#.#",
    "..##.",
    "..#..",
]
RUNE = [  # 7 x 13: both arms cross the stem at its middle, as in the drawn rune
    "...#...",
    "...##..",
    "...#.#.",
    "#..#..#",
    ".#.#.#.",
    "..###..",
    "...#...",
    "..###..",
    ".#.#.#.",
    "#..#..#",
    "...#.#.",
    "...##..",
    "...#...",
]
LETTER_W = [
    "#...#",
    "#...#",
    "#.#.#",
    "#.#.#",
    ".#.#.",
]
WIFI_TEXT = [  # 13 x 5
    "#...#.#.###.#",
    "#...#...#....",
    "#.#.#.#.##..#",
    "#.#.#.#.#...#",
    ".#.#..#.#...#",
]
WAVE_MARK = [(10, 5), (11, 6), (11, 7), (11, 8), (10, 9),
             (12, 3), (13, 4), (14, 5), (14, 6), (14, 7), (14, 8), (14, 9), (13, 10), (12, 11)]
WIFI_ARCS = [  # 16 x 7, rows 2..8 of the icon: two arcs and the dot
    ".....######.....",
    "...##......##...",
    "..#..........#..",
    "......####......",
    ".....#....#.....",
    ".......##.......",
    ".......##.......",
]


def blit(img, art, x0, y0, colour):
    px = img.load()
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            if ch == "#":
                px[x0 + x, y0 + y] = colour + (255,)


def tray_square(fill_at):
    """16 x 16 square, fill_at(x, y) gives the colour; darker one-pixel border, clipped corners."""
    img = Image.new("RGBA", (16, 16), (0, 0, 0, 0))
    px = img.load()
    for y in range(16):
        for x in range(16):
            if (x in (0, 15)) and (y in (0, 15)):
                continue
            c = fill_at(x, y)
            border = x in (0, 15) or y in (0, 15)
            px[x, y] = (scale(c, 0.62) if border else c) + (255,)
    return img


def split_at(x, y):
    return DARK_BLUE if x + y < 15 else LIGHT_BLUE


def tray_icons(white=WHITE):
    """The 16-pixel pictures; white is the colour of the 'on' marks (dark for a light taskbar)."""
    icons = {}
    for on, ident in ((True, 143), (False, 144)):
        img = tray_square(split_at)
        mark = white if on else RED
        blit(img, RUNE_SMALL, 2, 2, mark)
        blit(img, LETTER_W, 9, 9, mark)
        icons[ident] = img
    for on, ident in ((True, 145), (False, 146)):
        img = tray_square(lambda x, y: DARK_BLUE)
        blit(img, RUNE, 2 if on else 4, 1, white if on else RED)
        if on:
            for x, y in WAVE_MARK:
                img.putpixel((x, y), white + (255,))
        icons[ident] = img
    for on, ident in ((True, 147), (False, 148)):
        img = tray_square(lambda x, y: LIGHT_BLUE)
        if on:
            blit(img, WIFI_ARCS, 0, 2, white)
            blit(img, WIFI_TEXT, 1, 10, white)
        else:
            blit(img, WIFI_TEXT, 1, 6, RED)
        icons[ident] = img
    return icons


# Larger tray sizes for high DPI, drawn rather than stretched. Coordinates are the 16-pixel art's
# grid (pixel centres at .5), so each size shows the same motifs in the same places.

TRAY_SIZES = (20, 24, 28, 30, 32, 36, 40, 48, 64)
DARK_MARK = (32, 32, 32)    # the 'on' marks on a light taskbar, where white would vanish
LIGHT_OFFSET = 20           # light-taskbar icon ids: the dark ones' + 20


def draw_polyline(d, pts, width):
    d.line(pts, fill=255, width=max(1, int(round(width))), joint="curve")
    round_cap(d, pts[0], width, 255)
    round_cap(d, pts[-1], width, 255)


def draw_arcs(d, cx, cy, radii, start, end, width):
    for r in radii:
        d.arc([cx - r - width / 2, cy - r - width / 2, cx + r + width / 2, cy + r + width / 2],
              start, end, fill=255, width=max(1, int(round(width))))
        for a in (start, end):
            round_cap(d, (cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))),
                      width, 255)


def draw_wifi_text(d, u, dy, width):
    """'WiFi' as strokes, top of the letters at grid row 10 + dy."""
    def p(x, y):
        return (x * u, (y + dy) * u)
    draw_polyline(d, [p(1.5, 10.5), p(2.4, 14.5), p(3.5, 11.8), p(4.6, 14.5), p(5.5, 10.5)], width)
    for x in (7.5, 13.5):   # the two i: a dot and a stem
        round_cap(d, p(x, 10.5), width, 255)
        draw_polyline(d, [p(x, 12.3), p(x, 14.5)], width)
    draw_polyline(d, [p(9.5, 14.5), p(9.5, 10.5), p(11.5, 10.5)], width)
    draw_polyline(d, [p(9.5, 12.5), p(11.0, 12.5)], width)


def tray_drawn(ident, size, white=WHITE):
    """A tray picture drawn at size pixels: the 16-pixel art's square and marks as shapes."""
    ss = 8
    n = size * ss
    u = n / 16
    on = ident in (143, 145, 147)
    colour = white if on else RED

    dark = Image.new("RGB", (n, n), DARK_BLUE)
    light = Image.new("RGB", (n, n), LIGHT_BLUE)
    if ident in (143, 144):
        fill = light.copy()
        upper = Image.new("L", (n, n), 0)
        ImageDraw.Draw(upper).polygon([(0, 0), (n, 0), (0, n)], fill=255)
        fill.paste(dark, (0, 0), upper)
    else:
        fill = dark if ident in (145, 146) else light

    # Whole-pixel border and corner radius keep the edges crisp at every size.
    border = max(1, round(size / 16)) * ss
    radius = max(1.5, 1.5 * size / 16) * ss
    shape = Image.new("L", (n, n), 0)
    ImageDraw.Draw(shape).rounded_rectangle([0, 0, n - 1, n - 1], radius=radius, fill=255)
    inner = Image.new("L", (n, n), 0)
    ImageDraw.Draw(inner).rounded_rectangle([border, border, n - 1 - border, n - 1 - border],
                                            radius=max(0, radius - border), fill=255)
    img = Image.composite(fill, fill.point(lambda v: int(round(v * 0.62))), inner)

    mark = Image.new("L", (n, n), 0)
    d = ImageDraw.Draw(mark)
    width = 1.05 * u
    if ident in (143, 144):
        draw_rune(d, 4.5 * u, 6.5 * u, 8 * u, width)
        draw_polyline(d, [(9.5 * u, 9.5 * u), (10.5 * u, 13.5 * u), (11.5 * u, 11 * u),
                          (12.5 * u, 13.5 * u), (13.5 * u, 9.5 * u)], width)
    elif ident in (145, 146):
        draw_rune(d, (5.5 if on else 7.5) * u, 7.5 * u, 12 * u, width)
        if on:
            draw_arcs(d, 8.5 * u, 7.5 * u, [3 * u, 6 * u], -45, 45, width)
    elif on:
        d.ellipse([7 * u, 7 * u, 9 * u, 9 * u], fill=255)
        draw_arcs(d, 8 * u, 8 * u, [3 * u, 6 * u], 215, 325, width)
        draw_wifi_text(d, u, 0, width)
    else:
        draw_wifi_text(d, u, -4, width)
    img = Image.composite(Image.new("RGB", (n, n), colour), img, mark).resize((size, size), Image.BOX)
    # A hard outline, as the 16-pixel art has: a tray that paints a changed icon over the old one
    # without clearing would otherwise let the old picture show through soft corners.
    alpha = shape.resize((size, size), Image.BOX).point(lambda v: 255 if v >= 128 else 0)
    return Image.composite(img.convert("RGBA"), Image.new("RGBA", (size, size), (0, 0, 0, 0)), alpha)


def app_icon(size):
    """The application icon: the split badge with the rune and the arcs, at any size >= 24."""
    s = 8 if size < 64 else 4
    n = size * s
    margin = max(1, round(size * 0.04)) * s
    radius = size * 0.2 * s
    body = [margin, margin, n - margin - 1, n - margin - 1]

    shape = Image.new("L", (n, n), 0)
    ImageDraw.Draw(shape).rounded_rectangle(body, radius=radius, fill=255)
    img = vgradient((n, n), mix(DARK_BLUE, WHITE, 0.15), scale(DARK_BLUE, 0.8))
    lower = Image.new("L", (n, n), 0)
    ImageDraw.Draw(lower).polygon([(n, 0), (n, n), (0, n)], fill=255)
    img.paste(vgradient((n, n), mix(LIGHT_BLUE, WHITE, 0.2), scale(LIGHT_BLUE, 0.8)), (0, 0), lower)
    img = img.convert("RGBA")

    gloss = Image.new("L", (n, n), 0)
    gd = ImageDraw.Draw(gloss)
    for y in range(n // 2):
        gd.line([(0, y), (n, y)], fill=int(60 * (1 - y / (n / 2)) ** 1.5))
    img = Image.composite(Image.new("RGBA", (n, n), WHITE + (255,)), img, gloss)

    u = n / 100.0
    mark = Image.new("L", (n, n), 0)
    md = ImageDraw.Draw(mark)
    stroke = max(6 * u, 1.6 * s)
    draw_rune(md, 30 * u, 32 * u, 46 * u, stroke)
    draw_waves(md, 69 * u, 76 * u, 5.5 * u, [15 * u, 26 * u], stroke)
    img = Image.composite(Image.new("RGBA", (n, n), WHITE + (255,)), img, mark)

    ImageDraw.Draw(img).rounded_rectangle(body, radius=radius, outline=(10, 22, 60, 255),
                                          width=max(s, round(1.2 * u)))
    img.putalpha(shape)
    return img.resize((size, size), Image.BOX)


def app_icon_16():
    img = tray_icons()[143]
    # Round the badge a little more than the tray square.
    for x, y in ((1, 0), (0, 1), (14, 0), (15, 1), (0, 14), (1, 15), (15, 14), (14, 15)):
        img.putpixel((x, y), (0, 0, 0, 0))
    return img


# ---------------------------------------------------------------------------------------------
# Icon packing. icotool converts each PNG to the bit depth asked for; 4 and 8 bpp need a palette
# that fits, so the pictures are reduced here first (one palette slot stays for transparency).

def reduce_colours(img, colours):
    rgba = img.convert("RGBA")
    grey = Image.new("RGBA", rgba.size, (128, 128, 128, 255))
    a = rgba.getchannel("A")
    # Soft edges: blend over a neutral grey, then cut at half coverage.
    flat = Image.alpha_composite(grey, rgba).convert("RGB")
    keep = a.point(lambda v: 255 if v >= 128 else 0)
    q = flat.quantize(colors=colours, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    out = q.convert("RGBA")
    out.putalpha(keep)
    clear = Image.new("RGBA", rgba.size, (0, 0, 0, 0))
    return Image.composite(out, clear, keep)


def pack_icon(path, entries, raw=None, scratch=None):
    """entries: list of (bits, RGBA image); raw: an RGBA image stored as PNG (the 256 entry)."""
    args = ["icotool", "-c", "-o", path]
    for i, (bits, img) in enumerate(entries):
        if bits == 4:
            img = reduce_colours(img, 15)
        elif bits == 8:
            img = reduce_colours(img, 255)
        p = os.path.join(scratch, f"e{i}.png")
        img.save(p)
        args += ["-b", str(bits), p]
    if raw is not None:
        p = os.path.join(scratch, "raw.png")
        raw.save(p, optimize=True)
        args += ["-r", p]
    r = subprocess.run(args, capture_output=True, text=True)
    # icotool reports a palette that does not fit on stderr and still exits 0.
    if r.returncode != 0 or r.stderr.strip():
        sys.exit(f"icotool failed for {path}: {r.stderr.strip()}")


def write_icons(out_dir, scratch):
    os.makedirs(out_dir, exist_ok=True)
    names = {143: "tray_both_on", 144: "tray_both_off", 145: "tray_bt_on", 146: "tray_bt_off",
             147: "tray_wlan_on", 148: "tray_wlan_off"}
    # The 16-pixel entries first, as they have always been; the drawn sizes after them in 32 bits.
    for suffix, white in (("", WHITE), ("_light", DARK_MARK)):
        for ident, img in tray_icons(white).items():
            entries = [(b, img) for b in (4, 8, 32)]
            entries += [(32, tray_drawn(ident, size, white)) for size in TRAY_SIZES]
            pack_icon(os.path.join(out_dir, names[ident] + suffix + ".ico"), entries,
                      scratch=scratch)
    entries = []
    for size in (16, 24, 32, 48):
        img = app_icon_16() if size == 16 else app_icon(size)
        entries += [(b, img) for b in (4, 8, 32)]
    pack_icon(os.path.join(out_dir, "Kova.ico"), entries, raw=app_icon(256), scratch=scratch)


# ---------------------------------------------------------------------------------------------

def write_skin(skin_dir):
    image_dir = os.path.join(skin_dir, "image")
    os.makedirs(image_dir, exist_ok=True)
    for percent in SCALES:
        os.makedirs(os.path.join(image_dir, f"x{percent}"), exist_ok=True)
    for name, img in backgrounds().items():
        img.save(os.path.join(skin_dir, name), optimize=True)
    for name, (picture, grey) in STRIPS.items():
        button_strip(picture, grey).save(os.path.join(image_dir, name + ".bmp"))
        for percent in SCALES:
            button_strip(picture, grey, percent).save(
                os.path.join(image_dir, f"x{percent}", name + ".png"), optimize=True)
    for name, lines in TEXT_MEMBERS.items():
        with open(os.path.join(skin_dir, name), "wb") as f:
            f.write("\r\n".join(lines).encode("ascii"))
    with open(os.path.join(skin_dir, "members.txt"), "w", newline="\n") as f:
        f.write("\n".join(MEMBER_ORDER) + "\n")
    r = subprocess.run(["tar"] + TAR_FLAGS + ["-C", skin_dir, "-cf",
                                              os.path.join(skin_dir, "skin.tar"),
                                              "-T", os.path.join(skin_dir, "members.txt")],
                       capture_output=True, text=True)
    if r.returncode != 0 or r.stderr.strip():
        sys.exit(f"tar failed: {r.stderr.strip()}")


def generate(res_dir):
    with tempfile.TemporaryDirectory() as scratch:
        write_skin(os.path.join(res_dir, "skin"))
        write_icons(os.path.join(res_dir, "icons"), scratch)


def compare(a, b):
    diffs = []
    for base, _, files in os.walk(a):
        for f in files:
            pa = os.path.join(base, f)
            pb = os.path.join(b, os.path.relpath(pa, a))
            if not os.path.exists(pb) or not filecmp.cmp(pa, pb, shallow=False):
                diffs.append(os.path.relpath(pa, a))
    return diffs


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true",
                    help="compare a fresh generation with the checked-in files")
    args = ap.parse_args()
    os.umask(0o022)
    res = os.path.join(ROOT, "res")
    if not args.check:
        generate(res)
        return
    with tempfile.TemporaryDirectory() as tmp:
        generate(tmp)
        diffs = [os.path.join(d, p) for d in ("skin", "icons")
                 for p in compare(os.path.join(tmp, d), os.path.join(res, d))]
        if diffs:
            sys.exit("out of date: " + ", ".join(sorted(diffs)))
    print("artwork up to date")


if __name__ == "__main__":
    main()
