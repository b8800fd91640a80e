#!/usr/bin/env python3
"""Writes engine/SignatureTable.cpp, the built-in detection table.

Records 0 and 42 are fixed; the others come from a seeded generator, so the
output is the same on every run. Run from the repository root:

    python3 tools/gen_signatures.py > engine/SignatureTable.cpp

The invented records keep the table's known shape: every record tests the
exact length, lengths run from 24576 to 323072, first offsets from -95024 to
490239 and second offsets from -225680 to 624159 (both ends used), 17 first
and 36 second offsets are negative.

A group of records (OVERLAY_RECORDS) has both patterns far past the entry
point and a long file length: a small real program padded to that length
carries both patterns in its overlay, past every section, so a runnable copy
of it can match such a record (see tools/samplegen). The distances leave room
for a program of up to about 120 KB with its debugging sections.
"""

import os
import random
import sys

SEED = 20011208

# The detection name of each record, in table order, one a line; the unit
# tests check the built table against the same list.
NAMES_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signature_names.txt")
with open(NAMES_FILE) as names_file:
    NAMES = [line.strip() for line in names_file if line.strip()]

FIXED = {
    0: (101617, bytes.fromhex("9ca7bc7054e15dcb24dbc046f3b8757b10ee526a"),
        135361, bytes.fromhex("c5d5ae9f8459872625a34f75e9ddf834d205e59c"), 95744),
    42: (1349, bytes.fromhex("33c2ab83ee038d7ffd2bd1c1ca0b490f85eaffff"),
         -1278, bytes.fromhex("8d760433c2ab83c6fd8d7ffd2bd1c1ca0b490f85"), 90624),
}

MIN_SIZE, MAX_SIZE = 24576, 323072
MIN_FIRST, MAX_FIRST = -95024, 490239
MIN_SECOND, MAX_SECOND = -225680, 624159
NEGATIVE_FIRST, NEGATIVE_SECOND = 17, 36

OVERLAY_RECORDS = [5, 11, 19, 23, 38, 48, 63, 65, 73, 77, 79, 84]


def build():
    rng = random.Random(SEED)
    free = [i for i in range(len(NAMES)) if i not in FIXED and i not in OVERLAY_RECORDS]
    fixed_neg_first = sum(1 for r in FIXED.values() if r[0] < 0)
    fixed_neg_second = sum(1 for r in FIXED.values() if r[2] < 0)
    neg_first = set(rng.sample(free, NEGATIVE_FIRST - fixed_neg_first))
    neg_second = set(rng.sample(free, NEGATIVE_SECOND - fixed_neg_second))

    # The range ends, each on its own record.
    ends = rng.sample(free, 6)
    pos_first_end = [i for i in free if i not in neg_first and i not in ends][0]
    neg_first_end = sorted(neg_first - set(ends))[0]
    pos_second_end = [i for i in free if i not in neg_second and i not in ends
                      and i != pos_first_end and i != neg_first_end][0]
    neg_second_end = sorted(neg_second - set(ends) - {pos_first_end, neg_first_end})[0]

    used_patterns = set(p for r in FIXED.values() for p in (r[1], r[3]))

    def pattern():
        while True:
            p = bytes(rng.randrange(256) for _ in range(20))
            if p not in used_patterns and p.count(0) < 4:
                used_patterns.add(p)
                return p

    records = []
    for i, name in enumerate(NAMES):
        if i in FIXED:
            first, p1, second, p2, size = FIXED[i]
            records.append((name, first, p1, second, p2, size))
            continue
        if i in OVERLAY_RECORDS:
            size = rng.randrange(260000, MAX_SIZE - 4096) & ~0x1FF
            first = int(size * rng.uniform(0.60, 0.70))
            second = int(size * rng.uniform(0.80, 0.95))
        else:
            size = rng.randrange(MIN_SIZE, MAX_SIZE + 1)
            while True:
                first = (rng.randrange(MIN_FIRST, 0) if i in neg_first
                         else rng.randrange(1, MAX_FIRST + 1))
                second = (rng.randrange(MIN_SECOND, 0) if i in neg_second
                          else rng.randrange(1, MAX_SECOND + 1))
                if abs(second - first) >= 64:
                    break
        records.append([name, first, None, second, None, size])

    def set_field(index, field, value):
        records[index] = list(records[index])
        records[index][field] = value

    set_field(ends[0], 5, MIN_SIZE)
    set_field(84, 5, MAX_SIZE)  # an overlay record: the longest file
    set_field(pos_first_end, 1, MAX_FIRST)
    set_field(neg_first_end, 1, MIN_FIRST)
    set_field(pos_second_end, 3, MAX_SECOND)
    set_field(neg_second_end, 3, MIN_SECOND)

    out = []
    for i, r in enumerate(records):
        name, first, p1, second, p2, size = r
        if p1 is None:
            p1, p2 = pattern(), pattern()
        out.append((name, first, p1, second, p2, size))
    return out


def check(records):
    assert len(records) == 85
    assert min(r[5] for r in records) == MIN_SIZE and max(r[5] for r in records) == MAX_SIZE
    assert min(r[1] for r in records) == MIN_FIRST and max(r[1] for r in records) == MAX_FIRST
    assert min(r[3] for r in records) == MIN_SECOND and max(r[3] for r in records) == MAX_SECOND
    assert sum(1 for r in records if r[1] < 0) == NEGATIVE_FIRST
    assert sum(1 for r in records if r[3] < 0) == NEGATIVE_SECOND
    assert all(abs(r[3] - r[1]) >= 64 for r in records)
    assert len(set(r[0] for r in records)) == 51


def bytes_text(pattern):
    return "{" + ", ".join("0x%02x" % b for b in pattern) + ", 0x00}"


def emit(records, stream):
    stream.write("// Generated by tools/gen_signatures.py; edit the generator, not this file.\n")
    stream.write('#include "engine/SignatureTable.h"\n\n')
    stream.write("const SignatureRecord SignatureTable[kSignatureCount + 1] = {\n")
    for i, (name, first, p1, second, p2, size) in enumerate(records):
        stream.write("    // %d\n" % i)
        stream.write('    {"%s",\n' % name)
        stream.write("     %d,\n     %s,\n" % (first, bytes_text(p1)))
        stream.write("     %d,\n     %s,\n" % (second, bytes_text(p2)))
        stream.write("     %d, 1},\n" % size)
    stream.write("    // terminator\n    {},\n};\n")


if __name__ == "__main__":
    table = build()
    check(table)
    emit(table, sys.stdout)
