#!/usr/bin/env python3
"""Checks what the started program printed on COM1 after a floppy booted,
against values worked out here from the image alone.

usage: check_handover.py [--kernel] <image> <serial output> [drive, hex; default 00]

Without --kernel the program is the stand-in IO.SYS: the image's BPB and root
folder give the first cluster of IO.SYS, the first data sector and the
sectors per track; the stand-in must report exactly those as received from
the boot sector, with the boot drive, the stack and the diskette table the
MS-DOS 7 load protocol asks for, the volume label, and a hand-over without
faults.

With --kernel IO.SYS is the kernel probe (kernel_probe.asm): it must report
the FreeDOS hand-over (CS:IP 0060:0000, BL = the drive), all of its bytes,
the label and serial of the image read through drive BL, and no fault.
"""
import struct
import sys


class Image:
    """The BPB values and the root folder's IO.SYS entry of a FAT12 image."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = data = f.read()
        self.path = path
        (self.spc,) = struct.unpack_from("<B", data, 13)
        reserved, fats, root_entries = struct.unpack_from("<HBH", data, 14)
        per_fat = struct.unpack_from("<H", data, 22)[0]
        self.spt = struct.unpack_from("<H", data, 24)[0]
        (hidden,) = struct.unpack_from("<I", data, 28)
        root = reserved + fats * per_fat
        self.data_lba = hidden + root + (root_entries * 32 + 511) // 512
        self.label = data[43:54].decode("latin-1") if data[38] == 0x29 else None
        (self.serial,) = struct.unpack_from("<I", data, 39)
        self.cluster = self.length = self.index = None
        for i in range(root_entries):
            e = data[root * 512 + 32 * i: root * 512 + 32 * i + 32]
            if e[:11] == b"IO      SYS" and not e[11] & 0x18:
                self.cluster, self.length = struct.unpack_from("<HI", e, 26)
                self.index = i
                break
        if self.cluster is None:
            sys.exit(f"FAIL: {path} has no IO.SYS in its root folder")

    def io_sys(self, length):
        """The first `length` bytes of IO.SYS, read contiguously."""
        first = (self.data_lba + (self.cluster - 2) * self.spc) * 512
        return self.data[first:first + length]


def stand_in_lines(image, drive):
    # IO.SYS's first 4 sectors must be what the boot sector loads: contiguous.
    head = image.io_sys(0x202)
    if head[:2] != b"MZ" or head[0x200:0x202] != b"BJ":
        sys.exit(f"FAIL: {image.path}: IO.SYS at cluster {image.cluster} lacks MZ / BJ")
    want = [
        "Kiv boot disk: DOS system files are stand-ins",
        f"IO.SYS cluster {image.cluster:04X}, data LBA {image.data_lba:08X}, drive {drive:02X}",
        "SS:BP 0000:7C00, SP 7BF4, stack 0078 0000 ",
        f"int 1Eh 0000:0522, diskette table: sectors per track {image.spt & 0xFF:02X}, head settle 0F",
        "Hand-over: OK",
    ]
    if image.label is not None:
        want.insert(1, f"Volume label: {image.label}")
    summary = (f"cluster {image.cluster}, data LBA {image.data_lba}, drive {drive:02X}, "
               f"{image.spt} sectors per track")
    return want, summary


def kernel_lines(image, drive):
    # The FreeDOS kernel goes by root entry 0 and its content.
    head = image.io_sys(8)
    if image.index != 0 or head[0] != 0xEB or head[2:8] != b"CONFIG":
        sys.exit(f"FAIL: {image.path}: IO.SYS is not a kernel in root entry 0")
    label = image.label if image.label is not None else "NO NAME    "
    want = [
        f"Kiv kernel probe: CS:IP 0060:0000, BL {drive:02X}, ",
        f"Kiv kernel probe: {image.length} bytes at 0060:0000 as in the file",
        f"Kiv kernel probe: drive {drive:02X} holds volume {label}, serial {image.serial:08X}",
        "Kiv kernel probe: OK",
    ]
    return want, f"{image.length} bytes, drive {drive:02X}, volume {label.strip()}"


def main():
    args = sys.argv[1:]
    kernel = args[:1] == ["--kernel"]
    if kernel:
        args = args[1:]
    image_path, serial = args[:2]
    drive = int(args[2], 16) if len(args) > 2 else 0
    image = Image(image_path)
    want, summary = (kernel_lines if kernel else stand_in_lines)(image, drive)
    with open(serial, "rb") as f:
        text = f.read().decode("latin-1").replace("\r", "")
    lines = text.split("\n")
    failures = [f"missing or wrong on COM1: {w}" for w in want if not any(line.startswith(w) for line in lines)]
    failures += [f"COM1 reports {line}" for line in lines if "FAULT" in line]
    for f in failures:
        print(f"FAIL: {f}", file=sys.stderr)
    if failures:
        print(text, file=sys.stderr)
        sys.exit(1)
    print(f"hand-over as computed from {image_path}: {summary}")


if __name__ == "__main__":
    main()
