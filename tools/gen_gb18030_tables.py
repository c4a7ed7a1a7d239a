#!/usr/bin/env python3
"""Writes src/storage/gb18030_tables.inc from glibc's GB18030 converter.

The program reads and writes its Data folder as GB18030 on Windows, where
neither Wine nor MinGW offers a converter for it, so the codec carries its own
tables. They come from glibc's iconv (called through ctypes, never from
Python's own codec) so that they match a converter people already trust.

Run from the repository root:  python3 tools/gen_gb18030_tables.py

Besides writing the tables, the script checks what the codec takes for
granted and stops with an error if this glibc disagrees:
  * every decoded code maps to exactly one code point;
  * the codes the codec keeps are what glibc's encoder produces for their code
    points, so a decoded text re-encodes to the same bytes;
  * the four-byte codes 0x90308130.. are U+10000..U+10FFFF in order, and the
    four-byte codes outside the two known ranges decode to nothing.
"""

import ctypes
import errno
import os
import sys

OUTPUT = os.path.join("src", "storage", "gb18030_tables.inc")

LEADS = range(0x81, 0xFF)
TRAILS = list(range(0x40, 0x7F)) + list(range(0x80, 0xFF))
FOUR_BYTE_BMP_CODES = 39420          # 0x81308130 .. 0x8431A439
SUPPLEMENTARY_FIRST_INDEX = 189000   # linear index of 0x90308130
FOUR_BYTE_INDEX_END = 126 * 10 * 126 * 10
EURO = 0x20AC

_libc = ctypes.CDLL("libc.so.6", use_errno=True)
_libc.gnu_get_libc_version.restype = ctypes.c_char_p
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p,
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
_libc.iconv_close.argtypes = [ctypes.c_void_p]
_ICONV_ERROR = ctypes.c_size_t(-1).value


def fail(message):
    sys.exit("gen_gb18030_tables: " + message)


def open_converter(to_code, from_code):
    cd = _libc.iconv_open(to_code.encode(), from_code.encode())
    if cd is None or cd == _ICONV_ERROR:
        fail(f"iconv_open({to_code}, {from_code}) failed")
    return cd


