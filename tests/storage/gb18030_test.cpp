#include "storage/gb18030.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#if !defined(_WIN32)
#include <iconv.h>
#endif

namespace jihe::storage {
namespace {

std::string Utf8(char32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += char(cp);
  } else if (cp < 0x800) {
    s += char(0xC0 | (cp >> 6));
    s += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += char(0xE0 | (cp >> 12));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  } else {
    s += char(0xF0 | (cp >> 18));
    s += char(0x80 | ((cp >> 12) & 0x3F));
    s += char(0x80 | ((cp >> 6) & 0x3F));
    s += char(0x80 | (cp & 0x3F));
  }
  return s;
}

// How a byte that is not GB18030 appears in decoded text.
std::string Escaped(unsigned char b) { return Utf8(0xDC00 + b); }

// Strict UTF-8, except that the surrogates standing for bytes are allowed.
bool IsUtf8WithEscapes(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    if (c < 0x80) {
      length = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
    }
    if (length == 0 || i + length > s.size()) return false;
    char32_t cp = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto cont = static_cast<unsigned char>(s[i + k]);
      if ((cont & 0xC0) != 0x80) return false;
      cp = cp << 6 | (cont & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[length] || cp > 0x10FFFF) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF && !(cp >= 0xDC80 && cp <= 0xDCFF)) return false;
    i += length;
  }
  return true;
}

struct RoundTrip {
  const char* name;
  std::string_view utf8;
  std::string_view gb18030;
};

