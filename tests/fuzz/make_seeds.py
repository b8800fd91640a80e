#!/usr/bin/env python3
"""Writes the fuzz targets' seed inputs (tests/fuzz/corpus/<target>/seed-*) from
the inputs the unit tests use. The PE samples come from the sample generator,
the performance-data blocks from the simulated Windows (perf_data_seeds beside it):

    python3 tests/fuzz/make_seeds.py build/native/make_samples

Inputs the fuzzer found (crashes made regressions, or new coverage kept) sit
beside the seeds under other names and are never rewritten here.

The seeds of the hive targets are not written here: they were made once, with
hivex and the log layouts of tests/offline/HiveTestSupport, and are kept as
they are (hive_logs: a flags byte, a small hive file not closed cleanly with
its length, .LOG1 with its length, .LOG2, in both log formats and with a
damaged base block; offline_registry: key and value indexes, a flags byte and
a small hive of four keys and four values)."""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

# The attachment record's plain pattern (tests/unit/HostsCheckTest.cpp).
PLAIN_PATTERN = (b"E=&EC(&%T=&%C:&UE;G0@<V%M<&QE(&9O<B!T:&4@M96YC;V1E9\"UT97AT(&UA=&-H97([(&AA<FUL97-S"
                 b"(&9I;&QE<B!B>71E<R")[:100]


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as out:
        out.write(data)


def text(value):
    """A FuzzInput text field: 16-bit length, then the bytes."""
    value = value.encode("latin-1") if isinstance(value, str) else value
    return struct.pack("<H", len(value)) + value


# --- PE matcher --------------------------------------------------------------

