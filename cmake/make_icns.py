#!/usr/bin/env python3
"""Packs square PNG images into an .icns file: an icon family whose members are PNG data.

usage: make_icns.py out.icns image.png...   (sides of 16, 32, 64, 128, 256, 512 or 1024)
"""
import struct
import sys

# The icon family's PNG-holding element types, by side in pixels.
TYPES = {16: b"icp4", 32: b"icp5", 64: b"icp6", 128: b"ic07", 256: b"ic08", 512: b"ic09",
         1024: b"ic10"}


def side_of(png):
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        raise ValueError("not a PNG image")
    width, height = struct.unpack(">II", png[16:24])
    if width != height or width not in TYPES:
        raise ValueError(f"a {width}x{height} image has no icon type")
    return width


def main(out, images):
    elements = []
    for path in images:
        with open(path, "rb") as f:
            png = f.read()
        try:
            side = side_of(png)
        except ValueError as error:
            sys.exit(f"{path}: {error}")
        elements.append(TYPES[side] + struct.pack(">I", 8 + len(png)) + png)
    body = b"".join(elements)
    with open(out, "wb") as f:
        f.write(b"icns" + struct.pack(">I", 8 + len(body)) + body)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
