#!/usr/bin/env python3
"""Damaged cube and grid files through the command-line tool.

Mutants of the committed cube and grid files (bytes flipped, cut, repeated,
counts and lengths overwritten with extreme values), made both in the
compressed file and in the decoded container (re-encoded as plain literals, so
that the damage reaches the parser), go through info, members, facts, pivot
and export. Every run must end within the time limit and either succeed with
nothing on stderr, or fail with exit status 1 or 2 and one clean line on stderr:
the command's prefix and a message in Chinese that says the file is damaged
before any detail of the stream, no sanitizer report, no C++ internals (status
2 is a name the damaged file no longer has, a usage error). Seeded: the same
seed gives the same mutants.

usage: corrupt_files.py --cli QUARRYDESK-CLI --data TESTS-DATA-DIR
                        [--count N] [--seed S] [--timeout SECONDS] [--keep DIR]
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

RING, MAX_MATCH = 4096, 18


def lzss_decode(code):
    """The program's LZSS code stream: flags byte, then literals or matches."""
    ring = bytearray(RING)
    pos = RING - MAX_MATCH
    out = bytearray()
    i = 0
    while i < len(code):
        flags = code[i]
        i += 1
        for _ in range(8):
            if i >= len(code):
                break
            if flags & 1:
                b = code[i]
                i += 1
                out.append(b)
                ring[pos] = b
                pos = (pos + 1) % RING
            else:
                if i + 1 >= len(code):
                    return bytes(out)
                b0, b1 = code[i], code[i + 1]
                i += 2
                start = b0 | ((b1 & 0xF0) << 4)
                for k in range((b1 & 0x0F) + 3):
                    b = ring[(start + k) % RING]
                    out.append(b)
                    ring[pos] = b
                    pos = (pos + 1) % RING
            flags >>= 1
    return bytes(out)


def lzss_literals(data):
    """A valid code stream of literals only."""
    out = bytearray()
    for i in range(0, len(data), 8):
        chunk = data[i:i + 8]
        out.append((1 << len(chunk)) - 1)
        out += chunk
    return bytes(out)


EXTREMES = [b"\xff\xff\xff\x7f", b"\xff\xff\xff\xff", b"\x00\x00\x00\x80", b"\x00\x00\x00\x00",
            b"\xff\xff", b"\x00\x80", b"\x13", b"\x10", b"\x06"]


def mutate(data, rng):
    data = bytearray(data)
    for _ in range(rng.choice([1, 1, 1, 2, 3, 8])):
        if not data:
            break
        kind = rng.randrange(6)
        at = rng.randrange(len(data))
        if kind == 0:
            data[at] ^= 1 << rng.randrange(8)
        elif kind == 1:
            data[at] = rng.randrange(256)
        elif kind == 2:
            del data[at:]
        elif kind == 3:
            value = rng.choice(EXTREMES)
            data[at:at + len(value)] = value
        elif kind == 4:
            n = rng.randrange(1, 64)
            data[at:at] = data[at:at + n]
        else:
            del data[at:at + rng.randrange(1, 64)]
    return bytes(data)


SANITIZER = re.compile(r"Sanitizer|runtime error:|terminate called|std::|basic_string|Aborted")
# The stream's own words come only after the sentence that tells the user what
# happened to which file.
LOW_LEVEL = re.compile(r"非法流数据|流数据不完整|非法属性值|Cannot read from the stream|数组越界")
DAMAGED = re.compile(r"文件已损坏或不是Cube(列表)?文件：")
CJK = re.compile(r"[\u3000-\u303f\u4e00-\u9fff\uff00-\uffef]")


def verdict(command, result, timed_out):
    if timed_out:
        return "no answer within the time limit"
    if result.returncode < 0:
        return "ended by signal %d" % -result.returncode
    err = result.stderr.decode("utf-8", "replace")
    if SANITIZER.search(err):
        return "sanitizer or C++ internals on stderr"
    if result.returncode == 0:
        # A mutant the reader accepts is fine; a success may warn, no more.
        warning = "quarrydesk-cli %s: 注意：" % command
        if all(line.startswith(warning) for line in err.splitlines()):
            return None
        return "success with an error on stderr"
    if result.returncode not in (1, 2):
        return "exit status %d" % result.returncode
    lines = err.splitlines()
    if len(lines) != 1 or not err.endswith("\n"):
        return "%d lines on stderr" % len(lines)
    if not lines[0].startswith("quarrydesk-cli %s: " % command):
        return "message without the command's prefix"
    if not CJK.search(lines[0]):
        return "message without Chinese text"
    low = LOW_LEVEL.search(lines[0])
    damaged = DAMAGED.search(lines[0])
    if low and (not damaged or damaged.start() > low.start()):
        return "a stream error that does not say the file is damaged"
    return None


def dimension_of(cli, path):
    out = subprocess.run([cli, "info", path], capture_output=True, timeout=60).stdout.decode()
    for line in out.splitlines():
        fields = line.split("\t")
        if len(fields) > 1 and fields[0] == "0":
            return fields[1]
    return "City"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=19)
    parser.add_argument("--timeout", type=float, default=30)
    parser.add_argument("--keep", help="folder for the mutants that failed")
    args = parser.parse_args()

    originals = []
    for folder, pattern in (("cube_file", ".vtc"), ("grid_file", ".vtg"), ("grid_file", ".vts")):
        base = os.path.join(args.data, folder)
        for name in sorted(os.listdir(base)):
            if name.endswith(pattern):
                path = os.path.join(base, name)
                with open(path, "rb") as f:
                    code = f.read()
                originals.append((name, code, lzss_decode(code), dimension_of(args.cli, path)))

    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="qd_corrupt_")
    failures = 0
    outcomes = {"accepted": 0, "refused": 0}
    try:
        for n in range(args.count):
            name, code, plain, dim = originals[n % len(originals)]
            if rng.random() < 0.5:
                mutant = mutate(code, rng)
            else:
                mutant = lzss_literals(mutate(plain, rng))
            ext = os.path.splitext(name)[1]
            path = os.path.join(work, "m%05d%s" % (n, ext))
            with open(path, "wb") as f:
                f.write(mutant)
            target = os.path.join(work, "out%05d" % n)
            commands = [["info", path], ["members", path, dim], ["facts", path],
                        ["pivot", path, "--expand", "all"],
                        ["export", path, "--to", target + rng.choice([".xls", ".htm", ".xml",
                                                                      ".rtf", ".xlsx"])]]
            argv = commands[n % len(commands)]
            timed_out = False
            try:
                result = subprocess.run([args.cli] + argv, capture_output=True,
                                        timeout=args.timeout, stdin=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                timed_out, result = True, None
            problem = verdict(argv[0], result, timed_out)
            if problem is None:
                outcomes["accepted" if result.returncode == 0 else "refused"] += 1
                os.remove(path)
                continue
            failures += 1
            err = "" if result is None else result.stderr.decode("utf-8", "replace")
            print("FAIL %s (%s from %s): %s\n  %s" % (" ".join(argv[:1] + argv[2:]), path, name,
                                                    problem, err.strip()[:400]))
            if args.keep:
                os.makedirs(args.keep, exist_ok=True)
                shutil.copy(path, args.keep)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d mutants (seed %d): %d refused cleanly, %d still readable, %d failures"
          % (args.count, args.seed, outcomes["refused"], outcomes["accepted"], failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
