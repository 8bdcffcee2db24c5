#!/usr/bin/env python3
"""Turns a 24-bit uncompressed BMP (as the dialog test writes it) into a PNG.

    bmp_to_png.py IN.bmp OUT.png

Standard library only: a PNG is a signature and three chunks, the pixels
deflated by zlib.
"""
import struct
import sys
import zlib
from pathlib import Path


def read_bmp(data: bytes):
    if data[:2] != b"BM":
        raise ValueError("not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise ValueError(f"only 24-bit uncompressed BMP files (this one: {bits} bits, compression {compression})")
    bottom_up = height > 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + y * stride
        bgr = data[start:start + width * 3]
        if len(bgr) != width * 3:
            raise ValueError("the BMP file is cut short")
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    if bottom_up:
        rows.reverse()
    return width, height, rows


def chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def write_png(path: Path, width: int, height: int, rows) -> None:
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB
    pixels = zlib.compress(b"".join(b"\x00" + row for row in rows), 9)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    source, target = Path(sys.argv[1]), Path(sys.argv[2])
    if not source.is_file():
        print(f"no screenshot at {source}: the dialog test did not take one", file=sys.stderr)
        return 1
    width, height, rows = read_bmp(source.read_bytes())
    write_png(target, width, height, rows)
    print(f"screenshot of the settings dialog: {target} ({width}x{height})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
