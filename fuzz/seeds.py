#!/usr/bin/env python3
"""Writes the seed corpora (fuzz/corpus/<target>/) from the wire vectors the tests use.

Run it again after changing a vector or an input layout; the files are kept in the repository.
Each seed is the target's input layout (see the comment at the top of each target) around a
reply the tests feed the parsers, well-formed and broken.
"""
import hashlib
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def rtu(body):
    c = crc16(body)
    return bytes(body) + bytes([c & 0xFF, c >> 8])


def lrc(body):
    return (-sum(body)) & 0xFF


def ascii_frame(body, good=True):
    return b":" + (bytes(body) + bytes([(lrc(body) + (0 if good else 1)) & 0xFF])).hex().upper().encode() + b"\r\n"


def hid(cmd, payload):
    f = bytearray([0x7E, 0, cmd]) + bytes(payload)
    f[1] = len(f) + 2
    x = 0
    for b in f:
        x ^= b
    return bytes(f) + bytes([x, 0x7E])


def eth_header(cmd, p=(0, 0, 0, 0)):
    return bytes([0xA1, cmd, *p, 0, 0, 0, 0, 0, 0, 0x0A])


KVMB = b"KVMB"


def eth_seeds():
    block = bytearray(256)
    block[0:7] = b"coupler"
    block[32:36] = bytes([192, 168, 1, 7])
    subs = bytearray()
    for i in range(8):
        subs += bytes([i + 1, 0x4B, 0x58, 0x40, 0x17, 0, 0, 1, 0, 1, 0, 1, 2, 3, 4]) if i < 3 else bytes(15)
    search = bytearray(24)
    search[1] = 2
    search[3] = 2
    search[4] = 0xAB
    search[12] = 9
    regs = bytes(range(64))
    return [
        (0, 0, eth_header(0x01, (0, 0, 0, 128)) + block),
        (0, 1, eth_header(0x01, (1, 0, 0, 128)) + block),
        (0, 0, eth_header(0x81, (0, 0, 0, 128))),
        (0, 0, eth_header(0x01, (0, 0, 0, 128)) + block[:40]),
        (1, 0, eth_header(0x03) + subs),
        (2, 1, eth_header(0x04, (1, 0, 0, 32)) + regs),
        (3, 9, eth_header(0x04, (2, 32, 0, 32)) + regs),
        (4, 2, eth_header(0x04, (3, 2, 0, 2)) + regs[:4]),
        (6, 0, eth_header(0x02)),
        (7, 1, eth_header(0x09)),
        (9, 1, eth_header(0x07)),
        (11, 0, bytes(search)),
        (11, 0, bytes(search[:20])),
        (12, 3, bytes(10 * [1])),
    ]


def com_seeds():
    station = [9, 0x46, *KVMB, 0x01, 0, 0x4B, 0x58, 0x90, 0x10, 0, 1, 1, 0x20, 1, 5, 1, 2, 3, 4]
    subsearch = [5, 0x46, *KVMB, 0x02, 20]
    for i in range(1, 4):
        rec = [0] * 16
        rec[0] = rec[1] = i
        rec[4], rec[5] = 0x40, 0x17
        subsearch += rec
    main = [1, 0x47, *KVMB, 0x01, 64] + list(range(64))
    subprop = [2, 0x47, *KVMB, 0x04, 8] + list(range(8))
    regs = [2, 0x03, 8] + list(range(8))
    seeds = []
    for framing, wrap in ((0, rtu), (1, ascii_frame)):
        seeds += [
            (0, 0, framing, wrap(main)),
            (1, 4, framing, wrap(subsearch)),
            (2, 1, framing, wrap(subprop)),
            (3, 1, framing, wrap(regs)),
            (10, 0, framing, wrap([1, 0x47, *KVMB, 0x03])),
            (10, 0, framing, wrap([1, 0xC7, 0x04])),
            (11, 8, framing, wrap(station)),
            (11, 8, framing, wrap(station[:12])),
        ]
    seeds += [
        (10, 0, 0, bytes([0xFF, 0xFF])),
        (10, 0, 1, ascii_frame([1, 0x47, *KVMB, 0x03], good=False)),
        (10, 0, 1, ascii_frame([1, 0x47, *KVMB, 0x03])[1:]),
    ]
    return [(r, p, bytes([f]) + d) for r, p, f, d in seeds]


def usb_seeds():
    slot = [3, 0x4B, 0x58, 0x40, 0x17, 0, 0, 1, 0, 1, 0, 1, 2, 3, 4]
    good = hid(0x02, [5, 0x85, 0x80, 0x25, 0, 0])
    bad = bytearray(good)
    bad[4] ^= 0x40
    return [
        (0, 0, good),
        (0, 0, bytes(bad)),
        (0, 0, good[:6]),
        (0, 0, hid(0xFF, [])),
        (1, 2, hid(0x10, slot)),
        (2, 1, hid(0x11, [1, 0, 4] + list(range(8)))),
        (3, 9, hid(0x11, [2, 32, 24] + list(range(48)))),
        (6, 1, hid(0x82, list(range(16)))),
        (8, 1, hid(0x13, [])),
        (12, 0, hid(0x04, [])),
        (13, 0, hid(0x01, [0x4B, 0x58, 0, 0, 0x90, 0x20, 1, 0, 1, 0, 1, 2, 3, 4])),
    ]


