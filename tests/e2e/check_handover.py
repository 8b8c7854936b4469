#!/usr/bin/env python3
"""Checks what the stand-in IO.SYS printed on COM1 after a floppy booted,
against values worked out here from the image alone.

usage: check_handover.py <image> <serial output> [drive, hex; default 00]

The image's BPB and root folder give the first cluster of IO.SYS, the first
data sector and the sectors per track; the stand-in must report exactly those
as received from the boot sector, with the boot drive, the stack and the
diskette table the MS-DOS 7 load protocol asks for, the volume label, and a
hand-over without faults.
"""
import struct
import sys


def expected(image):
    with open(image, "rb") as f:
        data = f.read()
    (spc,) = struct.unpack_from("<B", data, 13)
    reserved, fats, root_entries = struct.unpack_from("<HBH", data, 14)
    per_fat, spt = struct.unpack_from("<H", data, 22)[0], struct.unpack_from("<H", data, 24)[0]
    (hidden,) = struct.unpack_from("<I", data, 28)
    root = reserved + fats * per_fat
    data_lba = hidden + root + (root_entries * 32 + 511) // 512
    label = data[43:54].decode("latin-1") if data[38] == 0x29 else None
    cluster = None
    for i in range(root_entries):
        e = data[root * 512 + 32 * i: root * 512 + 32 * i + 32]
        if e[:11] == b"IO      SYS" and not e[11] & 0x18:
            cluster = struct.unpack_from("<H", e, 26)[0]
            break
    if cluster is None:
        sys.exit(f"FAIL: {image} has no IO.SYS in its root folder")
    # IO.SYS's first 4 sectors must be what the boot sector loads: contiguous.
    first = (data_lba + (cluster - 2) * spc) * 512
    if data[first:first + 2] != b"MZ" or data[first + 0x200:first + 0x202] != b"BJ":
        sys.exit(f"FAIL: {image}: IO.SYS at cluster {cluster} lacks MZ / BJ")
    return cluster, data_lba, spt, label


def main():
    image, serial = sys.argv[1:3]
    drive = int(sys.argv[3], 16) if len(sys.argv) > 3 else 0
    cluster, data_lba, spt, label = expected(image)
    with open(serial, "rb") as f:
        text = f.read().decode("latin-1").replace("\r", "")
    lines = text.split("\n")
    want = [
        "Kiv boot disk: DOS system files are stand-ins",
        f"IO.SYS cluster {cluster:04X}, data LBA {data_lba:08X}, drive {drive:02X}",
        "SS:BP 0000:7C00, SP 7BF4, stack 0078 0000 ",
        f"int 1Eh 0000:0522, diskette table: sectors per track {spt & 0xFF:02X}, head settle 0F",
        "Hand-over: OK",
    ]
    if label is not None:
        want.insert(1, f"Volume label: {label}")
    failures = [f"missing or wrong on COM1: {w}" for w in want if not any(line.startswith(w) for line in lines)]
    failures += [f"COM1 reports {line}" for line in lines if "FAULT" in line]
    for f in failures:
        print(f"FAIL: {f}", file=sys.stderr)
    if failures:
        print(text, file=sys.stderr)
        sys.exit(1)
    print(f"hand-over as computed from {image}: cluster {cluster}, data LBA {data_lba}, "
          f"drive {drive:02X}, {spt} sectors per track")


if __name__ == "__main__":
    main()
