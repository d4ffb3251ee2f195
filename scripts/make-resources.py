#!/usr/bin/env python3
"""Draws the module's icon (group 107) and maker bitmap (400) into src/ui/res/.

Standard library only. The output is deterministic; the generated files are
committed, so the build does not need Python.
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
OUT = os.path.join(ROOT, "src", "ui", "res")

# 256-colour palette: the 16 VGA colours, then a 6x6x6 colour cube, then greys.
def palette256():
    vga = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 256, 10)][: 256 - 16 - 216]
    pal = vga + cube + greys
    return pal + [(0, 0, 0)] * (256 - len(pal))


def nearest(pal, rgb):
    return min(range(len(pal)), key=lambda i: sum((a - b) ** 2 for a, b in zip(pal[i], rgb)))


def icon_pixels(size):
    """A film frame: combed (interlaced) rows on the left, smooth on the right."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            border = x < 2 or y < 2 or x >= size - 2 or y >= size - 2
            if border:
                # Sprocket holes on the top and bottom edges.
                hole = (y < 2 or y >= size - 2) and (x // 2) % 2 == 1
                row.append((255, 255, 255) if hole else (32, 32, 32))
                continue
            t = (y - 2) / max(1, size - 5)
            sky = (int(40 + 100 * t), int(90 + 120 * t), int(200 - 60 * t))
            if x < size // 2 and y % 2 == 1:
                # The other field, shifted: the comb that the filter removes.
                sky = (230, 120, 40)
            row.append(sky)
        rows.append(row)
    return rows


def icon_image(size, pal):
    px = icon_pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    body = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    stride = (size + 3) & ~3
    for y in reversed(range(size)):  # bottom-up
        line = bytes(nearest(pal, c) for c in px[y])
        body += line + b"\0" * (stride - size)
    mask_stride = ((size + 31) // 32) * 4
    body += b"\0" * (mask_stride * size)  # fully opaque
    return header + body


def write_ico(path):
    pal = palette256()
    images = [icon_image(32, pal), icon_image(16, pal)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


FONT = {  # 5x7 capitals
    "W": ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
}


def write_bmp(path):
    width, height = 80, 15
    pal = palette256()[:16]
    navy, white, yellow, grey = 4, 15, 11, 8
    px = [[navy] * width for _ in range(height)]
    text = "WYNDVALE"
    x0 = (width - (len(text) * 6 - 1)) // 2
    for i, ch in enumerate(text):
        for gy, bits in enumerate(FONT[ch]):
            for gx, bit in enumerate(bits):
                if bit == "1":
                    px[3 + gy][x0 + i * 6 + gx] = white
    for x in range(width):
        px[12][x] = yellow if x % 4 < 2 else grey
    stride = ((width * 4 + 31) // 32) * 4
    data = b""
    for y in reversed(range(height)):
        line = bytearray()
        for x in range(0, width, 2):
            line.append((px[y][x] << 4) | px[y][x + 1])
        data += bytes(line) + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    offset = 14 + len(info) + len(colours)
    head = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + colours + data)


def main():
    os.makedirs(OUT, exist_ok=True)
    write_ico(os.path.join(OUT, "wdeinterlace.ico"))
    write_bmp(os.path.join(OUT, "maker.bmp"))


if __name__ == "__main__":
    main()
