#!/usr/bin/env python3
"""Draws the program icon and marlet's picture.

    python3 tools/make_images.py [--check]
    python3 tools/make_images.py --bitmap-from SHOT.png LEFT TOP

Writes common/res/vorn3.ico (shared by marlet and tovrin: four 256-colour
images of 16, 32, 48 and 64 pixels, each an 8-bit palettised bitmap with its
AND mask) and marlet/res/picture.jpg (72 x 40, baseline JFIF, three colour
components). The icon is written by this script alone; the JPEG is encoded by
ImageMagick's `convert` from a PPM drawn here. The outputs are committed, so a
build needs neither. --check only verifies the committed files' structure.

marlet draws the JPEG's pixels from marlet/res/picture.bmp (72 x 40, 24 bits
per pixel), so that it needs no JPEG decoder at start. Those pixels are the
JPEG as the Windows Imaging Component decodes it under Wine (ImageMagick's
decoder gives slightly different ones): --bitmap-from writes the bitmap from
the 72 x 40 pixels at LEFT, TOP of a screenshot of a window that shows the
decoded JPEG at 96 dpi. Run it again only when the JPEG changes.

The motif: a database cylinder with an arrow leading out of it, towards the
prompt of a terminal window in the picture.
"""
import os
import struct
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ICON_PATH = os.path.join(REPO, "common", "res", "vorn3.ico")
PICTURE_PATH = os.path.join(REPO, "marlet", "res", "picture.jpg")
BITMAP_PATH = os.path.join(REPO, "marlet", "res", "picture.bmp")
ICON_SIZES = (16, 32, 48, 64)
PICTURE_SIZE = (72, 40)

# Colours (red, green, blue).
OUTLINE = (24, 40, 72)
DB_LIGHT = (120, 184, 240)
DB_DARK = (32, 88, 168)
DB_TOP = (176, 220, 255)
DB_BAND = (20, 60, 130)
ARROW = (250, 150, 30)
ARROW_DARK = (150, 70, 0)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


# Shapes ----------------------------------------------------------------------
# Each shape takes a point in the unit square (y downwards) and a growth g
# (the outline's width), and tells whether the point lies inside.

def in_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def cylinder_inside(x, y, g, left=0.06, right=0.62, top=0.22, bottom=0.80, ry=0.10):
    cx = (left + right) / 2
    rx = (right - left) / 2 + g
    r = ry + g
    if in_ellipse(x, y, cx, top, rx, r) or in_ellipse(x, y, cx, bottom, rx, r):
        return True
    return abs(x - cx) <= rx and top <= y <= bottom


def cylinder_colour(x, y, left=0.06, right=0.62, top=0.22, bottom=0.80, ry=0.10, band=1.0):
    cx = (left + right) / 2
    rx = (right - left) / 2
    if in_ellipse(x, y, cx, top, rx, ry):
        return mix(DB_TOP, DB_LIGHT, (x - left) / (right - left))
    # Two rings round the body: the lower halves of ellipses.
    for ring in (top + (bottom - top) / 3, top + 2 * (bottom - top) / 3):
        dy = ry * (1.0 - ((x - cx) / rx) ** 2) ** 0.5 if abs(x - cx) < rx else 0.0
        if abs(y - (ring + dy)) <= 0.022 * band:
            return DB_BAND
    return mix(DB_LIGHT, DB_DARK, (x - left) / (right - left))


def arrow_inside(x, y, g, x0=0.40, x1=0.97, cy=0.64, shaft=0.085, head_x=0.70, head=0.25):
    if x0 - g <= x <= head_x and abs(y - cy) <= shaft + g:
        return True
    if head_x - g <= x <= x1 + g * 1.8:
        # Triangle from (head_x, cy +- head) to (x1, cy), grown by g.
        half = (head + g) * (x1 + g * 1.8 - x) / (x1 + g * 1.8 - head_x + g)
        return abs(y - cy) <= half
    return False


def icon_pixel(x, y, size):
    g = 1.0 / size
    if arrow_inside(x, y, 0.0):
        return mix(ARROW, ARROW_DARK, (y - 0.50) / 0.35)
    if arrow_inside(x, y, g):
        return OUTLINE
    if cylinder_inside(x, y, 0.0):
        return cylinder_colour(x, y, band=max(1.0, 32.0 / size))
    if cylinder_inside(x, y, g):
        return OUTLINE
    return None


