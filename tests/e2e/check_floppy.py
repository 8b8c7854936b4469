#!/usr/bin/env python3
"""Checks a floppy image that bootsmith built from the shipped data, with
independent tools (fsck.fat, mtools, cabextract) against what the data says.

usage: check_floppy.py <image> <program folder> <disk name> <size 144|288> [server name]

- the image has the floppy's exact size and fsck.fat -n finds nothing;
- IO.SYS, MSDOS.SYS and COMMAND.COM are the first three root entries;
- every plain [Copy_Files] entry of the definition is on the disk, byte-equal
  to its source (program folder first, then dos/);
- every folder pattern of [Copy_Files] (the kernel module) is on the disk;
- each single file of [Copy_CABs] (CD-ROM driver, RAM drive ...) is on the
  disk when the program folder has it, and is left out silently when not;
- every [Create_CABs] module is a cabinet on the disk that cabextract accepts
  and that holds the module folder byte for byte; when the DOS files have no
  cabinet extractor (dos/EXTRACT.EXE missing or a marked stand-in), it is that
  folder itself, unpacked, as lib/<module>;
- the default drivers of [DefaultDrivers] are on the disk, byte-equal to the
  shipped driver cabinets; network disks carry the NDIS menu and PCI map;
- with a server name: the kivmax plugin's etc/autoexec.net names it.
"""
import configparser
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

failures = []


def fail(msg):
    failures.append(msg)
    print("FAIL:", msg, file=sys.stderr)


def run(cmd, **kw):
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    return subprocess.run(cmd, capture_output=True, text=True, env=env, **kw)


def find_ci(folder, relative):
    """Path below folder, each component matched without regard to case."""
    path = folder
    for part in [p for p in relative.replace("\\", "/").split("/") if p]:
        if not os.path.isdir(path):
            return None
        names = {n.lower(): n for n in os.listdir(path)}
        if part.lower() not in names:
            return None
        path = os.path.join(path, names[part.lower()])
    return path


def read_ini(path):
    # Definitions are Windows profile files: keys keep their case, lines may
    # repeat, and values may be empty; read them by hand.
    sections, current = {}, None
    with open(path, "rb") as f:
        for raw in f.read().decode("latin-1").splitlines():
            line = raw.strip()
            if not line or line.startswith(";"):
                continue
            if line.startswith("["):
                current = sections.setdefault(line.strip("[]").lower(), [])
            elif current is not None:
                key, _, value = line.partition("=")
                current.append((key.strip(), value.strip()))
    return sections


def root_entries(image):
    with open(image, "rb") as f:
        data = f.read()
    reserved, fats = struct.unpack_from("<H", data, 14)[0], data[16]
    entries, per_fat = struct.unpack_from("<H", data, 17)[0], struct.unpack_from("<H", data, 22)[0]
    root = (reserved + fats * per_fat) * 512
    names = []
    for i in range(entries):
        e = data[root + 32 * i: root + 32 * i + 32]
        if e[0] == 0:
            break
        if e[0] == 0xE5 or e[11] == 0x0F or e[11] & 0x08:
            continue
        base, ext = e[:8].decode("latin-1").rstrip(), e[8:11].decode("latin-1").rstrip()
        names.append(base + ("." + ext if ext else ""))
    return names


def same_tree(expected, actual, what):
    for dirpath, _, files in os.walk(expected):
        for name in files:
            rel = os.path.relpath(os.path.join(dirpath, name), expected)
            got = find_ci(actual, rel)
            if got is None:
                fail(f"{what}: {rel} missing")
            elif not filecmp.cmp(os.path.join(dirpath, name), got, shallow=False):
                fail(f"{what}: {rel} differs")


def dos_can_unpack(program):
    extract = find_ci(program, "dos/EXTRACT.EXE")
    if extract is None:
        return False
    with open(extract, "rb") as f:
        return b"KIV STAND-IN FILE" not in f.read(512)


