#!/usr/bin/env python3
"""Seed inputs for the fuzz targets that no outside tool writes."""
import bz2
import gzip
import os
import struct
import sys
import zlib


def crc16(data, crc=0):
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def lzh_level0(name, data):
    body = b"-lh0-" + struct.pack("<IIIBB", len(data), len(data), 0x5A210000, 0x20, 0)
    body += bytes([len(name)]) + name + struct.pack("<H", crc16(data))
    return bytes([len(body), sum(body) & 0xFF]) + body + data


def lzh_level1(name, data):
    # The compressed size counts the extension header (a folder) too.
    ext = b"\x02sub\xff" + struct.pack("<H", 0)
    body = b"-lh0-" + struct.pack("<IIIBB", len(data) + len(ext), len(data), 0x5A210000, 0x20, 1)
    body += bytes([len(name)]) + name + struct.pack("<H", crc16(data)) + b"M" + struct.pack("<H", len(ext))
    return bytes([len(body), sum(body) & 0xFF]) + body + ext + data


def lzh_level3(name, data):
    exts = [b"\x01" + name, b"\x02sub\xff"]
    ext_bytes = b"".join(struct.pack("<I", len(e) + 4) + e for e in exts) + struct.pack("<I", 0)
    head = b"\x04\x00-lh0-" + struct.pack("<IIIBB", len(data), len(data), 0x5A210000, 0x20, 3)
    head += struct.pack("<H", crc16(data)) + b"M"
    size = len(head) + 4 + len(ext_bytes)
    return head + struct.pack("<I", size) + ext_bytes + data


def bga_entry(method, folder, name, data):
    if method == b"GZIP":
        packed = gzip.compress(data, mtime=0)
    else:
        packed = bz2.compress(data)
    rest = method + struct.pack("<IIHHBBHHH", len(packed), len(data), 0x5A21, 0, 0x20, 0, 0, len(folder), len(name))
    rest += folder + name
    return struct.pack("<I", sum(rest) & 0xFFFFFFFF) + rest + packed


def write(folder, name, data):
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def main():
    kind, folder = sys.argv[1], sys.argv[2]
    text = b"hello, world\n" * 5
    if kind == "lzh":
        write(folder, "level0.lzh", lzh_level0(b"a.txt", text) + lzh_level0(b"sub\\b.txt", b"x") + b"\0")
        write(folder, "level1.lzh", lzh_level1(b"a.txt", text) + b"\0")
        write(folder, "level3.lzh", lzh_level3(b"a.txt", text) + b"\0")
    elif kind == "bga":
        write(folder, "gzip.gza", bga_entry(b"GZIP", b"", b"a.txt", text) + bga_entry(b"GZIP", b"sub\\", b"b.txt", b""))
        write(folder, "bzip2.bza", bga_entry(b"BZ2\0", b"sub\\", b"a.txt", text))
        write(folder, "sfx.bin", b"MZ" + bytes(500) + bga_entry(b"GZIP", b"", b"a.txt", text))
    elif kind == "mszip":
        write(folder, "text", b"\x31" + text)
        write(folder, "repeat", b"\x2f" + bytes(range(256)))
        write(folder, "empty", b"\x00")
    elif kind == "lha-encoder":
        for method in range(4):
            write(folder, "text%d" % method, bytes([method]) + text)
            write(folder, "long%d" % method, bytes([method | 4]) + bytes(range(200)))
        write(folder, "rebuild", bytes([0 | 4 | 8]) + b"abcabcabd" * 30)
    elif kind == "lh1_decoder":
        write(folder, "roundtrip", b"\1" + text + bytes(range(256)))
        write(folder, "stream", b"\0" + bytes(range(0, 256, 3)))
    elif kind == "names":
        names = [b"a/b/c.txt", b"../../x", b"C:\\Windows\\x", b"\\\\server\\share\\x", b"CON", b"com1.txt/aux",
                 b"a/./b/../c", b"dir/ file . /x", b"\x95\\\x8e\xa6/\x83\x5c.txt", b"x:y:z", b"...", b"a|b<c>d"]
        for i, n in enumerate(names):
            write(folder, "sjis%d" % i, b"\0" + n)
        write(folder, "utf8", b"\1" + "..¥..¥x/①/😀".encode())
    elif kind == "commandline":
        lines = [b'x -r2 -x1 "C:\\a b.lzh" "C:\\dest\\" *.txt sub\\*.*',
                 b'a -jm1 -gb"x y.txt" -jx*.bak archive.lzh -- -name',
                 b'c -f "out.tar" -o "C:\\dest" -z9 "*.*"',
                 b'-x1 @list.txt "unterminated']
        for i, line in enumerate(lines):
            write(folder, "line%d" % i, line)
    else:
        sys.exit("unknown kind " + kind)


main()
