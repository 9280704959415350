#!/usr/bin/env python3
# relaxed_opcodes.py MODULE -- gives the module's relaxed multiply-adds the standard encoding.
#
# Debian 12's emscripten (LLVM 14) writes f64x2 relaxed multiply-add as 0xfd 0xcf 0x01, the
# number the instruction had before the relaxed SIMD proposal was finished; engines take only
# 0xfd 0x87 0x02. Only the code section is rewritten, and only when the bytes found there are as
# many as the instructions binaryen's disassembler finds: a match inside an immediate stops the
# build rather than change the code.
import subprocess
import sys

PROVISIONAL = b"\xfd\xcf\x01"
STANDARD = b"\xfd\x87\x02"


def ReadLeb(data, at):
    value = shift = 0
    while True:
        byte = data[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, at


def CodeSection(data):
    at = 8  # magic and version
    while at < len(data):
        kind = data[at]
        size, start = ReadLeb(data, at + 1)
        if kind == 10:
            return start, start + size
        at = start + size
    sys.exit("relaxed_opcodes.py: the module has no code section")


def Main(path):
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"\0asm":
        sys.exit(f"relaxed_opcodes.py: {path} is not a WebAssembly module")
    listing = subprocess.run(["wasm-dis", path], capture_output=True, text=True)
    if listing.returncode != 0:
        sys.exit(f"relaxed_opcodes.py: binaryen cannot read {path} (rewritten already?)")
    relaxed = [line.strip() for line in listing.stdout.splitlines() if "relaxed" in line]
    if not relaxed:
        sys.exit(f"relaxed_opcodes.py: {path} has no relaxed multiply-add")
    others = sorted({line.lstrip("(") for line in relaxed if "f64x2.relaxed_fma" not in line})
    if others:
        sys.exit(f"relaxed_opcodes.py: no standard encoding known for {', '.join(others)}")
    begin, end = CodeSection(data)
    code = bytes(data[begin:end])
    if code.count(PROVISIONAL) != len(relaxed):
        sys.exit(f"relaxed_opcodes.py: {code.count(PROVISIONAL)} byte matches in the code, "
                 f"{len(relaxed)} instructions: not rewritten")
    data[begin:end] = code.replace(PROVISIONAL, STANDARD)
    open(path, "wb").write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: relaxed_opcodes.py MODULE")
    Main(sys.argv[1])
