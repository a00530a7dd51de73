#!/usr/bin/env python3
"""A fixed traditionally encrypted ZIP and a wrong password that passes the
one-byte password check of every entry, so that a reader must notice the wrong
password by the CRC (and for an empty entry, by the other entries).
usage: wrong_password.py ARCHIVE PASSWORD_FILE"""
import struct
import sys
import zlib


def crc_byte(crc, b):
    return zlib.crc32(bytes([b]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF


class Keys:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self.update(c)

    def update(self, c):
        k = self.k
        k[0] = crc_byte(k[0], c)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = crc_byte(k[2], k[1] >> 24)

    def byte(self):
        t = (self.k[2] | 2) & 0xFFFF
        return ((t * (t ^ 1)) >> 8) & 0xFF

    def encrypt(self, data):
        out = bytearray()
        for p in data:
            out.append(p ^ self.byte())
            self.update(p)
        return bytes(out)

    def decrypt(self, data):
        out = bytearray()
        for c in data:
            p = c ^ self.byte()
            self.update(p)
            out.append(p)
        return bytes(out)


entries = [("data.txt", b"the secret text, long enough for a CRC that a wrong password breaks\n" * 20),
           ("empty.txt", b"")]
heads = [bytes(range(7 + i, 18 + i)) for i in range(len(entries))]  # fixed, not random: the same archive each run
local = bytearray()
central = bytearray()
checks = []
for (name, data), head in zip(entries, heads):
    crc = zlib.crc32(data)
    body = Keys(b"right").encrypt(head + bytes([crc >> 24]) + data)
    fields = struct.pack("<HHHHHIIIHH", 20, 1, 0, 0x6000, 0x5A8C, crc, len(body), len(data), len(name), 0)
    central += b"PK\x01\x02" + struct.pack("<H", 20) + fields + struct.pack("<HHHII", 0, 0, 0, 0, len(local))
    central += name.encode()
    local += b"PK\x03\x04" + fields + name.encode()
    checks.append((body[:12], crc >> 24))
    local += body
end = b"PK\x05\x06" + struct.pack("<HHHHIIH", 0, 0, len(entries), len(entries), len(central), len(local), 0)
with open(sys.argv[1], "wb") as f:
    f.write(bytes(local) + bytes(central) + end)
for n in range(10 ** 7):
    password = b"wrong%d" % n
    if all(Keys(password).decrypt(head)[11] == check for head, check in checks):
        with open(sys.argv[2], "w") as f:
            f.write(password.decode())
        break
else:
    sys.exit("no password found")
