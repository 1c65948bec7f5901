#!/usr/bin/env python3
"""Writes the zip fixtures of the extraction tests into a folder.

The archives are assembled byte by byte so that every field the reader looks
at (made-by host, external attributes, local-only extra fields, encryption
headers, damaged data) is exactly what the test wants.
"""
import os
import struct
import sys
import zlib

# 2021-07-15 13:45:58 local time
DOS_TIME = (13 << 11) | (45 << 5) | (58 // 2)
DOS_DATE = ((2021 - 1980) << 9) | (7 << 5) | 15


class Entry:
    def __init__(self, name, data=b"", method=8, host=0, external=0x20, local_extra=b"",
                 central_extra=b"", password=None, damage=None, bad_crc=False, dos=(DOS_DATE, DOS_TIME)):
        self.name = name.encode("utf-8") if isinstance(name, str) else name
        self.data = data
        self.method = method
        self.host = host
        self.external = external
        self.local_extra = local_extra
        self.central_extra = central_extra
        self.password = password
        self.damage = damage
        self.bad_crc = bad_crc
        self.dos = dos


def ut_extra(mtime=None, atime=None, ctime=None):
    flags, body = 0, b""
    for bit, value in ((0, mtime), (1, atime), (2, ctime)):
        if value is not None:
            flags |= 1 << bit
            body += struct.pack("<i", value)
    payload = bytes([flags]) + body
    return b"UT" + struct.pack("<H", len(payload)) + payload


class ZipCrypto:
    def __init__(self, password):
        self.keys = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self._update(c)

    @staticmethod
    def _crc(crc, b):
        return zlib.crc32(bytes([b]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF

    def _update(self, b):
        k = self.keys
        k[0] = self._crc(k[0], b)
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = self._crc(k[2], (k[1] >> 24) & 0xFF)

    def encrypt(self, data):
        out = bytearray()
        for b in data:
            t = (self.keys[2] | 2) & 0xFFFF
            out.append(b ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self._update(b)
        return bytes(out)


def build(entries):
    body, central = b"", b""
    for e in entries:
        crc = zlib.crc32(e.data)
        if e.method == 8:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            payload = c.compress(e.data) + c.flush()
        else:
            payload = e.data
        if e.damage is not None:
            payload = e.damage(payload)
        if e.bad_crc:
            crc ^= 0x00FF0000  # keeps the high byte the password check uses
        flag = 0x800  # names are UTF-8
        if e.password is not None:
            flag |= 1
            header = bytes(range(11)) + bytes([crc >> 24])
            payload = ZipCrypto(e.password).encrypt(header + payload)
        date, time = e.dos
        offset = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flag, e.method, time, date, crc,
                            len(payload), len(e.data), len(e.name), len(e.local_extra))
        body += e.name + e.local_extra + payload
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, (e.host << 8) | 20, 20, flag, e.method,
                               time, date, crc, len(payload), len(e.data), len(e.name), len(e.central_extra),
                               0, 0, 0, e.external, offset)
        central += e.name + e.central_extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    return body + central + end


def bad_block(payload):
    # first deflate block header with the reserved block type 11
    return b"\x07" + payload[1:]


TEXT = b"Quorvi phone assistant\r\n" * 500


def fixtures():
    unix_dir, unix_ro, unix_rw = 0x41ED0000, 0x81240000, 0x81A40000
    return {
        "attributes.zip": [
            Entry("unix/", b"", method=0, host=3, external=unix_dir),
            Entry("unix/readonly.txt", b"read only\n", host=3, external=unix_ro),
            Entry("unix/writable.txt", b"writable\n", host=3, external=unix_rw),
            Entry("dos/hidden.txt", b"h", host=0, external=0x22),
            Entry("dos/system.txt", b"s", host=0, external=0x24),
            Entry("dos/readonly.txt", b"r", host=0, external=0x21),
        ],
        "times.zip": [
            Entry("dos-only.txt", b"d"),
            Entry("mtime-only.txt", b"m", local_extra=ut_extra(mtime=1600000000)),
            Entry("all-three.txt", b"a", local_extra=b"\x0a\x00\x04\x00abcd" + ut_extra(1500000000, 1500000100, 1400000000)),
            # the central directory's copy of the block is not what counts
            Entry("central-only.txt", b"c", central_extra=ut_extra(mtime=1000000000)),
        ],
        "package.zip": [
            Entry("QuorviPhoneAx/Quorvi.exe", b"MZ" + bytes(4000)),
            Entry("QuorviPhoneAx/QuorviUnInstall.exe", b"MZ" + bytes(3000)),
            Entry("QuorviPhoneAx/data/skins/\u84dd\u8272.dat", TEXT),
            Entry("QuorviPhoneAx/data/empty.txt", b"", method=0),
            Entry("QuorviPhoneAx/data/empty-deflated.txt", b"", method=8),
            Entry("QuorviPhoneAx/lib/deep/er/file.bin", bytes(range(256)) * 200, method=0),
        ],
        "zero-length.zip": [
            Entry("a.txt", b"a"),
            Entry("empty.txt", b"", method=0),
            Entry("b.txt", b"b"),
        ],
        "damaged-middle.zip": [
            Entry("one.txt", TEXT),
            Entry("two.txt", TEXT, damage=bad_block),
            Entry("three.txt", TEXT),
        ],
        "damaged-last.zip": [
            Entry("one.txt", TEXT),
            Entry("two.txt", TEXT),
            Entry("three.txt", TEXT, damage=bad_block),
        ],
        "bad-crc.zip": [
            Entry("stored.txt", TEXT, method=0, bad_crc=True),
            Entry("after.txt", b"after"),
        ],
        "names.zip": [
            Entry("C:\\x\\drive.txt", b"1"),
            Entry("\\x\\backslash.txt", b"2"),
            Entry("/x/slash.txt", b"3"),
            Entry("a/b/../c.txt", b"4"),
            Entry("../evil.txt", b"5"),
            Entry("x/../../evil2.txt", b"6"),
            Entry("last.txt", b"7"),
        ],
        "encrypted.zip": [
            Entry("plain.txt", b"plain"),
            Entry("secret.txt", TEXT, password=b"right"),
            Entry("stored-secret.txt", b"stored secret", method=0, password=b"right"),
            Entry("after.txt", b"after"),
        ],
        "long-name.zip": [
            Entry("ok.txt", b"ok"),
            Entry("d/" + "n" * 300 + ".txt", b"long"),
            Entry("after.txt", b"after"),
        ],
        "empty.zip": [],
        "three.zip": [Entry("1.txt", b"1"), Entry("2.txt", b"2"), Entry("3.txt", b"3")],
        "readonly-target.zip": [Entry("locked.txt", b"new"), Entry("next.txt", b"n"), Entry("locked2.txt", b"new")],
    }


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, entries in fixtures().items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(build(entries))
    whole = build(fixtures()["package.zip"])
    with open(os.path.join(out, "truncated.zip"), "wb") as f:
        f.write(whole[: len(whole) // 2])
    with open(os.path.join(out, "not-a-zip.zip"), "wb") as f:
        f.write(b"this is not an archive\n" * 10)


if __name__ == "__main__":
    main()
