#!/usr/bin/env python3
"""Reads an exported EDS as a CANopen configuration tool would and checks it.

usage: check_eds.py FILE [--comm IDX=COBID]... [--map IDX=V1,V2,...]... [--object IDX]...

Checks the CiA 306 rules every tool relies on: each listed object has its section, each
object's SubNumber matches its sub-index sections, the object lists' counts match their
entries, every data type is a known one, and each mapping entry names an existing object of
the right bit length. Then the expected PDO identifiers and mapping entries. Prints one line
per fault and exits 1 when there is any; "NOTE:" lines are observations that do not fail.
"""
import configparser
import re
import sys

KNOWN_TYPES = {0x0001: 1, 0x0002: 8, 0x0003: 16, 0x0004: 32, 0x0005: 8, 0x0006: 16, 0x0007: 32,
               0x0008: 32, 0x0009: None, 0x000A: None, 0x000B: None, 0x000F: None, 0x0010: 24,
               0x0011: 64, 0x0012: 40, 0x0013: 48, 0x0014: 56, 0x0015: 64, 0x0016: 24, 0x0018: 40,
               0x0019: 48, 0x001A: 56, 0x001B: 64}


def num(text):
    text = text.strip()
    if text.upper().startswith("$NODEID"):
        return None
    return int(text, 0)


def main(argv):
    path = argv[1]
    expect_comm, expect_map, expect_objects = {}, {}, []
    args = argv[2:]
    while args:
        opt, val = args[0], args[1]
        args = args[2:]
        if opt == "--comm":
            k, v = val.split("=")
            expect_comm[int(k, 16)] = int(v, 0)
        elif opt == "--map":
            k, v = val.split("=")
            expect_map[int(k, 16)] = [int(x, 0) for x in v.split(",") if x]
        elif opt == "--object":
            expect_objects.append(int(val, 16))
    faults, notes = [], []
    cp = configparser.ConfigParser(strict=False, interpolation=None)
    with open(path, encoding="utf-8", newline=None) as f:
        cp.read_file(f)
    sec = {s.upper(): cp[s] for s in cp.sections()}

    def get(s, k):
        s = sec.get(s.upper())
        return None if s is None or k not in s else s[k].strip()

    listed = {}
    for block in ("MandatoryObjects", "OptionalObjects", "ManufacturerObjects"):
        b = sec.get(block.upper())
        if b is None:
            faults.append("no section [%s]" % block)
            continue
        n = num(b.get("SupportedObjects", "0"))
        entries = [k for k in b if k.lower() != "supportedobjects"]
        if n != len(entries):
            faults.append("[%s] SupportedObjects=%d but %d entries" % (block, n, len(entries)))
        for i in range(1, n + 1):
            if str(i) not in b:
                faults.append("[%s] entry %d missing" % (block, i))
                continue
            idx = int(b[str(i)], 0)
            if idx in listed:
                faults.append("object 0x%04X listed twice" % idx)
            listed[idx] = block
            if block == "OptionalObjects" and 0x2000 <= idx <= 0x5FFF:
                notes.append("manufacturer object 0x%04X listed under OptionalObjects" % idx)

    subs_of = {}
    for name in sec:
        m = re.fullmatch(r"([0-9A-F]{4})SUB([0-9A-F]+)", name)
        if m:
            subs_of.setdefault(int(m.group(1), 16), set()).add(int(m.group(2), 16))

    def check_var(name):
        dt = get(name, "DataType")
        if dt is None:
            faults.append("[%s] has no DataType" % name)
            return
        if num(dt) not in KNOWN_TYPES:
            faults.append("[%s] unknown DataType %s" % (name, dt))

    for idx in listed:
        name = "%04X" % idx
        if name not in sec:
            faults.append("listed object 0x%04X has no section" % idx)
            continue
        sn = get(name, "SubNumber")
        if sn:
            have = subs_of.get(idx, set())
            if num(sn) != len(have):
                faults.append("[%s] SubNumber=%s but %d sub sections" % (name, sn, len(have)))
            for s in have:
                check_var("%04Xsub%X" % (idx, s))
            highest = get("%04Xsub0" % idx, "DefaultValue")
            if highest is not None and have and num(highest) is not None and num(highest) != max(have):
                notes.append("[%04Xsub0] DefaultValue=%s but highest sub-index is %d" % (idx, highest, max(have)))
        else:
            check_var(name)

    for idx, cob in expect_comm.items():
        v = get("%04Xsub1" % idx, "DefaultValue")
        if idx not in listed:
            faults.append("communication object 0x%04X not listed" % idx)
        if v is None or num(v) != cob:
            faults.append("[%04Xsub1] DefaultValue=%s, expected 0x%X" % (idx, v, cob))
    for idx, values in expect_map.items():
        if idx not in listed:
            faults.append("mapping object 0x%04X not listed" % idx)
        n = get("%04Xsub0" % idx, "DefaultValue")
        if n is None or num(n) != len(values):
            faults.append("[%04Xsub0] DefaultValue=%s, expected %d" % (idx, n, len(values)))
        for k, want in enumerate(values, 1):
            v = get("%04Xsub%X" % (idx, k), "DefaultValue")
            if v is None or num(v) != want:
                faults.append("[%04Xsub%X] DefaultValue=%s, expected 0x%08X" % (idx, k, v, want))
                continue
            obj, sub, bits = want >> 16, (want >> 8) & 0xFF, want & 0xFF
            target = "%04Xsub%X" % (obj, sub)
            if target.upper() not in sec:
                faults.append("[%04Xsub%X] maps 0x%04X.%02X, which has no section" % (idx, k, obj, sub))
                continue
            dt = num(get(target, "DataType") or "0")
            if KNOWN_TYPES.get(dt) != bits:
                faults.append("[%s] DataType 0x%04X is not %d bits" % (target, dt, bits))
            if obj not in listed:
                faults.append("mapped object 0x%04X is not listed" % obj)
    for idx in expect_objects:
        if idx not in listed:
            faults.append("object 0x%04X not listed" % idx)
    if get("DeviceInfo", "NrOfRXPDO") != "8" or get("DeviceInfo", "NrOfTXPDO") != "16":
        faults.append("[DeviceInfo] NrOfRXPDO/NrOfTXPDO are not 8/16")
    for n in notes:
        print("NOTE: " + n)
    for f in faults:
        print(f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
