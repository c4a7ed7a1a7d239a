#include "storage/gb18030.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace jihe::storage {
namespace {

struct TwoByteSupplementary {
  std::uint16_t code;  // lead << 8 | trail
  std::uint32_t codePoint;
};

// A stretch of four-byte codes whose code points follow one another.
struct FourByteRun {
  std::uint16_t firstIndex;
  std::uint16_t firstCodePoint;
  std::uint16_t count;
};

#include "storage/gb18030_tables.inc"

constexpr std::size_t kTrailsPerLead = 190;
constexpr std::uint32_t kSupplementaryFirstIndex = 189000;  // linear index of 90 30 81 30
constexpr std::uint32_t kSupplementaryCount = 0x110000 - 0x10000;
constexpr char32_t kEuro = 0x20AC;
constexpr char32_t kEscapeBase = 0xDC00;  // byte b is kept as U+DC00 + b
// In the encode table, four-byte codes are stored as their linear index with
// this bit set; two-byte codes are stored as lead << 8 | trail.
constexpr std::uint32_t kFourByteFlag = 0x10000;

bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsDigit(unsigned char b) { return b >= 0x30 && b <= 0x39; }

// Position of a two-byte trail in a row of the table, or -1.
int TrailIndex(unsigned char t) {
  if (t >= 0x40 && t <= 0x7E) return t - 0x40;
  if (t >= 0x80 && t <= 0xFE) return t - 0x41;
  return -1;
}

std::uint32_t FourByteIndex(const unsigned char* code) {
  return ((std::uint32_t(code[0] - 0x81) * 10 + (code[1] - 0x30)) * 126 + (code[2] - 0x81)) * 10 +
         (code[3] - 0x30);
}

char32_t TwoByteSupplementaryCodePoint(std::uint16_t code) {
  for (const auto& entry : kTwoByteSupplementary) {
    if (entry.code == code) return entry.codePoint;
  }
  return 0;
}

std::uint16_t TwoByteCodeOfSupplementary(char32_t cp) {
  for (const auto& entry : kTwoByteSupplementary) {
    if (entry.codePoint == cp) return entry.code;
  }
  return 0;
}

// The code point of a four-byte code, or 0 if it has none.
char32_t FourByteCodePoint(std::uint32_t index) {
  if (index < kSupplementaryFirstIndex) {
    const auto* run =
        std::upper_bound(std::begin(kFourByteBmpRuns), std::end(kFourByteBmpRuns), index,
                         [](std::uint32_t i, const FourByteRun& r) { return i < r.firstIndex; });
    if (run == std::begin(kFourByteBmpRuns)) return 0;
    --run;
    const std::uint32_t offset = index - run->firstIndex;
    return offset < run->count ? char32_t(run->firstCodePoint + offset) : 0;
  }
  const std::uint32_t offset = index - kSupplementaryFirstIndex;
  if (offset >= kSupplementaryCount) return 0;
  const char32_t cp = 0x10000 + offset;
  // These few characters are written with their two-byte code; reading the
  // four-byte form as well would change a file's bytes on the next save.
  if (TwoByteCodeOfSupplementary(cp) != 0) return 0;
  return cp;
}

struct Code {
  char32_t codePoint;  // 0: the byte is no character's start and is kept as it is
  std::size_t length;  // in bytes; 1 for a kept byte
};

// The character whose code starts at `in` (a byte 0x80..0xFF, `left` bytes on).
inline Code CodeAt(const unsigned char* in, std::size_t left) {
  const unsigned char b = in[0];
  if (b == 0x80) return {kEuro, 1};
  if (b == 0xFF || left < 2) return {0, 1};
  const unsigned char second = in[1];
  // GB18030's own code of the euro sign reads as it does everywhere else; the encoder still
  // writes the single byte 0x80, which code page 936 reads as well.
  if (b == 0xA2 && second == 0xE3) return {kEuro, 2};
  if (const int trail = TrailIndex(second); trail >= 0) {
    char32_t cp = kTwoByteToUnicode[(b - 0x81) * kTrailsPerLead + std::size_t(trail)];
    if (cp == 0) cp = TwoByteSupplementaryCodePoint(std::uint16_t(b << 8 | second));
    return {cp, cp != 0 ? 2u : 1u};
  }
  if (IsDigit(second) && left >= 4 && IsLead(in[2]) && IsDigit(in[3])) {
    const char32_t cp = FourByteCodePoint(FourByteIndex(in));
    return {cp, cp != 0 ? 4u : 1u};
  }
  return {0, 1};
}

// A kept lead byte (at the positions `keptLeads`, ascending) reads back as
// itself only where the bytes written after it do not complete a code with it:
// before "[" of "[br]" it would turn into "乕". No byte form says "this lead
// byte alone" there, so such a byte is left out. Each is judged by the bytes
// that finally follow it, so the walk goes from the end.
void LeaveOutJoiningLeads(std::string& bytes, const std::vector<std::size_t>& keptLeads) {
  std::vector<std::size_t> leftOut;  // descending
  for (auto p = keptLeads.rbegin(); p != keptLeads.rend(); ++p) {
    unsigned char window[4] = {static_cast<unsigned char>(bytes[*p])};
    std::size_t n = 1;
    auto skip = leftOut.rbegin();  // ascending, all past *p
    for (std::size_t q = *p + 1; q < bytes.size() && n < 4; ++q) {
      if (skip != leftOut.rend() && *skip == q) {
        ++skip;
        continue;
      }
      window[n++] = static_cast<unsigned char>(bytes[q]);
    }
    if (CodeAt(window, n).codePoint != 0) leftOut.push_back(*p);
  }
  if (leftOut.empty()) return;
  std::string kept;
  kept.reserve(bytes.size() - leftOut.size());
  std::size_t from = 0;
  for (auto p = leftOut.rbegin(); p != leftOut.rend(); ++p) {
    kept.append(bytes, from, *p - from);
    from = *p + 1;
  }
  kept.append(bytes, from, std::string::npos);
  bytes = std::move(kept);
}

// Writes cp as UTF-8 (surrogates included, for escaped bytes); returns the length.
std::size_t PutUtf8(char* out, char32_t cp) {
  if (cp < 0x80) {
    out[0] = char(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = char(0xC0 | (cp >> 6));
    out[1] = char(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = char(0xE0 | (cp >> 12));
    out[1] = char(0x80 | ((cp >> 6) & 0x3F));
    out[2] = char(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = char(0xF0 | (cp >> 18));
  out[1] = char(0x80 | ((cp >> 12) & 0x3F));
  out[2] = char(0x80 | ((cp >> 6) & 0x3F));
  out[3] = char(0x80 | (cp & 0x3F));
  return 4;
}

// Reads one well-formed UTF-8 sequence of two to four bytes (surrogates
// allowed: they carry escaped bytes). Returns its length, or 0 if the bytes
// at `in` are not one.
std::size_t ReadUtf8(const unsigned char* in, std::size_t left, char32_t& cp) {
  const unsigned char lead = in[0];
  // C0, C1 and F5..FF never start a sequence; overlong forms are caught below.
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || left < length) return 0;
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  cp = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((in[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (in[k] & 0x3F);
  }
  if (cp < kSmallest[length] || cp > 0x10FFFF) return 0;
  return length;
}

// Code point -> code for the BMP. Built on first use, since start-up only
// decodes; a function-local static is safe if two threads save at once.
const std::vector<std::uint32_t>& EncodeTable() {
  static const std::vector<std::uint32_t> table = [] {
    std::vector<std::uint32_t> t(0x10000, 0);
    for (std::size_t i = 0; i < std::size(kTwoByteToUnicode); ++i) {
      if (kTwoByteToUnicode[i] == 0) continue;
      const std::uint32_t lead = 0x81 + std::uint32_t(i / kTrailsPerLead);
      const std::uint32_t trailIndex = std::uint32_t(i % kTrailsPerLead);
      const std::uint32_t trail = trailIndex < 0x3F ? 0x40 + trailIndex : 0x41 + trailIndex;
      t[kTwoByteToUnicode[i]] = lead << 8 | trail;
    }
    for (const auto& run : kFourByteBmpRuns) {
      for (std::uint32_t k = 0; k < run.count; ++k) {
        t[run.firstCodePoint + k] = kFourByteFlag | (run.firstIndex + k);
      }
    }
    return t;
  }();
  return table;
}

void AppendFourByte(std::string& bytes, std::uint32_t index) {
  const char code[4] = {char(0x81 + index / 12600), char(0x30 + index / 1260 % 10),
                        char(0x81 + index / 10 % 126), char(0x30 + index % 10)};
  bytes.append(code, 4);
}

void AppendTwoByte(std::string& bytes, std::uint32_t code) {
  bytes += char(code >> 8);
  bytes += char(code & 0xFF);
}

void AppendCodePoint(std::string& bytes, char32_t cp, const std::vector<std::uint32_t>& table) {
  if (cp >= 0xD800 && cp <= 0xDFFF) {
    // Only U+DC80..U+DCFF stand for bytes; any other surrogate is a fault.
    bytes += (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) ? char(cp - kEscapeBase) : '?';
  } else if (cp == kEuro) {
    bytes += '\x80';
  } else if (cp > 0xFFFF) {
    if (const std::uint16_t code = TwoByteCodeOfSupplementary(cp)) {
      AppendTwoByte(bytes, code);
    } else {
      AppendFourByte(bytes, kSupplementaryFirstIndex + (cp - 0x10000));
    }
  } else if (const std::uint32_t code = table[cp]; code == 0) {
    bytes += '?';
  } else if (code & kFourByteFlag) {
    AppendFourByte(bytes, code & ~kFourByteFlag);
  } else {
    AppendTwoByte(bytes, code);
  }
}

}  // namespace

std::string DecodeGb18030(std::string_view bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  std::string text;
  // Chinese text grows by half: two bytes become three.
  text.reserve(size + size / 2);
  // Characters go through a small buffer, which keeps the per-character work
  // to plain stores; it is flushed whenever a character might not fit.
  char chunk[4096];
  std::size_t used = 0;
  std::size_t i = 0;
  while (i < size) {
    if (used > sizeof chunk - 4) {
      text.append(chunk, used);
      used = 0;
    }
    const unsigned char b = in[i];
    if (b < 0x80) {
      chunk[used++] = char(b);
      ++i;
      continue;
    }
    const Code code = CodeAt(in + i, size - i);
    // A kept byte is just this byte: the next one is looked at afresh, so a
    // damaged byte does not take a good character after it along.
    used += PutUtf8(chunk + used, code.codePoint != 0 ? code.codePoint : kEscapeBase + b);
    i += code.length;
  }
  text.append(chunk, used);
  return text;
}

std::string EncodeGb18030(std::string_view utf8) {
  const auto& table = EncodeTable();
  const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t size = utf8.size();
  std::string bytes;
  bytes.reserve(size);
  std::vector<std::size_t> keptLeads;
  std::size_t i = 0;
  while (i < size) {
    if (in[i] < 0x80) {
      bytes += char(in[i]);
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t length = ReadUtf8(in + i, size - i, cp);
    if (length == 0) {
      // Text inside the program is UTF-8, so this is a fault elsewhere; mark
      // each bad byte and carry on with the next.
      bytes += '?';
      ++i;
      continue;
    }
    if (cp >= kEscapeBase + 0x81 && cp <= kEscapeBase + 0xFE) keptLeads.push_back(bytes.size());
    AppendCodePoint(bytes, cp, table);
    i += length;
  }
  if (!keptLeads.empty()) LeaveOutJoiningLeads(bytes, keptLeads);
  return bytes;
}

}  // namespace jihe::storage
