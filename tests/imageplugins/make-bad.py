#!/usr/bin/env python3
"""Bad pictures for the plug-in tests, made from the good ones:
   make-bad.py exif SRC DST ORIENTATION   a JPEG with an EXIF orientation
   make-bad.py bad DIR                    the bad inputs, written into DIR"""
import os
import struct
import sys
import zlib


def read(name):
    with open(name, "rb") as f:
        return bytearray(f.read())


def write(name, data):
    with open(name, "wb") as f:
        f.write(bytes(data))


def exif(src, dst, orientation):
    data = read(src)
    tiff = b"MM\0\x2a" + struct.pack(">I", 8) + struct.pack(">H", 1)
    tiff += struct.pack(">HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack(">I", 0)
    body = b"Exif\0\0" + tiff
    write(dst, data[:2] + b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body + data[2:])


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)


def jpeg_segment(data, marker):
    """Offset of the first segment with this marker byte (after FF)."""
    at = 2
    while at + 4 <= len(data):
        if data[at] != 0xFF:
            raise SystemExit("make-bad: not a segment at %d" % at)
        if data[at + 1] == marker:
            return at
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    raise SystemExit("make-bad: marker %x not found" % marker)


def gif_descriptor(data):
    at = 13
    if data[10] & 0x80:
        at += 3 << ((data[10] & 7) + 1)
    while data[at] == 0x21:
        at += 2
        while data[at]:
            at += data[at] + 1
        at += 1
    if data[at] != 0x2C:
        raise SystemExit("make-bad: no image descriptor")
    return at


def tiff(width, height, offset):
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (273, 4, 1, offset), (277, 3, 1, 1), (278, 4, 1, height), (279, 4, 1, width * height)]
    ifd = struct.pack("<H", len(entries))
    for tag, kind, count, value in entries:
        ifd += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value))
    return b"II\x2a\0" + struct.pack("<I", 8) + ifd + struct.pack("<I", 0) + bytes(64)


def bad(folder):
    os.chdir(folder)
    for name in ["png24.png", "png24i.png", "gif8.gif", "gif8i.gif", "tif24.tif", "tif48.tif", "jpeg.jpg", "jpegp.jpg"]:
        data = read(name)
        stem, ext = os.path.splitext(name)
        write("trunc-%s%s" % (stem, ext), data[:len(data) // 2])
        write("short-%s%s" % (stem, ext), data[:40])
        mangled = bytearray(data)
        for i in range(len(data) // 2, min(len(data), len(data) // 2 + 64)):
            mangled[i] ^= 0x55
        write("mangled-%s%s" % (stem, ext), mangled)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 100000, 100000, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"\0" * 64)) + chunk(b"IEND", b"")
    write("huge-png.png", png)

    data = read("gif8.gif")
    at = gif_descriptor(data)
    zero = bytearray(data)
    zero[at + 5:at + 7] = b"\0\0"
    write("zero-frame.gif", zero)
    huge = bytearray(data)
    huge[6:10] = struct.pack("<HH", 65535, 65535)
    write("huge-gif.gif", huge)

    write("strip-offset.tif", tiff(16, 16, 0xFFFFFF00))
    write("huge-tif.tif", tiff(65535, 65535, 200))

    data = read("jpeg.jpg")
    at = jpeg_segment(data, 0xC4)
    huffman = bytearray(data)
    huffman[at + 5:at + 21] = b"\xff" * 16  # counts far beyond 256 codes
    write("bad-huffman.jpg", huffman)
    for marker in (0xC0, 0xC2):
        try:
            at = jpeg_segment(data, marker)
        except SystemExit:
            continue
        huge = bytearray(data)
        huge[at + 5:at + 9] = struct.pack(">HH", 65500, 65500)
        write("huge-jpeg.jpg", huge)
        break

    write("png-named.jpg", read("png24.png"))
    write("jpeg-named.png", read("jpeg.jpg"))
    write("empty.gif", b"")


if __name__ == "__main__":
    if sys.argv[1] == "exif":
        exif(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    else:
        bad(sys.argv[2])
