#!/usr/bin/env python3
"""Reads the backup sets of the program back as DOS RESTORE would.

The reader below knows only the DOS 3.3 BACKUP format: on each diskette a
CONTROL.nnn (a 139-byte header, directory blocks of 70 bytes each followed
by their 34-byte file entries) and a BACKUP.nnn holding the file parts.
From the control entries alone it puts the files back together and
compares them byte for byte with the originals, for sets of one to five
volumes, with a file split over volumes and a file of no bytes.

    backup_reader_test.py BACKUP_DRIVER

Prints what it checked; exits 1 at the first fault, naming it.
"""
import os
import random
import struct
import subprocess
import sys
import tempfile

HEADER_LENGTH = 0x8B
DIRECTORY_LENGTH = 0x46
ENTRY_LENGTH = 0x22
LAST_DISK = 0xFF
NO_NEXT_DIRECTORY = 0xFFFFFFFF


class Fault(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Fault(what)


def read_entry(raw, where):
    """One file entry: its fields by their offsets in the format."""
    check(raw[0] == ENTRY_LENGTH, f"{where}: entry length byte {raw[0]:#x}")
    name_field = raw[0x01:0x0D]
    name, _, padding = name_field.partition(b"\0")
    check(padding.strip(b"\0") == b"", f"{where}: the name field {name_field!r} is not zero-padded")
    flags = raw[0x0D]
    size, part, offset, length, attributes, time, date = struct.unpack_from("<IHIIHHH", raw, 0x0E)
    check(time & 0x1F <= 29, f"{where}: the seconds field {time & 0x1F} is past 58 seconds")
    check((time >> 5) & 0x3F < 60 and time >> 11 < 24, f"{where}: time {time:#06x}")
    check(1 <= (date >> 5) & 0x0F <= 12 and 1 <= date & 0x1F <= 31, f"{where}: date {date:#06x}")
    return {"name": name.decode("cp850"), "flags": flags, "size": size, "part": part,
            "offset": offset, "length": length, "attributes": attributes}


def restore(folder):
    """The files of the set in folder, {path: bytes}, and its number of disks."""
    restored = {}
    pending = None  # the file whose next part is due: [path, size, part, bytes]
    disk = 1
    while True:
        control_path = os.path.join(folder, f"CONTROL.{disk:03d}")
        check(os.path.exists(control_path), f"disk {disk} is missing: the set is not complete")
        control = open(control_path, "rb").read()
        data = open(os.path.join(folder, f"BACKUP.{disk:03d}"), "rb").read()
        where = f"CONTROL.{disk:03d}"
        check(len(control) >= HEADER_LENGTH and control[0] == HEADER_LENGTH, f"{where}: header length")
        check(control[1:9] == b"BACKUP  ", f"{where}: signature {control[1:9]!r}")
        check(control[9] == disk, f"{where}: disk number {control[9]}")
        last = control[0x8A]
        check(last in (0, LAST_DISK), f"{where}: last-disk byte {last:#x}")
        covered = []
        position = HEADER_LENGTH
        while True:
            check(control[position] == DIRECTORY_LENGTH, f"{where}@{position}: directory block")
            path = control[position + 1:position + 0x40].split(b"\0")[0].decode("cp850")
            count, next_block = struct.unpack_from("<HI", control, position + 0x40)
            entry_at = position + DIRECTORY_LENGTH
            for i in range(count):
                raw = control[entry_at + i * ENTRY_LENGTH:entry_at + (i + 1) * ENTRY_LENGTH]
                check(len(raw) == ENTRY_LENGTH, f"{where}: entry {i} cut short")
                entry = read_entry(raw, f"{where} entry {i}")
                full_name = (path + "\\" if path else "") + entry["name"]
                start, end = entry["offset"], entry["offset"] + entry["length"]
                check(end <= len(data), f"{where}: {full_name} part lies past the data file")
                covered.append((start, end))
                if entry["part"] == 1:
                    check(pending is None, f"{where}: {full_name} starts before "
                          f"{pending and pending[0]} has ended")
                    pending = [full_name, entry["size"], 1, b""]
                else:
                    check(pending is not None and pending[0] == full_name
                          and pending[2] + 1 == entry["part"],
                          f"{where}: {full_name} part {entry['part']} out of sequence")
                    check(entry["size"] == pending[1],
                          f"{where}: {full_name} part {entry['part']} gives the size "
                          f"{entry['size']}, its first part {pending[1]}")
                    pending[2] = entry["part"]
                pending[3] += data[start:end]
                if entry["flags"] & 1:
                    check(len(pending[3]) == pending[1],
                          f"{where}: {full_name} has {len(pending[3])} bytes, its entry {pending[1]}")
                    restored[full_name] = pending[3]
                    pending = None
            position = entry_at + count * ENTRY_LENGTH
            if next_block == NO_NEXT_DIRECTORY:
                break
            position = next_block
        check(position == len(control), f"{where}: {len(control) - position} bytes after the entries")
        # The parts lie end to end and fill the data file.
        reached = 0
        for start, end in sorted(covered):
            check(start == reached, f"BACKUP.{disk:03d}: a gap or overlap at {start}")
            reached = end
        check(reached == len(data), f"BACKUP.{disk:03d}: {len(data) - reached} bytes of no file")
        if last == LAST_DISK:
            break
        disk += 1
    check(pending is None, f"the set ends inside {pending and pending[0]}")
    check(not os.path.exists(os.path.join(folder, f"CONTROL.{disk + 1:03d}")),
          f"a disk follows the last one, {disk}")
    return restored, disk


def main():
    driver = sys.argv[1]
    rng = random.Random(1914)
    sizes = {"A.DAT": 0, "B.DAT": 1000, "C.DAT": 30000, "D.DAT": 5000, "E.DAT": 70000,
             "F.DAT": 1, "NOTES.TXT": 3000}
    seen_disks = set()
    split_files = 0
    with tempfile.TemporaryDirectory(prefix="qdeb_backup_reader_") as scratch:
        source = os.path.join(scratch, "Remeses")
        os.makedirs(source)
        originals = {}
        for name, size in sizes.items():
            content = bytes(rng.getrandbits(8) for _ in range(size))
            open(os.path.join(source, name), "wb").write(content)
            if name.endswith(".DAT"):
                originals[name] = content
        # The directory block keeps 63 bytes of the path, without the drive.
        expected_path = source.strip("/").replace("/", "\\")[:63]
        for capacity in (1457664, 80000, 45000, 32000, 26000):
            case = os.path.join(scratch, f"c{capacity}")
            drive, store, work = (os.path.join(case, d) for d in ("drive", "store", "work"))
            for d in (drive, store, work):
                os.makedirs(d)
            run = subprocess.run([driver, source, "*.DAT", drive, str(capacity), store, work],
                                 capture_output=True, text=True, timeout=120)
            if run.returncode != 0:
                raise Fault(f"capacity {capacity}: the driver says {run.stdout}{run.stderr}")
            restored, disks = restore(store)
            wanted = {expected_path + "\\" + name: content for name, content in originals.items()}
            check(restored.keys() == wanted.keys(),
                  f"capacity {capacity}: restored {sorted(restored)}, wanted {sorted(wanted)}")
            for name, content in wanted.items():
                check(restored[name] == content, f"capacity {capacity}: {name} differs")
            check(run.stdout.split() == ["completed", str(disks)],
                  f"capacity {capacity}: the driver says {run.stdout!r}, the reader {disks} disks")
            for control in sorted(f for f in os.listdir(store) if f.startswith("CONTROL.")):
                raw = open(os.path.join(store, control), "rb").read()
                count = struct.unpack_from("<H", raw, HEADER_LENGTH + 0x40)[0]
                for i in range(count):
                    at = HEADER_LENGTH + DIRECTORY_LENGTH + i * ENTRY_LENGTH
                    if struct.unpack_from("<H", raw, at + 0x12)[0] > 1:
                        split_files += 1
            seen_disks.add(disks)
            print(f"capacity {capacity}: {disks} disk(s), {len(restored)} files restored")
    check(seen_disks == {1, 2, 3, 4, 5}, f"sets of {sorted(seen_disks)} disks, not one to five")
    check(split_files > 0, "no file was split over two disks")
    print(f"ok: {split_files} continued parts read back")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Fault as fault:
        print(f"FAULT {fault}")
        sys.exit(1)
