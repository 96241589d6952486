#!/usr/bin/env python3
"""Draws the images of the default skin theme and copies theme.ini beside them.

Usage: draw_theme.py OUTDIR

Only the standard library. Edges that meet the transparent colour are hard
(no smoothing), since a blended edge pixel would show as a pink fringe.
Every image is a 24-bit BMP.
"""
import os
import shutil
import struct
import sys

KEY = (255, 0, 255)  # TransColor of theme.ini and the push buttons' fixed key

# Band thicknesses (half of each band image) and the fixed parts; they must
# agree with theme.ini.
T, L, R, B = 30, 6, 6, 6
TOP_W, SIDE_H, BOTTOM_W = 200, 60, 100
CORNER = 6  # radius of the rounded upper corners, cut out with the key colour

ACTIVE_TOP, ACTIVE_BOTTOM = (70, 140, 222), (28, 92, 178)
INACTIVE_TOP, INACTIVE_BOTTOM = (170, 184, 204), (132, 148, 172)
ACTIVE_EDGE, INACTIVE_EDGE = (24, 70, 140), (110, 122, 142)
ACTIVE_BODY, INACTIVE_BODY = (52, 112, 196), (150, 164, 186)
HIGHLIGHT = (255, 255, 255)

CAPTION_BUTTON = (22, 18)  # one state image; four states side by side
PUSH_BUTTON = (32, 24)  # one state image; five states side by side


class Image:
    def __init__(self, w, h, fill=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0 + 1, c)
        self.rect(x0, y1 - 1, x1, y1, c)
        self.rect(x0, y0, x0 + 1, y1, c)
        self.rect(x1 - 1, y0, x1, y1, c)

    def vgradient(self, x0, y0, x1, y1, top, bottom):
        n = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            self.rect(x0, y, x1, y + 1, mix(top, bottom, (y - y0) / n))

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.rect(x, y, x + width, y + width, c)

    def blit(self, other, dx, dy):
        for y in range(other.h):
            for x in range(other.w):
                self.put(dx + x, dy + y, other.px[y][x])

    def save(self, path):
        stride = (self.w * 3 + 3) & ~3
        rows = bytearray()
        for row in reversed(self.px):  # bottom-up
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            rows += line + bytes(stride - len(line))
        header = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
        with open(path, 'wb') as f:
            f.write(header + info + rows)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def outline_cut(img, x0, x1, edge):
    """Gives the pixels next to a cut-out corner an outline."""
    for y in range(CORNER + 1):
        for x in range(x0, x1):
            if img.px[y][x] == KEY:
                continue
            around = [(x - 1, y), (x + 1, y), (x, y - 1)]
            if any(x0 <= ax < x1 and ay >= 0 and img.px[ay][ax] == KEY for ax, ay in around):
                img.put(x, y, edge)


def round_corner(img, x0, y0, left, c=KEY):
    """Cuts a quarter circle of radius CORNER out of the corner at (x0, y0)."""
    for dy in range(CORNER):
        for dx in range(CORNER):
            cx, cy = CORNER - dx - 0.5, CORNER - dy - 0.5
            if cx * cx + cy * cy > CORNER * CORNER:
                img.put(x0 + dx if left else x0 - 1 - dx, y0 + dy, c)


# --- frame bands ----------------------------------------------------------------


def caption_look(active):
    return (ACTIVE_TOP, ACTIVE_BOTTOM) if active else (INACTIVE_TOP, INACTIVE_BOTTOM)


def draw_top():
    """Upper half active, lower half inactive; the middle tiles seamlessly."""
    img = Image(TOP_W, 2 * T)
    for half, active in ((0, True), (1, False)):
        y0 = half * T
        top, bottom = caption_look(active)
        img.vgradient(0, y0, TOP_W, y0 + T, top, bottom)
        img.rect(0, y0, TOP_W, y0 + 1, ACTIVE_EDGE if active else INACTIVE_EDGE)
        img.rect(0, y0 + 1, TOP_W, y0 + 2, mix(top, HIGHLIGHT, 0.5))
        img.rect(0, y0 + T - 1, TOP_W, y0 + T, ACTIVE_EDGE if active else INACTIVE_EDGE)
        # A lighter sheen behind the caption buttons (the fixed far part).
        sheen = mix(top, HIGHLIGHT, 0.15)
        img.vgradient(TOP_W - 84, y0 + 2, TOP_W - 1, y0 + T - 1, sheen, bottom)
    return img


def draw_side(left):
    """Two looks side by side; rounded upper corner, caption-coloured top rows."""
    img = Image(2 * L, SIDE_H)
    for half, active in ((0, True), (1, False)):
        x0 = half * L
        top, bottom = caption_look(active)
        edge = ACTIVE_EDGE if active else INACTIVE_EDGE
        body = ACTIVE_BODY if active else INACTIVE_BODY
        img.vgradient(x0, 0, x0 + L, T, top, bottom)
        img.rect(x0, 1, x0 + L, 2, mix(top, HIGHLIGHT, 0.5))
        img.rect(x0, T, x0 + L, SIDE_H, body)
        img.rect(x0, SIDE_H - 1, x0 + L, SIDE_H, edge)
        outer = x0 if left else x0 + L - 1
        img.rect(outer, 0, outer + 1, SIDE_H, edge)
        img.rect(x0, 0, x0 + L, 1, edge)
        inner = x0 + L - 1 if left else x0
        img.rect(inner, T, inner + 1, SIDE_H - B, edge)
        round_corner(img, x0 if left else x0 + L, 0, left)
        outline_cut(img, x0, x0 + L, edge)
    return img


