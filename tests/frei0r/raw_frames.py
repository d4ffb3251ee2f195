#!/usr/bin/env python3
"""Raw frame conversions for the ffmpeg test of the frei0r plug-in.

to-host W H IN.bgra OUT.bgr24
    top-down BGRA frames -> bottom-up BGR24 host images, both sides padded to
    multiples of 16: the last column repeated, rows below the picture taken
    from the last picture row of their own parity.
from-host W H HOST.bgr24 ALPHA.bgra OUT.bgra
    bottom-up padded BGR24 -> top-down BGRA of W x H, alpha from ALPHA.bgra.
"""
import sys


def padded(v):
    return (v + 15) // 16 * 16


def source_row(r, h):
    if r < h:
        return r
    return h - 1 if ((r - (h - 1)) % 2 == 0 or h < 2) else h - 2


def frames(data, size):
    if len(data) % size:
        sys.exit("raw_frames: %d bytes are not whole frames of %d" % (len(data), size))
    return [data[i:i + size] for i in range(0, len(data), size)]


def to_host(w, h, src, dst):
    pw, ph = padded(w), padded(h)
    out = bytearray()
    for frame in frames(open(src, "rb").read(), 4 * w * h):
        image = [None] * ph
        for r in range(ph):
            row = frame[4 * w * source_row(r, h):4 * w * (source_row(r, h) + 1)]
            bgr = bytearray()
            for x in range(pw):
                px = 4 * min(x, w - 1)
                bgr += row[px:px + 3]
            image[ph - 1 - r] = bgr
        for row in image:
            out += row
    open(dst, "wb").write(out)


def from_host(w, h, src, alpha, dst):
    pw, ph = padded(w), padded(h)
    hosts = frames(open(src, "rb").read(), 3 * pw * ph)
    alphas = frames(open(alpha, "rb").read(), 4 * w * h)
    if len(hosts) != len(alphas):
        sys.exit("raw_frames: %d host images for %d frames" % (len(hosts), len(alphas)))
    out = bytearray()
    for image, frame in zip(hosts, alphas):
        for r in range(h):
            row = image[3 * pw * (ph - 1 - r):]
            for x in range(w):
                out += row[3 * x:3 * x + 3]
                out.append(frame[4 * (r * w + x) + 3])
    open(dst, "wb").write(out)


def main(argv):
    if len(argv) == 6 and argv[1] == "to-host":
        to_host(int(argv[2]), int(argv[3]), argv[4], argv[5])
    elif len(argv) == 7 and argv[1] == "from-host":
        from_host(int(argv[2]), int(argv[3]), argv[4], argv[5], argv[6])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
