#!/usr/bin/env python3
"""Draws every picture of the language module: the window icon, the loading animation, the
button bitmaps and the option tree's check-box images.

Usage: draw_images.py OUTPUT_FOLDER

Only the standard library is used, so the build needs nothing but Python 3. The BMP, ICO and
GIF writers below are complete for what we produce (24-bit BMP, 32-bit ICO with AND mask,
GIF89a with a global colour table and LZW-packed frames). Output is a pure function of this
file: no clocks, no randomness, so a rebuild gives the same bytes.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Colours and a small RGB canvas with anti-aliased shapes (coverage from 4 x 4 supersampling)
# ---------------------------------------------------------------------------------------------

PAGE_BACKGROUND = (0xFD, 0xFD, 0xFD)   # what the pages paint behind their controls
WINDOW_FACE = (0xF0, 0xF0, 0xF0)       # the update window's own face colour behind the close button
MASK = (0xFF, 0x00, 0xFF)               # transparent colour of the tree's state images

SAMPLES = 4


def hex_colour(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


def mix(a, b, t):
    """a when t = 0, b when t = 1."""
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    def __init__(self, width, height, colour):
        self.width = width
        self.height = height
        self.pixels = [[colour for _ in range(width)] for _ in range(height)]

    def get(self, x, y):
        return self.pixels[y][x]

    def put(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            self.pixels[y][x] = colour if alpha >= 1 else mix(self.pixels[y][x], colour, alpha)

    def paint(self, inside, colour_at, x0=0, y0=0, x1=None, y1=None, hard=False):
        """Paints every pixel by the share of its sub-samples for which inside(x, y) holds;
        colour_at(x, y) gives the colour there. hard: all or nothing (for masked images)."""
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        for py in range(max(0, y0), min(self.height, y1)):
            for px in range(max(0, x0), min(self.width, x1)):
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        if inside(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES):
                            hits += 1
                if hits:
                    cover = hits / (SAMPLES * SAMPLES)
                    if hard:
                        cover = 1.0 if cover >= 0.5 else 0.0
                    self.put(px, py, colour_at(px + 0.5, py + 0.5), cover)


def rounded_rect(left, top, right, bottom, radius):
    """Inside test of a rectangle with rounded corners (right and bottom exclusive)."""
    def inside(x, y):
        if x < left or x > right or y < top or y > bottom:
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def segment(ax, ay, bx, by, half_width):
    """Inside test of a capsule: all points within half_width of the segment a-b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        qx, qy = ax + t * dx - x, ay + t * dy - y
        return qx * qx + qy * qy <= half_width * half_width
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def vertical_gradient(top_colour, bottom_colour, top, bottom):
    def colour_at(x, y):
        t = (y - top) / max(1.0, bottom - top)
        return mix(top_colour, bottom_colour, min(1.0, max(0.0, t)))
    return colour_at


def solid(colour):
    return lambda x, y: colour


# ---------------------------------------------------------------------------------------------
# A tiny bitmap font for the button captions: 7 pixel capitals, 2 pixel descenders
# ---------------------------------------------------------------------------------------------

GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "g": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "h": ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "i": [".#.", "...", "##.", ".#.", ".#.", ".#.", "###"],
    "l": ["##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"],
    "x": [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    " ": ["..", "..", "..", "..", "..", "..", ".."],
}
CAP_HEIGHT = 7


def text_width(text):
    # Bold doubles every column one pixel to the right; one pixel of space between letters.
    return sum(len(GLYPHS[c][0]) + 1 for c in text) + len(text) - 1


def draw_text(canvas, text, left, top, colour):
    x = left
    for c in text:
        if c not in GLYPHS:
            raise ValueError("no glyph for %r" % c)
        rows = GLYPHS[c]
        for row, line in enumerate(rows):
            for col, bit in enumerate(line):
                if bit == "#":
                    canvas.put(x + col, top + row, colour)
                    canvas.put(x + col + 1, top + row, colour)
        x += len(rows[0]) + 2


# ---------------------------------------------------------------------------------------------
# File writers
# ---------------------------------------------------------------------------------------------

def bmp_bytes(canvas):
    """A 24-bit bottom-up Windows bitmap."""
    stride = (canvas.width * 3 + 3) & ~3
    rows = []
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.width):
            r, g, b = canvas.get(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    image = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(image),
                       2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(image), 0, 0, 14 + len(info))
    return header + info + image


