#!/usr/bin/env python3
"""Writes src/library/pinyin_table.inc: the toneless pinyin readings of Chinese characters.

The search box finds "退货地址" from "th", "tuihuo" or "tuihuodizhi", so it needs every reading of
every character (a polyphone such as 行 matches xing and hang). The readings come from the
dictionary of Debian's golang-github-mozillazg-go-pinyin-dev package (its pinyin_dict.go, built
from the Unihan readings by the pinyin-data project), installed with

    apt-get install golang-github-mozillazg-go-pinyin-dev

Run from the repository root:  python3 tools/gen_pinyin_table.py

A few interjections lack the reading agents type for them in that data (嗯 is read only n and ng
there, 嘿 only hei); SUPPLEMENT below adds those readings by hand, after the package's own.

Tones are dropped and "ü" is written "v", as pinyin input methods type it. The table is kept
small for the exe:
  kPinyinSyllables   every toneless syllable, sorted, as one string of NUL-ended names;
  kPinyinSyllableAt  where each syllable starts in that string;
  kPinyinSets        distinct reading sets, each a count followed by that many syllable numbers;
  kPinyinEntries     one 32-bit word per character, sorted: code point << 14 | set number,
                     where the set number indexes kPinyinSetAt, the start of its set.
"""

import os
import re
import subprocess
import sys
import unicodedata

PACKAGE = "golang-github-mozillazg-go-pinyin-dev"
OUTPUT = os.path.join("src", "library", "pinyin_table.inc")
SET_BITS = 14

# Hand-written, not from the package: readings that pinyin input methods accept for these common
# interjections of chat text (嗯嗯 enen, 诶 e, 唔 en, 嘿嘿 haihai), which the dictionary above lacks.
# Written by this project's developers; no third-party data, no licence of its own.
SUPPLEMENT = {"嗯": ["en"], "诶": ["e"], "欸": ["e"], "唔": ["en"], "嘿": ["hai"]}


def package_file(name):
    listing = subprocess.run(["dpkg", "-L", PACKAGE], check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        if line.endswith("/" + name):
            return line
    sys.exit(f"{name} not found in {PACKAGE}; install it with apt-get")


def package_version():
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", PACKAGE], check=True, capture_output=True,
                          text=True).stdout.strip()


def licence_lines():
    # The upstream files' licence, from the package's copyright file.
    with open(f"/usr/share/doc/{PACKAGE}/copyright", encoding="utf-8") as f:
        text = f.read()
    files = re.search(r"^Files: \*\nCopyright: (.*)\nLicense: (\S+)", text, re.M)
    body = re.search(r"^License: " + re.escape(files.group(2)) + r"\n((?: .*\n)+)", text, re.M)
    lines = [f"Copyright {files.group(1)}, licence {files.group(2)}:", ""]
    for line in body.group(1).splitlines():
        line = line[1:]
        lines.append("" if line == "." else line)
    return lines


def toneless(reading):
    out = []
    for ch in unicodedata.normalize("NFD", reading):
        if unicodedata.combining(ch) and ch != "\u0308":
            continue
        out.append(ch)
    text = "".join(out).replace("u\u0308", "v").replace("\u0308", "")
    if not re.fullmatch(r"[a-z]+", text):
        sys.exit(f"unexpected reading {reading!r}")
    return text


def read_dictionary(path):
    entries = {}
    with open(path, encoding="utf-8") as f:
        for m in re.finditer(r'^\s*0x([0-9A-Fa-f]+):\s*"([^"]*)",', f.read(), re.M):
            readings = []
            for r in m.group(2).split(","):
                t = toneless(r.strip())
                if t not in readings:
                    readings.append(t)
            entries[int(m.group(1), 16)] = readings
    return entries


def wrap(items, width=110, indent="    "):
    lines, line = [], indent
    for item in items:
        piece = item + ","
        if len(line) + len(piece) > width:
            lines.append(line.rstrip())
            line = indent
        line += piece
    if line.strip():
        lines.append(line.rstrip())
    return lines


def main():
    dict_path = package_file("pinyin_dict.go")
    entries = read_dictionary(dict_path)
    for ch, readings in SUPPLEMENT.items():
        entries.setdefault(ord(ch), [])
        entries[ord(ch)] += [r for r in readings if r not in entries[ord(ch)]]
    syllables = sorted({s for rs in entries.values() for s in rs})
    number = {s: i for i, s in enumerate(syllables)}

    sets, set_number = [], {}
    words = []
    for cp in sorted(entries):
        key = tuple(number[s] for s in entries[cp])
        if key not in set_number:
            set_number[key] = len(sets)
            sets.append(key)
        words.append(cp << SET_BITS | set_number[key])
    if len(sets) >= 1 << SET_BITS or max(entries) >= 1 << (32 - SET_BITS):
        sys.exit("table does not fit its 32-bit entries")

    set_at, flat = [], []
    for key in sets:
        set_at.append(len(flat))
        flat.append(len(key))
        flat.extend(key)

    syllable_at, at = [], 0
    for s in syllables:
        syllable_at.append(at)
        at += len(s) + 1

    out = [
        f"// Generated by tools/gen_pinyin_table.py from {os.path.basename(dict_path)} of Debian's {PACKAGE}",
        f"// {package_version()} (readings from the pinyin-data project, after Unihan).",
        "// Do not edit: run `python3 tools/gen_pinyin_table.py` from the repository root.",
        "// Readings added by hand for a few interjections: SUPPLEMENT in that script (no third-party data).",
        "// Included by pinyin.cpp. The package data's licence:",
        "//",
    ]
    out += [("// " + l).rstrip() for l in licence_lines()]
    out += [
        "",
        f"constexpr int kPinyinSetBits = {SET_BITS};",
        f"constexpr std::size_t kPinyinSyllableCount = {len(syllables)};",
        "constexpr char kPinyinSyllables[] =",
    ]
    chunk = ""
    for s in syllables:
        chunk += s + "\\0"
        if len(chunk) > 96:
            out.append(f'    "{chunk}"')
            chunk = ""
    if chunk:
        out.append(f'    "{chunk}"')
    out[-1] += ";"
    out.append(f"constexpr std::uint16_t kPinyinSyllableAt[{len(syllables)}] = {{")
    out += wrap(str(v) for v in syllable_at)
    out.append("};")
    out.append(f"constexpr std::uint16_t kPinyinSetAt[{len(set_at)}] = {{")
    out += wrap(str(v) for v in set_at)
    out.append("};")
    out.append(f"constexpr std::uint16_t kPinyinSets[{len(flat)}] = {{")
    out += wrap(str(v) for v in flat)
    out.append("};")
    out.append(f"constexpr std::uint32_t kPinyinEntries[{len(words)}] = {{")
    out += wrap(f"0x{w:X}" for w in words)
    out.append("};")

    with open(OUTPUT, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(out) + "\n")
    print(f"{OUTPUT}: {len(words)} characters, {len(syllables)} syllables, {len(sets)} reading sets")


if __name__ == "__main__":
    main()