def draw_bottom():
    img = Image(BOTTOM_W, 2 * B)
    for half, active in ((0, True), (1, False)):
        y0 = half * B
        edge = ACTIVE_EDGE if active else INACTIVE_EDGE
        body = ACTIVE_BODY if active else INACTIVE_BODY
        img.rect(0, y0, BOTTOM_W, y0 + B, body)
        img.rect(0, y0, BOTTOM_W, y0 + 1, edge)
        img.rect(0, y0 + B - 1, BOTTOM_W, y0 + B, edge)
    return img


# --- caption buttons --------------------------------------------------------------


def caption_button(glyph, danger=False):
    """Four states: normal, pressed, hover, disabled."""
    w, h = CAPTION_BUTTON
    img = Image(4 * w, h, KEY)
    looks = [
        (None, HIGHLIGHT),
        ((150, 30, 30) if danger else (20, 60, 130), HIGHLIGHT),
        ((220, 70, 60) if danger else (110, 170, 240), HIGHLIGHT),
        (None, (150, 170, 200)),
    ]
    for i, (face, ink) in enumerate(looks):
        x0 = i * w
        if face:
            img.rect(x0 + 1, 0, x0 + w - 1, h, face)
            img.rect(x0, 1, x0 + w, h - 1, face)
            img.frame(x0 + 1, 1, x0 + w - 1, h - 1, mix(face, HIGHLIGHT, 0.35))
        glyph(img, x0, ink)
    return img


def glyph_close(img, x0, ink):
    img.line(x0 + 7, 5, x0 + 14, 12, ink, 2)
    img.line(x0 + 14, 5, x0 + 7, 12, ink, 2)


def glyph_min(img, x0, ink):
    img.rect(x0 + 6, 11, x0 + 16, 13, ink)


def glyph_max(img, x0, ink):
    img.frame(x0 + 6, 4, x0 + 16, 14, ink)
    img.rect(x0 + 6, 5, x0 + 16, 6, ink)


def glyph_restore(img, x0, ink):
    img.frame(x0 + 8, 3, x0 + 16, 10, ink)
    face = img.px[0][x0 + 1]  # the state's face, or the key: hides the back window's lines
    img.rect(x0 + 6, 8, x0 + 12, 13, face)
    img.frame(x0 + 5, 7, x0 + 13, 14, ink)
    img.rect(x0 + 5, 8, x0 + 13, 9, ink)


# --- client tile and push button ----------------------------------------------------


def draw_dialog_tile():
    img = Image(32, 32, (236, 242, 250))
    for y in range(32):
        for x in range(32):
            if (x + y) % 16 == 0:
                img.put(x, y, (228, 236, 247))
    return img


def draw_push_button():
    """Five states: normal, hover, pressed, focused, disabled; rounded corners."""
    w, h = PUSH_BUTTON
    looks = [
        ((250, 252, 255), (206, 222, 242), (96, 128, 176)),
        ((255, 250, 236), (250, 214, 150), (210, 140, 40)),
        ((180, 204, 236), (226, 236, 250), (60, 96, 156)),
        ((250, 252, 255), (206, 222, 242), (30, 90, 200)),
        ((238, 238, 238), (222, 222, 222), (170, 170, 170)),
    ]
    img = Image(5 * w, h, KEY)
    for i, (top, bottom, edge) in enumerate(looks):
        x0 = i * w
        img.vgradient(x0, 0, x0 + w, h, top, bottom)
        img.frame(x0, 0, x0 + w, h, edge)
        if i == 3:
            img.frame(x0 + 1, 1, x0 + w - 1, h - 1, mix(edge, HIGHLIGHT, 0.5))
        for cx, cy in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
            img.put(x0 + cx, cy, KEY)
        for cx, cy in ((1, 1), (w - 2, 1), (1, h - 2), (w - 2, h - 2)):
            img.put(x0 + cx, cy, edge)
    return img


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    images = {
        'top.bmp': draw_top(),
        'left.bmp': draw_side(True),
        'right.bmp': draw_side(False),
        'bottom.bmp': draw_bottom(),
        'close.bmp': caption_button(glyph_close, danger=True),
        'min.bmp': caption_button(glyph_min),
        'max.bmp': caption_button(glyph_max),
        'restore.bmp': caption_button(glyph_restore),
        'dialog.bmp': draw_dialog_tile(),
        'button.bmp': draw_push_button(),
    }
    for name, img in images.items():
        img.save(os.path.join(out, name))
    shutil.copyfile(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'theme.ini'),
                    os.path.join(out, 'theme.ini'))


if __name__ == '__main__':
    main()
