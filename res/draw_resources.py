#!/usr/bin/env python3
"""Draws every image of res.dll and writes the resource script that binds them.

Usage: draw_resources.py OUTDIR

Only the standard library: the images are drawn from simple shapes with
supersampled edges, and written as 24-bit BMP, 32-bit ICO and GIF89a.
"""
import os
import struct
import sys

MAGENTA = (255, 0, 255)  # the key colour of the shaped windows and picture buttons

# Dialog base units of 9-point 宋体 at 96 DPI on Windows (6 x 12). Wine's
# stand-in face is a pixel taller (6 x 13): the dialogs come out taller than
# their backgrounds there, so their controls stay within the Windows height.
DLU_X, DLU_Y = 6 / 4, 12 / 8


def dlu(cx, cy):
    return int(cx * DLU_X + 0.5), int(cy * DLU_Y + 0.5)  # rounded half up, as MulDiv


LOGIN_SIZE = dlu(203, 153)  # login dialog background, 305 x 230
NOTICE_SIZE = dlu(176, 49)  # notice popup background, 264 x 74
WAIT_SIZE = (288, 28)  # fits the 193 x 19 DLU frame of the wait window
CAPTION_BUTTON = (28, 20)
NOTICE_CLOSE = (16, 16)
NOTICE_PICTURE = (32, 32)

BAND_TOP, BAND_BOTTOM = (70, 140, 222), (28, 92, 178)
FRAME = (24, 70, 140)
WAIT_BACKGROUND = (225, 238, 254)  # the wait window's own fill colour
NOTICE_BODY = (244, 249, 255)
LOGIN_BAND, NOTICE_BAND = 28, 22
BUBBLE_BLUE = ((110, 180, 250), (24, 96, 196), (16, 62, 140))  # gradient top, bottom, outline
BUBBLE_GREY = ((200, 200, 200), (128, 128, 128), (90, 90, 90))

# --- canvas and shapes ------------------------------------------------------


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


