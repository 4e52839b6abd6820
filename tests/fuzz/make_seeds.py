#!/usr/bin/env python3
"""Seed corpora for the fuzz harnesses, laid out as each target reads its input
(see the *_target.cpp files): built from the captured drives, the scenarios and
the scripts the project uses. Usage: make_seeds.py OUT_DIR TESTDATA_DIR SOURCE_DIR"""
import glob
import os
import re
import struct
import sys

out_dir, testdata, source = sys.argv[1:4]


def captures():
    """(name, identify, smart data) of every captured drive."""
    found = []
    for path in sorted(glob.glob(os.path.join(testdata, "drives", "*"))):
        if path.endswith(".md"):
            continue
        data, pos, sections = open(path, "rb").read(), 0, {}
        while pos + 8 <= len(data):
            tag, n = data[pos:pos + 4].decode("latin-1"), struct.unpack(">I", data[pos + 4:pos + 8])[0]
            sections[tag] = data[pos + 8:pos + 8 + n]
            pos += 8 + n
        found.append((os.path.basename(path), sections.get("IDFY", bytes(512)), sections.get("SMDT", bytes(512))))
    return found


def swapped(block, first, words):
    return b"".join(bytes([block[2 * w + 1], block[2 * w]]) for w in range(first, first + words))


def device_descriptor(identify, hex_serial=False, vendor=None):
    texts = [vendor, swapped(identify, 27, 20), swapped(identify, 23, 4),
             identify[20:40].hex().encode() if hex_serial else swapped(identify, 10, 10)]
    d = bytearray(40)
    struct.pack_into("<I", d, 0, 40)
    for i, t in enumerate(texts):
        if t is None:
            continue
        struct.pack_into("<I", d, 12 + 4 * i, len(d))
        d += t + b"\0"
    struct.pack_into("<I", d, 4, len(d))
    return bytes(d)


def adapter(bus, max_transfer=131072):
    a = bytearray(32)
    struct.pack_into("<IIIII", a, 0, 32, 32, max_transfer, 33, 1)
    a[24] = bus
    return bytes(a)


def inquiry(target=0):
    b = bytearray(72)
    b[0], b[4], b[5] = 1, 1, 7
    struct.pack_into("<I", b, 8, 12)
    b[13], b[15] = target, 1
    struct.pack_into("<I", b, 16, 36)
    b[38], b[39], b[40] = 5, 2, 31
    b[44:52] = b"ATA     "
    return bytes(b)


def version(device_map=1):
    v = bytearray(24)
    v[0], v[1], v[3] = 1, 1, device_map
    return bytes(v)


def chunk(b):
    return struct.pack("<H", len(b)) + b


def answer(b, reported=None):
    """One request that succeeds with these bytes (AnswerPlatform's layout)."""
    return b"\0" + struct.pack("<H", len(b) if reported is None else reported) + b


FAILS = b"\2"  # one request that fails with ERROR_INVALID_FUNCTION


def geometry(bytes_per_sector=512):
    return struct.pack("<qIIII", 30401, 12, 255, 63, bytes_per_sector)


def write(target, name, data):
    folder = os.path.join(out_dir, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + re.sub(r"[^A-Za-z0-9.-]", "_", name)), "wb") as f:
        f.write(data)