def ico_bytes(images):
    """An icon file of 32-bit images; images: list of (size, rows of (r, g, b, a))."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rgba in images:
        pixels = bytearray()
        for y in range(size - 1, -1, -1):
            for r, g, b, a in rgba[y]:
                pixels += bytes((b, g, r, a))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_stride)
            for x in range(size):
                if rgba[y][x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                           0, 0, 0, 0)
        blob = info + bytes(pixels) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                                   offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def lzw_compress(indices, min_code_size):
    """GIF flavour of LZW: variable code width from min_code_size + 1 up to 12 bits, codes packed
    least significant bit first, a clear code first and whenever the table is full."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bit_buffer, bit_count = 0, 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    width = min_code_size + 1
    table, next_code = {}, end + 1
    emit(clear, width)
    prefix = indices[0]
    for k in indices[1:]:
        key = (prefix, k)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix, width)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table, next_code, width = {}, end + 1, min_code_size + 1
        prefix = k
    emit(prefix, width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    return bytes(out)


def sub_blocks(data):
    chunks = [data[i:i + 255] for i in range(0, len(data), 255)]
    return b"".join(bytes((len(c),)) + c for c in chunks) + b"\0"


def gif_bytes(width, height, palette, frames, delay, loop=True):
    """An animated GIF89a; palette: list of (r, g, b), a power of two long (>= 4); frames: lists of
    palette indices, row by row; delay in hundredths of a second."""
    bits = max(2, (len(palette) - 1).bit_length())
    assert len(palette) == 1 << bits
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0)
    for colour in palette:
        out += bytes(colour)
    if loop:
        out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"
    for indices in frames:
        # Disposal 1 (leave in place): every frame paints the whole picture.
        out += b"\x21\xF9\x04" + struct.pack("<BHB", 1 << 2, delay, 0) + b"\0"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        out.append(bits)
        out += sub_blocks(lzw_compress(indices, bits))
    out.append(0x3B)
    return bytes(out)


# ---------------------------------------------------------------------------------------------
# The pictures
# ---------------------------------------------------------------------------------------------

BLUE_STATES = {
    # state: (gradient top, gradient bottom, border, caption, caption offset)
    "normal": (0x4C9CE9, 0x2B73C8, 0x1F5EA8, 0xFFFFFF, 0),
    "hover": (0x68B2F4, 0x3886DB, 0x2468B5, 0xFFFFFF, 0),
    "pressed": (0x2363AE, 0x2E78CB, 0x1A4F8E, 0xFFFFFF, 1),
    "disabled": (0xE6E6E6, 0xD2D2D2, 0xB9B9B9, 0x9C9C9C, 0),
}


def caption_button(caption, width, height, state):
    top_value, bottom_value, border_value, text_value, shift = BLUE_STATES[state]
    top, bottom = hex_colour(top_value), hex_colour(bottom_value)
    border, text = hex_colour(border_value), hex_colour(text_value)
    c = Canvas(width, height, PAGE_BACKGROUND)
    c.paint(rounded_rect(0, 0, width, height, 4), solid(border))
    c.paint(rounded_rect(1, 1, width - 1, height - 1, 3), vertical_gradient(top, bottom, 1, height - 1))
    if state != "pressed":
        # A faint light line under the top edge gives the face some depth.
        highlight = mix(top, (255, 255, 255), 0.35)
        for x in range(3, width - 3):
            c.put(x, 1, highlight, 0.8)
    tw = text_width(caption)
    tx = (width - tw) // 2 + shift
    ty = (height - CAP_HEIGHT) // 2 + shift
    if state != "disabled":
        draw_text(c, caption, tx, ty + 1, mix(bottom, (0, 0, 0), 0.35))   # soft shadow
    draw_text(c, caption, tx, ty, text)
    return c


CLOSE_STATES = {
    # state: (face, cross)
    "normal": (WINDOW_FACE, (0x5A, 0x5A, 0x5A)),
    "hover": ((0xE0, 0x43, 0x43), (0xFF, 0xFF, 0xFF)),
    "pressed": ((0xA8, 0x2A, 0x2A), (0xFF, 0xFF, 0xFF)),
    "disabled": (WINDOW_FACE, (0xBE, 0xBE, 0xBE)),
}