def render(size_x, size_y, pixel, samples=4):
    """Supersamples pixel(x, y) over a grid; returns rows of (r, g, b) or None
    (transparent: less than half the samples hit a shape)."""
    rows = []
    for py in range(size_y):
        row = []
        for px in range(size_x):
            hits = []
            for sy in range(samples):
                for sx in range(samples):
                    u = (px + (sx + 0.5) / samples) / size_x
                    v = (py + (sy + 0.5) / samples) / size_y
                    c = pixel(u, v)
                    if c is not None:
                        hits.append(c)
            if len(hits) * 2 < samples * samples:
                row.append(None)
            else:
                row.append(tuple(sum(c[i] for c in hits) // len(hits) for i in range(3)))
        rows.append(row)
    return rows


# Palette ---------------------------------------------------------------------

def median_cut(colours, count):
    """Reduces a list of colours to at most `count` representatives."""
    boxes = [sorted(set(colours))]
    while len(boxes) < count:
        boxes.sort(key=lambda b: -max(max(c[i] for c in b) - min(c[i] for c in b) for i in range(3)))
        box = boxes[0]
        if len(box) < 2:
            break
        channel = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box.sort(key=lambda c: c[channel])
        half = len(box) // 2
        boxes[0:1] = [box[:half], box[half:]]
    return [tuple(sum(c[i] for c in b) // len(b) for i in range(3)) for b in boxes if b]


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


# Icon ------------------------------------------------------------------------

def icon_image(size):
    """One icon image: BITMAPINFOHEADER, 256-entry colour table, XOR bitmap
    (8 bits per pixel, bottom-up) and AND mask (1 bit per pixel)."""
    rows = render(size, size, lambda x, y: icon_pixel(x, y, size))
    used = [c for row in rows for c in row if c is not None]
    palette = [(0, 0, 0)] + median_cut(used, 255)
    palette += [(0, 0, 0)] * (256 - len(palette))
    cache = {}
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    xor_stride = (size + 3) // 4 * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                line[x] = 1 + nearest(palette[1:], c, cache)
        xor += line
        mask += bits
    return header + table + bytes(xor) + bytes(mask)


def make_icon():
    images = [icon_image(s) for s in ICON_SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(ICON_SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


# Picture ---------------------------------------------------------------------

def picture_pixel(x, y):
    """The 72 x 40 picture in unit coordinates (x across, y down)."""
    w, h = PICTURE_SIZE
    px, py = x * w, y * h
    # The terminal window on the right: frame, title bar, dark screen with a
    # prompt and two lines of "text".
    if 40 <= px < 69 and 6 <= py < 35:
        if px < 41 or px >= 68 or py >= 34:
            return (60, 60, 70)
        if py < 10:
            return (40, 80, 160)
        sx, sy = px - 43, py - 12
        if 0 <= sy < 2 and 0 <= sx < 6:
            return (120, 240, 120)
        if 5 <= sy < 7 and 0 <= sx < 18 and int(sx) % 4 != 3:
            return (200, 200, 200)
        if 10 <= sy < 12 and 0 <= sx < 12 and int(sx) % 5 != 4:
            return (200, 200, 200)
        if 15 <= sy < 17 and 0 <= sx < 2:
            return (240, 240, 240)
        return (16, 20, 28)
    # The cylinder on the left and the arrow into the terminal.
    u = (px - 3) / 40.0
    v = (py - 4) / 40.0 * 1.0
    if arrow_inside(u, v, 0.0, x0=0.42, x1=0.93, cy=0.50, shaft=0.07, head_x=0.74, head=0.18):
        return mix(ARROW, ARROW_DARK, (v - 0.40) / 0.25)
    if arrow_inside(u, v, 0.025, x0=0.42, x1=0.93, cy=0.50, shaft=0.07, head_x=0.74, head=0.18):
        return OUTLINE
    if cylinder_inside(u, v, 0.0, left=0.04, right=0.52, top=0.16, bottom=0.72, ry=0.09):
        return cylinder_colour(u, v, left=0.04, right=0.52, top=0.16, bottom=0.72, ry=0.09)
    if cylinder_inside(u, v, 0.025, left=0.04, right=0.52, top=0.16, bottom=0.72, ry=0.09):
        return OUTLINE
    # Background: a soft vertical gradient.
    return mix((236, 242, 250), (196, 212, 232), y)


def make_picture(path):
    w, h = PICTURE_SIZE
    rows = render(w, h, picture_pixel, samples=3)
    ppm = b"P6\n%d %d\n255\n" % (w, h) + bytes(v for row in rows for c in row for v in c)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "picture.ppm")
        with open(src, "wb") as f:
            f.write(ppm)
        subprocess.run(["convert", src, "-strip", "-interlace", "none", "-sampling-factor", "2x2",
                        "-quality", "82", "jpeg:" + path], check=True)


def make_bitmap(shot, left, top):
    """A 24-bit bottom-up BMP of the picture's pixels at left, top of shot."""
    w, h = PICTURE_SIZE
    rgb = subprocess.run(["convert", shot, "-crop", "%dx%d+%d+%d" % (w, h, left, top), "+repage",
                          "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    assert len(rgb) == w * h * 3, "the screenshot has no %dx%d pixels there" % (w, h)
    stride = (w * 3 + 3) // 4 * 4
    rows = b"".join(bytes(rgb[(y * w + x) * 3 + 2 - c] for x in range(w) for c in range(3)).ljust(stride, b"\0")
                    for y in reversed(range(h)))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 3780, 3780, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info)) + info + rows


# Checks ----------------------------------------------------------------------

def check_icon(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    assert (reserved, kind, count) == (0, 1, len(ICON_SIZES)), "icon header"
    for i, size in enumerate(ICON_SIZES):
        w, h, colours, _, planes, bpp, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert (w, h, planes, bpp) == (size, size, 1, 8), "icon entry %d" % i
        hdr = struct.unpack_from("<IiiHHIIiiII", data, offset)
        assert hdr[0] == 40 and hdr[1] == size and hdr[2] == 2 * size and hdr[4] == 8, "bitmap header %d" % i
        expected = 40 + 1024 + size * ((size + 3) // 4 * 4) + size * ((size + 31) // 32 * 4)
        assert length == expected and offset + length <= len(data), "image %d length" % i
    return len(data)


def check_jpeg(data):
    """Baseline JFIF with three components and the picture's size."""
    assert data[:2] == b"\xff\xd8", "no SOI"
    pos, jfif, frame = 2, False, None
    while pos < len(data):
        assert data[pos] == 0xFF, "bad marker at %d" % pos
        marker = data[pos + 1]
        if marker == 0xD9:
            break
        length = struct.unpack_from(">H", data, pos + 2)[0]
        if marker == 0xE0 and data[pos + 4:pos + 9] == b"JFIF\0":
            jfif = True
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            assert marker == 0xC0, "not baseline (SOF%d)" % (marker - 0xC0)
            _, height, width, comps = struct.unpack_from(">BHHB", data, pos + 4)
            frame = (width, height, comps)
        if marker == 0xDA:
            break
        pos += 2 + length
    assert jfif, "no JFIF APP0"
    assert frame == (PICTURE_SIZE[0], PICTURE_SIZE[1], 3), "frame %r" % (frame,)
    return len(data)


def check_bitmap(data):
    """A 24-bit uncompressed BMP of the picture's size."""
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    hdr = struct.unpack_from("<IiiHHI", data, 14)
    assert magic == b"BM" and size == len(data), "BMP file header"
    assert hdr == (40, PICTURE_SIZE[0], PICTURE_SIZE[1], 1, 24, 0), "BMP header %r" % (hdr,)
    assert offset + PICTURE_SIZE[1] * ((PICTURE_SIZE[0] * 3 + 3) // 4 * 4) == len(data), "BMP length"
    return len(data)


def main(argv):
    if argv[:1] == ["--bitmap-from"] and len(argv) == 4:
        with open(BITMAP_PATH, "wb") as f:
            f.write(make_bitmap(argv[1], int(argv[2]), int(argv[3])))
    elif "--check" not in argv:
        os.makedirs(os.path.dirname(ICON_PATH), exist_ok=True)
        os.makedirs(os.path.dirname(PICTURE_PATH), exist_ok=True)
        with open(ICON_PATH, "wb") as f:
            f.write(make_icon())
        make_picture(PICTURE_PATH)
    with open(ICON_PATH, "rb") as f:
        print("%s: %d bytes" % (os.path.relpath(ICON_PATH, REPO), check_icon(f.read())))
    with open(PICTURE_PATH, "rb") as f:
        print("%s: %d bytes" % (os.path.relpath(PICTURE_PATH, REPO), check_jpeg(f.read())))
    with open(BITMAP_PATH, "rb") as f:
        print("%s: %d bytes" % (os.path.relpath(BITMAP_PATH, REPO), check_bitmap(f.read())))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