def pe_file(make_samples, length, sections=(), pe=0x80, entry=0, headers=0x400, count=None, plus=False):
    """Bare PE headers from the sample generator (make_samples --headers);
    sections are (virtual address, virtual size, raw pointer)."""
    args = [make_samples, "--headers", str(length), "--pe-offset", str(pe), "--entry", str(entry),
            "--headers-size", str(headers)]
    for va, vsize, raw in sections:
        args += ["--section", "%d,%d,%d" % (va, vsize, raw)]
    if count is not None:
        args += ["--section-count", str(count)]
    if plus:
        args.append("--pe32plus")
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "headers")
        subprocess.run(args + ["--out", out], check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as made:
            return bytearray(made.read())


def loose_tail(first, second, first_pattern, second_pattern):
    """The last 48 bytes, which the fuzz target turns into its loose records."""
    return struct.pack("<ii", first, second) + first_pattern + second_pattern


def pe_seeds(make_samples):
    write("pe_matcher", "short", b"MZ" + bytes(59))
    write("pe_matcher", "text", b"This is no program at all.\r\n" * 4)
    if not make_samples:
        print("make_seeds.py: no make_samples given, the PE seeds are left as they are", file=sys.stderr)
        return
    # The engine tests' sample: no sections, patterns at the entry point.
    sample = pe_file(make_samples, 1024, entry=512, headers=0x200, pe=64)
    sample[512:532] = bytes(range(1, 21))
    sample[544:564] = bytes(range(101, 121))
    write("pe_matcher", "no-sections", sample)
    # The matcher tests' one-section file, with patterns the loose records look for.
    one = pe_file(make_samples, 20000, sections=[(4096, 8192, 1024)], entry=6144)
    one[3072:3092] = bytes(range(0x40, 0x54))
    one[3072 + 32:3072 + 52] = bytes(range(0x60, 0x74))
    one[-48:] = loose_tail(0, 32, bytes(range(0x40, 0x54)), bytes(range(0x60, 0x74)))
    write("pe_matcher", "one-section-match", one)
    write("pe_matcher", "twenty-sections", pe_file(make_samples, 2048, sections=[(0x1000 * (i + 1), 0x1000, 0x400)
                                                                                for i in range(20)]))
    write("pe_matcher", "twenty-one-sections", pe_file(make_samples, 2048, count=21))
    write("pe_matcher", "pe32plus", pe_file(make_samples, 4096, sections=[(0x1000, 0x2000, 0x400)], plus=True))
    write("pe_matcher", "signature-at-high-offset", pe_file(make_samples, 0x10100, pe=0xFFF8))
    with tempfile.TemporaryDirectory() as work:
        for name, args in (("record-27", ["--record", "27"]),
                           ("record-27-near-miss", ["--near-miss", "second-byte", "--record", "27"]),
                           ("record-27-truncated", ["--near-miss", "truncated", "--record", "27"])):
            out = os.path.join(work, name)
            subprocess.run([make_samples] + args + ["--out", out], check=True, stdout=subprocess.DEVNULL)
            with open(out, "rb") as sample_file:
                write("pe_matcher", name, sample_file.read())


# --- hosts check -------------------------------------------------------------

def hosts_control(action=0, two_records=False, delete_works=True, search_mode=1, region=0, position=0,
                  pattern_length=100, size_rule=18):
    choice = action | (0x40 if two_records else 0) | (0x80 if delete_works else 0)
    return bytes([choice, search_mode, region]) + struct.pack("<h", position) + bytes([pattern_length, size_rule - 16, 0])


def as_lines(text_bytes):
    return b"".join(text_bytes[i:i + 61] + b"\r\n" for i in range(0, len(text_bytes), 61))


def filler(length):
    chars = b"M0V]R9&%F:7@@<WN=&A=&C(&%T=&%C:&U;G0@<V%M<&Q(&9O<B!T:&4@"
    return bytes(chars[i % len(chars)] for i in range(length))


def hosts_seeds():
    infected = b"begin 644 hosts\r\n" + as_lines(filler(300) + PLAIN_PATTERN + filler(300))
    write("hosts_check", "ordinary", hosts_control() + b"127.0.0.1       localhost\r\n::1 localhost\r\n")
    write("hosts_check", "infected-delete", hosts_control(0) + infected)
    write("hosts_check", "infected-rename", hosts_control(1) + infected)
    write("hosts_check", "infected-leave", hosts_control(3, delete_works=False) + infected)
    write("hosts_check", "upper-case-header", hosts_control(0) + b"BEGIN" + infected[5:])
    late = b"begin 644 hosts\r\n" + as_lines(filler(4200) + PLAIN_PATTERN)
    write("hosts_check", "pattern-after-4096", hosts_control(0) + late)
    exact = (b"begin" + filler(4091))[:4096]
    write("hosts_check", "exactly-4096", hosts_control(0) + exact)
    write("hosts_check", "shorter-than-pattern", hosts_control(0) + b"begin" + filler(50))
    write("hosts_check", "fixed-position-head",
          hosts_control(0, two_records=True, search_mode=0, region=0, position=5, size_rule=17)
          + b"begin" + PLAIN_PATTERN + filler(200))
    write("hosts_check", "fixed-position-tail",
          hosts_control(2, two_records=True, search_mode=2, region=1, position=100, size_rule=16)
          + b"begin" + filler(5000) + PLAIN_PATTERN)


# --- rename script -----------------------------------------------------------

def rename_seeds():
    scripts = {
        "missing": b"",
        "four-lines": b"[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nkey=value\r\n",
        "rename-last": b"[boot]\r\nshell=x\r\n[Rename]\r\nNUL=C:\\A\r\n",
        "upper-case-header": b"[RENAME]\r\n[x]\r\n",
        "blank-before-header": b" [rename]\r\nNUL=C:\\A\r\n",
        "header-with-text": b"[rename]more text\r\nNUL=C:\\A\r\n[y]\r\n",
        "two-rename-sections": b"[rename]\r\na=b\r\n[rename]\r\nc=d\r\n",
        "no-rename-section": b"[boot]\r\nshell=x\r\n",
        "no-last-line-end": b"[rename]\r\nNUL=C:\\A",
        "long-line": b"[rename]\r\n" + b"x" * 700 + b"\r\n[other]\r\n",
        "long-header-line": b"[" + b"y" * 700 + b"\r\nx=y\r\n",
        "binary": b"[rename]\r\nNUL=C:\\A\x00\x1a\xff\r\n[x]\r\n",
    }
    for name, script in scripts.items():
        write("rename_script", name, script)


# --- autostart -----------------------------------------------------------------

def autostart_input(path, values, remembered="", variables=("", "", "", "")):
    data = text(path) + text(remembered)
    for value in variables:
        data += text(value)
    for key, kind, name, value in values:
        raw = value.encode("latin-1") + (b"\0" if kind in (1, 2) else b"")
        data += bytes([key, kind]) + text(name) + text(raw)
    return data


def autostart_seeds():
    system = "D:\\Windows\\System32\\abc.exe"
    write("autostart", "bare-in-system32", autostart_input(system, [(0, 1, "Loader", "abc.exe")]))
    write("autostart", "bare-elsewhere", autostart_input("D:\\Temp\\abc.exe", [(0, 1, "Loader", "abc.exe")]))
    write("autostart", "bare-variants", autostart_input("C:\\WINDOWS\\SYSTEM\\abc.exe", [
        (0, 1, "Longer", "xabc.exe"), (0, 1, "Rooted", "\\abc.exe -quiet"), (0, 1, "Other", "notepad.exe")]))
    write("autostart", "paths", autostart_input(system, [
        (0, 1, "Upper", "D:\\WINDOWS\\SYSTEM32\\ABC.EXE /s"),
        (0, 1, "Quoted", "\"d:\\windows\\system32\\abc.exe\" -run now"),
        (0, 1, "AsArgument", "C:\\Tools\\launch.exe D:\\Windows\\System32\\abc.exe"),
        (1, 1, "OtherFolder", "D:\\Program Files\\abc.exe")]))
    write("autostart", "expanded", autostart_input(system, [
        (0, 2, "Expanded", "%SystemRoot%\\system32\\abc.exe"), (1, 2, "Unknown", "%NOPE%\\abc.exe")],
        variables=("D:\\Windows", "D:\\Windows", "D:\\Program Files", "abc")))
    write("autostart", "remembered", autostart_input(system, [
        (0, 1, "Loader", "other.exe"), (1, 1, "Loader", "x.exe"), (1, 4, "Count", "\x01\x00\x00\x00")],
        remembered="Loader"))
    write("autostart", "types-and-lengths", autostart_input(system, [
        (0, 3, "Binary", "D:\\Windows\\System32\\abc.exe\x00\xff"),
        (0, 7, "Multi", "abc.exe\x00second\x00\x00"),
        (0, 1, "N" * 200, "abc.exe"),
        (1, 1, "Long", "D:\\" + "x" * 300 + "\\abc.exe")]))
    # Names up to what the enumeration takes (16,383): only one that fits the remembered name may go.
    write("autostart", "name-lengths", autostart_input(system, [
        (0, 1, "A" * 127, "abc.exe"), (0, 1, "B" * 128, "abc.exe"), (1, 1, "C" * 16383, "D:\\Windows\\System32\\abc.exe")]))
    write("autostart", "no-backslash", autostart_input("abc.exe", [(0, 1, "Loader", "abc.exe")]))


# --- path shortening -------------------------------------------------------------

def shorten_seeds():
    path61 = "C:\\" + "a" * 54 + "\\b.exe"
    for name, width, size, source in (("sixty-one", 60, 255, path61), ("sixty", 60, 255, path61[:60]),
                                      ("width-100", 100, 255, "D:\\" + "x" * 150), ("width-3", 3, 10, "abcdef"),
                                      ("small-buffer", 60, 61, path61 + "tail"), ("negative", 0xF6, 50, "x")):
        write("shorten_path", name, bytes([width, size]) + source.encode("latin-1"))


# --- performance data ---------------------------------------------------------------

def perf_data_seeds(make_samples):
    if make_samples:
        folder = os.path.join(CORPUS, "perf_data")
        os.makedirs(folder, exist_ok=True)
        writer = os.path.join(os.path.dirname(make_samples), "perf_data_seeds")
        subprocess.run([writer, folder], check=True)


def main():
    make_samples = sys.argv[1] if len(sys.argv) > 1 else None
    pe_seeds(make_samples)
    perf_data_seeds(make_samples)
    hosts_seeds()
    rename_seeds()
    autostart_seeds()
    shorten_seeds()


if __name__ == "__main__":
    main()