drives = captures()
for name, idfy, smdt in drives:
    sectors = struct.unpack_from("<I", idfy, 120)[0] or 1000000
    for bus in (3, 7, 11):
        for hex_serial in (False, True):
            tag = f"{name}-bus{bus}-{'hex' if hex_serial else 'text'}"
            dev = device_descriptor(idfy, hex_serial, b"ATA" if bus == 7 else None)
            # The simulated drive: sector size, length, cylinders, slave, failures, answers.
            write("storage", tag, b"\0" + struct.pack("<IqqBB", 512, sectors * 512, 0, 0, 0x40) + chunk(adapter(bus)) +
                  chunk(dev) + chunk(version()) + inquiry())
            # The answers straight: geometry, length, adapter, device, version, inquiry.
            write("storage", tag + "-answers", b"\1" + answer(geometry()) + answer(struct.pack("<q", sectors * 512)) +
                  answer(adapter(bus)) + answer(dev) + answer(version(2)) + answer(inquiry(1)))
    data_answer = struct.pack("<I", 512) + bytes(12)
    for flags in (0x00, 0x02, 0x03):
        write("ata", f"{name}-sim-{flags}", b"\0" + bytes([flags, 0]) + struct.pack("<HHH", 0, 0, 0) + idfy + smdt)
    # IDENTIFY through the S.M.A.R.T. path, then SMART READ DATA, on a SATA disk.
    write("ata", name + "-smart-path", b"\1" + answer(version()) + answer(data_answer + idfy) +
          answer(data_answer + smdt))
    # IDENTIFY through the miniport on the ATA bus; enable, identify, read, disable.
    srb = bytearray(28)
    struct.pack_into("<I", srb, 0, 28)
    srb[4:12] = b"SCSIDISK"
    struct.pack_into("<III", srb, 12, 120, 0x1B0501, 0)
    struct.pack_into("<I", srb, 24, 544)
    miniport = bytes(srb) + data_answer + idfy + bytes(16)
    write("ata", name + "-miniport", b"\3" + FAILS + answer(miniport) + FAILS + answer(miniport) +
          answer(data_answer) + answer(data_answer + smdt) + answer(data_answer))
    write("ata", name + "-short", b"\1" + answer(version()) + answer(data_answer + idfy, 520) +
          answer(data_answer + smdt, 520))
    write("files", name, open(os.path.join(testdata, "drives", name), "rb").read())

for device_map, target in ((1, 0), (2, 1), (0x0A, 0)):
    write("inquiry", f"map{device_map}-target{target}", b"\1" + answer(version(device_map)) + answer(inquiry(target)))
    write("inquiry", f"inquiry-target{target}", b"\1" + FAILS + answer(inquiry(target)))
    write("inquiry", f"sim-target{target}", b"\0" + b"\0" + chunk(inquiry(target)))
    write("inquiry", f"sim-version{device_map}", b"\0" + b"\3" + chunk(version(device_map)) + chunk(inquiry(target)))
two_buses = bytearray(inquiry(1)) + bytes(24)
two_buses[0] = 2
write("inquiry", "two-buses", b"\1" + FAILS + answer(bytes(two_buses)))

for path in [os.path.join(source, "src/platform/sim/default_pc.json")] + sorted(
        glob.glob(os.path.join(source, "tests/**/*.json"), recursive=True)):
    write("files", os.path.basename(path), open(path, "rb").read())
write("files", "raw-answers.json", b'{"drives": [{"number": 0, "bus": 3, "device": "28 00 00 00 ff 00 00 00", '
      b'"adapter": "20000000", "scsiInquiry": "01", "smartVersion": "", "fail": {"geometry": 0}, '
      b'"ata": {"identify": "' + b"00" * 512 + b'", "answerBytes": {"smartReceive": 520, "miniport": 600}}}], '
      b'"volumes": [{"letter": "C", "deviceNumber": 0}], "clock": {"start": "2026-12-08T17:05:09", '
      b'"jumps": [{"afterMilliseconds": 1, "byMilliseconds": -5}]}, "errorMessages": {"0x15": "x"}}')

scripts = set()
for path in glob.glob(os.path.join(source, "tests/**/*.cpp"), recursive=True) + [os.path.join(source, "docs/headless.md")]:
    for text in re.findall(r"'([^'\n]*(?:accept|click|select|tab|wait)[^'\n]*)'|\"((?:accept|decline|click|select|tab|"
                           r"wait|answer|check|key|close|dblclick|mouse)[^\"\n]*)\"", open(path, encoding="utf-8").read()):
        scripts.add((text[0] or text[1]).replace("\\n", "\n"))
for i, text in enumerate(sorted(scripts)):
    write("script", f"{i:03d}", text.encode())
write("script", "comments", b"# a comment\naccept # first run\n\nselect DriveList none;;key DriveList 13\r\n")