def decode_units(cd, units, unit_size):
    """Decodes GB18030 codes of one length; a code iconv rejects yields None.

    The codes go through in one buffer for speed. After a rejected code the
    conversion resumes with the next one, so each result stays with its code.
    """
    data = b"".join(units)
    in_buf = ctypes.create_string_buffer(data, len(data))
    out_size = 4 * len(units)
    out = ctypes.create_string_buffer(out_size)
    results = []
    pos = 0
    while pos < len(data):
        _libc.iconv(cd, None, None, None, None)
        in_ptr = ctypes.c_char_p(ctypes.addressof(in_buf) + pos)
        in_left = ctypes.c_size_t(len(data) - pos)
        out_ptr = ctypes.c_char_p(ctypes.addressof(out))
        out_left = ctypes.c_size_t(out_size)
        rc = _libc.iconv(cd, ctypes.byref(in_ptr), ctypes.byref(in_left),
                         ctypes.byref(out_ptr), ctypes.byref(out_left))
        error = ctypes.get_errno() if rc == _ICONV_ERROR else 0
        consumed = len(data) - pos - in_left.value
        produced = ctypes.string_at(out, out_size - out_left.value)
        if consumed % unit_size or len(produced) != 4 * (consumed // unit_size):
            fail(f"a code near byte {pos + consumed} did not decode to exactly one character")
        results.extend(int.from_bytes(produced[i:i + 4], "little")
                       for i in range(0, len(produced), 4))
        pos += consumed
        if rc == _ICONV_ERROR:
            if error != errno.EILSEQ:
                fail(f"iconv failed with errno {error} at {data[pos:pos + unit_size].hex()}")
            results.append(None)
            pos += unit_size
    return results


def encode_code_points(cd, code_points):
    """Encodes each code point alone; one glibc cannot encode yields None."""
    results = []
    out = ctypes.create_string_buffer(16)
    for cp in code_points:
        _libc.iconv(cd, None, None, None, None)
        in_buf = ctypes.create_string_buffer(cp.to_bytes(4, "little"), 4)
        in_ptr = ctypes.c_char_p(ctypes.addressof(in_buf))
        in_left = ctypes.c_size_t(4)
        out_ptr = ctypes.c_char_p(ctypes.addressof(out))
        out_left = ctypes.c_size_t(16)
        rc = _libc.iconv(cd, ctypes.byref(in_ptr), ctypes.byref(in_left),
                         ctypes.byref(out_ptr), ctypes.byref(out_left))
        results.append(None if rc == _ICONV_ERROR else ctypes.string_at(out, 16 - out_left.value))
    return results


def four_byte_code(index):
    b4 = 0x30 + index % 10
    index //= 10
    b3 = 0x81 + index % 126
    index //= 126
    b2 = 0x30 + index % 10
    b1 = 0x81 + index // 10
    return bytes([b1, b2, b3, b4])


def main():
    decoder = open_converter("UCS-4LE", "GB18030")
    encoder = open_converter("GB18030", "UCS-4LE")

    two_codes = [bytes([lead, trail]) for lead in LEADS for trail in TRAILS]
    two_decoded = decode_units(decoder, two_codes, 2)
    bmp_codes = [four_byte_code(i) for i in range(FOUR_BYTE_BMP_CODES)]
    bmp_decoded = decode_units(decoder, bmp_codes, 4)

    # Every byte form that decodes to something, to find code points with more than one.
    forms = {}
    for code, cp in list(zip(two_codes, two_decoded)) + list(zip(bmp_codes, bmp_decoded)):
        if cp is not None:
            forms.setdefault(cp, []).append(code)
    for cp in forms:
        if 0xD800 <= cp <= 0xDFFF:
            fail(f"a code decodes to the surrogate U+{cp:04X}")

    # The single bytes own ASCII and the euro sign; among several multi-byte
    # forms the one glibc's encoder writes is kept. Everything else is left
    # out of the tables and read back as escaped bytes.
    canonical = dict(zip(forms, encode_code_points(encoder, list(forms))))
    dropped = []
    for cp, codes in sorted(forms.items()):
        owner = None if cp < 0x80 or cp == EURO else canonical[cp]
        if owner is not None and owner not in codes:
            fail(f"glibc encodes U+{cp:04X} to {owner.hex()}, which does not decode to it")
        for code in codes:
            if code != owner:
                dropped.append((code, cp, owner or bytes([cp if cp < 0x80 else 0x80])))
    dropped_codes = {code for code, _, _ in dropped}

    two_table = []
    two_supplementary = []
    for code, cp in zip(two_codes, two_decoded):
        if cp is None or code in dropped_codes:
            two_table.append(0)
        elif cp > 0xFFFF:
            two_table.append(0)
            two_supplementary.append((code, cp))
        else:
            two_table.append(cp)

    runs = []  # [first index, first code point, count]
    for index, cp in enumerate(bmp_decoded):
        if cp is None or bmp_codes[index] in dropped_codes:
            continue
        if cp > 0xFFFF:
            fail(f"{bmp_codes[index].hex()} decodes outside the BMP")
        if runs and runs[-1][0] + runs[-1][2] == index and runs[-1][1] + runs[-1][2] == cp:
            runs[-1][2] += 1
        else:
            runs.append([index, cp, 1])

    # The supplementary four-byte codes are plain arithmetic in the codec;
    # check all of them, and check that nothing else in four-byte space decodes.
    supplementary_count = 0x110000 - 0x10000
    supp_codes = [four_byte_code(SUPPLEMENTARY_FIRST_INDEX + i) for i in range(supplementary_count)]
    supp_decoded = decode_units(decoder, supp_codes, 4)
    owned_by_two_bytes = {cp: code for code, cp in two_supplementary}
    for i, cp in enumerate(supp_decoded):
        expected = 0x10000 + i
        if cp != expected:
            fail(f"{supp_codes[i].hex()} decodes to {cp!r}, expected U+{expected:X}")
        if cp in owned_by_two_bytes:
            dropped.append((supp_codes[i], cp, owned_by_two_bytes[cp]))
    for cp, code in owned_by_two_bytes.items():
        if canonical[cp] != code:
            fail(f"glibc prefers another form than {code.hex()} for U+{cp:X}")
    for cp, encoded in zip(range(0x10000, 0x110000, 4099),
                           encode_code_points(encoder, list(range(0x10000, 0x110000, 4099)))):
        expected = owned_by_two_bytes.get(cp, four_byte_code(SUPPLEMENTARY_FIRST_INDEX + cp - 0x10000))
        if encoded != expected:
            fail(f"glibc encodes U+{cp:X} to {encoded!r}, expected {expected.hex()}")
    outside = [i for i in range(FOUR_BYTE_BMP_CODES, SUPPLEMENTARY_FIRST_INDEX)]
    outside += list(range(SUPPLEMENTARY_FIRST_INDEX + supplementary_count, FOUR_BYTE_INDEX_END))
    outside_codes = [four_byte_code(i) for i in outside]
    for code, cp in zip(outside_codes, decode_units(decoder, outside_codes, 4)):
        if cp is not None:
            fail(f"{code.hex()} decodes to U+{cp:X}, outside the ranges the codec knows")

    # No code point the codec can decode may be encodable by glibc in a second
    # way, and glibc should not encode a BMP code point the tables leave out.
    kept = {cp for cp in two_table if cp}
    kept.update(cp for first, start, count in runs for cp in range(start, start + count))
    missing = [cp for cp in range(0x80, 0x10000)
               if cp not in kept and cp != EURO and not 0xD800 <= cp <= 0xDFFF]
    one_way = [(cp, enc) for cp, enc in zip(missing, encode_code_points(encoder, missing)) if enc is not None]
    if one_way:
        listed = ", ".join(f"U+{cp:04X}->{enc.hex()}" for cp, enc in one_way[:10])
        fail(f"glibc encodes code points that no code decodes to: {listed}")

    _libc.iconv_close(decoder)
    _libc.iconv_close(encoder)
    write_tables(two_table, two_supplementary, runs, dropped, missing)


def write_tables(two_table, two_supplementary, runs, dropped, missing):
    version = _libc.gnu_get_libc_version().decode()
    lines = [
        f"// Generated by tools/gen_gb18030_tables.py from the GB18030 converter of glibc {version}.",
        "// Do not edit: run `python3 tools/gen_gb18030_tables.py` from the repository root.",
        "// Included by gb18030.cpp, which declares TwoByteSupplementary and FourByteRun.",
        "//",
        "// Codes glibc decodes but these tables leave out, so that each code point has one",
        "// byte form and a file that is read and written again keeps its bytes (the codec",
        "// reads them as escaped bytes):",
    ]
    for code, cp, owner in sorted(dropped):
        lines.append(f"//   {code.hex(' ').upper()} -> U+{cp:04X}, "
                     f"which is written as {owner.hex(' ').upper()}")
    lines.append("// BMP code points that neither glibc nor these tables can encode (the codec writes '?'):")
    for start in range(0, len(missing), 10):
        lines.append("//   " + " ".join(f"U+{cp:04X}" for cp in missing[start:start + 10]))
    lines.append("")
    lines.append("// Two-byte codes: lead 0x81-0xFE by trail 0x40-0x7E, 0x80-0xFE (190 per lead).")
    lines.append("// 0 means no BMP code point; see kTwoByteSupplementary.")
    lines.append("constexpr std::uint16_t kTwoByteToUnicode[126 * 190] = {")
    per_line = 16
    for lead_index, lead in enumerate(LEADS):
        row = two_table[lead_index * 190:(lead_index + 1) * 190]
        lines.append(f"    // lead 0x{lead:02X}")
        for start in range(0, len(row), per_line):
            lines.append("    " + "".join(f"0x{v:04X}," for v in row[start:start + per_line]))
    lines.append("};")
    lines.append("")
    lines.append("// Two-byte codes that decode outside the BMP.")
    lines.append("constexpr TwoByteSupplementary kTwoByteSupplementary[] = {")
    for code, cp in two_supplementary:
        lines.append(f"    {{0x{int.from_bytes(code, 'big'):04X}, 0x{cp:05X}}},")
    lines.append("};")
    lines.append("")
    lines.append("// Four-byte codes 0x81308130.. by linear index "
                 "(((b1-0x81)*10 + b2-0x30)*126 + b3-0x81)*10 + b4-0x30:")
    lines.append("// {first index, first code point, count}, in index order.")
    lines.append("constexpr FourByteRun kFourByteBmpRuns[] = {")
    for start in range(0, len(runs), 4):
        lines.append("    " + " ".join(f"{{{i}, 0x{cp:04X}, {n}}}," for i, cp, n in runs[start:start + 4]))
    lines.append("};")
    text = "\n".join(lines) + "\n"
    with open(OUTPUT, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    print(f"wrote {OUTPUT}: {len(dropped)} codes left out, {len(two_supplementary)} two-byte "
          f"codes outside the BMP, {len(runs)} four-byte runs")


if __name__ == "__main__":
    main()