def close_button(state, size=20):
    face, cross = CLOSE_STATES[state]
    c = Canvas(size, size, WINDOW_FACE)
    c.paint(rounded_rect(0, 0, size, size, 3), solid(face))
    a, b = 6.0, size - 6.0
    c.paint(segment(a, a, b, b, 0.85), solid(cross))
    c.paint(segment(a, b, b, a, 0.85), solid(cross))
    return c


def tree_states():
    """Six 13 x 13 images side by side: 0 blank, 1 unchecked, 2 checked, 3 unchecked and
    4 checked greyed (spare), 5 the header item's mark."""
    size, count = 13, 6
    c = Canvas(size * count, size, MASK)

    def box(index, border, face_top, face_bottom, tick):
        x0 = index * size
        for y in range(size):
            for x in range(size):
                edge = x in (0, size - 1) or y in (0, size - 1)
                colour = border if edge else mix(face_top, face_bottom, (y - 1) / (size - 3))
                c.put(x0 + x, y, colour)
        if tick:
            c.paint(segment(x0 + 3.2, 6.6, x0 + 5.4, 8.9, 0.95), solid(tick), x0 + 1, 1, x0 + 12, 12)
            c.paint(segment(x0 + 5.4, 8.9, x0 + 9.8, 3.8, 0.95), solid(tick), x0 + 1, 1, x0 + 12, 12)

    white, light = (0xFF, 0xFF, 0xFF), (0xEE, 0xF2, 0xF7)
    box(1, (0x70, 0x7A, 0x86), light, white, None)
    box(2, (0x70, 0x7A, 0x86), light, white, (0x1F, 0x5E, 0xA8))
    box(3, (0xB4, 0xB4, 0xB4), (0xF0, 0xF0, 0xF0), (0xF0, 0xF0, 0xF0), None)
    box(4, (0xB4, 0xB4, 0xB4), (0xF0, 0xF0, 0xF0), (0xF0, 0xF0, 0xF0), (0xA0, 0xA0, 0xA0))
    # Header: a blue disc with a white downward arrow; hard edges so no pink fringe appears when
    # the magenta is masked out.
    x0 = 5 * size
    c.paint(lambda x, y: (x - x0 - 6.5) ** 2 + (y - 6.5) ** 2 <= 6.3 ** 2,
            vertical_gradient(hex_colour(0x4C9CE9), hex_colour(0x1F5EA8), 0, 13),
            x0, 0, x0 + size, size, hard=True)
    arrow = polygon([(x0 + 5.5, 2.5), (x0 + 7.5, 2.5), (x0 + 7.5, 6.5), (x0 + 9.8, 6.5),
                     (x0 + 6.5, 10.3), (x0 + 3.2, 6.5), (x0 + 5.5, 6.5)])
    c.paint(arrow, solid((0xFF, 0xFF, 0xFF)), x0, 0, x0 + size, size)
    return c


def icon_image(size):
    """The window icon: a blue disc with a white arrow pointing down onto a tray line."""
    s = size / 32.0
    rgba = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]
    top, bottom = hex_colour(0x5AA8F0), hex_colour(0x1B55A0)
    arrow = polygon([(13 * s, 6 * s), (19 * s, 6 * s), (19 * s, 15 * s), (24 * s, 15 * s),
                     (16 * s, 23 * s), (8 * s, 15 * s), (13 * s, 15 * s)])
    tray = rounded_rect(8 * s, 24.5 * s, 24 * s, 27.5 * s, 1.2 * s)
    centre, radius = size / 2.0, size / 2.0 - 0.6
    for py in range(size):
        for px in range(size):
            disc = white = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x, y = px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES
                    if (x - centre) ** 2 + (y - centre) ** 2 <= radius * radius:
                        disc += 1
                        if arrow(x, y) or tray(x, y):
                            white += 1
            if disc:
                base = mix(top, bottom, py / (size - 1))
                colour = mix(base, (255, 255, 255), white / disc)
                alpha = int(round(255 * disc / (SAMPLES * SAMPLES)))
                rgba[py][px] = colour + (alpha,)
    return size, rgba


