#!/usr/bin/env python3
# Contrast of a text against what lies under it, read from a screenshot: in the given rectangle
# the commonest colour is taken as the ground and the pixel farthest from it in luminance as the
# text (glyph cores reach the full text colour at these sizes). Prints the WCAG ratio.
# Usage: contrast.py PNG X Y W H [crop-out.png SCALE]
import struct
import sys
import zlib


def read_png(path):
    data = open(path, "rb").read()
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour = header[:4]
    if depth != 8 or colour not in (2, 6):
        sys.exit("only 8-bit RGB or RGBA PNGs")
    step = 3 if colour == 2 else 4
    raw, stride, rows, prev = zlib.decompress(b"".join(chunks)), width * step, [], None
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        prev = prev or bytearray(stride)
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b, c = prev[i], prev[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        prev = line
    return rows


def luminance(rgb):
    def linear(v):
        v /= 255
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(v) for v in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


rows = read_png(sys.argv[1])
x, y, w, h = (int(v) for v in sys.argv[2:6])
area = [row[x:x + w] for row in rows[y:y + h]]
counts = {}
for row in area:
    for px in row:
        counts[px] = counts.get(px, 0) + 1
ground = max(counts, key=counts.get)
text = max(counts, key=lambda px: abs(luminance(px) - luminance(ground)))
lo, hi = sorted((luminance(ground), luminance(text)))
print(f"ground {ground} text {text} contrast {(hi + 0.05) / (lo + 0.05):.2f}")
if len(sys.argv) > 7:
    scale = int(sys.argv[7])
    write_png(sys.argv[6], [[px for px in row for _ in range(scale)] for row in area for _ in range(scale)])