// Byte forms checked against glibc's iconv (see IconvAgrees below).
const RoundTrip kRoundTrips[] = {
    {"ascii", "Order #12, ok?\r\n\t", "Order #12, ok?\r\n\t"},
    {"nul", std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
    {"gbk chinese", "霁禾客服助手", "\xF6\xAB\xBA\xCC\xBF\xCD\xB7\xFE\xD6\xFA\xCA\xD6"},
    {"box drawing", "┃", "\xA9\xA7"},
    {"first two-byte code", "丂", "\x81\x40"},
    {"euro is the single byte 0x80", "€", "\x80"},
    {"four-byte bmp", "À", "\x81\x30\x86\x38"},
    {"emoji", "😀", "\x94\x39\xFC\x36"},
    {"two-byte code outside the bmp", "𠂇", "\xFE\x51"},
    {"vertical form with a two-byte code", "︐", "\xA6\xD9"},
    {"mixed", "价格€，№😀┃ok", "\xBC\xDB\xB8\xF1\x80\xA3\xAC\xA1\xED\x94\x39\xFC\x36\xA9\xA7ok"},
};

TEST(Gb18030Test, RoundTripsKnownText) {
  for (const auto& c : kRoundTrips) {
    EXPECT_EQ(EncodeGb18030(c.utf8), c.gb18030) << c.name;
    EXPECT_EQ(DecodeGb18030(c.gb18030), c.utf8) << c.name;
  }
}

TEST(Gb18030Test, KeepsDamagedBytes) {
  const struct {
    std::string_view bytes;
    std::string decoded;
  } cases[] = {
      {"\x81", Escaped(0x81)},
      {"\x81 ", Escaped(0x81) + " "},
      {"\x81\x7F", Escaped(0x81) + "\x7F"},
      {"\xFF", Escaped(0xFF)},
      {"\xFF\x81\x40", Escaped(0xFF) + "丂"},
      {"\x81\x30", Escaped(0x81) + "0"},
      {"\x81\x30\x81", Escaped(0x81) + "0" + Escaped(0x81)},
      {"\x81\x30\xFF\x30", Escaped(0x81) + "0" + Escaped(0xFF) + "0"},
      // The four-byte form of a character that is written with FE 51.
      {"\x95\x32\x90\x31", Escaped(0x95) + "2" + Escaped(0x90) + "1"},
      // Just past the BMP codes, and just past U+10FFFF.
      {"\x84\x31\xA5\x30", Escaped(0x84) + "1" + Escaped(0xA5) + "0"},
      {"\xE3\x32\x9A\x36", Escaped(0xE3) + "2" + Escaped(0x9A) + "6"},
      {"\x85\x30\x81\x30", Escaped(0x85) + "0" + Escaped(0x81) + "0"},
      // A code cut off by the end of the view, not of the buffer behind it.
      {std::string_view("\x81\x30\x81\x30", 3), Escaped(0x81) + "0" + Escaped(0x81)},
      {std::string_view("\xBF\xCD", 1), Escaped(0xBF)},
  };
  for (const auto& c : cases) {
    const std::string decoded = DecodeGb18030(c.bytes);
    EXPECT_EQ(decoded, c.decoded) << testing::PrintToString(c.bytes);
    EXPECT_EQ(EncodeGb18030(decoded), c.bytes) << testing::PrintToString(c.bytes);
  }
}

TEST(Gb18030Test, KeptLeadByteThatWouldJoinWhatFollowsIsLeftOut) {
  // No byte form reads back as a lone lead byte in front of a byte it pairs with, and writing it
  // anyway would turn both into some other character on the next load.
  const struct {
    std::string text;
    std::string_view bytes;
  } cases[] = {
      {Escaped(0x81) + "[br]", "[br]"},
      {"a" + Escaped(0xB6) + "[\xE6\x8D\xA2", "a[\xBB\xBB"},
      {Escaped(0x81) + Escaped(0x81) + "x", "x"},  // each would join the next
      {Escaped(0x81) + "1" + Escaped(0x81) + "1", "1\x81" "1"},  // a four-byte form
      {Escaped(0x81) + "\r\n" + Escaped(0xFE) + Escaped(0xFF), "\x81\r\n\xFE\xFF"},  // nothing to join
  };
  for (const auto& c : cases) {
    const std::string bytes = EncodeGb18030(c.text);
    EXPECT_EQ(bytes, c.bytes) << testing::PrintToString(c.text);
    EXPECT_EQ(EncodeGb18030(DecodeGb18030(bytes)), bytes) << testing::PrintToString(c.text);
  }
}

TEST(Gb18030Test, RandomBytesComeBackUnchanged) {
  std::mt19937 random(20240611);
  for (int n = 0; n < 20000; ++n) {
    std::string bytes(random() % 65, '\0');
    for (char& b : bytes) {
      // Mostly high bytes and digits, so that two- and four-byte codes, good
      // and damaged, turn up often.
      const auto r = std::uint32_t(random());
      const auto kind = r % 8;
      const auto value = r >> 8;
      b = kind < 4 ? char(0x80 + value % 0x80) : kind < 6 ? char(0x30 + value % 10) : char(value);
    }
    // A2 E3 is the euro sign, which is written as 0x80 (see EveryTwoByteCode).
    for (size_t at; (at = bytes.find("\xA2\xE3")) != std::string::npos;) bytes[at + 1] = '\xE4';
    const std::string decoded = DecodeGb18030(bytes);
    ASSERT_TRUE(IsUtf8WithEscapes(decoded)) << testing::PrintToString(bytes);
    ASSERT_EQ(EncodeGb18030(decoded), bytes) << testing::PrintToString(bytes);
  }
}

TEST(Gb18030Test, LongTextCrossesBufferBoundaries) {
  // Characters of every length, repeated far past any internal buffer and
  // shifted by a byte each time so that each lands on a boundary.
  for (int shift = 0; shift < 4; ++shift) {
    std::string text(std::size_t(shift), 'x');
    std::string bytes = text;
    for (int n = 0; n < 3000; ++n) {
      text += "€😀客" + Escaped(0xFF) + "z";
      bytes += "\x80\x94\x39\xFC\x36\xBF\xCD\xFFz";
    }
    EXPECT_EQ(DecodeGb18030(bytes), text) << shift;
    EXPECT_EQ(EncodeGb18030(text), bytes) << shift;
  }
}

TEST(Gb18030Test, EveryEncodableCodePointComesBack) {
  int unencodable = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::string text = Utf8(cp);
    const std::string bytes = EncodeGb18030(text);
    if (bytes == "?" && cp != '?') {
      // Only a few private-use code points whose old codes now mean other characters.
      EXPECT_TRUE(cp >= 0xE000 && cp <= 0xF8FF) << std::hex << std::uint32_t(cp);
      ++unencodable;
      continue;
    }
    ASSERT_EQ(DecodeGb18030(bytes), text) << std::hex << std::uint32_t(cp);
  }
  EXPECT_LT(unencodable, 100);
}

TEST(Gb18030Test, BadUtf8BecomesQuestionMarks) {
  const struct {
    std::string_view utf8;
    std::string_view bytes;
  } cases[] = {
      {"\x80", "?"},
      {"a\xBFz", "a?z"},
      {"\xC0\xAF", "??"},
      {"\xE0\x80\xAF", "???"},
      {"\xE4\xB8", "??"},
      {"\xE4\xB8z", "??z"},
      {std::string_view("\xE4\xB8\xAD", 2), "??"},
      {"\xF0\x9F\x98", "???"},
      {"\xF4\x90\x80\x80", "????"},
      {"\xF8\x88\x80\x80\x80", "?????"},
      {"\xFF\xFE", "??"},
      {"\xED\xA0\x80", "?"},  // U+D800
      {"\xED\xB1\xBF", "?"},  // U+DC7F: escapes only ever stand for bytes 80..FF
      {"\xED\xB2\x80\xED\xB3\xBF", "\x80\xFF"},
      {"\xEE\xA0\x96", "?"},  // U+E816 has no code
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeGb18030(c.utf8), c.bytes) << testing::PrintToString(c.utf8);
  }
}

