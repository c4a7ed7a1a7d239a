#include "storage/csv.h"

#include <algorithm>
#include <iterator>

#include "platform/utf16.h"
#include "storage/gb18030.h"

namespace jihe::storage {

namespace {

// A byte that a row keeps as it was found (see gb18030.h): U+DC80..U+DCFF, ED B2 80..ED B3 BF.
bool IsKeptByteAt(std::string_view s, size_t i) {
  return i + 2 < s.size() && static_cast<unsigned char>(s[i]) == 0xED &&
         (static_cast<unsigned char>(s[i + 1]) & 0xFE) == 0xB2 && (static_cast<unsigned char>(s[i + 2]) & 0xC0) == 0x80;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF. GBK text almost never
// passes, since its lead bytes 0x81..0xFE are rarely followed by the exact continuation bytes.
// The offset of the first byte that does not belong to strict UTF-8 (see below), or npos.
// `keptBytes` lets the kept bytes of our own export pass.
size_t FirstInvalidUtf8(std::string_view s, bool keptBytes = false) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (keptBytes && IsKeptByteAt(s, i)) {
      i += 3;
      continue;
    }
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return i;
    }
    if (i + len > s.size()) return i;
    for (size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return i;
    }
    i += len;
  }
  return std::string_view::npos;
}

size_t LineAt(std::string_view text, size_t offset) {
  return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// UTF-16 after its byte-order mark, in the given byte order. A lone surrogate or an odd last byte
// cannot be read exactly, and is an error at its line.
std::variant<std::string, CsvError> DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  size_t line = 1;
  auto unitAt = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  for (size_t i = 0; i < bytes.size();) {
    if (i + 1 >= bytes.size()) return CsvError{line, "文件末尾缺了半个字（UTF-16 的字节数应为双数）"};
    char32_t cp = unitAt(i);
    i += 2;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < bytes.size() && unitAt(i) >= 0xDC00 && unitAt(i) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unitAt(i) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      return CsvError{line, "有一个残缺的 UTF-16 字符，文件无法按原样读出"};
    }
    if (cp == '\n') ++line;
    platform::AppendUtf8(out, cp);
  }
  return out;
}

bool IsFormulaLead(char c) { return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r'; }

// Apostrophes followed by a formula character: the form that UnguardFormula takes one away from.
bool IsGuarded(std::string_view field) {
  const size_t at = field.find_first_not_of('\'');
  return at > 0 && at != std::string_view::npos && IsFormulaLead(field[at]);
}

char SeparatorOf(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',' || c == '\t') return c;
    if (c == '\r' || c == '\n') break;
  }
  return ',';
}

}  // namespace

std::variant<std::string, CsvError> DecodeCsvBytes(std::string bytes) {
  const std::string_view view(bytes);
  if (view.starts_with("\xFF\xFE")) return DecodeUtf16(view.substr(2), false);
  if (view.starts_with("\xFE\xFF")) return DecodeUtf16(view.substr(2), true);
  if (view.starts_with(kUtf8Bom)) {
    bytes.erase(0, kUtf8Bom.size());
    // Our own export writes a kept byte in its UTF-8 form: it reads back as that byte.
    if (const size_t bad = FirstInvalidUtf8(bytes, true); bad != std::string::npos)
      return CsvError{LineAt(bytes, bad), "文件开头标明是 UTF-8，这一行却不是 UTF-8 文字（请在 Excel 里另存为“CSV UTF-8”）"};
    return bytes;
  }
  if (FirstInvalidUtf8(bytes) == std::string::npos) return bytes;
  std::string text = DecodeGb18030(bytes);
  // A byte that is no GBK character would become a row the agent cannot read.
  for (size_t at = text.find('\xED'); at != std::string::npos; at = text.find('\xED', at + 1)) {
    if (IsKeptByteAt(text, at))
      return CsvError{LineAt(text, at), "这一行有不是 GBK 文字的字节，无法按原样读出（请在 Excel 里另存为“CSV UTF-8”）"};
  }
  return text;
}

