#!/usr/bin/env python3
"""Writes resources/filestream.ico, the icon of every stream entry.

The picture is drawn here once per size, pixel by pixel, so that both sizes
stay crisp: a light-grey page with its top-left corner folded over and three
rows of black 0 and 1 digits. Change a picture below and run this script; the
build takes the .ico into both DLLs as the icon resource "FILESTREAM".

    python3 tools/make_icon.py            writes resources/filestream.ico
    python3 tools/make_icon.py --check    fails when that file is not what
                                          the pictures below give

Format: an ICO file with one 24-bit image per size, each a BITMAPINFOHEADER,
the colour rows and a 1-bit transparency (AND) mask, both bottom-up, every row
padded to four bytes. Only the standard library is used.
"""
import os
import struct
import sys

# One letter per pixel. '.' is transparent; every other letter is a colour.
COLOURS = {
    'o': (0x50, 0x50, 0x50),  # outline of the page and of the fold
    'g': (0xDC, 0xDC, 0xDC),  # the page, light grey
    'f': (0xB0, 0xB0, 0xB0),  # the back of the folded-over corner
    'k': (0x00, 0x00, 0x00),  # the digits
}

PICTURES = {
    16: [
        "......oooooooo..",
        ".....ooggggggo..",
        "....ofoggggggo..",
        "...offogkgkkko..",
        "..ooooogkgkgko..",
        "..ogggggkgkkko..",
        "..oggggggggggo..",
        "..ogkkkgkgkkko..",
        "..ogkgkgkgkgko..",
        "..ogkkkgkgkkko..",
        "..oggggggggggo..",
        "..oggkggkgkkko..",
        "..oggkggkgkgko..",
        "..oggkggkgkkko..",
        "..oggggggggggo..",
        "..oooooooooooo..",
    ],
    32: [
        "............oooooooooooooooo....",
        "...........ooggggggggggggggo....",
        "..........ofoggggggggggggggo....",
        ".........offogggkgggggkkkggo....",
        "........offfoggkkggggkgggkgo....",
        ".......offffogggkggggkgggkgo....",
        "......offfffogggkggggkgggkgo....",
        ".....offffffogggkggggkgggkgo....",
        "....ooooooooogggkggggkgggkgo....",
        "....oggggggggggkkkggggkkkggo....",
        "....oggggggggggggggggggggggo....",
        "....oggggggggggggggggggggggo....",
        "....ogggkkkgggggkgggggkkkggo....",
        "....oggkgggkgggkkggggkgggkgo....",
        "....oggkgggkggggkggggkgggkgo....",
        "....oggkgggkggggkggggkgggkgo....",
        "....oggkgggkggggkggggkgggkgo....",
        "....oggkgggkggggkggggkgggkgo....",
        "....ogggkkkggggkkkggggkkkggo....",
        "....oggggggggggggggggggggggo....",
        "....oggggggggggggggggggggggo....",
        "....oggggkggggggkgggggkkkggo....",
        "....ogggkkgggggkkggggkgggkgo....",
        "....oggggkggggggkggggkgggkgo....",
        "....oggggkggggggkggggkgggkgo....",
        "....oggggkggggggkggggkgggkgo....",
        "....oggggkggggggkggggkgggkgo....",
        "....ogggkkkggggkkkggggkkkggo....",
        "....oggggggggggggggggggggggo....",
        "....oggggggggggggggggggggggo....",
        "....oggggggggggggggggggggggo....",
        "....oooooooooooooooooooooooo....",
    ],
}

BITS_PER_PIXEL = 24


def padded(row):
    return row + b'\0' * (-len(row) % 4)


def image(edge, rows):
    if len(rows) != edge or any(len(r) != edge for r in rows):
        raise SystemExit("the %dx%d picture is not %d rows of %d pixels" % (edge, edge, edge, edge))
    colour = b''
    mask = b''
    for row in reversed(rows):  # bottom-up
        line = b''
        bits = 0
        mask_line = bytearray((edge + 7) // 8)
        for x, c in enumerate(row):
            if c == '.':
                line += b'\0\0\0'  # black under a set mask bit leaves the screen as it is
                mask_line[x // 8] |= 0x80 >> (x % 8)
            elif c in COLOURS:
                r, g, b = COLOURS[c]
                line += bytes((b, g, r))
            else:
                raise SystemExit("unknown colour letter %r in the %dx%d picture" % (c, edge, edge))
        colour += padded(line)
        mask += padded(bytes(mask_line))
    header = struct.pack('<IiiHHIIiiII', 40, edge, 2 * edge, 1, BITS_PER_PIXEL, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def icon_file():
    edges = sorted(PICTURES)
    images = [image(e, PICTURES[e]) for e in edges]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for edge, data in zip(edges, images):
        out += struct.pack('<BBBBHHII', edge, edge, 0, 0, 1, BITS_PER_PIXEL, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    check = '--check' in argv
    paths = [a for a in argv if a != '--check']
    path = paths[0] if paths else os.path.join(root, 'resources', 'filestream.ico')
    data = icon_file()
    if check:
        with open(path, 'rb') as f:
            if f.read() != data:
                print("FAIL: %s is not what tools/make_icon.py draws; run it and commit the result" % path)
                return 1
        print("ok: %s matches its pictures" % path)
        return 0
    with open(path, 'wb') as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (path, len(data)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