def mb_pdus():
    """(selector, count, reply PDU) for each function, good and broken."""
    return [
        (0, 16, [0x01, 2, 0x55, 0xAA]),
        (1, 8, [0x02, 1, 0x0F]),
        (2, 3, [0x03, 6, 0, 1, 0, 2, 0, 3]),
        (3, 2, [0x04, 4, 0x12, 0x34, 0x56, 0x78]),
        (2, 3, [0x03, 8, 0, 1]),
        (4, 7, [0x05, 0, 7, 0xFF, 0]),
        (5, 9, [0x06, 0, 9, 0, 9]),
        (6, 16, [0x0F, 0, 0, 0, 16]),
        (7, 3, [0x10, 0, 0, 0, 3]),
        (2, 3, [0x83, 0x02]),
        (2, 3, [0x83, 0x00]),
        (2, 3, [0x04, 2, 0, 0]),
    ]


def mb_header(sel, count):
    return bytes([sel, count >> 8, count & 0xFF])


def mb_tcp_seeds():
    out = []
    for sel, count, pdu in mb_pdus():
        mbap = [0x12, 0x34, 0, 0, (len(pdu) + 1) >> 8, (len(pdu) + 1) & 0xFF, 1]
        out.append(mb_header(sel, count) + bytes(mbap + pdu))
    out.append(mb_header(2, 3) + bytes([0x12, 0x34, 0, 1, 0, 3, 1, 0x03, 0]))  # protocol id
    out.append(mb_header(2, 3) + bytes([0x12, 0x34, 0, 0, 0, 40, 1, 0x03, 6]))  # cut short
    return out


def mb_rtu_seeds():
    return [mb_header(sel, count) + rtu([1] + pdu) for sel, count, pdu in mb_pdus()] + [
        mb_header(2, 3) + bytes([0xFF, 0xFF])]


def mb_ascii_seeds():
    out = [mb_header(sel, count) + ascii_frame([1] + pdu) for sel, count, pdu in mb_pdus()]
    f = ascii_frame([1, 0x03, 2, 0, 7])
    out += [mb_header(2, 1) + f[1:], mb_header(2, 1) + f[:-2], mb_header(2, 1) + ascii_frame([1, 3, 2, 0, 7], False)]
    return out


def ini_seeds():
    return [
        b"[DEVDLL]\r\nDEV_COUNT=2\r\n[DEVDLL0]\r\nName=VEXA\r\nDll=VexaBootPort.dll\r\nGoodWriteLen=64\r\n",
        b"[Settings]\nLanguage = 1\ncolor=-12abc\n; comment\n[settings]\nlanguage=2\n",
        b"[Grid]\nlayout=0102030406\n[empty]\nkey=\nnokey\n",
        b"\xef\xbb\xbf[UTF8]\nname=\xe4\xb8\xad\xe6\x96\x87\n",
        b"[a\nb=c\n=d\n[]\n",
    ]


def value_seeds():
    texts = {
        0: b"12", 1: b"ff", 2: b"01 02 0a ff", 3: b"-1.5000000", 4: b"-32768", 5: b"0x1f",
        6: b"-2147483648", 7: b"0xdeadbeef", 8: b"4294967295", 12: b"00:1A:2b:3C:4d:5E",
        13: b"192.168.1.7", 15: b"-3276.8", 16: b"line 2", 18: b"\x01\x02\x03\x04\x05\x06",
        19: b"2024-02-29", 9: b"\x01\x02", 10: b"\x09\x00", 11: b"\x34\x12", 14: b"\x80\x01", 20: b"x",
        21: b"\x01\x02\x03\x04",
    }
    out = [bytes([f, 4 if f != 2 else 4, 3]) + t for f, t in texts.items()]
    out += [bytes([2, 39, 0]) + b"zz", bytes([15, 2, 0]) + b"999999", bytes([19, 2, 0]) + b"99-13-40",
            bytes([13, 4, 0]) + b" 1.2.3.4 "]
    return out


def upf(payload, header=bytes(range(24)), gap=0, h=None, p=None):
    """An upgrade file as the firmware tests build one, without its MD5 trailer."""
    body = bytearray(b"VEXA firmware upgrade file".ljust(42 + gap, b"\x5a"))
    hh = len(body)
    body += header
    pp = len(body)
    body += payload
    body[34:38] = (hh if h is None else h).to_bytes(4, "little")
    body[38:42] = (pp if p is None else p).to_bytes(4, "little")
    return bytes(body)