std::optional<CsvError> ForEachCsvRecord(std::string_view text, const std::function<bool(CsvRecord&)>& onRecord) {
  const char sep = SeparatorOf(text);
  size_t line = 1;
  size_t i = 0;
  while (i < text.size()) {
    CsvRecord record{line, {}};
    std::string field;
    bool ended = false;
    while (!ended) {
      field.clear();
      if (i < text.size() && text[i] == '"') {
        ++i;
        for (;;) {
          if (i >= text.size()) return CsvError{record.line, "引号没有结束"};
          const char c = text[i];
          if (c == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (c == '\r' || c == '\n') {
            // Every kind of line break inside a cell becomes the row's CR LF.
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            field += "\r\n";
            ++line;
            continue;
          }
          field += c;
          ++i;
        }
        if (i < text.size() && text[i] != sep && text[i] != '\r' && text[i] != '\n')
          return CsvError{line, "引号后面多了文字"};
      } else {
        while (i < text.size() && text[i] != sep && text[i] != '\r' && text[i] != '\n') {
          if (text[i] == '"') return CsvError{line, "引号只能出现在加了引号的单元格里"};
          field += text[i++];
        }
      }
      record.fields.push_back(field);
      if (i < text.size() && text[i] == sep) {
        ++i;
        continue;
      }
      // End of the record: a line break or the end of the text.
      if (i < text.size()) i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      ++line;
      ended = true;
    }
    record.end = i;
    if (!onRecord(record)) break;
  }
  return std::nullopt;
}

std::variant<std::vector<CsvRecord>, CsvError> ParseCsv(std::string_view text) {
  std::vector<CsvRecord> records;
  if (auto error = ForEachCsvRecord(text, [&](CsvRecord& r) {
        records.push_back(std::move(r));
        return true;
      }))
    return *error;
  return records;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string out;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) out += ',';
    const std::string& f = fields[k];
    const bool quote = f.find_first_of(",\"\r\n\t") != std::string::npos ||
                       (!f.empty() && (f.front() == ' ' || f.back() == ' '));
    if (!quote) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string GuardFormula(std::string_view field) {
  if ((!field.empty() && IsFormulaLead(field.front())) || IsGuarded(field)) return "'" + std::string(field);
  return std::string(field);
}

std::string UnguardFormula(std::string_view field) {
  return std::string(IsGuarded(field) ? field.substr(1) : field);
}

namespace {

// The first code points of the runs of ten decimal digits (Unicode's Nd), 0 to 9 each.
constexpr char32_t kDigitZeros[] = {
    0x30,    0x660,   0x6f0,   0x7c0,   0x966,   0x9e6,   0xa66,   0xae6,   0xb66,   0xbe6,   0xc66,   0xce6,
    0xd66,   0xde6,   0xe50,   0xed0,   0xf20,   0x1040,  0x1090,  0x17e0,  0x1810,  0x1946,  0x19d0,  0x1a80,
    0x1a90,  0x1b50,  0x1bb0,  0x1c40,  0x1c50,  0xa620,  0xa8d0,  0xa900,  0xa9d0,  0xa9f0,  0xaa50,  0xabf0,
    0xff10,  0x104a0, 0x10d30, 0x11066, 0x110f0, 0x11136, 0x111d0, 0x112f0, 0x11450, 0x114d0, 0x11650, 0x116c0,
    0x11730, 0x118e0, 0x11950, 0x11c50, 0x11d50, 0x11da0, 0x16a60, 0x16ac0, 0x16b50, 0x1d7ce, 0x1d7d8, 0x1d7e2,
    0x1d7ec, 0x1d7f6, 0x1e140, 0x1e2f0, 0x1e950, 0x1fbf0};

bool IsDecimalDigit(char32_t cp) {
  const auto* run = std::upper_bound(std::begin(kDigitZeros), std::end(kDigitZeros), cp);
  return run != std::begin(kDigitZeros) && cp - *std::prev(run) < 10;
}

}  // namespace

bool NeedsTextForm(std::string_view field) {
  // A spreadsheet retypes far more than it seems (" 123", "1月2日", "(123)", "5-", "１２３", "Jan-24",
  // "12:30 PM"): every cell with a digit goes out as text, as long as the text form of a formula
  // can hold it (255 characters).
  size_t units = 0;
  bool digit = false;
  for (size_t i = 0; i < field.size();) {
    const auto c = static_cast<unsigned char>(field[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length && i + k < field.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(field[i + k]) & 0x3F);
    units += length == 4 ? 2 : 1;
    digit = digit || IsDecimalDigit(cp);
    i += length;
  }
  if (units > 255) return false;
  if (digit) return true;
  // Logical values are retyped as well (true becomes TRUE), blanks around them or not.
  const size_t from = field.find_first_not_of(" \t");
  if (from == std::string_view::npos) return false;
  std::string word(field.substr(from, field.find_last_not_of(" \t") + 1 - from));
  for (char& c : word) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return word == "TRUE" || word == "FALSE";
}

std::string TextForm(std::string_view field) {
  std::string out = "=\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::optional<std::string> TextOfTextForm(std::string_view field) {
  if (field.size() < 3 || !field.starts_with("=\"") || field.back() != '"') return std::nullopt;
  std::string out;
  const std::string_view inner = field.substr(2, field.size() - 3);
  for (size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] == '"') {
      if (i + 1 >= inner.size() || inner[i + 1] != '"') return std::nullopt;
      ++i;
    }
    out += inner[i];
  }
  return out;
}

}  // namespace jihe::storage