class Canvas:
    """RGBA pixels with straight alpha; shapes are composited over it."""

    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[tuple(fill) for _ in range(w)] for _ in range(h)]
        self.touched = [[False] * w for _ in range(h)]

    @classmethod
    def over(cls, w, h, paint):
        """An opaque canvas showing what lies behind the image; it counts as untouched."""
        c = cls(w, h)
        c.px = [[(*paint(x + 0.5, y + 0.5)[0], 1.0) for x in range(w)] for y in range(h)]
        return c

    def blend(self, x, y, rgb, a):
        if a <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        dr, dg, db, da = self.px[y][x]
        oa = a + da * (1 - a)
        mix = [(c * a + d * da * (1 - a)) / oa for c, d in zip(rgb, (dr, dg, db))]
        self.px[y][x] = (*mix, oa)
        self.touched[y][x] = True

    def fill(self, inside, paint, box=None, samples=4):
        """Composites paint(x, y) -> (rgb, alpha) over the pixels covered by inside(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        offsets = [(i + 0.5) / samples for i in range(samples)]
        for y in range(max(0, int(y0)), min(self.h, int(y1) + 1)):
            for x in range(max(0, int(x0)), min(self.w, int(x1) + 1)):
                hits = sum(inside(x + u, y + v) for u in offsets for v in offsets)
                if hits:
                    rgb, a = paint(x + 0.5, y + 0.5)
                    self.blend(x, y, rgb, a * hits / samples**2)

    def rgb_rows(self, key=None):
        """Opaque rows; pixels no shape has touched become the key colour."""
        return [[key if key and not hit else tuple(min(255, max(0, round(v))) for v in px[:3])
                 for px, hit in zip(row, hits)] for row, hits in zip(self.px, self.touched)]


def solid(rgb, a=1.0):
    return lambda x, y: (rgb, a)


def vertical(top, bottom, y0, y1, a=1.0):
    return lambda x, y: (lerp(top, bottom, min(1, max(0, (y - y0) / (y1 - y0)))), a)


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1


def stroke(ax, ay, bx, by, half):
    """A line segment of the given half width with round ends."""
    vx, vy = bx - ax, by - ay
    length2 = vx * vx + vy * vy

    def inside(x, y):
        t = max(0, min(1, ((x - ax) * vx + (y - ay) * vy) / length2))
        px, py = ax + t * vx - x, ay + t * vy - y
        return px * px + py * py <= half * half

    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit

    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


# --- lettering ---------------------------------------------------------------

GLYPHS = {
    "V": ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    "e": [".....", ".....", ".XXX.", "X...X", "XXXXX", "X....", ".XXX."],
    "l": [".XX..", "..X..", "..X..", "..X..", "..X..", "..X..", ".XXX."],
    "m": [".....", ".....", "XX.X.", "X.X.X", "X.X.X", "X.X.X", "X.X.X"],
    "a": [".....", ".....", ".XXX.", "....X", ".XXXX", "X...X", ".XXXX"],
    "r": [".....", ".....", "X.XX.", "XX..X", "X....", "X....", "X...."],
    "i": ["..X..", ".....", ".XX..", "..X..", "..X..", "..X..", ".XXX."],
    "n": [".....", ".....", "X.XX.", "XX..X", "X...X", "X...X", "X...X"],
}


def lettering(canvas, text, left, top, scale, rgb):
    """Pixel lettering with a one-pixel drop shadow."""
    for dx, dy, colour, a in ((1, 1, (10, 40, 90), 0.5), (0, 0, rgb, 1.0)):
        for i, ch in enumerate(text):
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit == "X":
                        x = left + dx + (i * 6 + col) * scale
                        y = top + dy + row * scale
                        canvas.fill(rect(x, y, x + scale, y + scale), solid(colour, a), (x, y, x + scale, y + scale))


# --- window backgrounds ------------------------------------------------------


def shaped_background(w, h, radius, band, body):
    """A rounded window with a title band and a frame; pixels outside it stay the key colour.

    Returns the canvas and the shape inside the frame, which bounds every later drawing.
    """
    c = Canvas(w, h)
    inner = rounded(1, 1, w - 1, h - 1, radius - 1)
    within = lambda shape: lambda x, y: inner(x, y) and shape(x, y)
    # Hard edges towards the key colour: a blended edge would leave a pink fringe.
    c.fill(rounded(0, 0, w, h, radius), solid(FRAME), samples=1)
    c.fill(within(rect(0, 0, w, band)), vertical(BAND_TOP, BAND_BOTTOM, 0, band), samples=1)
    c.fill(within(rect(0, 0, w, band // 2)), solid((255, 255, 255), 0.12), samples=1)
    c.fill(within(rect(0, band + 2, w, h)), body, samples=1)
    c.fill(within(rect(0, band, w, band + 1)), solid((18, 64, 132)), samples=1)
    c.fill(within(rect(0, band + 1, w, band + 2)), solid((255, 255, 255)), samples=1)
    return c, inner


def login_background():
    w, h = LOGIN_SIZE
    c, inner = shaped_background(w, h, 8, LOGIN_BAND, vertical((252, 253, 255), (212, 229, 251), LOGIN_BAND, h))
    body = minus(inner, rect(0, 0, w, LOGIN_BAND + 2))
    # Two soft waves across the lower part of the body.
    for cx, cy, rx, ry, a in ((w * 0.15, h * 1.55, h * 1.45, h * 0.9, 0.35), (w, h * 1.45, h * 1.2, h * 0.75, 0.25)):
        c.fill(lambda x, y, e=ellipse(cx, cy, rx, ry): body(x, y) and e(x, y), solid((255, 255, 255), a),
               (0, cy - ry, w, h), samples=2)
    c.fill(minus(body, rounded(2, 2, w - 2, h - 2, 6)), solid((255, 255, 255), 0.6), samples=1)
    draw_bubble(c, 8, 6, 16, BUBBLE_BLUE)
    lettering(c, "Velmarin", 30, 7, 2, (255, 255, 255))
    return c


def notice_background():
    w, h = NOTICE_SIZE
    foot = h - 14  # the picture and the text sit on the flat part above
    body = lambda x, y: (NOTICE_BODY if y < foot else lerp(NOTICE_BODY, (218, 233, 252), (y - foot) / 14), 1.0)
    c, _ = shaped_background(w, h, 6, NOTICE_BAND, body)
    draw_bubble(c, 6, 3, 16, BUBBLE_BLUE)
    lettering(c, "Velmarin", 28, 4, 2, (255, 255, 255))
    return c


# --- buttons -----------------------------------------------------------------


def button_states(size, band_height, glyph, hover_rgb, pressed_rgb, radius):
    """Normal, hover and pressed images of a caption button meant to sit at the top of a title band.

    Edges are blended with the band colour behind them; untouched pixels stay the key colour.
    """
    w, h = size
    states = []
    for face, shift in ((None, 0), (hover_rgb, 0), (pressed_rgb, 1)):
        c = Canvas.over(w, h, vertical(BAND_TOP, BAND_BOTTOM, 0, band_height))
        if face:
            plate = rounded(1, 1, w - 1, h - 1, radius)
            c.fill(plate, vertical(lerp(face, (255, 255, 255), 0.25), face, 0, h))
            c.fill(minus(plate, rounded(2, 2, w - 2, h - 2, radius - 1)), solid((255, 255, 255), 0.35))
        c.fill(glyph(w / 2 + shift, h / 2 + shift), solid((255, 255, 255)))
        states.append(c)
    return states


def cross(half):
    return lambda cx, cy: union(stroke(cx - half, cy - half, cx + half, cy + half, 1.1),
                                stroke(cx - half, cy + half, cx + half, cy - half, 1.1))


def dash(half):
    return lambda cx, cy: rect(cx - half, cy + 1, cx + half, cy + 3)


def notice_picture():
    w, h = NOTICE_PICTURE
    c = Canvas(w, h, (*NOTICE_BODY, 1))
    draw_envelope(c, 1, 5, 28, (255, 255, 255), (40, 100, 190))
    c.fill(ellipse(25.5, 7.5, 5.5, 5.5), solid((255, 255, 255)))
    c.fill(ellipse(25.5, 7.5, 4.5, 4.5), vertical((255, 110, 80), (214, 40, 30), 3, 12))
    return c


# --- icons -------------------------------------------------------------------


def draw_bubble(c, left, top, size, colours):
    """A speech bubble with three dots; colours are (gradient top, gradient bottom, outline)."""
    s = size / 16
    light, dark, edge = colours
    body = union(ellipse(left + 8 * s, top + 7 * s, 7.5 * s, 6 * s),
                 polygon([(left + 3 * s, top + 10 * s), (left + 1.5 * s, top + 15.5 * s),
                          (left + 8 * s, top + 12 * s)]))
    face = union(ellipse(left + 8 * s, top + 7 * s, 7.5 * s - 1, 6 * s - 1),
                 polygon([(left + 3.6 * s, top + 10 * s), (left + 2.6 * s, top + 14 * s),
                          (left + 7.5 * s, top + 11.5 * s)]))
    box = (left, top, left + size, top + size)
    c.fill(body, solid(edge), box)
    c.fill(face, vertical(light, dark, top, top + 13 * s), box)
    for i in range(3):
        c.fill(ellipse(left + (4.5 + 3.5 * i) * s, top + 7 * s, 1.3 * s, 1.3 * s), solid((255, 255, 255)), box)


def draw_envelope(c, left, top, size, paper, ink):
    s = size / 16
    w, h = 15 * s, 10.5 * s
    x0, y0 = left + 0.5 * s, top + 0.5 * s
    box = (left, top, left + size, top + size)
    c.fill(rounded(x0, y0, x0 + w, y0 + h, 1.2 * s), solid(ink), box)
    c.fill(rounded(x0 + 1, y0 + 1, x0 + w - 1, y0 + h - 1, 1.2 * s - 0.5),
           vertical(paper, lerp(paper, ink, 0.15), y0, y0 + h), box)
    half = max(0.55, 0.6 * s)
    c.fill(union(stroke(x0 + 1, y0 + 1.2, x0 + w / 2, y0 + h * 0.6, half),
                 stroke(x0 + w - 1, y0 + 1.2, x0 + w / 2, y0 + h * 0.6, half)), solid(ink), box)


def icon_normal(size):
    c = Canvas(size, size)
    draw_bubble(c, 0, 0, size, BUBBLE_BLUE)
    return c


def icon_offline(size):
    c = Canvas(size, size)
    draw_bubble(c, 0, 0, size, BUBBLE_GREY)
    return c


def icon_new_message(size):
    c = Canvas(size, size)
    s = size / 16
    draw_envelope(c, 0, 3 * s, size, (255, 250, 230), (200, 110, 10))
    c.fill(ellipse(12 * s, 4 * s, 4 * s, 4 * s), solid((255, 255, 255)))
    c.fill(ellipse(12 * s, 4 * s, 4 * s - 1, 4 * s - 1), vertical((255, 100, 80), (200, 30, 20), 0, 8 * s))
    return c


# --- wait animation ----------------------------------------------------------

WAIT_SLOTS, WAIT_TRAIL = 20, 4


def wait_frames():
    """A row of blocks in a track with a lit group running from left to right."""
    w, h = WAIT_SIZE
    pitch = (w - 8) / WAIT_SLOTS
    lit = [(30, 104, 208), (84, 146, 228), (140, 184, 240), (190, 214, 246)]
    frames = []
    for f in range(WAIT_SLOTS + WAIT_TRAIL):
        c = Canvas(w, h, (*WAIT_BACKGROUND, 1))
        c.fill(rounded(1, 5, w - 1, h - 5, 6), solid((150, 182, 226)))
        c.fill(rounded(2, 6, w - 2, h - 6, 5), vertical((255, 255, 255), (236, 243, 252), 6, h - 6))
        for slot in range(WAIT_SLOTS):
            x = 4 + slot * pitch + 2
            age = f - slot
            colour = lit[age] if 0 <= age < WAIT_TRAIL else (222, 232, 246)
            c.fill(rounded(x, 9, x + pitch - 4, h - 9, 2), solid(colour), (x - 1, 8, x + pitch, h - 8))
        frames.append(c.rgb_rows())
    return frames


# --- file formats ------------------------------------------------------------


def bmp_bytes(rows):
    """24-bit bottom-up BMP."""
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def ico_bytes(images):
    """32-bit icon (straight alpha) with an AND mask for every size."""
    blobs = []
    for c in images:
        n = c.w
        xor, mask = bytearray(), bytearray()
        mask_stride = ((n + 31) // 32) * 4
        for row in reversed(c.px):
            bits = bytearray(mask_stride)
            for x, (r, g, b, a) in enumerate(row):
                alpha = round(a * 255)
                xor += bytes(round(min(255, max(0, v))) if alpha else 0 for v in (b, g, r)) + bytes((alpha,))
                if alpha == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append((n, header + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for n, blob in blobs:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for _, blob in blobs)


def palette_for(frames, keep):
    """At most 256 colours: exact when the frames allow, else with low bits dropped (keep stays exact)."""
    colours = {px for rows in frames for row in rows for px in row}
    for drop in range(8):
        mask = 0xFF & ~((1 << drop) - 1)
        reduced = {keep} | {tuple(v & mask for v in px) for px in colours if px != keep}
        if len(reduced) <= 256:
            palette = sorted(reduced)
            index = {p: i for i, p in enumerate(palette)}
            return palette, lambda px: index[px if px == keep else tuple(v & mask for v in px)]
    raise AssertionError("unreachable: one bit per channel gives at most 8 colours")


def lzw(indices, min_bits):
    """GIF variable-length LZW, codes packed from the least significant bit."""
    clear, end = 1 << min_bits, (1 << min_bits) + 1
    out, acc, nbits = bytearray(), 0, 0

    def put(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    table, next_code, width = {}, end + 1, min_bits + 1
    put(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        if (prefix, k) in table:
            prefix = table[(prefix, k)]
            continue
        put(prefix, width)
        if next_code < 4095:
            table[(prefix, k)] = next_code
            if next_code == 1 << width:
                width += 1
            next_code += 1
        else:
            put(clear, width)
            table, next_code, width = {}, end + 1, min_bits + 1
        prefix = k
    put(prefix, width)
    put(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(frames, delay_cs, keep):
    """Looping GIF89a, one full-size frame per image, global palette."""
    h, w = len(frames[0]), len(frames[0][0])
    palette, index_of = palette_for(frames, keep)
    bits = max(2, (len(palette) - 1).bit_length())
    table = b"".join(bytes(p) for p in palette) + bytes(3 * ((1 << bits) - len(palette)))
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0x80 | 0x70 | (bits - 1), 0, 0) + table)
    out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", 0) + b"\x00"
    for rows in frames:
        out += b"\x21\xf9\x04" + struct.pack("<BHB", 0x04, delay_cs, 0) + b"\x00"
        out += b"\x2c" + struct.pack("<HHHHB", 0, 0, w, h, 0)
        data = lzw([index_of(px) for row in rows for px in row], bits)
        out.append(bits)
        for i in range(0, len(data), 255):
            chunk = data[i:i + 255]
            out += bytes((len(chunk),)) + chunk
        out.append(0)
    return bytes(out + b"\x3b")


# --- the library ---------------------------------------------------------------


def caption_buttons():
    close = button_states(CAPTION_BUTTON, LOGIN_BAND, cross(4), (226, 52, 48), (160, 24, 24), 4)
    minimise = button_states(CAPTION_BUTTON, LOGIN_BAND, dash(5), (96, 162, 236), (20, 70, 150), 4)
    notice = button_states(NOTICE_CLOSE, NOTICE_BAND, cross(3), (226, 52, 48), (160, 24, 24), 3)
    return close, minimise, notice


def build(outdir):
    close, minimise, notice_close = caption_buttons()
    bitmap = lambda c: bmp_bytes(c.rgb_rows(MAGENTA))
    icon = lambda draw: ico_bytes([draw(16), draw(32)])
    # identifier, resource type, file, contents
    table = [
        (109, "BITMAP", "close_pressed.bmp", bitmap(close[2])),
        (110, "BITMAP", "close_normal.bmp", bitmap(close[0])),
        (111, "BITMAP", "close_hover.bmp", bitmap(close[1])),
        (112, "BITMAP", "minimise_pressed.bmp", bitmap(minimise[2])),
        (113, "BITMAP", "minimise_normal.bmp", bitmap(minimise[0])),
        (114, "BITMAP", "minimise_hover.bmp", bitmap(minimise[1])),
        (117, "BITMAP", "login_background.bmp", bitmap(login_background())),
        (120, "ICON", "tray_offline.ico", icon(icon_offline)),
        (121, "ICON", "tray_normal.ico", icon(icon_normal)),
        (123, "GIF", "wait.gif", gif_bytes(wait_frames(), 8, WAIT_BACKGROUND)),
        (127, "BITMAP", "notice_background.bmp", bitmap(notice_background())),
        (128, "BITMAP", "notice_close_pressed.bmp", bitmap(notice_close[2])),
        (129, "BITMAP", "notice_close_normal.bmp", bitmap(notice_close[0])),
        (130, "BITMAP", "notice_close_hover.bmp", bitmap(notice_close[1])),
        (132, "BITMAP", "notice_picture.bmp", bmp_bytes(notice_picture().rgb_rows())),  # shown as it is: no key
        (133, "ICON", "tray_new_message.ico", icon(icon_new_message)),
    ]
    os.makedirs(outdir, exist_ok=True)
    lines = ["// Generated by draw_resources.py.\n"]
    for ident, kind, name, data in table:
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)
        lines.append(f'{ident} {kind} "{name}"\n')
    with open(os.path.join(outdir, "res.rc"), "w", encoding="utf-8") as f:
        f.writelines(lines)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: draw_resources.py OUTDIR")
    build(sys.argv[1])