def upgrade_file_seeds():
    payload = bytes((i * 7) & 0xFF for i in range(300))
    good = upf(payload)
    # Flag 0: the target appends the MD5; flag 1: the file is taken as it is.
    return [
        b"\x00" + good,
        b"\x01" + good + hashlib.md5(good).digest(),
        b"\x01" + good + bytes(16),
        b"\x00" + upf(payload[:8], gap=5),
        b"\x00" + upf(payload, header=bytes(129)),
        b"\x00" + upf(payload, h=10),
        b"\x00" + upf(payload, p=5000),
        b"\x00" + upf(payload[:7]),
    ]


def boot_encode(body):
    """A boot frame: start byte, escaped length (high byte first), body and XOR check."""
    def esc(b):
        return bytes([0xFF, 0x01]) if b == 0xFE else bytes([0xFF, 0x00]) if b == 0xFF else bytes([b])
    n = len(body)
    check = n & 0xFF
    for b in body:
        check ^= b
    return b"\xfe" + esc(n >> 8) + esc(n & 0xFF) + b"".join(esc(b) for b in body) + esc(check)


def boot_frame_seeds():
    ack = bytes([0x82, 0x00, 0x00, 0x10])
    info = bytes([0x81, 0x00]) + b"VEXA\xfe\xff" + bytes(range(20))
    seeds = []
    for mode, piece, limit, data in [
        (0, 0x7F, 256, boot_encode(ack)),
        (0, 0x00, 256, boot_encode(info)),                       # one byte per read
        (0, 0x03, 2, boot_encode(info)),                         # longer than the limit
        (0, 0x10, 256, b"noise" + boot_encode(ack)),             # bytes before the start
        (0, 0x10, 256, boot_encode(info)[:9] + boot_encode(ack)),  # a new start mid-frame
        (0, 0x90, 256, boot_encode(ack)[:-1] + b"\x00"),          # bad check, then a failing read
        (0, 0x10, 256, b"\xfe\xff\x02\x00"),                     # escape of an unknown value
        (1, 0x10, 256, boot_encode(ack) * 3 + boot_encode(info)),
    ]:
        seeds.append(bytes([mode, piece, limit >> 8, limit & 0xFF]) + data)
    seeds.append(bytes([2, 0x05, 0, 0]) + info)
    return seeds


def hid_reply_seeds():
    def rec(cmd, payload=b"\x00"):
        frame = hid(cmd, payload)
        return bytes([0x80 | len(frame)]) + frame

    io_read = (rec(0x33, bytes([2, 0])) + rec(0x34, bytes([0, 1, 0, 3, 2])) + rec(0x34, bytes([1, 2, 1, 0, 4]))
               + rec(0x23, bytes([1, 0, 1, 0, 1, 0])) + rec(0x24, bytes([2, 0, 0]) + bytes(7))
               + rec(0x24, bytes([0, 0, 0]) + bytes(6)) + rec(0x24, bytes([1, 0, 0]) + bytes(6)))
    return [
        bytes([0, 3]) + io_read,
        bytes([0, 3]) + rec(0x33, bytes([0xFF, 0xFF])) + rec(0x23, bytes([0xFF] * 6)),
        bytes([1, 5]) + rec(0x30) + rec(0x31) * 12 + rec(0x32),
        bytes([2, 3]) + rec(0x20) + rec(0x21) * 6 + rec(0x22),
        bytes([3, 0]) + rec(0x40),
        bytes([4, 7]) + rec(0x41) * 3 + b"\x00" + rec(0x41) * 4,
        bytes([4, 2]) + b"\x00" * 6,
    ]


def sub_value_seeds():
    patterns = [bytes(64), bytes([0xFF] * 64), bytes(range(64)), bytes((0x80 if i % 2 else 0x00) for i in range(64))]
    texts = b"12.5\n-1\n0\nabc\n65535\n-3276.8\n1e9\n\n0x10"
    seeds = []
    for row in range(40):
        for k, pat in enumerate(patterns[:2] if row % 3 else patterns):
            seeds.append(bytes([row, k]) + pat * 4 + texts)
    return seeds


TARGETS = {
    "eth_reply": lambda: [bytes([r, p]) + d for r, p, d in eth_seeds()],
    "com_reply": lambda: [bytes([r, p]) + d for r, p, d in com_seeds()],
    "usb_reply": lambda: [bytes([r, p]) + d for r, p, d in usb_seeds()],
    "mb_tcp_reply": mb_tcp_seeds,
    "mb_rtu_reply": mb_rtu_seeds,
    "mb_ascii_reply": mb_ascii_seeds,
    "ini_read": ini_seeds,
    "value_format": value_seeds,
    "upgrade_file": upgrade_file_seeds,
    "boot_frame": boot_frame_seeds,
    "hid_reply": hid_reply_seeds,
    "sub_value": sub_value_seeds,
}


def main():
    for name, make in TARGETS.items():
        folder = os.path.join(HERE, "corpus", name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for seed in make():
            with open(os.path.join(folder, hashlib.sha1(seed).hexdigest()[:16]), "wb") as f:
                f.write(seed)


if __name__ == "__main__":
    main()