def badge_image(kind, size=32):
    """Page badges: "warning" an amber triangle with an exclamation mark, "current" a green disc
    with a tick."""
    rgba = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]
    s = size / 32.0
    if kind == "warning":
        outline = polygon([(16 * s, 2.5 * s), (30.5 * s, 28.5 * s), (1.5 * s, 28.5 * s)])
        top, bottom = hex_colour(0xFFC940), hex_colour(0xE89A0C)
        marks = [segment(16 * s, 10 * s, 16 * s, 18.5 * s, 1.7 * s),
                 lambda x, y: (x - 16 * s) ** 2 + (y - 23.5 * s) ** 2 <= (1.9 * s) ** 2]
        mark_colour = (0x40, 0x30, 0x10)
    else:
        centre, radius = size / 2.0, size / 2.0 - 0.6
        outline = lambda x, y: (x - centre) ** 2 + (y - centre) ** 2 <= radius * radius
        top, bottom = hex_colour(0x5CC46A), hex_colour(0x2E8B3E)
        marks = [segment(9 * s, 16.5 * s, 14 * s, 21.5 * s, 1.9 * s),
                 segment(14 * s, 21.5 * s, 23.5 * s, 11 * s, 1.9 * s)]
        mark_colour = (0xFF, 0xFF, 0xFF)
    for py in range(size):
        for px in range(size):
            inside = mark = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x, y = px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES
                    if outline(x, y):
                        inside += 1
                        if any(m(x, y) for m in marks):
                            mark += 1
            if inside:
                base = mix(top, bottom, py / (size - 1))
                colour = mix(base, mark_colour, mark / inside)
                rgba[py][px] = colour + (int(round(255 * inside / (SAMPLES * SAMPLES))),)
    return size, rgba


def spinner_frames(size=32, spokes=12, levels=16):
    """A ring of spokes whose brightest spoke moves one step clockwise per frame; the palette is
    a ramp from the page background to the spinner's blue."""
    palette = [mix(PAGE_BACKGROUND, hex_colour(0x2B73C8), i / (levels - 1)) for i in range(levels)]
    centre = size / 2.0
    inner, outer, half = size * 0.22, size * 0.44, size * 0.055
    shapes = []
    for i in range(spokes):
        angle = 2 * math.pi * i / spokes - math.pi / 2
        ca, sa = math.cos(angle), math.sin(angle)
        shapes.append(segment(centre + inner * ca, centre + inner * sa,
                              centre + outer * ca, centre + outer * sa, half))
    # Coverage of each spoke per pixel is the same in every frame: work it out once.
    coverage = []
    for py in range(size):
        for px in range(size):
            per_spoke = []
            for i, inside in enumerate(shapes):
                hits = sum(1 for sy in range(SAMPLES) for sx in range(SAMPLES)
                           if inside(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES))
                if hits:
                    per_spoke.append((i, hits / (SAMPLES * SAMPLES)))
            coverage.append(per_spoke)
    frames = []
    for f in range(spokes):
        indices = []
        for per_spoke in coverage:
            value = 0.0
            for i, cover in per_spoke:
                age = (f - i) % spokes              # 0: the head, then the fading tail
                strength = max(0.18, 1.0 - age / (spokes * 0.75))
                value = max(value, cover * strength)
            indices.append(int(round(value * (levels - 1))))
        frames.append(indices)
    return size, palette, frames


BUTTONS = [
    # file stem, caption, width, states
    ("desc_next", "Next", 100, ("normal", "pressed", "hover")),
    ("option_next", "Next", 100, ("normal", "pressed", "hover")),
    ("current_close", "Close", 100, ("normal", "pressed", "hover")),
    ("error_close", "Close", 100, ("normal", "pressed", "hover")),
    ("license_agree", "I Agree", 100, ("normal", "pressed", "hover", "disabled")),
    ("complete_finish", "Finish", 100, ("normal", "pressed", "hover")),
]
BUTTON_HEIGHT = 30


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: draw_images.py OUTPUT_FOLDER\n")
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)

    def write(name, data):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)

    for stem, caption, width, states in BUTTONS:
        for state in states:
            write("%s_%s.bmp" % (stem, state), bmp_bytes(caption_button(caption, width, BUTTON_HEIGHT, state)))
    for state in CLOSE_STATES:
        write("close_%s.bmp" % state, bmp_bytes(close_button(state)))
    write("tree_states.bmp", bmp_bytes(tree_states()))
    write("window.ico", ico_bytes([icon_image(16), icon_image(32)]))
    write("warning.ico", ico_bytes([badge_image("warning")]))
    write("current.ico", ico_bytes([badge_image("current")]))
    size, palette, frames = spinner_frames()
    write("loading.gif", gif_bytes(size, size, palette, frames, delay=8))
    return 0


if __name__ == "__main__":
    sys.exit(main())