#if !defined(_WIN32)

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted, or nothing if iconv rejects any of it.
  std::optional<std::string> Convert(std::string_view input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string in(input);
    std::string out(input.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    constexpr auto kFailed = static_cast<std::size_t>(-1);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == kFailed) return std::nullopt;
    if (iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == kFailed) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

class Gb18030IconvTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(toUtf8_.ok());
    ASSERT_TRUE(fromUtf8_.ok());
  }

  // Compares one code with glibc. Codes glibc reads to a character that it
  // writes some other way must come back as escaped bytes; returns whether the
  // code was such a case. The euro sign (A2 E3) reads as glibc reads it and is
  // written as the single byte 0x80.
  bool CheckCode(const std::string& code) {
    const std::string decoded = DecodeGb18030(code);
    const auto reference = toUtf8_.Convert(code);
    if (reference == "€") {
      EXPECT_EQ(decoded, "€");
      EXPECT_EQ(EncodeGb18030(decoded), "\x80");
      return false;
    }
    EXPECT_EQ(EncodeGb18030(decoded), code) << testing::PrintToString(code);
    if (reference && fromUtf8_.Convert(*reference) == code) {
      EXPECT_EQ(decoded, *reference) << testing::PrintToString(code);
      return false;
    }
    EXPECT_EQ(decoded.substr(0, 3), Escaped(static_cast<unsigned char>(code[0])))
        << testing::PrintToString(code);
    return reference.has_value();
  }

  static std::string FourByteCode(std::uint32_t index) {
    return {char(0x81 + index / 12600), char(0x30 + index / 1260 % 10),
            char(0x81 + index / 10 % 126), char(0x30 + index % 10)};
  }

  Iconv toUtf8_{"UTF-8", "GB18030"};
  Iconv fromUtf8_{"GB18030", "UTF-8"};
};

TEST_F(Gb18030IconvTest, EveryTwoByteCode) {
  std::vector<std::string> leftOut;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{char(lead), char(trail)};
      if (CheckCode(code)) leftOut.push_back(code);
    }
  }
  EXPECT_EQ(leftOut, std::vector<std::string>{});
}

TEST_F(Gb18030IconvTest, EveryFourByteBmpCode) {
  // 0x81308130 .. 0x8439FE39; the codes after U+FFFF's are unmapped.
  int leftOut = 0;
  for (std::uint32_t index = 0; index < 4 * 12600; ++index) {
    leftOut += CheckCode(FourByteCode(index));
  }
  EXPECT_EQ(leftOut, 0);
}

TEST_F(Gb18030IconvTest, SupplementaryCodes) {
  constexpr std::uint32_t kFirst = 189000;  // 90 30 81 30 is U+10000
  std::vector<char32_t> sample;
  for (char32_t cp = 0x10000; cp <= 0x10FFFF; cp += 211) sample.push_back(cp);
  // U+10FFFF, and characters written with a two-byte code whose four-byte form glibc also reads.
  sample.insert(sample.end(),
                {0x10FFFF, 0x1F600, 0x20087, 0x20089, 0x200CC, 0x215D7, 0x2298F, 0x241FE});
  int leftOut = 0;
  for (const char32_t cp : sample) {
    leftOut += CheckCode(FourByteCode(kFirst + (cp - 0x10000)));
    EXPECT_EQ(fromUtf8_.Convert(Utf8(cp)), EncodeGb18030(Utf8(cp)))
        << std::hex << std::uint32_t(cp);
  }
  EXPECT_EQ(leftOut, 6);
}

TEST_F(Gb18030IconvTest, KnownTextAgrees) {
  for (const auto& c : kRoundTrips) {
    auto reference = fromUtf8_.Convert(c.utf8);
    ASSERT_TRUE(reference.has_value()) << c.name;
    // Glibc writes the euro sign as A2 E3; we write the single byte 0x80.
    for (std::size_t at; (at = reference->find("\xA2\xE3")) != std::string::npos;) {
      reference->replace(at, 2, "\x80");
    }
    EXPECT_EQ(*reference, c.gb18030) << c.name;
  }
}

#endif  // !defined(_WIN32)

}  // namespace
}  // namespace jihe::storage