def main():
    image, program, disk, size = sys.argv[1:5]
    server = sys.argv[5] if len(sys.argv) > 5 else ""
    expected_size = 1474560 if size == "144" else 2949120
    if os.path.getsize(image) != expected_size:
        fail(f"{image}: {os.path.getsize(image)} bytes, expected {expected_size}")
    fsck = run(["fsck.fat", "-n", image])
    if fsck.returncode != 0:
        fail(f"fsck.fat -n: {fsck.stdout}{fsck.stderr}")
    first = root_entries(image)[:3]
    if first != ["IO.SYS", "MSDOS.SYS", "COMMAND.COM"]:
        fail(f"first root entries are {first}")

    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "disk")
        os.mkdir(tree)
        out = run(["mcopy", "-s", "-n", "-i", image, "::*", tree])
        if out.returncode != 0:
            fail(f"mcopy: {out.stderr}")

        definition = read_ini(find_ci(program, f"files/{disk}.ini"))
        for source, target in definition.get("copy_files", []):
            if "*" in source or "\\" in source:
                continue  # folders and patterns: covered by the module cabinets
            src = find_ci(program, source) or find_ci(program, "dos/" + source)
            dest = find_ci(tree, target if target and not target.endswith("\\") else target + source)
            if src is None:
                fail(f"[Copy_Files] {source}: no source in the program folder")
            elif dest is None:
                fail(f"[Copy_Files] {source}: not on the disk as {target}")
            elif not filecmp.cmp(src, dest, shallow=False):
                fail(f"[Copy_Files] {source}: differs on the disk")

        for source, target in definition.get("copy_files", []):
            if not source.lower().startswith("files\\") or not source.endswith("\\*.*"):
                continue
            folder = find_ci(program, source[:-4])
            for name in sorted(os.listdir(folder)) if folder else []:
                if not os.path.isfile(os.path.join(folder, name)):
                    continue
                dest = find_ci(tree, f"{target}/{name}")
                if dest is None or not filecmp.cmp(os.path.join(folder, name), dest, shallow=False):
                    fail(f"[Copy_Files] {source}: {name} not on the disk in {target or 'the root'}")

        for source, target in definition.get("copy_cabs", []):
            if "*" in source:
                continue
            src = find_ci(program, source) or find_ci(program, "dos/" + source)
            dest = find_ci(tree, target)
            if src is None and dest is not None:
                fail(f"[Copy_CABs] {source}: on the disk without a source")
            elif src is not None and (dest is None or not filecmp.cmp(src, dest, shallow=False)):
                fail(f"[Copy_CABs] {source}: not on the disk as {target}")

        unpack = dos_can_unpack(program)
        for module, folder in definition.get("create_cabs", []):
            if not folder and module.lower() not in ("setupwin", "setupnt"):
                continue
            if not unpack:
                where = find_ci(tree, f"lib/{module}")
                if where is None or not os.path.isdir(where):
                    fail(f"[Create_CABs] {module}: no unpacked lib\\{module} on a disk whose DOS cannot unpack cabinets")
                elif find_ci(tree, f"lib/{module}.cab") is not None:
                    fail(f"[Create_CABs] {module}: a cabinet on a disk whose DOS cannot unpack it")
                else:
                    same_tree(find_ci(program, f"files/{module}"), where, f"lib\\{module}")
                continue
            cab = find_ci(tree, f"{folder}/{module}.cab")
            if cab is None and module.lower() in ("setupwin", "setupnt"):
                cab = find_ci(tree, f"lib/{module}.cab")  # the setup modules always go to lib
            if cab is None:
                fail(f"[Create_CABs] {module}: no {folder}\\{module}.cab on the disk")
                continue
            if run(["cabextract", "-t", "-q", cab]).returncode != 0:
                fail(f"{module}.cab: cabextract -t fails")
            unpacked = os.path.join(tmp, "cab-" + module)
            run(["cabextract", "-q", "-d", unpacked, cab])
            source = find_ci(program, f"files/{module}")
            if source and module not in ("setupwin", "setupnt"):  # those are generated
                same_tree(source, unpacked, f"{module}.cab")

        for key, _ in definition.get("defaultdrivers", []):
            kind, _, name = key.replace("/", "\\").partition("\\")
            shipped = find_ci(program, f"drivers/{kind}/{name}")
            on_disk = find_ci(tree, f"lib/{kind}/{name}")
            if shipped is None:
                fail(f"[DefaultDrivers] {key}: not shipped")
            elif on_disk is None:
                fail(f"[DefaultDrivers] {key}: not on the disk")
            elif not filecmp.cmp(shipped, on_disk, shallow=False):
                fail(f"[DefaultDrivers] {key}: differs from the shipped cabinet")
            if kind.lower() == "ndis":
                for f in ("etc/_msnet.nic", "etc/_msnet.pci"):
                    if find_ci(tree, f) is None:
                        fail(f"network disk without {f}")

        if server:
            net = find_ci(tree, "etc/autoexec.net")
            if net is None:
                fail("kivmax plugin: etc/autoexec.net missing")
            else:
                text = open(net, "rb").read().decode("latin-1")
                if server not in text or "$$" in text:
                    fail(f"kivmax plugin: autoexec.net does not name {server}: {text!r}")

    if failures:
        sys.exit(1)
    print(f"ok: {disk} ({size}) {os.path.basename(image)}")


if __name__ == "__main__":
    main()
