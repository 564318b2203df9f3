#!/usr/bin/env python3
"""Writes small seed files for the formats and hus_vip fuzz targets, built
from the formats' layouts (never third-party design files).
  fuzz/make_format_seeds.py CORPUS_DIR"""
import os
import struct
import sys

# The numbers of the kinds, which the formats target reads from the last byte.
VP3, HUS, VIP, XXX, SEW = 9, 11, 12, 13, 14


def bits(fields):
    out, acc, n = bytearray(), 0, 0
    for value, width in fields:
        for i in range(width - 1, -1, -1):
            acc = (acc << 1) | ((value >> i) & 1)
            n += 1
            if n == 8:
                out.append(acc)
                acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def literals(plain):
    # One block; every literal a 9-bit code; the distance code one symbol.
    head = [(len(plain), 16), (0, 5), (11, 5), (511, 9), (0, 5), (0, 5)]
    return bits(head + [(c, 9) for c in plain])


def with_matches():
    # "abc", a 3-byte match 3 back, "d", a 5-byte match 1 back: abcabcdddddd.
    head = [(6, 16), (0, 5), (11, 5), (511, 9), (0, 5), (2, 5)]
    return bits(head + [(97, 9), (98, 9), (99, 9), (256, 9), (0, 1), (100, 9), (258, 9), (1, 1)])


VIP_MASK = [0x2E, 0x82, 0xE4, 0x6F, 0x38, 0xA9, 0xDC, 0xC6, 0x7B, 0xB6, 0x28, 0xAC]


def husvip(records, vip, colours):
    head = bytearray(struct.pack('<III', 0x0190FC5D if vip else 0x00C8AF5B, len(records), len(colours)))
    head += struct.pack('<hhhh', 100, 100, -100, -100) + bytes(12) + bytes(10)
    if vip:
        table, prev = bytearray(4), 0
        plain = b''.join(bytes(c) + b'\0' for c in colours)
        for i, b in enumerate(plain):
            prev = b ^ VIP_MASK[i] ^ prev
            table.append(prev)
    else:
        table = b''.join(struct.pack('<H', c) for c in colours)
    body = bytearray(head + table)
    sections = [bytes(r[k] & 0xFF for r in records) for k in range(3)]
    offsets = []
    for s in sections:
        offsets.append(len(body))
        body += literals(s)
    struct.pack_into('<III', body, 0x14, *offsets)
    return bytes(body)


def be_string(s):
    return struct.pack('>H', len(s)) + s


def vp3(blocks):
    inner = be_string(b'') + bytes(32) + struct.pack('>ii', 0, 0) + bytes(27) + be_string(b'')
    inner += bytes(24) + be_string(b'\0P') + struct.pack('>H', len(blocks))
    for sx, sy, rgb, stitches in blocks:
        body = struct.pack('>ii', sx, sy) + bytes([1, 0]) + bytes(rgb) + bytes([0, 0, 0, 5, 0x28])
        body += be_string(b'1234') + be_string(b'Red') + be_string(b'Brand') + bytes(15)
        body += b'\x0a\xf6\x00' + stitches + b'\0'
        inner += b'\x00\x05\x00' + struct.pack('>I', len(body)) + body
    return b'%vsm%\0' + be_string(b'\0P') + b'\x00\x02\x00' + struct.pack('>I', len(inner)) + inner


def xxx(stitches, colours):
    b = bytearray(0x100)
    b[0x27] = len(colours)
    b += stitches
    struct.pack_into('<I', b, 0xFC, len(b) - 4)
    b += bytes(2) + b''.join(b'\0' + bytes(c) for c in colours)
    return bytes(b)


def sew(indices, stitches):
    b = bytearray(struct.pack('<H', len(indices)) + b''.join(struct.pack('<H', i) for i in indices))
    b += bytes(0x1D78 - len(b)) + stitches
    return bytes(b)


def main():
    root = sys.argv[1]
    seeds = {}
    records = [(0x81, 10, 20), (0x80, 5, -5), (0x88, 0, 0), (0x84, 3, 4), (0x80, -1, 1),
               (0x88, 2, 2), (0x80, 1, 0), (0x90, 0, 0)]
    seeds['hus_vip/hus_two_colours'] = husvip(records, False, [3, 12]) + b'\x00'
    seeds['formats/hus_two_colours'] = husvip(records, False, [3, 12]) + bytes([HUS])
    seeds['hus_vip/vip_two_colours'] = husvip(records, True, [(200, 30, 40), (1, 2, 3)]) + b'\x01'
    seeds['formats/vip_two_colours'] = husvip(records, True, [(200, 30, 40), (1, 2, 3)]) + bytes([VIP])
    seeds['hus_vip/section_literals'] = literals(b'hello') + struct.pack('<H', 5) + b'\x02'
    seeds['hus_vip/section_matches'] = with_matches() + struct.pack('<H', 12) + b'\x02'
    # Mode 3 compresses the bytes and expands them again.
    seeds['hus_vip/compress_records'] = bytes(b for r in records for b in (r[0], r[1] & 0xFF)) * 4 + b'\x03'
    zigzag = b''.join(bytes([0x0A, 0x05, 0xF6, 0x05]) for _ in range(10))
    # The formats target reads the last byte as the kind's number.
    seeds['formats/vp3_two_blocks'] = vp3([(1000, -2000, (255, 0, 0),
                                    zigzag + b'\x80\x01\x01\x2c\xff\x00\x80\x02\x80\x03'),
                                   (0, 0, (0, 0, 255), zigzag)]) + bytes([VP3])
    seeds['formats/vp3_one_block'] = vp3([(0, 0, (0, 255, 0), b'\x01\x01\x80\x03')]) + bytes([VP3])
    seeds['formats/xxx_two_colours'] = xxx(
        b'\x7f\x01\x0a\x14' + zigzag + b'\x7d\x2c\x01\x9c\xff\x7f\x03\x02\x00\x7f\x08\x00\x00'
        + zigzag + b'\x7f\x7f\x03\x14', [(1, 2, 3), (4, 5, 6)]) + bytes([XXX])
    seeds['formats/sew_two_colours'] = sew(
        [33, 51], b'\x80\x02\x0a\x14' + zigzag + b'\x80\x01\x00\x00' + zigzag
        + b'\x80\x10\x00\x00\x00\x00') + bytes([SEW])
    for name, data in seeds.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


main()
