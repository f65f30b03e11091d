#!/usr/bin/env python3
"""Writes src/jet/values/sortorder_tables.cpp: the per-character sort codes of the two
"General" orders (Jet 4 LCID 1033 version 0, Jet 3 "General"), in our own
run-length form.

Usage: gen_sortorder_tables.py DATA_DIR OUTPUT.cpp

DATA_DIR holds the research tables (one line per character: a class letter and
hex codes). They are read, never copied: the output carries the same figures
packed as runs, which sortorder.cpp expands once at first use.

Run stream, one run after another, characters in ascending order:
  byte  kind (bits 0-2: 0 ignored, 1 simple, 2 international, 3 unprintable,
        4 unprintable modifier, 5 extended international, 6 significant),
        bit 3: inline code counts up by one per character of the run,
        bit 4: extended international "crazy" flag is the first variant
  varint number of characters in the run
  byte  (inline length << 4) | extra length
  byte  sort elements << 4 | unprintable length
  bytes inline, extra, unprintable codes

Sort elements: how many positions a character takes when Jet 4 numbers the
accent and unprintable codes (see ELEMENTS).
"""

import sys

KINDS = {"X": 0, "S": 1, "I": 2, "U": 3, "P": 4, "Z": 5, "G": 6}


def hex_bytes(text):
    if not text:
        return b""
    if len(text) % 2:
        text = "0" + text
    return bytes.fromhex(text)


def parse(line):
    kind = line[0]
    parts = line[1:].split(",") if len(line) > 1 else []
    inline = extra = unprint = b""
    crazy1 = False
    if kind in ("S", "G"):
        inline = hex_bytes(parts[0])
    elif kind == "I":
        inline, extra = hex_bytes(parts[0]), hex_bytes(parts[1])
    elif kind == "U":
        unprint = hex_bytes(parts[0])
    elif kind == "P":
        extra = hex_bytes(parts[0])  # the modifier added to the previous extra code
    elif kind == "Z":
        inline, extra = hex_bytes(parts[0]), hex_bytes(parts[1])
        crazy1 = parts[2] == "1"
    elif kind != "X":
        raise SystemExit("unknown class in line: " + line)
    return (KINDS[kind], inline, extra, unprint, crazy1)


# Characters that do not take exactly one position when Jet 4 numbers the
# accent and unprintable codes. Access-made keys show U+00DF ("ss") counting
# twice (see indexkey.cpp for the one exception seen) and U+00C6 ("ae") and
# U+00FE ("th") once. Nothing shows the other ligatures; they count once.
ELEMENTS = {0xDF: 2}


def successor(code):
    kind, inline, extra, unprint, crazy1, elements = code
    value = int.from_bytes(inline, "big") + 1
    if value >= 1 << (8 * len(inline)):
        return None
    return (kind, value.to_bytes(len(inline), "big"), extra, unprint, crazy1, elements)


def varint(n):
    out = bytearray()
    while True:
        b = n & 0x7F
        n >>= 7
        out.append(b | (0x80 if n else 0))
        if not n:
            return bytes(out)


def encode_runs(codes):
    out = bytearray()
    i = 0
    while i < len(codes):
        code = codes[i]
        count = 1
        step = False
        if code[1] and i + 1 < len(codes) and codes[i + 1] == successor(code):
            step = True
            while i + count < len(codes) and codes[i + count] == successor(codes[i + count - 1]):
                count += 1
        else:
            while i + count < len(codes) and codes[i + count] == code:
                count += 1
        kind, inline, extra, unprint, crazy1, elements = code
        out.append(kind | (0x08 if step else 0) | (0x10 if crazy1 else 0))
        out += varint(count)
        out.append((len(inline) << 4) | len(extra))
        out.append((elements << 4) | len(unprint))
        out += inline + extra + unprint
        i += count
    return bytes(out)


def read_lines(path, count):
    with open(path, encoding="ascii") as f:
        lines = [l.rstrip("\r\n") for l in f]
    lines = [l for l in lines if l]
    if len(lines) < count:
        raise SystemExit(f"{path}: expected {count} lines, found {len(lines)}")
    return lines[:count]


def c_array(name, data):
    rows = []
    for k in range(0, len(data), 16):
        rows.append("    " + ", ".join(f"0x{b:02X}" for b in data[k:k + 16]) + ",")
    return (f"extern const std::uint8_t {name}[] = {{\n" + "\n".join(rows) + "\n};\n"
            f"extern const std::size_t {name}Size = sizeof({name});\n")


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    data, output = sys.argv[1], sys.argv[2]
    # Jet 4: U+0000-U+00FF, then U+0100-U+FFFF without the surrogates (computed).
    jet4 = [parse(l) for l in read_lines(f"{data}/index_codes_genleg.txt", 256)]
    jet4 += [parse(l) for l in read_lines(f"{data}/index_codes_ext_genleg.txt", 0xFFFF - 0xFF - 2048)]
    jet4_chars = list(range(0x100)) + [c for c in range(0x100, 0x10000) if not 0xD800 <= c <= 0xDFFF]
    jet4 = [code + (ELEMENTS.get(c, 1),) for c, code in zip(jet4_chars, jet4)]
    jet3 = [parse(l) + (1,) for l in read_lines(f"{data}/index_codes_gen_97.txt", 256)]
    pairs = []
    with open(f"{data}/index_mappings_ext_gen_97.txt", encoding="ascii") as f:
        for line in f:
            line = line.strip()
            if line:
                a, b = line.split(",")
                pairs.append((int(a), int(b)))
    pairs.sort()

    with open(output, "w", encoding="ascii") as out:
        out.write("// Generated by tools/gen_sortorder_tables.py; do not edit.\n"
                  "// Sort codes of the General orders, packed as runs (see the script).\n\n"
                  "#include <cstddef>\n#include <cstdint>\n\nnamespace jet::sortorder_data {\n\n")
        out.write(c_array("kJet4Runs", encode_runs(jet4)))
        out.write("\n")
        out.write(c_array("kJet3Runs", encode_runs(jet3)))
        out.write("\n// Characters above U+00FF that Jet 3 sorts as a code-page character.\n")
        out.write("extern const std::uint16_t kJet3Mapped[][2] = {\n")
        for a, b in pairs:
            out.write(f"    {{0x{a:04X}, 0x{b:02X}}},\n")
        out.write("};\nextern const std::size_t kJet3MappedSize = sizeof(kJet3Mapped) / "
                  "sizeof(kJet3Mapped[0]);\n\n}  // namespace jet::sortorder_data\n")


if __name__ == "__main__":
    main()
